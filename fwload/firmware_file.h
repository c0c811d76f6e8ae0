// What the firmware plug-in knows of firmware files and versions, and the transfer job that
// carries a file to the printer. Plain C++: the page and the tests share it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
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

// The largest firmware file the transfer takes: the job is held whole in memory and handed to
// the spooler in one write. No firmware comes near this size.
inline constexpr uint64_t kLargestFirmwareFile = 256u * 1024 * 1024;

// Reads the version at offset 16 of a firmware file into `version`, and its size into `size`
// when given. A file shorter than 22 bytes clears the field; a file that cannot be opened leaves
// both as they were. False in that last case.
bool ReadFileVersion(const std::string& path, FirmwareVersion& version, uint64_t* size = nullptr);

// Why a file may not go to a printer, in the order the checks are made.
enum class FirmwareFit {
    Fits,        // same model class, same or newer version
    TooLarge,    // larger than kLargestFirmwareFile
    OtherModel,  // the model classes differ
    Older,       // the file's version number is below the printer's
};
FirmwareFit CheckFirmwareFit(const FirmwareVersion& printerVersion,
                             const FirmwareVersion& fileVersion, uint64_t fileSize);

// The transfer job: 16384 bytes of 0x11, a 10-byte model header, then the file.
inline constexpr size_t kFirmwareLeadInLength = 16384;
inline constexpr uint8_t kFirmwareLeadInByte = 0x11;
inline constexpr size_t kFirmwareHeaderLength = 10;
inline constexpr size_t kFirmwareJobOverhead = kFirmwareLeadInLength + kFirmwareHeaderLength;

// The model header chosen by the second character of the printer's version (either case);
// none for a letter of no class.
std::optional<std::array<uint8_t, kFirmwareHeaderLength>> FirmwareModelHeader(
    const FirmwareVersion& printerVersion);

// A firmware file read once, whole, into the transfer job that will carry it: the lead-in and
// the room for the header first, then the file's bytes. What is checked of a file before it
// goes (its version and size) is read from these very bytes, so a file replaced meanwhile can
// never go out unchecked; the one buffer is all the memory a download holds.
class FirmwareJob {
  public:
    enum class Read {
        Whole,       // every byte of the file is in the job
        Unreadable,  // it cannot be opened, is no regular file, or changed while it was read
        TooLarge,    // larger than kLargestFirmwareFile: not read
        NoMemory,
    };
    Read ReadFile(const std::string& path);

    // The file's version from its bytes (zero when fewer than 22 were read), and its size.
    const FirmwareVersion& Version() const { return version_; }
    uint64_t FileSize() const { return fileSize_; }

    // Sends the job as one raw job of the printer's queue, with the model header chosen by the
    // printer's version. Nothing reaches the printer when the file was not read whole or the
    // version names no model class (the job is then ended empty); none when the job never
    // reached the queue, false when it went incomplete, true when it was written whole.
    std::optional<bool> Send(const std::string& printerName, const FirmwareVersion& printerVersion);

  private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t length_ = 0;  // of the whole job; 0 until a file was read whole
    FirmwareVersion version_{};
    uint64_t fileSize_ = 0;
};
