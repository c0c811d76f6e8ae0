// Byte blocks as the program sends them to a printer, spelled out byte for byte, and a few
// helpers for the simulator tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

inline Bytes Text(std::string_view text) {
    return {text.begin(), text.end()};
}

inline std::string AsString(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

inline Bytes RemoteHeader() {
    return Join({{0x1B, 0x40}, {0x1B, 0x28, 0x52, 0x08, 0x00, 0x00}, Text("REMOTE1")});
}

inline Bytes Command(std::string_view name, Bytes params) {
    Bytes bytes = Text(name);
    bytes.push_back(static_cast<uint8_t>(params.size()));
    bytes.push_back(static_cast<uint8_t>(params.size() >> 8));
    return Join({bytes, params});
}

inline Bytes Leave() {
    return {0x1B, 0x00, 0x00, 0x00};
}

inline Bytes FormFeedTail() {
    return {0x0D, 0x0A, 0x0C, 0x1B, 0x40};
}

inline Bytes PacketModeExit() {
    return Join({{0x00, 0x00, 0x00, 0x1B, 0x01}, Text("@AJL 1284.4\n@AJL     \n")});
}

inline Bytes PowerCleaning() {
    return Join({RemoteHeader(), {0x43, 0x48, 0x02, 0x00, 0x00, 0x10}, Leave()});
}

// util's store block for pattern code 253 (mode 10, first control left out), platen gap 0.
inline Bytes HeadGapStore253(std::initializer_list<uint8_t> values) {
    Bytes block =
        Join({RemoteHeader(), Command("PH", {0x00, 0x01}), Command("SN", {0x00, 0x01, 0x03})});
    uint8_t code = 0x12;
    for (uint8_t value : values) {
        block = Join({block, Command("DA", {0x00, 0x10, code++, value})});
    }
    return Join({block, Command("SV", {}), Leave()});
}

inline Bytes HeadGapLeave() {
    return Join({RemoteHeader(), {0x4C, 0x44, 0x00, 0x00}, Leave()});
}

inline Bytes SampleSeries(uint8_t k1, uint8_t k2, bool on) {
    return {0x1B, 0x7C, 0x01, 0x06, 0x00, k1, k2, 0xE8, 0x17, 0x74, static_cast<uint8_t>(on)};
}

inline Bytes FirmwarePreDownload() {
    return Join({{0x1B, 0x40},
                 PacketModeExit(),
                 RemoteHeader(),
                 {0x53, 0x54, 0x02, 0x00, 0x00, 0x00},
                 {0x53, 0x4D, 0x02, 0x00, 0x00, 0x00},
                 Leave()});
}

// A firmware file of the given size with its version at offset 16.
inline Bytes FirmwareFile(std::string_view version, size_t size) {
    Bytes file(size, 0x5A);
    for (size_t i = 0; i < version.size() && 16 + i < size; ++i) {
        file[16 + i] = static_cast<uint8_t>(version[i]);
    }
    return file;
}

inline constexpr uint8_t kClass1 = 0x23;
inline constexpr uint8_t kClass2 = 0x39;

inline Bytes FirmwareTransfer(uint8_t modelByte, const Bytes& file) {
    return Join({Bytes(16384, 0x11),
                 {0x1B, 0x7D, 0x01, 0x05, 0x00, modelByte, 0x03, 0x70, 0x8F, 0x38},
                 file});
}

// The 14 bytes of the firmware version's object identifier 1.3.6.1.4.1.1571.1.2.2.2.1.1.2.
inline Bytes FirmwareOid() {
    return {0x2B, 0x06, 0x01, 0x04, 0x01, 0x8C, 0x23, 0x01, 0x02, 0x02, 0x02, 0x01, 0x01, 0x02};
}

// The 46-byte GetNextRequest for the firmware version.
inline Bytes SnmpFirmwareRequest() {
    return Join({{0x30, 0x2C, 0x02, 0x01, 0x00, 0x04, 0x06},
                 Text("vetrik"),
                 {0xA1, 0x1F, 0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x14,
                  0x30, 0x12, 0x06, 0x0E},
                 FirmwareOid(),
                 {0x05, 0x00}});
}

}  // namespace simtest
