#include "platform/system/module.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <filesystem>
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
    std::error_code error;
    const auto absolute = std::filesystem::absolute(name, error);
    return error ? std::string() : absolute.lexically_normal().string();
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
    const std::string directory = ProgramDirectory();
    if (nameOrPath.find('/') == std::string::npos && !directory.empty()) {
        const std::string besideProgram = directory + nameOrPath;
        if (IsRegularFile(besideProgram)) {
            target = besideProgram;
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
