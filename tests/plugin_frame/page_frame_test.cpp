#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/page_frame.h"
#include "common/plugin_entry.h"
#include "common/raw_job.h"
#include "platform/spooler/spooler.h"
#include "platform/system/clock.h"
#include "platform/ui/dialog.h"
#include "platform/ui/operator_input.h"
#include "platform/ui/window.h"
#include "tests/support/memory_spooler.h"

namespace {

ui::DialogTemplate Template(int id, ui::DialogKind kind) {
    return {id, kind, 360, 260, {}};
}

// The hub's side: a main window and its selection page, which records every hand-back.
class FakeHub {
  public:
    FakeHub()
        : main(Template(102, ui::DialogKind::Main)),
          selection(Template(1000, ui::DialogKind::Child)) {
        main.Create(nullptr);
        selection.Create(main.Handle());
        selection.BindMessage(kNotifyMessage,
                              [this](uintptr_t, intptr_t lParam) { handBacks.push_back(lParam); });
    }
    ui::Dialog main;
    ui::Dialog selection;
    std::vector<intptr_t> handBacks;
};

class RecordingPage : public ui::Dialog {
  public:
    RecordingPage(int slot, std::vector<int>& destroyed)
        : ui::Dialog(Template(7000 + slot, ui::DialogKind::Child)),
          slot_(slot),
          destroyed_(destroyed) {}

  protected:
    void OnDestroy() override { destroyed_.push_back(slot_); }

  private:
    int slot_;
    std::vector<int>& destroyed_;
};

class PageFrameTest : public ::testing::Test {
  protected:
    PageFrameTest() : link_(LinkVariant::Other), frame_(16, link_) {
        frame_.Start("P", hub_.selection.Handle(), kNotifyMessage);
    }
    void AddPages(std::initializer_list<int> slots) {
        for (int slot : slots) {
            ASSERT_TRUE(frame_.CreatePage(static_cast<size_t>(slot),
                                          std::make_unique<RecordingPage>(slot, destroyed_)));
        }
    }
    bool Shown(size_t slot) { return ui::IsWindowVisible(frame_.Page(slot)->Handle()); }

    // Declared first: the frame records its pages' destruction here as it goes.
    std::vector<int> destroyed_;
    FakeHub hub_;
    PrinterLink link_;
    PageFrame frame_;
};

TEST_F(PageFrameTest, PagesAreHiddenChildrenOfTheMainWindowAfterTheSelectionPage) {
    ui::ShowWindow(hub_.main.Handle(), ui::kShow);
    AddPages({2, 1});
    EXPECT_EQ(ui::GetParent(frame_.Page(1)->Handle()), hub_.main.Handle());
    EXPECT_FALSE(Shown(1));
    EXPECT_EQ(frame_.FirstPageWindow(), frame_.Page(1)->Handle());
    EXPECT_EQ(ui::GetNextWindow(hub_.selection.Handle()), frame_.Page(2)->Handle());
}

TEST_F(PageFrameTest, SteppingSkipsDisabledSlotsBothWays) {
    ui::ShowWindow(hub_.main.Handle(), ui::kShow);
    AddPages({1, 2, 3});
    frame_.SetEnabled(2, false);
    frame_.ShowFirst(1);
    frame_.Next();
    EXPECT_EQ(frame_.Current(), 3u);
    EXPECT_TRUE(Shown(3));
    EXPECT_FALSE(Shown(1));
    frame_.Back();
    EXPECT_EQ(frame_.Current(), 1u);
    EXPECT_TRUE(Shown(1));
    EXPECT_TRUE(hub_.handBacks.empty());
}

TEST_F(PageFrameTest, LeavingTheEndsHandsBackByPosting) {
    AddPages({1});
    frame_.ShowFirst(1);
    frame_.Next();                        // slot 2 is empty but enabled
    EXPECT_TRUE(hub_.handBacks.empty());  // posted, not sent
    ui::PumpWaitingMessages();
    EXPECT_EQ(hub_.handBacks, (std::vector<intptr_t>{kNotifyBackToSelection}));

    frame_.ShowFirst(1);
    frame_.Back();  // slot 0 never holds a page
    frame_.Exit();
    ui::PumpWaitingMessages();
    EXPECT_EQ(hub_.handBacks, (std::vector<intptr_t>{1, 1, 0}));
}

TEST_F(PageFrameTest, PagesAreDestroyedInSlotOrderAndTwiceIsHarmless) {
    AddPages({3, 1, 2});
    frame_.DestroyPages();
    EXPECT_EQ(destroyed_, (std::vector<int>{1, 2, 3}));
    frame_.DestroyPages();
    EXPECT_EQ(frame_.FirstPageWindow(), nullptr);
    EXPECT_FALSE(link_.Unbind());  // releasing an unbound link again is harmless
}

TEST(OwnedWindowTest, DisablingTheMainWindowLeavesTheBoxesItOwnsUsable) {
    FakeHub hub;
    ui::Dialog page(Template(7001, ui::DialogKind::Child));
    ASSERT_TRUE(page.Create(hub.main.Handle()));
    ui::Dialog box(Template(7002, ui::DialogKind::CaptionBox));
    ASSERT_TRUE(box.Create(page.Handle()));

    EXPECT_FALSE(ui::EnableWindow(hub.main.Handle(), false));
    EXPECT_FALSE(ui::IsWindowEnabled(hub.main.Handle()));
    EXPECT_FALSE(ui::IsWindowEnabled(page.Handle()));
    EXPECT_TRUE(ui::IsWindowEnabled(box.Handle()));

    EXPECT_TRUE(ui::EnableWindow(hub.main.Handle(), true));
    EXPECT_TRUE(ui::IsWindowEnabled(page.Handle()));
    EXPECT_TRUE(ui::IsWindowEnabled(box.Handle()));
}

TEST(QueueWaitTest, InputMadeWhileWaitingIsDroppedAndPostedMessagesWait) {
    auto owned = std::make_unique<spooler::MemorySpooler>();
    owned->AddQueue("P", "ARVEN WL-4000", "");
    spooler::Install(std::move(owned));
    sys::VirtualClock clock;
    sys::SetClock(&clock);
    FakeHub hub;
    ui::Dialog page({7003,
                     ui::DialogKind::Child,
                     360,
                     260,
                     {{ui::ControlKind::PushButton, 1, 10, 10, 50, 14}}});
    ASSERT_TRUE(page.Create(hub.main.Handle()));
    int clicks = 0;
    page.Bind(1, ui::Notify::Clicked, [&clicks]() { ++clicks; });
    ui::ShowWindow(hub.main.Handle(), ui::kShow);
    ui::ShowWindow(page.Handle(), ui::kShow);
    ui::PumpWaitingMessages();

    ui::PostMessage(hub.selection.Handle(), kNotifyMessage, 0, 1);
    std::string error;
    ASSERT_EQ(ui::input::QueueClick(page.Item(1), error), ui::input::Result::Done) << error;
    WaitForQueuedJob("P", "Sample");
    EXPECT_TRUE(hub.handBacks.empty());  // still queued
    ui::PumpWaitingMessages();
    EXPECT_EQ(hub.handBacks.size(), 1u);
    EXPECT_EQ(clicks, 0);  // the click made during the wait never arrives

    // Outside a wait the same click does arrive.
    ASSERT_EQ(ui::input::QueueClick(page.Item(1), error), ui::input::Result::Done) << error;
    ui::PumpWaitingMessages();
    EXPECT_EQ(clicks, 1);
    sys::SetClock(nullptr);
    spooler::Install(nullptr);
}

}  // namespace
