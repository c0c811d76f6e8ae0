#include "util/wizard_host.h"

#include <utility>

#include "common/plugin_entry.h"
#include "platform/ui/message_box.h"
#include "resources/util/templates.h"
#include "util/queue_driver.h"
#include "util/settings/driver_files.h"
#include "util/wizard_page.h"

namespace util {

namespace {

constexpr int32_t kNextText = 100;
constexpr int32_t kFinishText = 99;
constexpr int32_t kNotAnsweringText = 303;
constexpr int32_t kOtherInkSetText = 304;
constexpr int32_t kConfirmExitText = 307;
constexpr int32_t kConfirmFinishText = 308;
constexpr int32_t kNoMediaConfigurationText = 360;

constexpr int kStartUpRounds = 3;
constexpr int kImageWidth = 250;
constexpr int kImageHeight = 30;
constexpr ui::Colour kImageMask = 0xFFFFFF;

}  // namespace

std::string ModuleDirectory(const std::string& modulePath) {
    const size_t slash = modulePath.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string()
                                                    : modulePath.substr(0, slash + 1);
}

WizardHost::WizardHost(std::string modulePath, const Variant& variant)
    : modulePath_(std::move(modulePath)),
      variant_(variant),
      session_(variant, *this),
      link_(variant.link),
      frame_(kPageSlots, link_) {
    // Slots 0 and 1 take part at first, the head-gap slots only once chosen, the setting values
    // (but the density) unless the selection page says otherwise.
    for (size_t slot = 2; slot <= kSettingSelectionSlot; ++slot) {
        frame_.SetEnabled(slot, false);
    }
    frame_.SetEnabled(kDensitySlot, false);
}

WizardHost::~WizardHost() {
    session_.Library().Release();
    link_.Unbind();
    frame_.DestroyPages();
}

ui::WindowHandle WizardHost::StartWizard(const char* printerName, ui::WindowHandle notifyWindow,
                                         uint32_t notifyMessage) {
    frame_.Start(printerName != nullptr ? printerName : "", notifyWindow, notifyMessage);
    if (!frame_.LoadDataFile(*this, modulePath_)) {
        return nullptr;
    }
    const std::string directory = ModuleDirectory(modulePath_);
    standardSampleBitmap_ = directory.empty() ? modulePath_ : directory + "Sample.bmp";
    session_.FindQueue(frame_.PrinterName());
    session_.BindLibrary();
    channel_ = link_.StartUp(frame_.PrinterName());
    if (!session_.ChooseStore()) {
        ui::AppMessageBox(GetText(kNoMediaConfigurationText), ui::kMbIconStop);
        link_.Unbind();
        session_.Library().Release();
        frame_.HandBack(kNotifyBackToSelection);
        return nullptr;
    }
    const bool settingPages = session_.HasSettingPages();
    if (settingPages) {
        session_.Store().ReadSlotCounts();
    }
    CreateImageLists();
    CreatePages();

    const size_t first = settingPages ? kServiceMenuSlot : kDirectionModeSlot;
    if (!settingPages) {
        frame_.SetEnabled(kServiceMenuSlot, false);
    }
    frame_.SetCurrent(first);
    if (PrinterReady(kStartUpRounds)) {
        ShowSlot(first, ui::kShowNormal);
    } else {
        ui::AppMessageBox(GetText(kNotAnsweringText), ui::kMbIconStop);
        Back();
    }
    session_.SetPrintMode(1);
    ui::Dialog* menu = frame_.Page(kServiceMenuSlot);
    return menu != nullptr ? menu->Handle() : nullptr;
}

void WizardHost::CreateImageLists() {
    const std::string directory = ModuleDirectory(modulePath_);
    unidirectionalImages_ = std::make_unique<ui::ImageList>(kImageWidth, kImageHeight);
    unidirectionalImages_->AddMasked(directory + "HeadGap2017.bmp", kImageMask);
    bidirectionalImages_ = std::make_unique<ui::ImageList>(kImageWidth, kImageHeight);
    bidirectionalImages_->AddMasked(directory + "HeadGap2016.bmp", kImageMask);
}

void WizardHost::CreatePages() {
    CreateWizardPages(*this, frame_, session_.HasSettingPages());
    for (size_t slot = 1; slot < kPageSlots; ++slot) {
        if (WizardPage* page = PageAt(slot)) {
            page->ShowChoices(frame_);
        }
    }
}

WizardPage* WizardHost::PageAt(size_t slot) const {
    return dynamic_cast<WizardPage*>(frame_.Page(slot));
}

size_t WizardHost::NextEnabledSlot(size_t slot) const {
    do {
        ++slot;
    } while (slot < kPageSlots && !frame_.IsEnabled(slot));
    return slot;
}

void WizardHost::ShowSlot(size_t slot, int command) {
    if (ui::Dialog* page = frame_.Page(slot)) {
        ui::ShowWindow(page->Handle(), command);
    }
}

void WizardHost::Next() {
    const size_t from = frame_.Current();
    if (WizardPage* page = PageAt(from)) {
        page->TakeChoices(frame_);
    }
    const size_t to = NextEnabledSlot(from);
    if (frame_.Page(to) == nullptr) {
        if (ui::AppMessageBox(GetText(kConfirmFinishText),
                              ui::kMbOkCancel | ui::kMbIconInformation) != ui::kIdOkResult) {
            return;
        }
        ShowSlot(from, ui::kHide);
        session_.Library().Release();
        frame_.HandBack(kNotifyBackToSelection);
        return;
    }
    ShowSlot(from, ui::kHide);
    frame_.SetCurrent(to);
    const bool last = frame_.Page(NextEnabledSlot(to)) == nullptr;
    frame_.Page(to)->SetItemText(kPageNextButton, GetText(last ? kFinishText : kNextText));
    if (to == kSettingSelectionSlot) {
        const int printerInkSet = PrinterInkSet();
        if (printerInkSet != session_.DriverInkSet()) {
            ui::AppMessageBox(GetText(printerInkSet == -1 ? kNotAnsweringText : kOtherInkSetText),
                              ui::kMbIconStop);
            frame_.SetCurrent(kServiceMenuSlot);
        } else if (const std::optional<DriverFileFault> fault =
                       CheckDriverFiles(session_.Store())) {
            // A driver file that cannot be read would show as no setting registered.
            ui::AppMessageBox(GetText(kNoMediaConfigurationText) + "\n\n" + fault->Text(),
                              ui::kMbIconStop);
            frame_.SetCurrent(kServiceMenuSlot);
        }
    }
    ShowSlot(frame_.Current(), ui::kShowNoActivate);
}

void WizardHost::Back() {
    size_t slot = frame_.Current();
    ShowSlot(slot, ui::kHide);
    while (slot > 0) {
        --slot;
        if (frame_.IsEnabled(slot)) {
            break;
        }
    }
    frame_.SetCurrent(slot);
    if (frame_.Page(slot) != nullptr) {
        ShowSlot(slot, ui::kShowNoActivate);
        return;
    }
    link_.Unbind();
    session_.Library().Release();
    frame_.HandBack(kNotifyBackToSelection);
}

void WizardHost::Exit() {
    if (ui::AppMessageBox(GetText(kConfirmExitText), ui::kMbOkCancel | ui::kMbIconInformation) !=
        ui::kIdOkResult) {
        return;
    }
    session_.Library().Release();
    frame_.HandBack(kNotifyEndProgram);
}

PrinterQueries WizardHost::Queries() {
    return PrinterQueries(link_, frame_.PrinterName(), channel_, session_.DriverName());
}

bool WizardHost::PrinterReady(int rounds) {
    return Queries().PrinterReady(rounds);
}

int WizardHost::PrinterInkSet() {
    return Queries().PrinterInkSet(variant_.printerInkSets);
}

std::vector<DriverMedia> WizardHost::KnownDriverMedia() {
    std::vector<DriverMedia> media;
    int32_t handle = 0;
    if (session_.Library().Open(frame_.PrinterName(), session_.PortName(), &handle) != 0) {
        return media;
    }
    std::vector<uint16_t> ids;
    session_.Library().GetMediaList(handle, ids);
    for (uint16_t id : ids) {
        if (MediaTypes().OrderOf(id) != -1) {
            std::string name;
            session_.Library().GetMediaName(handle, id, name);
            media.push_back({id, name});
        }
    }
    session_.Library().Close(handle);
    return media;
}

std::optional<std::string> WizardHost::DriverMediaNameOf(uint32_t mediaId) {
    return DriverMediaName(session_.Library(), frame_.PrinterName(), session_.PortName(), mediaId);
}

int WizardHost::SamplePaperWidthInches() {
    return ::SamplePaperWidthInches(Queries().PrinterPaperWidth(), session_.ModelClass());
}

std::vector<SampleOutcome> WizardHost::PrintSamples(const std::vector<SampleJob>& jobs,
                                                    SampleCaller caller) {
    const SamplePrinter printer{frame_.PrinterName(), session_.PortName(), session_.DriverName(),
                                &session_.Library(), this};
    return PrintSampleSeries(printer, jobs, caller, variant_.seriesCommandByModelClass,
                             static_cast<uint32_t>(session_.ModelClass()));
}

std::string WizardHost::PaneText(const TextRanges& ranges) const {
    std::string text;
    for (const auto& [first, last] : ranges) {
        for (int32_t number = first; number <= last; ++number) {
            text += GetText(number);
        }
    }
    return ToCrLf(text);
}

const ui::ImageList* WizardHost::ImageListOf(int key) const {
    switch (key) {
        case kUnidirectionalImages:
            return unidirectionalImages_.get();
        case kBidirectionalImages:
            return bidirectionalImages_.get();
        default:
            return nullptr;
    }
}

void WizardHost::ReleaseOnMenuDestroyed() {
    link_.Unbind();
    session_.Library().Release();
    unidirectionalImages_.reset();
    bidirectionalImages_.reset();
}

}  // namespace util
