#include "platform/registry/machine_folder.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "platform/registry/hive.h"
#include "platform/registry/registry.h"
#include "platform/system/file.h"
#include "platform/system/user_file.h"

namespace machine {

namespace {

constexpr const char* kVersionFile = "version.ini";
// The layout's deepest directories; their parents come with them.
constexpr const char* kDirectories[] = {"Windows/System32/spool/Drivers/W32x86/2",
                                        "Windows/System32/spool/Drivers/W32x86/3", "Program Files"};
constexpr const char* kCurrentVersionKey[] = {"Software", "Microsoft", "Windows", "CurrentVersion"};
// The settings file is a few lines; anything much larger is not one.
constexpr std::size_t kMaxVersionFileBytes = 64 * 1024;

std::string VersionFilePath() {
    return MachineFolder() + '/' + kVersionFile;
}

std::string ProgramFilesDirectory() {
    return MachineFolder() + "/Program Files";
}

std::string FormatVersion(const OsVersionInfo& version) {
    return "[Version]\nPlatformId=" + std::to_string(version.platformId) +
           "\nMajorVersion=" + std::to_string(version.majorVersion) +
           "\nMinorVersion=" + std::to_string(version.minorVersion) + '\n';
}

// A decimal number and nothing else.
bool ParseNumber(std::string_view text, uint32_t* out) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, *out);
    return !text.empty() && error == std::errc() && stop == end;
}

void ApplyVersionLine(std::string_view line, OsVersionInfo& version) {
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return;
    }
    std::string name = reg::hive::Fold(reg::hive::Trim(line.substr(0, equals)));
    std::string_view text = reg::hive::Trim(line.substr(equals + 1));
    uint32_t* field = name == "platformid"     ? &version.platformId
                      : name == "majorversion" ? &version.majorVersion
                      : name == "minorversion" ? &version.minorVersion
                                               : nullptr;
    uint32_t number = 0;
    if (field && ParseNumber(text, &number)) {
        *field = number;
    }
}

// Sets the program files values of the machine hive where they are missing.
bool EnsureProgramFilesValues() {
    reg::hive::HiveFile hive(reg::MachineHivePath(), "HKEY_LOCAL_MACHINE");
    reg::LSTATUS status = hive.Update([](reg::hive::Key& root, bool& changed) {
        reg::hive::SeedMachineDefaults(root, changed);
        return reg::ERROR_SUCCESS;
    });
    return status == reg::ERROR_SUCCESS;
}

}  // namespace

std::string MachineFolder() {
    const char* configured = std::getenv("PLENWISE_MACHINE");
    if (configured && configured[0] != '\0') {
        return configured;
    }
    return sys::XdgBaseDirectory("XDG_DATA_HOME", ".local/share") + "/plenwise/machine";
}

bool EnsureMachineFolder() {
    std::string base = MachineFolder();
    bool complete = true;
    for (const char* directory : kDirectories) {
        complete = sys::MakeUserFolders(base + '/' + directory) && complete;
    }
    sys::ReplaceOptions keep;
    keep.keepExisting = true;
    complete =
        sys::ReplaceUserFile(VersionFilePath(), FormatVersion(OsVersionInfo{}), keep) && complete;
    return EnsureProgramFilesValues() && complete;
}

OsVersionInfo GetVersionEx() {
    reg::hive::PrepareMachineFolder();
    std::string content(kMaxVersionFileBytes, '\0');
    std::ifstream in(VersionFilePath(), std::ios::binary);
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));

    OsVersionInfo version;
    bool inVersion = false;
    std::string_view rest = content;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = reg::hive::Trim(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.front() == '[') {
            inVersion = reg::hive::Fold(line) == "[version]";
        } else if (inVersion) {
            ApplyVersionLine(line, version);
        }
    }
    return version;
}

bool SetVersion(const OsVersionInfo& version) {
    sys::MakeUserFolders(MachineFolder());
    return sys::ReplaceUserFile(VersionFilePath(), FormatVersion(version), sys::ReplaceOptions{});
}

std::string GetWindowsDirectory() {
    reg::hive::PrepareMachineFolder();
    return MachineFolder() + "/Windows";
}

std::string GetSystemDirectory() {
    reg::hive::PrepareMachineFolder();
    return MachineFolder() + "/Windows/System32";
}

}  // namespace machine

namespace reg::hive {

void SeedMachineDefaults(Key& root, bool& changed) {
    const std::string directory = machine::ProgramFilesDirectory();
    KeyPath path(std::begin(machine::kCurrentVersionKey), std::end(machine::kCurrentVersionKey));
    Key& key = CreatePath(root, path, nullptr, &changed);
    for (const char* name : {"ProgramFilesDir", "ProgramFilesPath"}) {
        if (!key.FindValue(name)) {
            std::vector<uint8_t> data(directory.begin(), directory.end());
            data.push_back(0);
            key.SetValue(name, REG_SZ, std::move(data));
            changed = true;
        }
    }
}

void PrepareMachineFolder() {
    std::error_code error;
    bool prepared = std::filesystem::exists(machine::VersionFilePath(), error) &&
                    std::filesystem::exists(MachineHivePath(), error);
    for (const char* directory : machine::kDirectories) {
        prepared = prepared &&
                   std::filesystem::is_directory(machine::MachineFolder() + '/' + directory, error);
    }
    if (!prepared) {
        machine::EnsureMachineFolder();
    }
}

}  // namespace reg::hive
