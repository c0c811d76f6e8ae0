#include "fwload/firmware_file.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "common/raw_job.h"
#include "platform/system/file.h"

namespace {

constexpr size_t kVersionOffset = 16;
constexpr size_t kVersionBytesRead = 33;

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

// Asks for huge pages under a large buffer: filling a hundred megabytes page by page costs
// several times the copying itself. Only whole huge pages inside the buffer are advised; where
// the system has none, nothing changes.
void AdviseHugePages(uint8_t* buffer, size_t length) {
    constexpr uintptr_t kHugePage = 2u * 1024 * 1024;
    const auto start = reinterpret_cast<uintptr_t>(buffer);
    const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (start + length) & ~(kHugePage - 1);
    if (end > first) {
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
}

// The version field of the first `length` bytes of a file.
FirmwareVersion VersionOfHead(const uint8_t* head, size_t length) {
    FirmwareVersion version{};
    if (length >= kVersionOffset + kFirmwareVersionLength) {
        std::copy_n(head + kVersionOffset, kFirmwareVersionLength, version.begin());
    }
    return version;
}

bool ReadFileVersion(const std::string& path, FirmwareVersion& version, uint64_t* size) {
    sys::InputFile file(path);
    if (!file.IsOpen()) {
        return false;
    }
    std::array<uint8_t, kVersionBytesRead> head{};
    version = VersionOfHead(head.data(), file.ReadAt(0, head.data(), head.size()));
    if (size != nullptr) {
        *size = file.Size();
    }
    return true;
}

FirmwareFit CheckFirmwareFit(const FirmwareVersion& printerVersion,
                             const FirmwareVersion& fileVersion, uint64_t fileSize) {
    if (fileSize > kLargestFirmwareFile) {
        return FirmwareFit::TooLarge;
    }
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

FirmwareJob::Read FirmwareJob::ReadFile(const std::string& path) {
    bytes_.reset();
    length_ = 0;
    version_.fill(0);
    fileSize_ = 0;
    sys::InputFile file(path);
    if (!file.IsOpen()) {
        return Read::Unreadable;
    }
    fileSize_ = file.Size();
    if (fileSize_ > kLargestFirmwareFile) {
        std::array<uint8_t, kVersionBytesRead> head{};
        version_ = VersionOfHead(head.data(), file.ReadAt(0, head.data(), head.size()));
        return Read::TooLarge;
    }
    const auto length = static_cast<size_t>(fileSize_);
    // Not cleared first: every byte is written below, and clearing a hundred megabytes costs
    // about as much as reading them.
    bytes_.reset(new (std::nothrow) uint8_t[kFirmwareJobOverhead + length]);
    if (!bytes_) {
        return Read::NoMemory;
    }
    AdviseHugePages(bytes_.get(), kFirmwareJobOverhead + length);
    uint8_t* const body = bytes_.get() + kFirmwareJobOverhead;
    const size_t got = file.ReadAt(0, body, length);
    version_ = VersionOfHead(body, got);
    // A file that ends early or has grown since it was opened is being written: what was read
    // is no whole file.
    uint8_t beyond = 0;
    if (got != length || file.ReadAt(fileSize_, &beyond, 1) != 0) {
        bytes_.reset();
        return Read::Unreadable;
    }
    std::fill_n(bytes_.get(), kFirmwareLeadInLength, kFirmwareLeadInByte);
    length_ = kFirmwareJobOverhead + length;
    return Read::Whole;
}

std::optional<bool> FirmwareJob::Send(const std::string& printerName,
                                      const FirmwareVersion& printerVersion) {
    const auto header = FirmwareModelHeader(printerVersion);
    const bool whole = header && length_ > 0;
    if (whole) {
        std::copy(header->begin(), header->end(), bytes_.get() + kFirmwareLeadInLength);
    }
    const std::optional<bool> written = WriteRawDocument(
        printerName, whole ? bytes_.get() : nullptr, whole ? static_cast<uint32_t>(length_) : 0);
    if (written && !whole) {
        return false;
    }
    return written;
}
