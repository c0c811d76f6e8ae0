#include "platform/system/version_info.h"

#include <elf.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/system/module.h"

namespace sys {

namespace {

constexpr const char* kNoteSection = ".note.plenwise.version";
constexpr const char kNoteName[] = "Plenwise";
constexpr uint32_t kNoteType = 1;
constexpr uint64_t kMaxSectionBytes = 64 * 1024;

std::string Locate(const std::string& file) {
    if (file.find('/') != std::string::npos) {
        return file;
    }
    std::string program = ExecutablePath();
    return program.substr(0, program.rfind('/') + 1) + file;
}

bool ReadAt(std::ifstream& in, uint64_t offset, void* data, uint64_t size, uint64_t fileSize) {
    if (offset > fileSize || size > fileSize - offset) {
        return false;
    }
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    return static_cast<uint64_t>(in.gcount()) == size;
}

// The version record's description bytes, read from the file's section headers. Every offset
// and size comes from the file and is checked against it before use.
std::optional<std::vector<uint8_t>> ReadVersionRecord(const std::string& file) {
    std::error_code error;
    std::string path = Locate(file);
    uint64_t fileSize = std::filesystem::file_size(path, error);
    if (error) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    Elf64_Ehdr header{};
    if (!in || !ReadAt(in, 0, &header, sizeof header, fileSize) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB ||
        header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shstrndx >= header.e_shnum) {
        return std::nullopt;
    }
    auto section = [&](uint32_t index, Elf64_Shdr& out) {
        return ReadAt(in, header.e_shoff + uint64_t{index} * sizeof(Elf64_Shdr), &out, sizeof out,
                      fileSize);
    };
    Elf64_Shdr names{};
    if (!section(header.e_shstrndx, names) || names.sh_size > kMaxSectionBytes) {
        return std::nullopt;
    }
    std::vector<char> nameTable(names.sh_size + 1, '\0');
    if (!ReadAt(in, names.sh_offset, nameTable.data(), names.sh_size, fileSize)) {
        return std::nullopt;
    }
    for (uint32_t i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr candidate{};
        if (!section(i, candidate) || candidate.sh_name >= names.sh_size ||
            std::strcmp(nameTable.data() + candidate.sh_name, kNoteSection) != 0) {
            continue;
        }
        if (candidate.sh_size > kMaxSectionBytes) {
            return std::nullopt;
        }
        std::vector<uint8_t> notes(candidate.sh_size);
        if (!ReadAt(in, candidate.sh_offset, notes.data(), notes.size(), fileSize)) {
            return std::nullopt;
        }
        // Walk the notes: each is a header, its name and its description, both padded to 4.
        size_t at = 0;
        while (notes.size() - at >= sizeof(Elf64_Nhdr)) {
            Elf64_Nhdr note{};
            std::memcpy(&note, notes.data() + at, sizeof note);
            at += sizeof note;
            uint64_t nameBytes = (uint64_t{note.n_namesz} + 3) & ~uint64_t{3};
            uint64_t descBytes = (uint64_t{note.n_descsz} + 3) & ~uint64_t{3};
            if (nameBytes > notes.size() - at || descBytes > notes.size() - at - nameBytes) {
                return std::nullopt;
            }
            bool ours = note.n_type == kNoteType && note.n_namesz == sizeof kNoteName &&
                        std::memcmp(notes.data() + at, kNoteName, sizeof kNoteName) == 0;
            at += nameBytes;
            if (ours) {
                return std::vector<uint8_t>(
                    notes.begin() + static_cast<std::ptrdiff_t>(at),
                    notes.begin() + static_cast<std::ptrdiff_t>(at + note.n_descsz));
            }
            at += descBytes;
        }
    }
    return std::nullopt;
}

}  // namespace

uint32_t GetFileVersionInfoSize(const std::string& file) {
    auto record = ReadVersionRecord(file);
    return record ? static_cast<uint32_t>(record->size()) : 0;
}

bool GetFileVersionInfo(const std::string& file, uint32_t size, void* data) {
    auto record = ReadVersionRecord(file);
    if (!record || data == nullptr) {
        return false;
    }
    std::memcpy(data, record->data(), std::min<size_t>(size, record->size()));
    return true;
}

bool VerQueryRootBlock(const void* data, uint32_t size, FixedFileInfo& info) {
    if (data == nullptr || size < sizeof info) {
        return false;
    }
    std::memcpy(&info, data, sizeof info);
    return info.signature == kFixedFileInfoSignature;
}

std::string FileVersionText(const std::string& file) {
    const uint32_t size = GetFileVersionInfoSize(file);
    if (size == 0) {
        return {};
    }
    std::vector<uint8_t> data(size);
    FixedFileInfo info{};
    if (!GetFileVersionInfo(file, size, data.data()) ||
        !VerQueryRootBlock(data.data(), size, info)) {
        return {};
    }
    char text[16];
    std::snprintf(text, sizeof text, "%u.%02u", info.fileVersionMS >> 16,
                  info.fileVersionMS & 0xFFFF);
    return text;
}

}  // namespace sys
