#include "util/settings/head_gap.h"

#include <algorithm>

std::optional<GapPattern> GapPatternOf(int code) {
    for (const GapPattern& pattern : kGapPatterns) {
        if (pattern.code == code) {
            return pattern;
        }
    }
    return std::nullopt;
}

bool GapChoice::Complete() const {
    return (unidirectional || bidirectional) && (modeS || modeQap || modeAp2880);
}

std::array<bool, kGapPatterns.size()> GapChoice::Slots() const {
    return {unidirectional && modeS, unidirectional && modeQap, unidirectional && modeAp2880,
            bidirectional && modeS,  bidirectional && modeQap,  bidirectional && modeAp2880};
}

int ClampGapValue(int value) {
    return std::clamp(value, kGapValueLowest, kGapValueHighest);
}
