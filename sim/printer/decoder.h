// Reads the bytes of one job as the printer would: remote-mode blocks and their commands, the
// sample-series switch, the packet-mode exit, the firmware transfer and PDF documents. Whatever
// is not one of these is kept as an unparsed stretch; no input can make the decoder read outside
// the job.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace printersim {

enum class ItemKind {
    kReset,             // 1B 40
    kEnterRemote,       // 1B 28 52 08 00 00 "REMOTE1"
    kRemoteCommand,     // two letters, 16-bit length, parameters
    kLeaveRemote,       // 1B 00 00 00
    kFormFeed,          // 0D 0A 0C
    kPacketModeExit,    // 00 00 00 1B 01 "@AJL 1284.4" LF "@AJL     " LF
    kSampleSeries,      // 1B 7C 01 06 00 k1 k2 E8 17 74 f
    kFirmwareTransfer,  // 16384 x 11, model header, the file
    kPdf,               // "%PDF" up to its last "%%EOF"
    kUnparsed,
};

inline constexpr size_t kFirmwareLeadIn = 16384;
inline constexpr size_t kFirmwareHeaderLength = 10;
inline constexpr uint8_t kFirmwareClass1Byte = 0x23;
inline constexpr uint8_t kFirmwareClass2Byte = 0x39;

struct DecodedItem {
    ItemKind kind = ItemKind::kUnparsed;
    size_t offset = 0;  // where the item starts in the job
    size_t length = 0;  // bytes it covers
    // Remote command: its two letters and parameter bytes. Sample series: its six parameter
    // bytes. Firmware transfer: the ten header bytes (fewer when the job ends early).
    std::string command;
    std::vector<uint8_t> params;
    // Firmware file or PDF document: where it lies in the job.
    size_t dataOffset = 0;
    size_t dataLength = 0;
    std::string note;  // what is odd about the item, or why it is unparsed
};

struct DecodedJob {
    std::vector<DecodedItem> items;
    bool endsInRemoteMode = false;
};

DecodedJob DecodeJob(std::span<const uint8_t> job);

// One readable line per item, e.g. "DA m=10 c=12 v=8".
std::string DescribeItem(const DecodedItem& item, std::span<const uint8_t> job);

// What kind of job this is, e.g. "power cleaning" or "head-gap store".
std::string ClassifyJob(const DecodedJob& decoded, size_t jobLength);

// The firmware file's version (6 characters at offset 16), empty when the file is too short.
std::string FirmwareFileVersion(std::span<const uint8_t> file);

// The model class of a 6-character firmware version: 1 for letters N to V, 2 for A to E and
// W to Z (second character, either case), 0 otherwise or when the first character is not B.
int FirmwareVersionClass(const std::string& version);

size_t CountPdfPages(std::span<const uint8_t> pdf);

// Whether a remote command has the exact parameter layout the printer expects; only such
// commands take effect.
bool IsWellFormedCommand(const DecodedItem& item);

}  // namespace printersim
