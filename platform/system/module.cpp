#include "platform/system/module.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace sys {

namespace {

std::string ProgramDirectory() {
    const std::string program = ExecutablePath();
    const auto slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The file mapped at the address, from the process's memory map.
std::string MappedFilePath(const void* address) {
    std::ifstream maps("/proc/self/maps");
    const auto target = reinterpret_cast<uintptr_t>(address);
    for (std::string line; std::getline(maps, line);) {
        // start-end perms offset device inode path
        std::istringstream fields(line);
        std::string range, perms, offset, device, inode;
        if (!(fields >> range >> perms >> offset >> device >> inode)) {
            continue;
        }
        uintptr_t start = 0;
        uintptr_t end = 0;
        const char* const first = range.data();
        const char* const last = first + range.size();
        const auto startRead = std::from_chars(first, last, start, 16);
        if (startRead.ec != std::errc() || startRead.ptr == last || *startRead.ptr != '-' ||
            std::from_chars(startRead.ptr + 1, last, end, 16).ec != std::errc()) {
            continue;
        }
        if (target < start || target >= end) {
            continue;
        }
        std::string path;
        std::getline(fields >> std::ws, path);
        return !path.empty() && path.front() == '/' ? path : std::string();
    }
    return {};
}

}  // namespace

std::string ModulePath(const void* addressInModule) {
    Dl_info info{};
    link_map* map = nullptr;
    if (addressInModule == nullptr ||
        ::dladdr1(addressInModule, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
        map == nullptr || map->l_name == nullptr) {
        return {};
    }
    // The program's own entry carries no name; the loader only knows it by argv[0].
    const std::string name = map->l_name;
    if (name.empty()) {
        return ExecutablePath();
    }
    // Names without a '/' belong to objects with no file, such as the kernel's vDSO.
    if (name.find('/') == std::string::npos) {
        return {};
    }
    if (name.front() == '/') {
        return name;
    }
    // Loaded by a relative path: the working directory may have changed since, but the kernel
    // knows which file it mapped.
    return MappedFilePath(addressInModule);
}

std::string ExecutablePath() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

LibraryHandle LoadLibrary(const std::string& nameOrPath) {
    if (nameOrPath.empty()) {
        return nullptr;
    }
    std::string target = nameOrPath;
    if (nameOrPath.find('/') == std::string::npos) {
        // The modules' own folder is named here rather than left to the loader, whose search
        // follows the run path of whichever library calls it (a sanitizer's runtime, for one,
        // calls on the program's behalf and has none).
        const std::string modules = ModulePath(reinterpret_cast<const void*>(&LoadLibrary));
        for (const std::string& directory :
             {ProgramDirectory(), modules.substr(0, modules.rfind('/') + 1)}) {
            if (!directory.empty() && IsRegularFile(directory + nameOrPath)) {
                target = directory + nameOrPath;
                break;
            }
        }
    }
    return ::dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* GetProcAddress(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) {
        return nullptr;
    }
    return ::dlsym(library, name);
}

bool FreeLibrary(LibraryHandle library) {
    return library != nullptr && ::dlclose(library) == 0;
}

}  // namespace sys
