// A simulator of the tests' own: a configuration text, a private journal folder, and (for the
// network tests) the server on ephemeral loopback ports.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "sim/printer/server.h"
#include "sim/printer/simulator.h"
#include "tests/support/scratch.h"

namespace simtest {

class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "plenwise-sim-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    return testsupport::ScratchDir::Read(path);
}

struct World {
    TempDir dir;
    printersim::ManualClock clock;
    std::unique_ptr<printersim::Simulator> simulator;
    std::unique_ptr<printersim::Server> server;

    // printers: the [printer ...] sections; the simulator section is the world's own.
    explicit World(const std::string& printers, bool serve = false) {
        std::string error;
        auto settings =
            printersim::ParseSettings("[simulator]\nlisten = 127.0.0.1:0\njournal = " + dir.path() +
                                          "/journal\n" + "print-ms = 0\n" + printers,
                                      "", error);
        EXPECT_TRUE(settings) << error;
        if (!settings) {
            return;
        }
        simulator = printersim::Simulator::Create(*settings, clock, error);
        EXPECT_TRUE(simulator) << error;
        if (serve && simulator) {
            server = std::make_unique<printersim::Server>(*simulator);
            EXPECT_TRUE(server->Start(error)) << error;
        }
    }
    ~World() {
        if (server) {
            server->Stop();
        }
    }

    std::string Journal(const std::string& name) const {
        return ReadFile(dir.path() + "/journal/" + name);
    }
    std::string Address() const { return simwire::FormatEndpoint(server->address()); }
};

}  // namespace simtest
