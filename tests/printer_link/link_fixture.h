// A queue whose driver names a test build of the communication library, and that library's
// staging functions.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/spooler/spooler.h"
#include "tests/support/memory_spooler.h"
#include "tests/support/scratch.h"

class LinkFixture : public ::testing::Test {
  protected:
    LinkFixture() {
        auto owned = std::make_unique<spooler::MemorySpooler>();
        spooler_ = owned.get();
        spooler::Install(std::move(owned));
        spooler_->AddQueue("P", "ARVEN WL-4000", "plenwise://127.0.0.1:1/p");
    }
    ~LinkFixture() override {
        if (library_ != nullptr) {
            dlclose(library_);
        }
        spooler::Install(nullptr);
    }

    // The driver's data file names the library with its "ABAPII" key (or holds no key).
    void InstallDriver(const char* library = TEST_ABAPI, bool withKey = true,
                       const std::string& driverFile = "drv/driver.so") {
        if (library_ != nullptr) {
            dlclose(library_);
            library_ = nullptr;
        }
        std::filesystem::create_directories(scratch_.Path() / "drv");
        // A new file, not new bytes in the old one: a copy still loaded keeps its own.
        std::filesystem::remove(scratch_ / "drv/abapi-copy.so");
        std::filesystem::copy_file(library, scratch_ / "drv/abapi-copy.so");
        scratch_.Write("drv/data.ini", withKey ? "[User Mode Printer Driver Information]\n"
                                                 "ABAPII=abapi-copy.so\n"
                                               : "[Other]\nABAPII=abapi-copy.so\n");
        std::string driverPath =
            driverFile.find('/') == std::string::npos ? driverFile : scratch_ / driverFile;
        spooler_->SetDriverFiles("P", driverPath, scratch_ / "drv/data.ini", "");
        library_ = dlopen((scratch_ / "drv/abapi-copy.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        Call<void (*)()>("StageReset")();
    }

    template <typename Fn>
    Fn Call(const char* name) {
        return reinterpret_cast<Fn>(dlsym(library_, name));
    }
    void Channel(uint32_t id, uint32_t flags) {
        Call<void (*)(uint32_t, uint32_t)>("StageChannel")(id, flags);
    }
    void DeviceId(const char* text) { Call<void (*)(const char*)>("StageDeviceId")(text); }
    void Status(const char* text) { Call<void (*)(const char*)>("StageStatus")(text); }
    void Reply(const std::string& bytes) {
        Call<void (*)(const char*, int32_t)>("StageReply")(bytes.data(),
                                                           static_cast<int32_t>(bytes.size()));
    }
    int32_t Opens() { return Call<int32_t (*)()>("OpenCount")(); }
    int32_t Closes() { return Call<int32_t (*)()>("CloseCount")(); }
    uint32_t Opened(int32_t i) { return Call<uint32_t (*)(int32_t)>("OpenedChannel")(i); }
    // The bytes of the i-th Send, empty when there was none.
    std::string Sent(int32_t i) {
        char bytes[256];
        int32_t length = Call<int32_t (*)(int32_t, char*, int32_t)>("SentBytes")(i, bytes, 256);
        return std::string(bytes, static_cast<size_t>(std::clamp(length, 0, 256)));
    }

    testsupport::ScratchDir scratch_;
    spooler::MemorySpooler* spooler_ = nullptr;
    void* library_ = nullptr;
};
