#include "resources/util/templates.h"

#include <utility>
#include <vector>

#include "platform/system/message_catalogue.h"

namespace util {

using ui::ControlKind;
using ui::ControlTemplate;
namespace style = ui::style;

namespace {

// A page of the given controls, followed by its message pane and the common buttons.
ui::DialogTemplate Page(int id, std::vector<ControlTemplate> controls, int pane) {
    controls.push_back({ControlKind::MultiLineEdit, pane, 10, 174, 340, 60,
                        style::kReadOnly | style::kVScroll | style::kBorder | style::kMessagePane});
    controls.push_back({ControlKind::PushButton, kPageTopButton, 119, 245, 51, 14, style::kHidden});
    controls.push_back({ControlKind::PushButton, kPageBackButton, 182, 245, 51, 14});
    controls.push_back(
        {ControlKind::PushButton, kPageNextButton, 243, 245, 51, 14, style::kDefault});
    controls.push_back(
        {ControlKind::PushButton, kPageExitButton, 308, 245, 51, 14, style::kCancel});
    return {id, ui::DialogKind::Child, 360, 260, std::move(controls)};
}

constexpr uint32_t kLabel = style::kNoTabStop;

// The header of the setting pages: hidden statics whose texts the page draws itself. It comes
// last, so that its statics label no field.
void AddHeader(std::vector<ControlTemplate>& controls, bool withMedia) {
    controls.push_back({ControlKind::Static, 2018, 14, 4, 36, 10, kLabel | style::kHidden});
    controls.push_back({ControlKind::Static, 2019, 52, 4, 124, 10, kLabel | style::kHidden});
    if (withMedia) {
        controls.push_back({ControlKind::Static, 2020, 180, 4, 36, 10, kLabel | style::kHidden});
        controls.push_back({ControlKind::Static, 2021, 218, 4, 136, 10, kLabel | style::kHidden});
    }
}

// The sample print button and, where offered, the sample image choice below it.
void AddSamplePrint(std::vector<ControlTemplate>& controls, bool imageChoice, int y) {
    controls.push_back({ControlKind::PushButton, 2012, 256, y, 84, 16});
    if (imageChoice) {
        controls.push_back({ControlKind::RadioButton, 2095, 30, y + 18, 150, 11, style::kGroup});
        controls.push_back({ControlKind::RadioButton, 2096, 30, y + 32, 80, 11});
        controls.push_back(
            {ControlKind::Static, 2097, 112, y + 32, 140, 11, kLabel | style::kBorder});
        controls.push_back({ControlKind::PushButton, 2098, 256, y + 30, 60, 14});
    }
}

// A slider with the value edit beside it, then the fixed labels under the slider's ends: the edit
// follows the slider directly, so that both are named by the label before the slider.
void AddSlider(std::vector<ControlTemplate>& controls, int id, ControlTemplate edit,
               const char* lowest, const char* highest) {
    controls.push_back({ControlKind::Trackbar, id, 30, 48, 240, 20, style::kTicks});
    controls.push_back(std::move(edit));
    controls.push_back({ControlKind::Static, -1, 30, 70, 30, 10, kLabel, 0, lowest});
    controls.push_back(
        {ControlKind::Static, -1, 240, 70, 30, 10, kLabel | style::kRight, 0, highest});
}

ControlTemplate Title(int id) {
    return {ControlKind::Static, id, 20, 20, 320, 12, kLabel | style::kHeading};
}

}  // namespace

const ui::DialogTemplate& ServiceMenuTemplate() {
    static const ui::DialogTemplate page =
        Page(3001,
             {
                 {ControlKind::Static, 3000, 20, 16, 320, 14, kLabel | style::kHeading, 0,
                  TR_NOOP("Choose the service to run:")},
                 {ControlKind::CheckBox, 3005, 40, 56, 290, 14},
                 {ControlKind::CheckBox, 3001, 40, 80, 290, 14},
             },
             3034);
    return page;
}

const ui::DialogTemplate& DirectionModeTemplate() {
    static const ui::DialogTemplate page =
        Page(3003,
             {
                 {ControlKind::Static, 3035, 20, 12, 320, 12, kLabel | style::kHeading},
                 {ControlKind::Static, 3026, 30, 36, 140, 10, kLabel},
                 {ControlKind::CheckBox, 3028, 40, 50, 130, 12},
                 {ControlKind::CheckBox, 3030, 40, 66, 130, 12},
                 {ControlKind::Static, 2047, 190, 36, 140, 10, kLabel},
                 {ControlKind::CheckBox, 3029, 200, 50, 130, 12},
                 {ControlKind::CheckBox, 3031, 200, 66, 130, 12},
                 {ControlKind::CheckBox, 3032, 200, 82, 130, 12, style::kHidden},
             },
             3033);
    return page;
}

namespace {

// Ink rows: label, value edit, and the frame where the row's pattern picture is drawn (the
// black/gray row has none). Without a black/gray row its controls are there, hidden.
ui::DialogTemplate MakeGapTemplate(bool blackGrayRow) {
    struct Row {
        int label, edit, frame;
    };
    std::vector<ControlTemplate> controls{
        {ControlKind::Static, 3004, 20, 8, 120, 12, kLabel | style::kHeading},
        {ControlKind::Static, 3024, 150, 10, 60, 10, kLabel},
        {ControlKind::DropDownList, 3030, 212, 7, 70, 14},
        {ControlKind::Static, 3038, 290, 10, 50, 10, kLabel},
    };
    std::vector<Row> rows{{3005, 3012, 3037}};
    if (blackGrayRow) {
        rows.push_back({3006, 3014, -1});
    }
    rows.insert(rows.end(), {{3007, 3015, 2088},
                             {3008, 3016, 2089},
                             {3009, 3017, 2090},
                             {3010, 3018, 2091},
                             {3011, 3019, 2092}});
    const int step = blackGrayRow ? 20 : 24;
    int y = 28;
    for (const Row& row : rows) {
        controls.push_back({ControlKind::Static, row.label, 14, y + 4, 56, 10, kLabel});
        controls.push_back({ControlKind::Edit, row.edit, 72, y + 2, 20, 13, style::kDigitsOnly, 2});
        if (row.frame != -1) {
            controls.push_back({ControlKind::Static, row.frame, 98, y, 170, 20, kLabel});
        }
        y += step;
    }
    if (!blackGrayRow) {
        controls.push_back({ControlKind::Static, 3006, 14, y, 56, 10, kLabel | style::kHidden});
        controls.push_back(
            {ControlKind::Edit, 3014, 72, y, 20, 13, style::kDigitsOnly | style::kHidden, 2});
    }
    controls.push_back({ControlKind::Static, 3036, 276, 30, 76, 40, kLabel});
    controls.push_back({ControlKind::PushButton, 3013, 276, 74, 76, 16});
    controls.push_back({ControlKind::PushButton, 2076, 276, 130, 76, 16});
    return Page(3002, std::move(controls), 3025);
}

}  // namespace

const ui::DialogTemplate& GapTemplate() {
    static const ui::DialogTemplate page = MakeGapTemplate(false);
    return page;
}

const ui::DialogTemplate& SevenValueGapTemplate() {
    static const ui::DialogTemplate page = MakeGapTemplate(true);
    return page;
}

const ui::DialogTemplate& SettingSelectionTemplate() {
    static const ui::DialogTemplate page = [] {
        std::vector<ControlTemplate> controls{
            {ControlKind::Static, 2024, 20, 12, 70, 10, kLabel},
            {ControlKind::DropDownList, 2015, 92, 10, 160, 14},
            {ControlKind::Static, 2025, 20, 32, 320, 10, kLabel | style::kHeading},
        };
        const int boxes[] = {2003, 2004, 2005, 2007, 2008, 2009, 2010};
        int y = 46;
        for (int i = 0; i < 7; ++i) {
            const int height = i == 0 ? 20 : 11;  // the media value takes two lines
            controls.push_back({ControlKind::CheckBox, boxes[i], 30, y, 140, 11});
            controls.push_back({ControlKind::Static, 2058 + i, 174, y + 1, 176, height, kLabel});
            y += height + 6;
        }
        return Page(2000, std::move(controls), 2067);
    }();
    return page;
}

const ui::DialogTemplate& MediaTemplate(bool imageChoice) {
    auto make = [](bool withChoice) {
        std::vector<ControlTemplate> controls{
            Title(2028),
            {ControlKind::DropDownList, 2007, 30, 38, 200, 14},
            {ControlKind::Static, 2029, 30, 62, 60, 10, kLabel},
            {ControlKind::Edit, 2030, 92, 60, 24, 13, style::kDigitsOnly, 2},
            {ControlKind::Static, 2093, 120, 62, 80, 10, kLabel},
        };
        AddSamplePrint(controls, withChoice, 118);
        AddHeader(controls, false);
        return Page(2001, std::move(controls), 2006);
    };
    static const ui::DialogTemplate withChoice = make(true);
    static const ui::DialogTemplate withoutChoice = make(false);
    return imageChoice ? withChoice : withoutChoice;
}

const ui::DialogTemplate& SampleSettingsTemplate() {
    static const ui::DialogTemplate box{
        2002,
        ui::DialogKind::CaptionBox,
        260,
        220,
        {
            {ControlKind::Static, 2053, 10, 8, 240, 10, kLabel | style::kHeading},
            {ControlKind::CheckList, 2014, 10, 22, 240, 100},
            {ControlKind::MultiLineEdit, 2068, 10, 128, 240, 60,
             style::kReadOnly | style::kVScroll | style::kBorder | style::kMessagePane},
            {ControlKind::PushButton, ui::kIdOk, 130, 196, 56, 16, style::kDefault},
            {ControlKind::PushButton, ui::kIdCancel, 194, 196, 56, 16, style::kCancel},
        }};
    return box;
}

const ui::DialogTemplate& HeadPathDelayTemplate() {
    static const ui::DialogTemplate page = [] {
        std::vector<ControlTemplate> controls{Title(2032)};
        AddSlider(controls, 2054, {ControlKind::Edit, 2031, 282, 52, 24, 13, style::kDigitsOnly, 2},
                  "0", "+50");
        controls.push_back({ControlKind::Static, 2077, 310, 54, 44, 10, kLabel});
        AddHeader(controls, true);
        return Page(2003, std::move(controls), 2017);
    }();
    return page;
}

const ui::DialogTemplate& FeedingTemplate(bool imageChoice, bool trackbars) {
    auto make = [](bool withChoice, bool withTrackbars) {
        std::vector<ControlTemplate> controls{
            Title(2033),
            {ControlKind::Static, 2086, 20, 36, 200, 10, kLabel},
            {ControlKind::Static, 2082, 30, 50, 36, 10, kLabel},
            {ControlKind::Edit, 2031, 68, 48, 28, 13, 0, 3},
            {ControlKind::Static, 2085, 170, 50, 36, 10, kLabel},
            {ControlKind::Edit, 2032, 208, 48, 28, 13, 0, 3},
            {ControlKind::Static, 2075, 20, 102, 80, 10, kLabel},
            {ControlKind::Static, 2078, 102, 102, 150, 10, kLabel},
            {ControlKind::Static, 2079, 20, 120, 80, 10, kLabel},
            {ControlKind::Edit, 2080, 102, 118, 28, 13, 0, 3},
        };
        if (withTrackbars) {
            // A trackbar for each end of the range, each with its label below it (first in the
            // template, as a label precedes its field).
            controls.insert(controls.end(),
                            {
                                {ControlKind::Static, 2083, 30, 86, 60, 10, kLabel},
                                {ControlKind::Trackbar, 2055, 30, 64, 140, 20},
                                {ControlKind::Static, 2084, 190, 86, 60, 10, kLabel},
                                {ControlKind::Trackbar, 2056, 190, 64, 140, 20},
                            });
        } else {
            controls.insert(
                controls.end(),
                {
                    {ControlKind::Static, 2099, 100, 50, 50, 10, kLabel},
                    {ControlKind::Static, 2100, 240, 50, 50, 10, kLabel},
                    {ControlKind::Static, 2101, 134, 120, 50, 10, kLabel},
                    {ControlKind::Static, 2094, 30, 64, 300, 24, kLabel | style::kHidden},
                    {ControlKind::Static, 2041, 26, 88, 24, 10, kLabel, 0, "-70"},
                    {ControlKind::Static, 2042, 312, 88, 24, 10, kLabel | style::kRight, 0, "70"},
                });
        }
        AddSamplePrint(controls, withChoice, 116);
        AddHeader(controls, true);
        return Page(2004, std::move(controls), 2069);
    };
    static const ui::DialogTemplate drawn = make(true, false);
    static const ui::DialogTemplate drawnWithoutChoice = make(false, false);
    static const ui::DialogTemplate trackbarsWithChoice = make(true, true);
    static const ui::DialogTemplate withTrackbars = make(false, true);
    if (trackbars) {
        return imageChoice ? trackbarsWithChoice : withTrackbars;
    }
    return imageChoice ? drawn : drawnWithoutChoice;
}

const ui::DialogTemplate& VacuumTemplate() {
    static const ui::DialogTemplate page = [] {
        std::vector<ControlTemplate> controls{
            Title(2040),
            {ControlKind::Trackbar, 2056, 30, 48, 240, 20, style::kTicks},
            {ControlKind::Static, 2041, 14, 70, 50, 10, kLabel | style::kCenter},
        };
        const char* steps[] = {"-1", "-2", "-3", "-4"};
        for (int i = 0; i < 4; ++i) {
            controls.push_back({ControlKind::Static, -1, 80 + i * 57, 70, 24, 10,
                                kLabel | style::kCenter, 0, steps[i]});
        }
        AddHeader(controls, true);
        return Page(2005, std::move(controls), 2070);
    }();
    return page;
}

const ui::DialogTemplate& CutTemplate() {
    static const ui::DialogTemplate page = [] {
        std::vector<ControlTemplate> controls{
            Title(2042),
            {ControlKind::DropDownList, 2023, 30, 40, 160, 14},
        };
        AddHeader(controls, true);
        return Page(2006, std::move(controls), 2071);
    }();
    return page;
}

const ui::DialogTemplate& PrintModeTemplate(bool imageChoice) {
    auto make = [](bool withChoice) {
        std::vector<ControlTemplate> controls{
            Title(2047),
            {ControlKind::DropDownList, 2057, 30, 40, 160, 14},
            {ControlKind::Static, 2075, 20, 120, 220, 10, kLabel},
        };
        AddSamplePrint(controls, withChoice, 118);
        AddHeader(controls, true);
        return Page(2007, std::move(controls), 2072);
    };
    static const ui::DialogTemplate withChoice = make(true);
    static const ui::DialogTemplate withoutChoice = make(false);
    return imageChoice ? withChoice : withoutChoice;
}

const ui::DialogTemplate& DensityTemplate(bool imageChoice) {
    auto make = [](bool withChoice) {
        std::vector<ControlTemplate> controls{Title(2049)};
        AddSlider(controls, 2016, {ControlKind::Edit, 2031, 282, 52, 28, 13, 0, 3}, "-50", "50");
        controls.push_back({ControlKind::Static, -1, 314, 54, 30, 10, kLabel, 0, "(%)"});
        controls.push_back({ControlKind::Static, 2075, 20, 120, 220, 10, kLabel});
        AddSamplePrint(controls, withChoice, 118);
        AddHeader(controls, true);
        return Page(2008, std::move(controls), 2073);
    };
    static const ui::DialogTemplate withChoice = make(true);
    static const ui::DialogTemplate withoutChoice = make(false);
    return imageChoice ? withChoice : withoutChoice;
}

const ui::DialogTemplate& SummaryTemplate() {
    static const ui::DialogTemplate page = [] {
        std::vector<ControlTemplate> controls{
            {ControlKind::Static, 2024, 20, 14, 70, 10, kLabel},
            {ControlKind::Edit, 2066, 92, 12, 130, 13, 0, 16},
            {ControlKind::PushButton, 2076, 256, 10, 84, 16},
        };
        const int labels[] = {2028, 2032, 2033, 2040, 2042, 2047, 2049};
        int y = 40;
        for (int i = 0; i < 7; ++i) {
            const int height = i == 0 ? 20 : 11;
            controls.push_back({ControlKind::Static, labels[i], 20, y, 120, 11, kLabel});
            controls.push_back({ControlKind::Static, 2059 + i, 144, y, 206, height, kLabel});
            y += height + 6;
        }
        return Page(2009, std::move(controls), 2074);
    }();
    return page;
}

}  // namespace util
