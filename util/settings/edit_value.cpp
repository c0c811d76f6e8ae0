#include "util/settings/edit_value.h"

#include <climits>
#include <cstdint>

int EditValue(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    int64_t value = 0;
    for (size_t i = negative ? 1 : 0; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT_MAX} + 1) {
            value = int64_t{INT_MAX} + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

bool IsSignedNumberText(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c < '0' || c > '9') && !(i == 0 && c == '-')) {
            return false;
        }
    }
    return true;
}
