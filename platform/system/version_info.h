// Module version information read from a file without loading it: every deliverable carries a
// version record (an ELF note) that the build writes into it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/export.h"

namespace sys {

// The fixed file-version block of a version record.
struct FixedFileInfo {
    uint32_t signature;  // 0xFEEF04BD
    uint32_t structureVersion;
    uint32_t fileVersionMS;  // major << 16 | minor
    uint32_t fileVersionLS;
    uint32_t productVersionMS;
    uint32_t productVersionLS;
    uint32_t fileFlagsMask;
    uint32_t fileFlags;
    uint32_t fileOS;
    uint32_t fileType;
    uint32_t fileSubtype;
    uint32_t fileDateMS;
    uint32_t fileDateLS;
};

inline constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

// The size of the file's version information, 0 when it has none (or cannot be read). A plain
// name is looked for as a library would be: in the program's own directory first.
PLENWISE_API uint32_t GetFileVersionInfoSize(const std::string& file);
// Copies the version information into data (at most size bytes); false when there is none.
PLENWISE_API bool GetFileVersionInfo(const std::string& file, uint32_t size, void* data);
// The root block of version information: its fixed file-version block, or false when the data
// holds none.
PLENWISE_API bool VerQueryRootBlock(const void* data, uint32_t size, FixedFileInfo& info);

// The file's version as the about box lists it: the major number, a dot and the minor number in
// at least two digits (file version 1.5 gives "1.05"); "" when the file has no version record.
PLENWISE_API std::string FileVersionText(const std::string& file);

}  // namespace sys
