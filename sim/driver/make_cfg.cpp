// Writes the simulated driver's media configuration (docs/driver-package.md).
//
//   make-driver-cfg --out DIR
//       the CFG files of every model that keeps custom media settings and each of its ink sets,
//       the second family's A_FCF CFG files, and CFG_DAT.reg, the registry form on Windows
//       95/98/Me, for people to read
//   make-driver-cfg --install MACHINE-FOLDER [--os-kind N]
//       installs them where the driver keeps them on that kind of Windows (1: Windows 95/98/Me,
//       in the machine hive; 2: NT before 5.0; 3: NT 5.0 and later, with the A_FCF files), and
//       makes the folders of the user configuration files and the empty A_FCF user
//       configurations (a present one is kept); without --os-kind, for all three kinds, so that
//       the machine works whatever version it is set to
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/registry/machine_folder.h"
#include "platform/registry/registry.h"
#include "platform/system/file.h"
#include "sim/driver/media_catalog.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTool = "make-driver-cfg";
constexpr const char* kRegistryKey = "Software\\ARVEN\\9XPrinterDriver\\CFG_DAT\\";
constexpr const char* kBaseName = "CFGDAT_DATA";
// Windows 95 keeps binary values small: the data goes in chunks of this size.
constexpr std::size_t kChunkSize = 2048;
struct NamedFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

// The media configuration files of every model that keeps custom media settings, for each of its
// ink sets; a "-D" model's one file serves all of them.
std::vector<NamedFile> ConfigurationFiles() {
    std::vector<NamedFile> files;
    std::set<std::string> names;
    for (const simdriver::Model& model : simdriver::Models()) {
        if (!model.customMedia) {
            continue;
        }
        for (int inkSet : simdriver::InkSetsOf(model)) {
            std::string name = simdriver::ConfigurationFileName(model, inkSet);
            if (names.insert(name).second) {
                files.push_back(
                    {std::move(name), simdriver::BuildMediaConfiguration(model, inkSet)});
            }
        }
    }
    return files;
}

// The second configuration files (A_FCF ... .CFG) of the models that have them.
std::vector<NamedFile> SecondConfigurationFiles() {
    std::vector<NamedFile> files;
    for (const simdriver::Model& model : simdriver::Models()) {
        if (!simdriver::HasSecondConfiguration(model)) {
            continue;
        }
        for (int inkSet : simdriver::InkSetsOf(model)) {
            files.push_back({simdriver::SecondConfigurationFileName(model, inkSet),
                             simdriver::BuildSecondMediaConfiguration(model, inkSet)});
        }
    }
    return files;
}

// "CFGDAT_DATA" with "_A", "_B" or "_C" for ink sets 1 to 3; ink set 4 takes no suffix.
std::string BaseName(int inkSet) {
    static constexpr const char* kSuffixes[] = {"_A", "_B", "_C"};
    return std::string(kBaseName) + (inkSet >= 1 && inkSet <= 3 ? kSuffixes[inkSet - 1] : "");
}

std::vector<std::vector<uint8_t>> Chunks(const std::vector<uint8_t>& data) {
    std::vector<std::vector<uint8_t>> chunks;
    for (std::size_t at = 0; at < data.size(); at += kChunkSize) {
        const std::size_t end = std::min(data.size(), at + kChunkSize);
        chunks.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(at),
                            data.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return chunks;
}

// The value name of chunk k (0-based): the base name, then base name 2, 3, ...
std::string ChunkName(const std::string& base, std::size_t k) {
    return k == 0 ? base : base + std::to_string(k + 1);
}

bool WritePartial(const fs::path& partial, const std::vector<uint8_t>& bytes) {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "%s: cannot write %s\n", kTool, partial.c_str());
        return false;
    }
    return true;
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    const fs::path partial = path.string() + ".new";
    if (!WritePartial(partial, bytes)) {
        return false;
    }
    std::error_code error;
    fs::rename(partial, path, error);
    if (error) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", kTool, path.c_str(),
                     error.message().c_str());
        return false;
    }
    return true;
}

// A file that holds the user's entries once it exists: made whole when it is missing, never
// replaced.
bool CreateUnlessPresent(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::error_code error;
    if (fs::exists(path, error)) {
        return true;
    }
    const fs::path partial = path.string() + ".new";
    if (!WritePartial(partial, bytes)) {
        return false;
    }
    // A link, unlike a rename, fails rather than replace a file that appeared meanwhile.
    fs::create_hard_link(partial, path, error);
    std::error_code ignored;
    fs::remove(partial, ignored);
    if (error && error != std::errc::file_exists) {
        std::fprintf(stderr, "%s: cannot create %s: %s\n", kTool, path.c_str(),
                     error.message().c_str());
        return false;
    }
    return true;
}

std::string RegString(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + '"';
}

// The registry form in the hive text format: one key per driver name and ink set.
std::string RegistryText() {
    std::string text = "Windows Registry Editor Version 5.00\n";
    for (const simdriver::Model& model : simdriver::Models()) {
        if (!model.customMedia) {
            continue;
        }
        for (int inkSet : simdriver::InkSetsOf(model)) {
            const std::string base = BaseName(inkSet);
            const auto chunks = Chunks(simdriver::BuildMediaConfiguration(model, inkSet));
            text += "\n[HKEY_LOCAL_MACHINE\\" + std::string(kRegistryKey) +
                    std::string(model.driverName) + '\\' + base + "]\n";
            char count[32];
            std::snprintf(count, sizeof count, "=dword:%08zx\n", chunks.size() - 1);
            text += RegString(base + "NUM") + count;
            for (std::size_t k = 0; k < chunks.size(); ++k) {
                std::string line = RegString(ChunkName(base, k)) + "=hex:";
                for (std::size_t i = 0; i < chunks[k].size(); ++i) {
                    char byte[4];
                    std::snprintf(byte, sizeof byte, "%02x", chunks[k][i]);
                    if (i > 0) {
                        line += ',';
                        if (i % 24 == 0) {
                            line += "\\\n  ";
                        }
                    }
                    line += byte;
                }
                text += line + '\n';
            }
        }
    }
    return text;
}

bool WriteFiles(const fs::path& directory, const std::vector<NamedFile>& files) {
    for (const NamedFile& file : files) {
        if (!WriteFile(directory / file.name, file.bytes)) {
            return false;
        }
    }
    return true;
}

int WriteOut(const fs::path& directory) {
    std::error_code error;
    fs::create_directories(directory, error);
    const std::string reg = RegistryText();
    return WriteFiles(directory, ConfigurationFiles()) &&
                   WriteFiles(directory, SecondConfigurationFiles()) &&
                   WriteFile(directory / "CFG_DAT.reg",
                             std::vector<uint8_t>(reg.begin(), reg.end()))
               ? 0
               : 1;
}

bool SetValue(reg::HKEY key, const std::string& name, reg::DWORD type,
              const std::vector<uint8_t>& data) {
    return reg::RegSetValueEx(key, name.c_str(), type, data.data(),
                              static_cast<reg::DWORD>(data.size())) == reg::ERROR_SUCCESS;
}

bool InstallRegistryForm() {
    for (const simdriver::Model& model : simdriver::Models()) {
        if (!model.customMedia) {
            continue;
        }
        for (int inkSet : simdriver::InkSetsOf(model)) {
            const std::string base = BaseName(inkSet);
            const std::string path =
                std::string(kRegistryKey) + std::string(model.driverName) + '\\' + base;
            reg::HKEY key = nullptr;
            if (reg::RegCreateKeyEx(reg::HKEY_LOCAL_MACHINE, path.c_str(), reg::KEY_ALL_ACCESS,
                                    &key, nullptr) != reg::ERROR_SUCCESS) {
                std::fprintf(stderr, "%s: cannot create HKEY_LOCAL_MACHINE\\%s\n", kTool,
                             path.c_str());
                return false;
            }
            const auto chunks = Chunks(simdriver::BuildMediaConfiguration(model, inkSet));
            const auto continuations = static_cast<uint32_t>(chunks.size() - 1);
            bool stored = SetValue(
                key, base + "NUM", reg::REG_DWORD,
                {static_cast<uint8_t>(continuations), static_cast<uint8_t>(continuations >> 8),
                 static_cast<uint8_t>(continuations >> 16),
                 static_cast<uint8_t>(continuations >> 24)});
            for (std::size_t k = 0; stored && k < chunks.size(); ++k) {
                stored = SetValue(key, ChunkName(base, k), reg::REG_BINARY, chunks[k]);
            }
            reg::RegCloseKey(key);
            if (!stored) {
                std::fprintf(stderr, "%s: cannot write the values of %s\n", kTool, path.c_str());
                return false;
            }
        }
    }
    return true;
}

// The program files directory as the machine names it for that kind of Windows.
std::string ProgramFiles(int osKind) {
    reg::HKEY key = nullptr;
    if (reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                          reg::KEY_QUERY_VALUE, &key) != reg::ERROR_SUCCESS) {
        return {};
    }
    std::vector<uint8_t> buffer(4096);
    reg::DWORD type = 0;
    auto size = static_cast<reg::DWORD>(buffer.size());
    const char* name = osKind == 2 ? "ProgramFilesDir" : "ProgramFilesPath";
    const bool read =
        reg::RegQueryValueEx(key, name, &type, buffer.data(), &size) == reg::ERROR_SUCCESS;
    reg::RegCloseKey(key);
    if (!read) {
        return {};
    }
    std::string directory(reinterpret_cast<const char*>(buffer.data()),
                          strnlen(reinterpret_cast<const char*>(buffer.data()), size));
    return osKind == 3 && type == reg::REG_EXPAND_SZ ? sys::ExpandEnvironmentStrings(directory)
                                                     : directory;
}

// The files of one kind of Windows NT (2 or 3). The second configuration serves NT 5.0 and later
// only, where it always lies in directory 3; its user configuration comes with it, empty.
bool InstallFiles(int osKind) {
    const fs::path directory =
        fs::path(machine::GetSystemDirectory()) / "spool/Drivers/W32x86" / std::to_string(osKind);
    const bool second = osKind == 3;
    std::error_code error;
    fs::create_directories(directory, error);
    if (!WriteFiles(directory, ConfigurationFiles()) ||
        (second && !WriteFiles(directory, SecondConfigurationFiles()))) {
        return false;
    }
    const std::string programFiles = ProgramFiles(osKind);
    if (programFiles.empty()) {
        std::fprintf(stderr, "%s: the machine names no program files directory\n", kTool);
        return false;
    }
    // The first user configuration files are made there by whoever registers a setting first.
    for (const simdriver::Model& model : simdriver::Models()) {
        if (!model.customMedia) {
            continue;
        }
        const fs::path folder = fs::path(programFiles) / "ARVEN" / model.driverName;
        fs::create_directories(folder, error);
        if (error) {
            std::fprintf(stderr, "%s: cannot create the user configuration folder: %s\n", kTool,
                         error.message().c_str());
            return false;
        }
        if (!second || !simdriver::HasSecondConfiguration(model)) {
            continue;
        }
        for (int inkSet : simdriver::InkSetsOf(model)) {
            if (!CreateUnlessPresent(
                    folder / simdriver::SecondUserConfigurationFileName(model, inkSet),
                    simdriver::EmptySecondUserConfiguration())) {
                return false;
            }
        }
    }
    return true;
}

int Install(const std::string& folder, int osKind) {
    setenv("PLENWISE_MACHINE", folder.c_str(), 1);
    if (!machine::EnsureMachineFolder()) {
        std::fprintf(stderr, "%s: cannot set up the machine folder %s\n", kTool, folder.c_str());
        return 1;
    }
    bool installed = true;
    if (osKind == 0 || osKind == 1) {
        installed = InstallRegistryForm() && installed;
    }
    for (int kind : {2, 3}) {
        if (osKind == 0 || osKind == kind) {
            installed = InstallFiles(kind) && installed;
        }
    }
    return installed ? 0 : 1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: %s --out DIR\n"
                 "       %s --install MACHINE-FOLDER [--os-kind 1|2|3]\n",
                 kTool, kTool);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--out") {
        return WriteOut(args[1]);
    }
    if ((args.size() == 2 || args.size() == 4) && args[0] == "--install" && !args[1].empty()) {
        int osKind = 0;
        if (args.size() == 4) {
            if (args[2] != "--os-kind" || args[3].size() != 1 || args[3][0] < '1' ||
                args[3][0] > '3') {
                return Usage();
            }
            osKind = args[3][0] - '0';
        }
        return Install(fs::absolute(args[1]).string(), osKind);
    }
    return Usage();
}
