#include "platform/system/module.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using ProbeFunction = const char* (*)();

struct LibraryCloser {
    void operator()(void* library) const { sys::FreeLibrary(library); }
};
using Library = std::unique_ptr<void, LibraryCloser>;

std::string ProbeLocationOf(sys::LibraryHandle library) {
    auto probe = reinterpret_cast<ProbeFunction>(sys::GetProcAddress(library, "ProbeLocation"));
    return probe != nullptr ? probe() : "(no ProbeLocation)";
}

const std::string kBeside = std::filesystem::path(PROBE_BESIDE_DIR).lexically_normal().string();
const std::string kElsewhere =
    std::filesystem::path(PROBE_ELSEWHERE_DIR).lexically_normal().string();

TEST(LoadLibraryTest, PlainNameIsTakenFromTheProgramsDirectoryBeforeTheNormalSearch) {
    // The normal search (LD_LIBRARY_PATH, set by the test registration) finds the other copy.
    ASSERT_NE(std::getenv("LD_LIBRARY_PATH"), nullptr) << "run this test through ctest";
    Library normal(::dlopen("system_probe.so", RTLD_NOW | RTLD_LOCAL));
    ASSERT_TRUE(normal) << ::dlerror();
    ASSERT_EQ(ProbeLocationOf(normal.get()), "elsewhere");

    Library beside(sys::LoadLibrary("system_probe.so"));
    ASSERT_TRUE(beside);
    EXPECT_EQ(ProbeLocationOf(beside.get()), "beside");
}

TEST(LoadLibraryTest, PlainNameMissingBesideTheProgramGoesThroughTheNormalSearch) {
    Library library(sys::LoadLibrary("system_probe_fallback.so"));
    ASSERT_TRUE(library);
    EXPECT_EQ(ProbeLocationOf(library.get()), "elsewhere");
}

TEST(LoadLibraryTest, NameWithASlashIsUsedAsItStands) {
    Library library(sys::LoadLibrary(kElsewhere + "/system_probe.so"));
    ASSERT_TRUE(library);
    EXPECT_EQ(ProbeLocationOf(library.get()), "elsewhere");
}

TEST(LoadLibraryTest, MissingLibrariesAndSymbolsGiveNull) {
    EXPECT_EQ(sys::LoadLibrary("no_such_library.so"), nullptr);
    EXPECT_EQ(sys::LoadLibrary(kBeside + "/no_such_library.so"), nullptr);
    EXPECT_EQ(sys::LoadLibrary(""), nullptr);

    Library library(sys::LoadLibrary("system_probe.so"));
    ASSERT_TRUE(library);
    EXPECT_EQ(sys::GetProcAddress(library.get(), "NoSuchExport"), nullptr);
    EXPECT_EQ(sys::GetProcAddress(library.get(), nullptr), nullptr);
    EXPECT_EQ(sys::GetProcAddress(nullptr, "ProbeLocation"), nullptr);
}

TEST(LoadLibraryTest, FreeLibraryReleasesAHandleAndRefusesNull) {
    EXPECT_FALSE(sys::FreeLibrary(nullptr));
    sys::LibraryHandle library = sys::LoadLibrary("system_probe.so");
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(sys::FreeLibrary(library));
}

TEST(ModulePathTest, NamesTheFileOfTheObjectHoldingTheAddress) {
    Library library(sys::LoadLibrary("system_probe.so"));
    ASSERT_TRUE(library);
    EXPECT_EQ(sys::ModulePath(sys::GetProcAddress(library.get(), "ProbeLocation")),
              kBeside + "/system_probe.so");

    static int inProgram = 0;
    EXPECT_EQ(sys::ModulePath(&inProgram), sys::ExecutablePath());

    // A library of the system, found by the loader's search.
    const std::string libc = sys::ModulePath(::dlsym(RTLD_DEFAULT, "getpid"));
    ASSERT_FALSE(libc.empty());
    EXPECT_EQ(libc.front(), '/');
    EXPECT_NE(libc.find("libc.so"), std::string::npos) << libc;
}

TEST(ModulePathTest, LibraryLoadedByARelativePathIsNamedAbsolutely) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(kElsewhere);
    Library library(sys::LoadLibrary("./system_probe_fallback.so"));
    std::filesystem::current_path(previous);
    ASSERT_TRUE(library);
    EXPECT_EQ(sys::ModulePath(sys::GetProcAddress(library.get(), "ProbeLocation")),
              kElsewhere + "/system_probe_fallback.so");
}

TEST(ModulePathTest, AddressesOutsideEveryObjectGiveEmpty) {
    EXPECT_EQ(sys::ModulePath(nullptr), "");
    const auto onHeap = std::make_unique<int>(0);
    EXPECT_EQ(sys::ModulePath(onHeap.get()), "");
}

TEST(ExecutablePathTest, IsTheAbsolutePathOfThisProgram) {
    const std::string path = sys::ExecutablePath();
    EXPECT_EQ(path, kBeside + "/system_tests");
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
}

}  // namespace
