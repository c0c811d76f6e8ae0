#include "fwload/firmware_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "common/raw_job.h"
#include "platform/system/file.h"

namespace {

constexpr size_t kVersionOffset = 16;
constexpr size_t kVersionBytesRead = 33;

// Files are held whole in memory and written in one call whose length is 32 bits; no firmware
// comes near this size, so anything larger is not a firmware file.
constexpr uint64_t kLargestFirmwareFile = 256u * 1024 * 1024;

constexpr std::array<uint8_t, kFirmwareHeaderLength> kClass1Header{0x1B, 0x7D, 0x01, 0x05, 0x00,
                                                                   0x23, 0x03, 0x70, 0x8F, 0x38};
constexpr std::array<uint8_t, kFirmwareHeaderLength> kClass2Header{0x1B, 0x7D, 0x01, 0x05, 0x00,
                                                                   0x39, 0x03, 0x70, 0x8F, 0x38};

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

int LetterClass(char letter) {
    letter = Upper(letter);
    if ((letter >= 'A' && letter <= 'E') || (letter >= 'W' && letter <= 'Z')) {
        return 2;
    }
    if (letter >= 'N' && letter <= 'V') {
        return 1;
    }
    return 0;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = Upper(c);
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

}  // namespace

std::string FirmwareVersionText(const FirmwareVersion& version) {
    return std::string(version.data(), strnlen(version.data(), kFirmwareVersionLength));
}

int FirmwareModelClass(const FirmwareVersion& version) {
    if (Upper(version[0]) != 'B') {
        return 0;
    }
    return LetterClass(version[1]);
}

uint32_t FirmwareNumber(const FirmwareVersion& version) {
    uint32_t number = 0;
    for (size_t index : {4, 5, 2, 3}) {
        const int digit = HexDigit(version[index]);
        if (digit < 0) {
            break;
        }
        number = number * 16 + static_cast<uint32_t>(digit);
    }
    return number;
}

bool ReadFileVersion(const std::string& path, FirmwareVersion& version) {
    sys::InputFile file(path);
    if (!file.IsOpen()) {
        return false;
    }
    std::array<uint8_t, kVersionBytesRead> head{};
    const size_t got = file.ReadAt(0, head.data(), head.size());
    version.fill(0);
    if (got >= kVersionOffset + kFirmwareVersionLength) {
        std::copy_n(head.begin() + kVersionOffset, kFirmwareVersionLength, version.begin());
    }
    return true;
}

FirmwareFit CheckFirmwareFit(const FirmwareVersion& printerVersion,
                             const FirmwareVersion& fileVersion) {
    if (FirmwareModelClass(printerVersion) != FirmwareModelClass(fileVersion)) {
        return FirmwareFit::OtherModel;
    }
    if (FirmwareNumber(fileVersion) < FirmwareNumber(printerVersion)) {
        return FirmwareFit::Older;
    }
    return FirmwareFit::Fits;
}

std::optional<std::array<uint8_t, kFirmwareHeaderLength>> FirmwareModelHeader(
    const FirmwareVersion& printerVersion) {
    switch (LetterClass(printerVersion[1])) {
        case 1:
            return kClass1Header;
        case 2:
            return kClass2Header;
        default:
            return std::nullopt;
    }
}

bool SendFirmwareJob(const std::string& printerName, const std::string& firmwarePath,
                     const FirmwareVersion& printerVersion) {
    // The job is made whole in memory first; when the file cannot be read whole, or the printer
    // names no model class, the printer gets an empty document.
    std::unique_ptr<uint8_t[]> job;
    size_t jobLength = 0;
    sys::InputFile file(firmwarePath);
    const auto header = FirmwareModelHeader(printerVersion);
    if (header && file.IsOpen() && file.Size() <= kLargestFirmwareFile) {
        const auto length = static_cast<size_t>(file.Size());
        // Not cleared first: every byte is written below, and clearing a hundred megabytes
        // costs about as much as reading them.
        job.reset(new (std::nothrow) uint8_t[kFirmwareJobOverhead + length]);
        if (job) {
            std::fill_n(job.get(), kFirmwareLeadInLength, kFirmwareLeadInByte);
            std::copy(header->begin(), header->end(), job.get() + kFirmwareLeadInLength);
            if (file.ReadAt(0, job.get() + kFirmwareJobOverhead, length) == length) {
                jobLength = kFirmwareJobOverhead + length;
            }
        }
    }
    const std::optional<bool> written =
        WriteRawDocument(printerName, job.get(), static_cast<uint32_t>(jobLength));
    return jobLength > 0 && written.value_or(false);
}
