#include "sim/printer/snmp.h"

#include <algorithm>

namespace printersim {

namespace {

constexpr uint8_t kTagInteger = 0x02;
constexpr uint8_t kTagOctetString = 0x04;
constexpr uint8_t kTagOid = 0x06;
constexpr uint8_t kTagSequence = 0x30;
constexpr size_t kMaxOidLength = 128;

class BerReader {
  public:
    explicit BerReader(std::span<const uint8_t> data) : data_(data) {}

    bool AtEnd() const { return pos_ == data_.size(); }

    // One tag-length-value; the value never reaches past the data.
    bool Read(uint8_t& tag, std::span<const uint8_t>& value) {
        if (data_.size() - pos_ < 2) {
            return false;
        }
        tag = data_[pos_++];
        size_t length = data_[pos_++];
        if (length & 0x80) {
            size_t count = length & 0x7F;
            if (count == 0 || count > 4 || data_.size() - pos_ < count) {
                return false;  // indefinite or oversized lengths are not SNMP
            }
            length = 0;
            for (size_t i = 0; i < count; ++i) {
                length = length << 8 | data_[pos_++];
            }
        }
        if (length > data_.size() - pos_) {
            return false;
        }
        value = data_.subspan(pos_, length);
        pos_ += length;
        return true;
    }

    bool Expect(uint8_t wanted, std::span<const uint8_t>& value) {
        uint8_t tag = 0;
        return Read(tag, value) && tag == wanted;
    }

    bool ReadInteger(int64_t& result) {
        std::span<const uint8_t> value;
        if (!Expect(kTagInteger, value) || value.empty() || value.size() > 8) {
            return false;
        }
        uint64_t bits = (value[0] & 0x80) ? ~uint64_t{0} : 0;
        for (uint8_t byte : value) {
            bits = bits << 8 | byte;
        }
        result = static_cast<int64_t>(bits);
        return true;
    }

  private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

bool DecodeOid(std::span<const uint8_t> bytes, Oid& oid) {
    oid.clear();
    uint64_t value = 0;
    bool first = true;
    for (size_t i = 0; i < bytes.size(); ++i) {
        value = value << 7 | (bytes[i] & 0x7F);
        if (value > 0xFFFFFFFFu) {
            return false;
        }
        if (bytes[i] & 0x80) {
            if (i + 1 == bytes.size()) {
                return false;  // the last sub-identifier is unfinished
            }
            continue;
        }
        if (first) {
            uint32_t head = value < 80 ? static_cast<uint32_t>(value / 40) : 2;
            oid.push_back(head);
            oid.push_back(static_cast<uint32_t>(value - head * 40));
            first = false;
        } else {
            oid.push_back(static_cast<uint32_t>(value));
        }
        if (oid.size() > kMaxOidLength) {
            return false;
        }
        value = 0;
    }
    return !oid.empty();
}

void PutTlv(std::vector<uint8_t>& out, uint8_t tag, const std::vector<uint8_t>& content) {
    out.push_back(tag);
    size_t length = content.size();
    if (length < 0x80) {
        out.push_back(static_cast<uint8_t>(length));
    } else {
        std::vector<uint8_t> digits;
        for (size_t rest = length; rest; rest >>= 8) {
            digits.insert(digits.begin(), static_cast<uint8_t>(rest));
        }
        out.push_back(static_cast<uint8_t>(0x80 | digits.size()));
        out.insert(out.end(), digits.begin(), digits.end());
    }
    out.insert(out.end(), content.begin(), content.end());
}

std::vector<uint8_t> EncodeInteger(int64_t value) {
    std::vector<uint8_t> content;
    auto bits = static_cast<uint64_t>(value);
    for (int shift = 56; shift >= 0; shift -= 8) {
        content.push_back(static_cast<uint8_t>(bits >> shift));
    }
    // Shortest two's complement form.
    while (content.size() > 1 && ((content[0] == 0x00 && !(content[1] & 0x80)) ||
                                  (content[0] == 0xFF && (content[1] & 0x80)))) {
        content.erase(content.begin());
    }
    std::vector<uint8_t> out;
    PutTlv(out, kTagInteger, content);
    return out;
}

std::vector<uint8_t> EncodeOid(const Oid& oid) {
    std::vector<uint8_t> content;
    auto putSub = [&](uint64_t value) {
        std::vector<uint8_t> groups = {static_cast<uint8_t>(value & 0x7F)};
        for (value >>= 7; value; value >>= 7) {
            groups.insert(groups.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
        }
        content.insert(content.end(), groups.begin(), groups.end());
    };
    if (oid.size() >= 2) {
        putSub(uint64_t{oid[0]} * 40 + oid[1]);
        for (size_t i = 2; i < oid.size(); ++i) {
            putSub(oid[i]);
        }
    }
    std::vector<uint8_t> out;
    PutTlv(out, kTagOid, content);
    return out;
}

}  // namespace

const Oid& FirmwareVersionColumn() {
    static const Oid oid = {1, 3, 6, 1, 4, 1, 1571, 1, 2, 2, 2, 1, 1, 2};
    return oid;
}

const Oid& FirmwareVersionInstance() {
    static const Oid oid = [] {
        Oid instance = FirmwareVersionColumn();
        instance.push_back(1);
        instance.push_back(1);
        return instance;
    }();
    return oid;
}

std::optional<SnmpMessage> ParseSnmpMessage(std::span<const uint8_t> datagram) {
    BerReader outer(datagram);
    std::span<const uint8_t> body;
    if (!outer.Expect(kTagSequence, body) || !outer.AtEnd()) {
        return std::nullopt;
    }
    SnmpMessage message;
    BerReader fields(body);
    std::span<const uint8_t> community;
    std::span<const uint8_t> pdu;
    if (!fields.ReadInteger(message.version) || !fields.Expect(kTagOctetString, community) ||
        !fields.Read(message.pduType, pdu) || !fields.AtEnd()) {
        return std::nullopt;
    }
    message.community.assign(community.begin(), community.end());
    BerReader pduFields(pdu);
    std::span<const uint8_t> list;
    if (!pduFields.ReadInteger(message.requestId) || !pduFields.ReadInteger(message.errorStatus) ||
        !pduFields.ReadInteger(message.errorIndex) || !pduFields.Expect(kTagSequence, list) ||
        !pduFields.AtEnd()) {
        return std::nullopt;
    }
    BerReader bindings(list);
    while (!bindings.AtEnd()) {
        std::span<const uint8_t> binding;
        if (!bindings.Expect(kTagSequence, binding)) {
            return std::nullopt;
        }
        BerReader parts(binding);
        std::span<const uint8_t> oidBytes;
        std::span<const uint8_t> value;
        uint8_t valueTag = 0;
        SnmpVarBind varBind;
        if (!parts.Expect(kTagOid, oidBytes) || !DecodeOid(oidBytes, varBind.oid) ||
            !parts.Read(valueTag, value) || !parts.AtEnd()) {
            return std::nullopt;
        }
        std::vector<uint8_t> content(value.begin(), value.end());
        PutTlv(varBind.encodedValue, valueTag, content);
        message.varBinds.push_back(std::move(varBind));
    }
    return message;
}

std::vector<uint8_t> EncodeSnmpMessage(const SnmpMessage& message) {
    std::vector<uint8_t> list;
    for (const auto& varBind : message.varBinds) {
        std::vector<uint8_t> binding = EncodeOid(varBind.oid);
        binding.insert(binding.end(), varBind.encodedValue.begin(), varBind.encodedValue.end());
        PutTlv(list, kTagSequence, binding);
    }
    std::vector<uint8_t> pdu = EncodeInteger(message.requestId);
    for (int64_t field : {message.errorStatus, message.errorIndex}) {
        auto encoded = EncodeInteger(field);
        pdu.insert(pdu.end(), encoded.begin(), encoded.end());
    }
    PutTlv(pdu, kTagSequence, list);

    std::vector<uint8_t> body = EncodeInteger(message.version);
    PutTlv(body, kTagOctetString,
           std::vector<uint8_t>(message.community.begin(), message.community.end()));
    PutTlv(body, message.pduType, pdu);
    std::vector<uint8_t> out;
    PutTlv(out, kTagSequence, body);
    return out;
}

std::vector<uint8_t> EncodeOctetString(const std::string& text) {
    std::vector<uint8_t> out;
    PutTlv(out, kTagOctetString, std::vector<uint8_t>(text.begin(), text.end()));
    return out;
}

std::string FormatOid(const Oid& oid) {
    std::string text;
    for (uint32_t sub : oid) {
        text += (text.empty() ? "" : ".") + std::to_string(sub);
    }
    return text;
}

std::optional<std::vector<uint8_t>> AnswerSnmp(std::span<const uint8_t> datagram,
                                               const std::string& firmwareVersion) {
    auto request = ParseSnmpMessage(datagram);
    if (!request || request->version != 0 || request->community != kSnmpCommunity ||
        (request->pduType != kPduGet && request->pduType != kPduGetNext)) {
        return std::nullopt;
    }
    const Oid& instance = FirmwareVersionInstance();
    SnmpMessage reply = *request;
    reply.pduType = kPduResponse;
    reply.errorStatus = 0;
    reply.errorIndex = 0;
    for (size_t i = 0; i < reply.varBinds.size(); ++i) {
        auto& varBind = reply.varBinds[i];
        bool found = request->pduType == kPduGet
                         ? varBind.oid == instance
                         : std::lexicographical_compare(varBind.oid.begin(), varBind.oid.end(),
                                                        instance.begin(), instance.end());
        if (!found) {
            // Version 1 answers a miss with the request's bindings unchanged.
            reply.varBinds = request->varBinds;
            reply.errorStatus = kErrorNoSuchName;
            reply.errorIndex = static_cast<int64_t>(i + 1);
            break;
        }
        varBind.oid = instance;
        varBind.encodedValue = EncodeOctetString(firmwareVersion);
    }
    return EncodeSnmpMessage(reply);
}

}  // namespace printersim
