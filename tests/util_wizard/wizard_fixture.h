// A media-settings host started in-process on a machine with the simulated driver: the in-memory
// spooler, the real ARSET32.so in the machine folder, a test build of the communication library
// beside the test program (where the host's plain-name binding finds it), a virtual clock, a
// scripted responder and the hub's side of the hand-back.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/plugin_entry.h"
#include "common/service_log.h"
#include "platform/system/clock.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"
#include "platform/ui/operator_input.h"
#include "platform/ui/window.h"
#include "tests/driver_settings/driver_fixture.h"
#include "util/settings/user_media_record.h"
#include "util/variant.h"
#include "util/wizard_host.h"

namespace wizardtest {

inline constexpr const char* kReadyDeviceId = "MFG:ARVEN;CMD:ESCPL2;MDL:WL;DES:ARVEN WL-4000;";
inline constexpr const char* kReadyStatus = "ST:04;INK:1101,3202,4304,5408,6210,7320;";

// The hub's main window and selection page; the selection page records every hand-back.
class FakeHub {
  public:
    FakeHub();
    ui::Dialog main;
    ui::Dialog selection;
    std::vector<intptr_t> handBacks;
};

class WizardFixture : public drivertest::DriverMachine {
  protected:
    WizardFixture();
    ~WizardFixture() override;

    // A queue of that driver whose printer answers as a ready printer of that model.
    void AddPrinter(const std::string& queue, const std::string& driver);
    // The driver's user configuration of a model (ink set 1, NT 5): the header, the 40 slots with
    // these records first, then the extra records.
    std::string UserFilePath(const std::string& driver) const;
    void WriteUserFile(const std::string& driver, const std::vector<UserMediaRecord>& records);
    // A user entry of that name, media and values (Density, Forward, Drytime, Paperthick,
    // Paperdraw, PaperCut), in the standard print mode.
    static UserMediaRecord UserEntry(const std::string& name, uint16_t mediaId,
                                     std::array<uint8_t, 6> values);
    void StageDeviceId(const std::string& text);
    // Status reads answer these in order; the last one stays.
    void StageStatuses(const std::vector<std::string>& statuses);

    // Starts a fresh host of the module on the queue, as the hub does; its result is kept in
    // started_.
    void Start(const std::string& queue, const util::Variant& variant = util::UtilVariant(),
               const std::string& module = "util.so");

    // The page of that slot, the page shown now (nullptr when none) and its template number.
    ui::Dialog* Page(size_t slot) const;
    ui::Dialog* Shown() const;
    int ShownTemplate() const;
    // Acts on a control of the shown page, then lets posted messages run.
    void Click(int control);
    void Type(int control, const std::string& text);
    void Leave(int control);
    void Check(int control, bool ticked);
    void Select(int list, const std::string& text);
    void Slide(int trackbar, int position);
    int SliderPosition(int trackbar) const;
    // The left mouse button on the shown page's own surface.
    void Mouse(ui::MouseAction action, ui::Point point);
    std::string Text(int control) const;
    bool Enabled(int control) const;
    // The hand-backs posted so far.
    const std::vector<intptr_t>& HandBacks();
    // The message boxes shown so far, as "flags:text".
    std::vector<std::string> Boxes() const;
    // The bytes of every raw job of the queue, in order.
    std::vector<std::string> RawJobs(const std::string& queue) const;
    // The resolution (across, down) the last document's page was printed at: the dots per inch
    // of its first image, which a sample page draws one pixel to a dot. {0, 0} when it has none.
    std::pair<int, int> PrintedResolution();
    // The records of this test's service log.
    std::vector<ServiceRecord> ServiceLog() const { return ReadServiceLog(ServiceLogPath()); }

    testsupport::ScopedEnvironment userHive_{"XDG_CONFIG_HOME", scratch_ / "config"};
    testsupport::ScopedEnvironment stateHome_{"XDG_STATE_HOME", scratch_ / "state"};
    sys::VirtualClock clock_;
    sys::ScopedClock scopedClock_{clock_};
    ui::ScriptedResponder responder_;
    FakeHub hub_;
    void* abapi_ = nullptr;
    std::unique_ptr<util::WizardHost> host_;
    ui::WindowHandle started_ = nullptr;
};

}  // namespace wizardtest
