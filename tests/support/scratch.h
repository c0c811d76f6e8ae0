// Private folders and environment settings for one test, undone when the test ends.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

namespace testsupport {

// A fresh, empty folder named after the running test (and the process, so that two runs of the
// suite on one machine keep apart), removed again afterwards.
class ScratchDir {
  public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info != nullptr
                               ? std::string(info->test_suite_name()) + "." + info->name()
                               : std::string("global");
        path_ = std::filesystem::path(::testing::TempDir()) /
                ("plenwise-" + std::to_string(getpid())) / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        std::filesystem::remove(path_.parent_path(), ignored);  // once it is empty
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    std::string Write(const std::string& name, const std::string& bytes) const {
        std::filesystem::path file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        out << bytes;
        return file.string();
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

  private:
    std::filesystem::path path_;
};

// Sets (or, with nullptr, removes) an environment variable for the lifetime of the object.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        Remember();
        setenv(name, value.c_str(), 1);
    }
    ScopedEnvironment(const char* name, std::nullptr_t) : name_(name) {
        Remember();
        unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    void Remember() {
        if (const char* old = getenv(name_)) {
            old_ = old;
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

// Polls until the condition holds or the time is up; for what another process or thread does,
// which no virtual clock can reach. It never sleeps: between polls it yields the processor.
// Returns whether the condition held.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

}  // namespace testsupport
