// The printer's SNMP version 1 agent: one object, the firmware version, read with community
// "vetrik". Requests are decoded from BER with every length checked against the datagram.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace printersim {

using Oid = std::vector<uint32_t>;

inline constexpr std::string_view kSnmpCommunity = "vetrik";
// The firmware version column, and the one instance of it that the printer answers with.
const Oid& FirmwareVersionColumn();
const Oid& FirmwareVersionInstance();

struct SnmpVarBind {
    Oid oid;
    std::vector<uint8_t> encodedValue;  // the whole TLV of the value
};

struct SnmpMessage {
    int64_t version = 0;
    std::string community;
    uint8_t pduType = 0;  // A0 get, A1 get-next, A2 response, ...
    int64_t requestId = 0;
    int64_t errorStatus = 0;
    int64_t errorIndex = 0;
    std::vector<SnmpVarBind> varBinds;
};

inline constexpr uint8_t kPduGet = 0xA0;
inline constexpr uint8_t kPduGetNext = 0xA1;
inline constexpr uint8_t kPduResponse = 0xA2;
inline constexpr int64_t kErrorNoSuchName = 2;

std::optional<SnmpMessage> ParseSnmpMessage(std::span<const uint8_t> datagram);
std::vector<uint8_t> EncodeSnmpMessage(const SnmpMessage& message);
std::vector<uint8_t> EncodeOctetString(const std::string& text);
std::string FormatOid(const Oid& oid);

// The agent's reply to one datagram, or nothing when it is ignored (not version 1, another
// community, not a get or get-next request, or not valid BER).
std::optional<std::vector<uint8_t>> AnswerSnmp(std::span<const uint8_t> datagram,
                                               const std::string& firmwareVersion);

}  // namespace printersim
