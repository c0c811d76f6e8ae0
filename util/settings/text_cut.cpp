#include "util/settings/text_cut.h"

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string_view PrefixFittingBytes(std::string_view text, std::size_t capacity) {
    if (text.size() <= capacity) {
        return text;
    }
    std::size_t end = capacity;
    while (end > 0 && IsContinuationByte(text[end])) {
        --end;
    }
    return text.substr(0, end);
}
