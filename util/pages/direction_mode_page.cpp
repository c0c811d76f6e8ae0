#include "util/pages/direction_mode_page.h"

#include "platform/ui/controls.h"
#include "resources/util/templates.h"
#include "util/wizard_host.h"

namespace util {

namespace {
constexpr int kUnidirectional = 3028;
constexpr int kBidirectional = 3030;
constexpr int kModeS = 3029;
constexpr int kModeQap = 3031;
constexpr int kModeAp2880 = 3032;
constexpr int kBoxes[] = {kUnidirectional, kBidirectional, kModeS, kModeQap, kModeAp2880};
constexpr int kPane = 3033;
}  // namespace

DirectionModePage::DirectionModePage(WizardHost& host) : WizardPage(host, DirectionModeTemplate()) {
    for (int box : kBoxes) {
        Bind(box, ui::Notify::Clicked, [this]() { OnBoxClicked(); });
    }
}

bool DirectionModePage::OnInitDialog() {
    SetButtonTexts();
    SetTexts({{3035, 210},
              {3026, 211},
              {kUnidirectional, 212},
              {kBidirectional, 213},
              {2047, 214},
              {kModeS, 215},
              {kModeQap, 216},
              {kModeAp2880, 217}});
    SetPane(kPane, {{1050, 1054}});
    if (host_.GetVariant().offersThirdGapMode) {
        ui::ShowWindow(Item(kModeAp2880), ui::kShow);
    }
    return true;
}

GapChoice DirectionModePage::Choice() const {
    auto ticked = [this](int id) { return ui::Button(Item(id)).IsChecked(); };
    return {ticked(kUnidirectional), ticked(kBidirectional), ticked(kModeS), ticked(kModeQap),
            ticked(kModeAp2880)};
}

void DirectionModePage::Clear() {
    for (int box : kBoxes) {
        ui::Button(Item(box)).SetChecked(false);
    }
    ui::EnableWindow(Item(kPageNextButton), false);
}

void DirectionModePage::OnShowWindow(bool) {
    Clear();
}

void DirectionModePage::OnBoxClicked() {
    ui::EnableWindow(Item(kPageNextButton), Choice().Complete());
}

void DirectionModePage::ShowChoices(const PageFrame&) {
    Clear();
}

void DirectionModePage::TakeChoices(PageFrame& frame) {
    const auto slots = Choice().Slots();
    for (size_t i = 0; i < slots.size(); ++i) {
        frame.SetEnabled(kFirstGapSlot + i, slots[i]);
    }
}

}  // namespace util
