// The one object of a media-settings module: it lives as long as the library, finds the
// printer's driver and port, classifies the model, binds the printer link and the driver's
// settings library, checks that the printer answers and is ready, creates every wizard page at
// once, and moves the operator from page to page until it hands control back to the hub.
// Pages are given the host when they are made and reach everything through it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/page_frame.h"
#include "common/printer_link.h"
#include "common/remote_commands.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"
#include "util/sample/sample_print.h"
#include "util/settings/driver_media_config.h"
#include "util/settings/driver_settings_library.h"
#include "util/settings/media_type_table.h"
#include "util/settings/model_class.h"
#include "util/settings/user_settings.h"
#include "util/settings_session.h"
#include "util/variant.h"

namespace util {

class WizardPage;

// A media type of the driver that util knows: its driver media ID and the driver's name for it.
struct DriverMedia {
    uint32_t id = 0;
    std::string name;
};

// The page table's slots.
inline constexpr size_t kPageSlots = 32;
inline constexpr size_t kServiceMenuSlot = 1;
inline constexpr size_t kDirectionModeSlot = 2;
inline constexpr size_t kSettingSelectionSlot = 9;
// Slots 10 to 16 hold the pages of the seven values, in the selection page's order.
inline constexpr size_t kMediaSlot = 10;
inline constexpr size_t kFirstSettingValueSlot = kMediaSlot;
inline constexpr size_t kHeadPathDelaySlot = 11;
inline constexpr size_t kFeedingSlot = 12;
inline constexpr size_t kVacuumSlot = 13;
inline constexpr size_t kCutSlot = 14;
inline constexpr size_t kPrintModeSlot = 15;
inline constexpr size_t kDensitySlot = 16;
inline constexpr size_t kSummarySlot = 17;

// The keys of the two image lists of the gap patterns.
inline constexpr int kUnidirectionalImages = 10;
inline constexpr int kBidirectionalImages = 20;

class WizardHost : public UtilDataFile {
  public:
    WizardHost(std::string modulePath, const Variant& variant);
    ~WizardHost() override;

    // The start-up: returns the service menu page's window (also when another page is shown
    // first, or when the printer check has already handed control back); none when the driver's
    // media configuration is missing, after handing back.
    ui::WindowHandle StartWizard(const char* printerName, ui::WindowHandle notifyWindow,
                                 uint32_t notifyMessage);

    // The pages' Next, Back and Exit buttons end here.
    void Next();
    void Back();
    void Exit();

    // The printer reports this queue's model and is ready within the rounds of status reads
    // (3 rounds wait 5 s after each read that is not ready).
    bool PrinterReady(int rounds);
    // The ink set the printer reports: 1 or 2 (or the variant's values), -1 when it cannot be
    // asked.
    int PrinterInkSet();

    // The paper width a sample is laid out for, in whole inches: the printer's answer on the
    // control channel, or the model's default roll.
    int SamplePaperWidthInches();
    // Prints the samples as one command: a series when there are several.
    std::vector<SampleOutcome> PrintSamples(const std::vector<SampleJob>& jobs,
                                            SampleCaller caller);

    // Joined texts for a message pane, with line feeds as the pane needs them.
    std::string PaneText(const TextRanges& ranges) const;

    const Variant& GetVariant() const { return session_.GetVariant(); }
    const std::string& PrinterName() const { return frame_.PrinterName(); }
    const std::string& PortName() const { return session_.PortName(); }
    const std::string& StandardSampleBitmap() const { return standardSampleBitmap_; }

    // What the user-settings store takes from the host.
    std::string DriverName() const { return session_.DriverName(); }
    int32_t DriverInkSet() const { return session_.DriverInkSet(); }
    int32_t PrintMode() const { return session_.PrintMode(); }
    int32_t ModelClass() const { return session_.ModelClass(); }
    const MediaTypeTable& MediaTypes() const { return UtilDataFile::MediaTypes(); }

    void SetPrintMode(int32_t printMode) { session_.SetPrintMode(printMode); }

    // The driver's media types that the media type table knows, in the driver's order; none when
    // the driver's settings library cannot be opened.
    std::vector<DriverMedia> KnownDriverMedia();
    // The driver's name of a media ID ("" when it does not know it); none when the library cannot
    // be opened.
    std::optional<std::string> DriverMediaNameOf(uint32_t mediaId);

    // The store of the driver's media and user configuration that the pages work on.
    MediaSettingsStore& Store() { return session_.Store(); }

    PrinterLink& Link() { return link_; }
    DriverSettingsLibrary& DriverLibrary() { return session_.Library(); }
    UserSettings& Settings() { return session_.Settings(); }
    DriverMediaConfig& MediaConfig() { return session_.MediaConfig(); }
    PageFrame& Frame() { return frame_; }
    int32_t LinkChannel() const { return channel_; }
    // The image list of that key (10 or 20); none for other keys or once released.
    const ui::ImageList* ImageListOf(int key) const;

    // The hub destroys the service menu page's window when it takes control back: the bindings
    // and image lists go with it.
    void ReleaseOnMenuDestroyed();

    // Shared by the setting pages: the setting chosen on the selection page, the driver's name of
    // its base media, the user bitmap of the sample prints, and whether the setting is new.
    std::string selectedSettingName;
    std::string driverMediaName;
    std::string userSampleBitmap;
    bool noSettings = false;

  private:
    void CreateImageLists();
    void CreatePages();
    WizardPage* PageAt(size_t slot) const;
    size_t NextEnabledSlot(size_t slot) const;
    void ShowSlot(size_t slot, int command);
    PrinterQueries Queries();

    std::string modulePath_;
    const Variant& variant_;
    std::string standardSampleBitmap_;
    int32_t channel_ = 0;
    SettingsSession session_;
    PrinterLink link_;
    PageFrame frame_;
    std::unique_ptr<ui::ImageList> unidirectionalImages_;
    std::unique_ptr<ui::ImageList> bidirectionalImages_;
};

// Creates the wizard's pages into their slots of the frame: the head-gap pages always, the setting
// pages when the model keeps custom media settings. The host drives them as WizardPages without
// knowing each; page_table.cpp, above the pages, is the one place that names them all.
void CreateWizardPages(WizardHost& host, PageFrame& frame, bool settingPages);

// The folder part of a module path, up to and including its last '/'; "" when the path has no
// '/' after its first character.
std::string ModuleDirectory(const std::string& modulePath);

}  // namespace util
