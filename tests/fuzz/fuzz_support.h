// What the fuzz targets share: a check that stops the run with its reason (libFuzzer then keeps
// the input as a crash), and a private scratch folder for parsers that read files.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                             \
    do {                                                  \
        if (!(condition)) {                               \
            ::fuzz::Fail(#condition, __FILE__, __LINE__); \
        }                                                 \
    } while (0)

namespace fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

// A folder of this process, on a memory file system where there is one, removed at exit.
inline const std::string& ScratchDir() {
    // Never destroyed, so that the removal at exit can still name it.
    static const std::string* const dir = [] {
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "";
        if (base.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            base = tmp != nullptr && *tmp == '/' ? tmp : "/tmp";
        }
        auto* made = new std::string(base + "/plenwise-fuzz.XXXXXX");
        if (mkdtemp(made->data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchDir(), ignored);
        });
        return made;
    }();
    return *dir;
}

inline void WriteFile(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzz
