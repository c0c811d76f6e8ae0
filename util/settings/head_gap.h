// The head-gap adjustment as plain rules: the six gap patterns, which of them the direction and
// mode choice selects, and the range of the values an operator enters per ink row.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

// One gap page per pattern code; the host keeps them in slots 3 to 8 in this order.
struct GapPattern {
    int code;
    size_t slot;
    const char* label;  // the pattern number shown on the page
    int imageList;      // key of the host's image list its pictures come from
    bool unidirectional;
};

inline constexpr std::array<GapPattern, 6> kGapPatterns{{
    {253, 3, "#1", 10, true},
    {254, 4, "#2", 10, true},
    {255, 5, "#3", 10, true},
    {250, 6, "#1", 20, false},
    {251, 7, "#2", 20, false},
    {252, 8, "#3", 20, false},
}};
inline constexpr size_t kFirstGapSlot = 3;

std::optional<GapPattern> GapPatternOf(int code);

// What the direction and mode page has ticked.
struct GapChoice {
    bool unidirectional = false;
    bool bidirectional = false;
    bool modeS = false;
    bool modeQap = false;
    bool modeAp2880 = false;

    // A direction and a mode are both needed before the gap pages can follow.
    bool Complete() const;
    // Whether each gap slot (3 to 8, in kGapPatterns order) takes part.
    std::array<bool, kGapPatterns.size()> Slots() const;
};

// Gap values of the ink rows: 1 to 15, 8 to start with and after every sent pattern.
inline constexpr int kGapValueLowest = 1;
inline constexpr int kGapValueHighest = 15;
inline constexpr int kGapValueDefault = 8;
int ClampGapValue(int value);
