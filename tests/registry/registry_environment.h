// Every registry test runs against hives of its own: a fresh folder with the user's
// configuration directory and the machine folder inside it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "tests/support/scratch.h"

using testsupport::ScopedEnvironment;

class RegistryEnvironment : public ::testing::Test {
  protected:
    RegistryEnvironment()
        : folder_(MakeFolder()),
          config_("XDG_CONFIG_HOME", folder_ + "/config"),
          machine_("PLENWISE_MACHINE", folder_ + "/machine") {}
    ~RegistryEnvironment() override { std::filesystem::remove_all(folder_); }

    const std::string& folder() const { return folder_; }

    static std::string ReadText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static void WriteText(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    // Files of a directory, by name.
    static std::vector<std::string> FileNames(const std::string& directory) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static reg::HKEY Create(reg::HKEY root, const char* path) {
        reg::HKEY key = nullptr;
        EXPECT_EQ(reg::RegCreateKeyEx(root, path, reg::KEY_ALL_ACCESS, &key, nullptr),
                  reg::ERROR_SUCCESS);
        return key;
    }

    static reg::LSTATUS SetBytes(reg::HKEY key, const char* name, reg::DWORD type,
                                 const std::vector<uint8_t>& data) {
        return reg::RegSetValueEx(key, name, type, data.data(),
                                  static_cast<reg::DWORD>(data.size()));
    }

    static reg::LSTATUS SetString(reg::HKEY key, const char* name, const std::string& text) {
        return reg::RegSetValueEx(key, name, reg::REG_SZ,
                                  reinterpret_cast<const uint8_t*>(text.c_str()),
                                  static_cast<reg::DWORD>(text.size() + 1));
    }

    struct Stored {
        reg::LSTATUS status = -1;
        reg::DWORD type = 0xFFFF;
        std::vector<uint8_t> data;
    };

    // A value read the way callers read one: its size first, then its data.
    static Stored Query(reg::HKEY key, const char* name) {
        Stored stored;
        reg::DWORD size = 0;
        stored.status = reg::RegQueryValueEx(key, name, &stored.type, nullptr, &size);
        if (stored.status == reg::ERROR_SUCCESS) {
            stored.data.resize(size);
            stored.status =
                reg::RegQueryValueEx(key, name, &stored.type, stored.data.data(), &size);
            stored.data.resize(size);
        }
        return stored;
    }

    static std::vector<uint8_t> Bytes(const std::string& text, bool withNul = true) {
        std::vector<uint8_t> bytes(text.begin(), text.end());
        if (withNul) {
            bytes.push_back(0);
        }
        return bytes;
    }

  private:
    static std::string MakeFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "plenwise-registry-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            ADD_FAILURE() << "cannot create a temporary folder";
        }
        return pattern;
    }

    std::string folder_;
    ScopedEnvironment config_;
    ScopedEnvironment machine_;
};
