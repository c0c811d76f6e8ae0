// What the firmware plug-in knows of firmware files and versions, and the transfer job that
// carries a file to the printer. Plain C++: the page and the tests share it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// A firmware version field: 6 characters, zero-filled to 16 bytes, NUL-terminated.
using FirmwareVersion = std::array<char, 16>;

inline constexpr size_t kFirmwareVersionLength = 6;

// The version in a version field as text (up to its first NUL, at most 6 characters).
std::string FirmwareVersionText(const FirmwareVersion& version);

// 1 for letters "N" to "V", 2 for "A" to "E" and "W" to "Z" (the second character, any case),
// 0 when the first character is not "B" or the letter belongs to no class.
int FirmwareModelClass(const FirmwareVersion& version);

// Characters 5, 6, 3, 4 read as one hexadecimal number, up to the first character that is not
// a hexadecimal digit.
uint32_t FirmwareNumber(const FirmwareVersion& version);

// Reads the version at offset 16 of a firmware file into `version`. A file shorter than 22 bytes
// clears the field; a file that cannot be opened leaves it as it was. False in that last case.
bool ReadFileVersion(const std::string& path, FirmwareVersion& version);

// Why a file may not go to a printer, in the order the checks are made.
enum class FirmwareFit {
    Fits,        // same model class, same or newer version
    OtherModel,  // the model classes differ
    Older,       // the file's version number is below the printer's
};
FirmwareFit CheckFirmwareFit(const FirmwareVersion& printerVersion,
                             const FirmwareVersion& fileVersion);

// The transfer job: 16384 bytes of 0x11, a 10-byte model header, then the file.
inline constexpr size_t kFirmwareLeadInLength = 16384;
inline constexpr uint8_t kFirmwareLeadInByte = 0x11;
inline constexpr size_t kFirmwareHeaderLength = 10;
inline constexpr size_t kFirmwareJobOverhead = kFirmwareLeadInLength + kFirmwareHeaderLength;

// The model header chosen by the second character of the printer's version (either case);
// none for a letter of no class.
std::optional<std::array<uint8_t, kFirmwareHeaderLength>> FirmwareModelHeader(
    const FirmwareVersion& printerVersion);

// Sends the firmware file as one raw job of the printer's queue. The job is ended (empty) when
// the file cannot be read whole or the printer's version names no model class; true only when
// the whole job was written.
bool SendFirmwareJob(const std::string& printerName, const std::string& firmwarePath,
                     const FirmwareVersion& printerVersion);
