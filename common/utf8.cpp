#include "common/utf8.h"

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// The length of the well-formed UTF-8 sequence at text[at], or 0 when there is none.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // the bounds of the second byte, narrowed where the lead byte
    unsigned char high =
        0xBF;  // would allow overlong forms, surrogates or code points past U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsControl(std::string_view sequence) {
    const auto lead = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() == 1) {
        return lead < 0x20 || lead == 0x7F;
    }
    return lead == 0xC2 && static_cast<unsigned char>(sequence[1]) <= 0x9F;
}

int HexValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

}  // namespace

void AppendUtf8(std::string& text, uint32_t codePoint) {
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        text += static_cast<char>(0xE0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (codePoint >> 18));
        text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::string EscapedText(std::string_view raw, Escape what) {
    std::string out;
    out.reserve(raw.size());
    // Whether out ends with a backslash of the text itself, which the next piece may turn into
    // the start of an escape.
    bool plainBackslash = false;
    auto append = [&](std::string_view piece) {
        if (plainBackslash && (piece[0] == '\\' || piece[0] == 'x')) {
            out += '\\';
        }
        out += piece;
    };
    auto appendEscaped = [&](std::string_view bytes) {
        for (char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            const char escape[] = {'\\', 'x', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
            append(std::string_view(escape, sizeof escape));
            plainBackslash = false;
        }
    };
    for (std::size_t at = 0; at < raw.size();) {
        const std::size_t length = SequenceLength(raw, at);
        if (length == 0) {
            appendEscaped(raw.substr(at, 1));
            ++at;
            continue;
        }
        const std::string_view sequence = raw.substr(at, length);
        at += length;
        if (what == Escape::NotUtf8AndControls && IsControl(sequence)) {
            appendEscaped(sequence);
            continue;
        }
        append(sequence);
        plainBackslash = sequence[0] == '\\';
    }
    return out;
}

std::string UnescapedText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\\' || at + 1 == text.size()) {
            out += text[at];
        } else if (text[at + 1] == '\\') {
            out += '\\';
            ++at;
        } else if (text[at + 1] == 'x' && at + 3 < text.size() && HexValue(text[at + 2]) >= 0 &&
                   HexValue(text[at + 3]) >= 0) {
            out += static_cast<char>(HexValue(text[at + 2]) * 16 + HexValue(text[at + 3]));
            at += 3;
        } else {
            out += '\\';
        }
    }
    return out;
}
