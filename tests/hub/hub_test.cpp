// The selection hub driven through its real windows (offscreen), with an in-memory spooler and
// real plug-in libraries loaded from a scratch folder.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/plugin_entry.h"
#include "common/registry_key.h"
#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/message_box.h"
#include "platform/ui/operator_input.h"
#include "platform/ui/single_instance.h"
#include "platform/ui/window.h"
#include "selhub/main_frame_dlg.h"
#include "selhub/registry_selection_memory.h"
#include "selhub/select_dlg.h"
#include "selhub/version_dlg.h"
#include "tests/support/memory_spooler.h"
#include "tests/support/scratch.h"
#include "tools/datc/data_source.h"

namespace {

using testsupport::ScopedEnvironment;
using testsupport::ScratchDir;

constexpr const char* kHubSource = R"([texts]
100 Next
101 Back
102 Exit
150 Printer:
151 Function:
155 No printer can be serviced.
156 No print system.
160 Plenwise
161 About...
310 Loading...
500 One\n
501 Two\n
502 Three
[functions]
1:1 | Media settings | util.so
1:2 | Head gap | util.so
1:4 | Power cleaning | upkeep.so
2:1 | Variant media settings | altutil.so
2:3 | Firmware | fwload.so
3:1 | Absent function | absent.so
17:5 | Family seventeen | util.so
[printer-models]
1:0 | ARVEN WL-4000
2:0 | ARVEN WL-2000
3:0 | ARVEN Wideline 300
)";

class Memory : public selhub::SelectionMemory {
  public:
    std::string RememberedPrinter() override { return printer; }
    uint32_t RememberedFunction() override { return function; }
    void RememberPrinter(const std::string& name) override {
        printer = name;
        printerWrites++;
    }
    void RememberFunction(uint32_t number) override {
        function = number;
        functionWrites++;
    }
    std::string printer;
    uint32_t function = 0;
    int printerWrites = 0;
    int functionWrites = 0;
};

class HubTest : public ::testing::Test {
  protected:
    HubTest() : log_("PLENWISE_TEST_PLUGIN_LOG", scratch_ / "plugin.log") {
        auto owned = std::make_unique<spooler::MemorySpooler>();
        spooler_ = owned.get();
        spooler::Install(std::move(owned));
        ui::SetResponder(&responder_);
    }
    ~HubTest() override {
        main_.reset();
        ui::PumpWaitingMessages();
        ui::SetResponder(nullptr);
        spooler::Install(nullptr);
    }

    void WriteHub(const std::string& source = kHubSource) {
        datc::DataSource data(datc::Kind::Hub);
        ASSERT_TRUE(data.AddSource("hub", source));
        std::vector<std::uint8_t> bytes = data.Encode();
        scratch_.Write("selhub.dat", std::string(bytes.begin(), bytes.end()));
    }
    void InstallPlugin(const std::string& name, const char* library = TEST_PLUGIN) {
        std::filesystem::copy_file(library, scratch_ / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    // The hub's main window, modeless so the test keeps control between steps.
    void Start() {
        main_ = std::make_unique<selhub::MainFrameDlg>(scratch_ / "selhub.so", memory_);
        main_->Create(nullptr);
        if (!main_->HasEnded()) {  // as the modal loop would show it
            ui::ShowWindow(main_->Handle(), ui::kShow);
        }
        ui::PumpWaitingMessages();
    }
    selhub::SelectDlg& Page() { return *main_->Page(); }
    ui::ComboBox Printers() { return ui::ComboBox(Page().Item(1003)); }
    ui::ComboBox Functions() { return ui::ComboBox(Page().Item(1004)); }
    std::vector<std::string> Entries(const ui::ComboBox& list) {
        std::vector<std::string> entries;
        for (int i = 0; i < list.Count(); ++i) {
            entries.push_back(list.GetItemText(i));
        }
        return entries;
    }
    // As the operator chooses: the list reports the change.
    void Choose(int listId, const std::string& entry) {
        std::string error;
        ASSERT_EQ(ui::input::SelectText(Page().Item(listId), entry, error), ui::input::Result::Done)
            << error;
    }
    void Next() {
        std::string error;
        ASSERT_EQ(ui::input::Click(Page().Item(1001), error), ui::input::Result::Done) << error;
        ui::PumpWaitingMessages();
    }
    std::vector<std::string> PluginLog() {
        std::ifstream in(scratch_ / "plugin.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    // The plug-in page shown inside the main window, if any.
    ui::WindowHandle PluginPage() {
        for (ui::WindowHandle w = ui::GetNextWindow(Page().Handle()); w; w = ui::GetNextWindow(w)) {
            if (ui::DialogTemplateId(w) == 9001) {
                return w;
            }
        }
        return nullptr;
    }
    void ClickOnPluginPage(int id) {
        std::string error;
        ASSERT_EQ(ui::input::Click(ui::GetDlgItem(PluginPage(), id), error),
                  ui::input::Result::Done)
            << error;
        ui::PumpWaitingMessages();
    }

    ScratchDir scratch_;
    ScopedEnvironment log_;
    spooler::MemorySpooler* spooler_ = nullptr;
    ui::ScriptedResponder responder_;
    Memory memory_;
    std::unique_ptr<selhub::MainFrameDlg> main_;
};

TEST_F(HubTest, ListsOnlyQueuesOfKnownModelsLocalOnesFirst) {
    WriteHub();
    InstallPlugin("util.so");
    spooler_->AddQueue("Remote4000", "ARVEN WL-4000", "ipp://elsewhere/q", false);
    spooler_->AddQueue("Office", "OTHER Laser 5", "plenwise://127.0.0.1:1/a");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "plenwise://127.0.0.1:1/b");
    spooler_->AddQueue("CaseDiffers", "ARVEN wl-4000", "plenwise://127.0.0.1:1/c");
    spooler_->AddQueue("WL2000", "ARVEN WL-2000", "plenwise://127.0.0.1:1/d");
    Start();

    EXPECT_EQ(Entries(Printers()), (std::vector<std::string>{"WL4000", "WL2000", "Remote4000"}));
    EXPECT_EQ(Printers().GetCurSel(), 0);
    EXPECT_EQ(Page().GetItemText(1007), "One\r\nTwo\r\nThree");
    EXPECT_EQ(ui::GetWindowText(main_->Handle()), "Plenwise");
    EXPECT_TRUE(ui::IsWindowVisible(Page().Handle()));
    EXPECT_FALSE(ui::IsWindowVisible(Page().Item(1002)));
    EXPECT_EQ(ui::GetProp(main_->Handle(), "ARVEN Plenwise"), 1);
    EXPECT_TRUE(responder_.Boxes().empty());
}

TEST_F(HubTest, OffersOnlyFunctionsOfTheFamilyWhosePluginIsPresent) {
    WriteHub();
    InstallPlugin("util.so");  // upkeep.so is missing
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    // Family 17 (0x11) is not family 1, though their low four bits agree.
    EXPECT_EQ(Entries(Functions()), (std::vector<std::string>{"Media settings", "Head gap"}));
    EXPECT_EQ(Functions().GetItemData(1), 0x00010002u);
    EXPECT_EQ(Functions().GetCurSel(), 0);
}

TEST_F(HubTest, FamilyWithoutPluginsGivesEmptyListAndNextOnlyRemembersThePrinter) {
    WriteHub();
    InstallPlugin("util.so");
    spooler_->AddQueue("W300", "ARVEN Wideline 300", "");
    Start();
    EXPECT_EQ(Functions().Count(), 0);

    Next();
    EXPECT_EQ(memory_.printer, "W300");
    EXPECT_EQ(memory_.functionWrites, 0);
    EXPECT_TRUE(PluginLog().empty());
    EXPECT_TRUE(ui::IsWindowVisible(Page().Handle()));
}

TEST_F(HubTest, RememberedChoicesSelectEntriesAndCarryOverToOtherFamilies) {
    WriteHub();
    InstallPlugin("util.so");
    InstallPlugin("upkeep.so");
    InstallPlugin("altutil.so");
    InstallPlugin("fwload.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    spooler_->AddQueue("WL2000", "ARVEN WL-2000", "");
    memory_.printer = "WL2000";
    memory_.function = 1;
    Start();
    EXPECT_EQ(Printers().GetText(), "WL2000");
    EXPECT_EQ(Functions().GetText(), "Variant media settings");

    // Changing the printer rebuilds the list and applies the remembered number again, not the
    // function chosen a moment before.
    Choose(1004, "Firmware");
    Choose(1003, "WL4000");
    EXPECT_EQ(Entries(Functions()),
              (std::vector<std::string>{"Media settings", "Head gap", "Power cleaning"}));
    EXPECT_EQ(Functions().GetText(), "Media settings");
    memory_.function = 4;
    Choose(1003, "WL4000");
    EXPECT_EQ(Functions().GetText(), "Power cleaning");
}

TEST_F(HubTest, NextRemembersOnlyTheFunctionNumber) {
    WriteHub();
    InstallPlugin("fwload.so");
    spooler_->AddQueue("WL2000", "ARVEN WL-2000", "");
    Start();
    ASSERT_EQ(Functions().GetText(), "Firmware");  // key 0x00020003
    Next();
    EXPECT_EQ(memory_.function, 3u);
}

TEST_F(HubTest, UnknownRememberedPrinterSelectsTheFirstEntry) {
    WriteHub();
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    spooler_->AddQueue("WL2000", "ARVEN WL-2000", "");
    memory_.printer = "Gone";
    Start();
    EXPECT_EQ(Printers().GetCurSel(), 0);
}

TEST_F(HubTest, NextStartsThePluginWithPrinterNotifyWindowAndMessage) {
    WriteHub();
    InstallPlugin("upkeep.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    ASSERT_EQ(Functions().GetText(), "Power cleaning");
    Next();

    std::ostringstream expected;
    expected << "start WL4000 " << static_cast<void*>(Page().Handle()) << " 1536";
    EXPECT_EQ(PluginLog(), (std::vector<std::string>{"load", expected.str()}));
    EXPECT_EQ(memory_.printer, "WL4000");
    EXPECT_EQ(memory_.function, 4u);
    EXPECT_FALSE(ui::IsWindowVisible(Page().Handle()));
    ASSERT_NE(PluginPage(), nullptr);
    EXPECT_TRUE(ui::IsWindowVisible(PluginPage()));
    EXPECT_EQ(ui::GetParent(PluginPage()), main_->Handle());
    // The notice box is gone once the plug-in runs.
    for (ui::WindowHandle window : ui::TopLevelWindows()) {
        EXPECT_NE(ui::DialogTemplateId(window), 1001);
    }
}

TEST_F(HubTest, HandBackWithOneShowsTheSelectionWithTheEarlierChoicesAndFreesThePlugin) {
    WriteHub();
    InstallPlugin("util.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    spooler_->AddQueue("WL4000b", "ARVEN WL-4000", "");
    Start();
    Choose(1003, "WL4000b");
    Choose(1004, "Head gap");
    Next();
    ClickOnPluginPage(1002);  // Back from the plug-in's first page

    EXPECT_EQ(PluginLog().back(), "unload");
    EXPECT_FALSE(Page().PluginLoaded());
    EXPECT_TRUE(ui::IsWindowVisible(Page().Handle()));
    EXPECT_EQ(Printers().GetText(), "WL4000b");
    EXPECT_EQ(Functions().GetText(), "Head gap");
    EXPECT_FALSE(main_->HasEnded());

    // A second start makes a fresh plug-in: loaded again, from its first page.
    Next();
    std::vector<std::string> log = PluginLog();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[3], "load");
    ASSERT_NE(PluginPage(), nullptr);
    EXPECT_TRUE(ui::IsWindowVisible(PluginPage()));
}

TEST_F(HubTest, ASecondClickOnNextWhileThePluginLoadsStartsNothing) {
    WriteHub();
    InstallPlugin("upkeep.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    // The second click of a double click waits in the queue while the first one starts the
    // plug-in; the hub's pump delivers it.
    std::string error;
    ASSERT_EQ(ui::input::QueueClick(Page().Item(1001), error), ui::input::Result::Done) << error;
    Next();
    const std::vector<std::string> log = PluginLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "load");
    EXPECT_TRUE(log[1].starts_with("start WL4000"));
    EXPECT_NE(PluginPage(), nullptr);
}

TEST_F(HubTest, APluginThatMakesNoPageLeavesTheSelectionShown) {
    ScopedEnvironment mode("PLENWISE_TEST_PLUGIN_MODE", "no-page");
    WriteHub();
    InstallPlugin("upkeep.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    Next();
    EXPECT_TRUE(ui::IsWindowVisible(Page().Handle()));
    EXPECT_FALSE(Page().PluginLoaded());
    EXPECT_EQ(PluginLog().back(), "unload");
    EXPECT_FALSE(main_->HasEnded());
}

TEST_F(HubTest, PluginsAreLookedForOnlyBesideAHubOfKnownPlace) {
    WriteHub();
    InstallPlugin("upkeep.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    // A hub whose own path came back relative: the plug-in in the working folder is not taken.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(scratch_.Path());
    main_ = std::make_unique<selhub::MainFrameDlg>("selhub.so", memory_);
    main_->Create(nullptr);
    ui::PumpWaitingMessages();
    std::filesystem::current_path(before);
    ASSERT_EQ(Printers().Count(), 1);
    EXPECT_EQ(Functions().Count(), 0);
}

TEST_F(HubTest, HandBackWithZeroClosesTheProgram) {
    WriteHub();
    InstallPlugin("util.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    Next();
    ClickOnPluginPage(1000);  // Exit

    EXPECT_EQ(PluginLog().back(), "unload");
    EXPECT_EQ(Page().Handle(), nullptr);  // the selection page is destroyed
    EXPECT_TRUE(main_->HasEnded());       // and the main window ended
}

TEST_F(HubTest, ExitClosesTheProgram) {
    WriteHub();
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    std::string error;
    ASSERT_EQ(ui::input::Click(Page().Item(1000), error), ui::input::Result::Done) << error;
    ui::PumpWaitingMessages();
    EXPECT_EQ(Page().Handle(), nullptr);
    EXPECT_TRUE(main_->HasEnded());
}

TEST_F(HubTest, LibraryWithoutEntryLeavesTheSelectionSilently) {
    WriteHub();
    InstallPlugin("util.so", NO_ENTRY_PLUGIN);
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    Next();
    EXPECT_TRUE(ui::IsWindowVisible(Page().Handle()));
    EXPECT_TRUE(Page().PluginLoaded());  // kept until the next Next or the end of the page
    EXPECT_TRUE(responder_.Boxes().empty());
    Next();
    EXPECT_TRUE(Page().PluginLoaded());
}

TEST_F(HubTest, NoQualifyingPrinterShowsTextAndCloses) {
    WriteHub();
    spooler_->AddQueue("Office", "OTHER Laser 5", "");
    Start();
    ASSERT_EQ(responder_.Boxes().size(), 1u);
    EXPECT_EQ(responder_.Boxes()[0].text, "No printer can be serviced.");
    EXPECT_EQ(responder_.Boxes()[0].flags, ui::kMbIconStop);
    EXPECT_EQ(Page().Handle(), nullptr);
    EXPECT_TRUE(main_->HasEnded());
}

TEST_F(HubTest, UnreachableSchedulerNamesThePrintSystemAndCloses) {
    WriteHub();
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    spooler_->SetSchedulerReachable(false);
    Start();
    ASSERT_EQ(responder_.Boxes().size(), 1u);
    EXPECT_EQ(responder_.Boxes()[0].text, "No print system.");
    EXPECT_EQ(responder_.Boxes()[0].flags, ui::kMbIconStop);
    EXPECT_TRUE(main_->HasEnded());
}

TEST_F(HubTest, ListingsRefusedByAReachableSchedulerMeanNoPrinter) {
    WriteHub();
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    spooler_->Fail(spooler::MemorySpooler::Step::kEnumLocalPass);
    spooler_->Fail(spooler::MemorySpooler::Step::kEnumConnectionsPass);
    Start();
    ASSERT_EQ(responder_.Boxes().size(), 1u);
    EXPECT_EQ(responder_.Boxes()[0].text, "No printer can be serviced.");
}

TEST_F(HubTest, AMissingOrCutDataFileSaysAFileIsMissingAndCloses) {
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    ASSERT_EQ(responder_.Boxes().size(), 1u);
    EXPECT_EQ(responder_.Boxes()[0].text, "The necessary file was not found.");
    EXPECT_EQ(responder_.Boxes()[0].flags, ui::kMbIconStop);
    EXPECT_TRUE(main_->HasEnded());
    // Cut in its printer-model table: texts alone would list no printer.
    WriteHub();
    const std::string whole = testsupport::ScratchDir::Read(scratch_ / "selhub.dat");
    scratch_.Write("selhub.dat", whole.substr(0, whole.size() - 1));
    Start();
    ASSERT_EQ(responder_.Boxes().size(), 2u);
    EXPECT_EQ(responder_.Boxes()[1].text, "The necessary file was not found.");
    EXPECT_TRUE(main_->HasEnded());
}

TEST_F(HubTest, FailedEnumerationPassIsSkipped) {
    WriteHub();
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    spooler_->AddQueue("Remote", "ARVEN WL-4000", "", false);
    spooler_->Fail(spooler::MemorySpooler::Step::kEnumLocalPass);
    Start();
    EXPECT_EQ(Entries(Printers()), (std::vector<std::string>{"Remote"}));
}

TEST_F(HubTest, EmptyAboutTextLeavesTheSystemMenuWithoutTheEntry) {
    std::string source = kHubSource;
    source.replace(source.find("161 About...\n"), 13, "");
    WriteHub(source);
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    for (const ui::SystemMenuEntry& entry : ui::SystemMenuEntries(main_->Handle())) {
        EXPECT_NE(entry.commandId, selhub::kAboutCommand);
    }
}

TEST_F(HubTest, KeysOnAPluginPageStayInsideThatPage) {
    WriteHub();
    InstallPlugin("util.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    Next();
    ui::WindowHandle page = PluginPage();
    ASSERT_NE(page, nullptr);
    std::string error;
    auto press = [&](int key, bool shift = false) {
        ASSERT_EQ(ui::input::PressKey(key, shift, page, error), ui::input::Result::Done) << error;
    };
    ASSERT_EQ(ui::input::Focus(ui::GetDlgItem(page, 9010), error), ui::input::Result::Done);

    // Tab walks the page's visible tab stops and wraps around; the hidden Top button is skipped.
    std::vector<int> order;
    for (int i = 0; i < 6; ++i) {
        press(9);
        order.push_back(ui::GetDlgCtrlID(ui::GetFocus()));
    }
    EXPECT_EQ(order, (std::vector<int>{9011, 1002, 1001, 1000, 9010, 9011}));
    press(9, true);
    EXPECT_EQ(ui::GetDlgCtrlID(ui::GetFocus()), 9010);

    // Enter on an edit presses the default button, Next: back to the selection.
    press(13);
    ui::PumpWaitingMessages();
    EXPECT_FALSE(ui::IsWindowVisible(page));
    EXPECT_TRUE(ui::IsWindowVisible(Page().Handle()));
    EXPECT_FALSE(main_->HasEnded());

    // A page shown again starts with the focus on its first control; Escape presses Exit.
    Next();
    page = PluginPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ui::GetDlgCtrlID(ui::GetFocus()), 9010);
    press(27);
    ui::PumpWaitingMessages();
    EXPECT_TRUE(main_->HasEnded());
    for (const std::string& line : PluginLog()) {
        EXPECT_EQ(line.find("reached"), std::string::npos) << line;
    }
}

TEST_F(HubTest, EnterOnAFocusedButtonOfAPluginPagePressesThatButton) {
    WriteHub();
    InstallPlugin("util.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    Next();
    ui::WindowHandle page = PluginPage();
    ASSERT_NE(page, nullptr);
    std::string error;
    ASSERT_EQ(ui::input::Focus(ui::GetDlgItem(page, 1000), error), ui::input::Result::Done);
    ASSERT_EQ(ui::input::PressKey(13, false, page, error), ui::input::Result::Done) << error;
    ui::PumpWaitingMessages();
    EXPECT_TRUE(main_->HasEnded());  // Exit, not the default Next
}

TEST_F(HubTest, KeysInABoxOverAPluginPageReachTheBox) {
    WriteHub();
    InstallPlugin("util.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    Next();
    ASSERT_NE(PluginPage(), nullptr);
    ui::Dialog box(
        {77, ui::DialogKind::Popup, 100, 40, {{ui::ControlKind::PushButton, 5, 10, 10, 50, 14}}});
    bool pressed = false;
    box.Bind(5, ui::Notify::Clicked, [&pressed]() { pressed = true; });
    ASSERT_TRUE(box.Create(main_->Handle()));
    ui::ShowWindow(box.Handle(), ui::kShow);
    ui::PumpWaitingMessages();  // the box becomes the active window and takes the focus
    ASSERT_EQ(ui::GetFocus(), box.Item(5));
    std::string error;
    ASSERT_EQ(ui::input::PressKey(13, false, box.Handle(), error), ui::input::Result::Done);
    ui::PumpWaitingMessages();
    EXPECT_TRUE(pressed);  // not taken by the main window's rules for the page
    EXPECT_TRUE(ui::IsWindowVisible(PluginPage()));
}

TEST_F(HubTest, SelectionPageKeepsDialogNavigation) {
    WriteHub();
    InstallPlugin("util.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    std::string error;
    ASSERT_EQ(ui::input::Focus(Page().Item(1003), error), ui::input::Result::Done);
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(ui::input::PressKey(9, false, Page().Handle(), error), ui::input::Result::Done);
        order.push_back(ui::GetDlgCtrlID(ui::GetFocus()));
    }
    EXPECT_EQ(order, (std::vector<int>{1004, 1007, 1001, 1000, 1003}));

    // Escape on a list presses Exit, which ends the program.
    ASSERT_EQ(ui::GetDlgCtrlID(ui::GetFocus()), 1003);
    ASSERT_EQ(ui::input::PressKey(27, false, Page().Handle(), error), ui::input::Result::Done);
    ui::PumpWaitingMessages();
    EXPECT_TRUE(main_->HasEnded());
}

// ---- Remembered choices in the user's registry ----

class HubMemoryTest : public HubTest {
  protected:
    HubMemoryTest() : config_("XDG_CONFIG_HOME", scratch_ / "config") {}
    std::string Hive() { return ScratchDir::Read(scratch_ / "config/plenwise/user.reg"); }
    void StartRemembering() {
        main_ = std::make_unique<selhub::MainFrameDlg>(scratch_ / "selhub.so", registry_);
        main_->Create(nullptr);
        ui::ShowWindow(main_->Handle(), ui::kShow);
    }
    ScopedEnvironment config_;
    selhub::RegistrySelectionMemory registry_;
};

TEST_F(HubMemoryTest, FirstRunCreatesTheKeysAndNextWritesTheChoice) {
    WriteHub();
    spooler_->AddQueue("W300", "ARVEN Wideline 300", "");  // a family with no plug-in present
    StartRemembering();
    std::string hive = Hive();
    EXPECT_NE(hive.find("[HKEY_CURRENT_USER\\SoftWare\\ARVEN\\Tarnwell]"), std::string::npos)
        << hive;
    EXPECT_EQ(hive.find("Select"), std::string::npos) << hive;

    Next();  // no function listed: only the printer is written
    hive = Hive();
    EXPECT_NE(hive.find("\"SelectPrinter\"=\"W300\""), std::string::npos) << hive;
    EXPECT_EQ(hive.find("SelectFunction"), std::string::npos) << hive;
}

TEST_F(HubMemoryTest, FunctionNumberCarriesOverBetweenFamiliesAndRuns) {
    WriteHub();
    InstallPlugin("fwload.so");
    InstallPlugin("util.so");
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    spooler_->AddQueue("WL2000", "ARVEN WL-2000", "");
    StartRemembering();
    Choose(1003, "WL2000");
    ASSERT_EQ(Functions().GetText(), "Firmware");  // family 2, function 3
    Next();
    EXPECT_NE(Hive().find("\"SelectFunction\"=dword:00000003"), std::string::npos) << Hive();
    main_.reset();
    ui::PumpWaitingMessages();

    // The next run selects the printer again, and function 3 wherever the family offers it.
    StartRemembering();
    EXPECT_EQ(Printers().GetText(), "WL2000");
    RegistryKey(reg::HKEY_CURRENT_USER, "SoftWare\\ARVEN")
        .WriteNumber("Tarnwell", "SelectFunction", 2);
    Choose(1003, "WL4000");
    EXPECT_EQ(Functions().GetText(), "Head gap");
}

TEST_F(HubMemoryTest, OverlongRememberedPrinterSelectsTheFirstEntry) {
    WriteHub();
    std::string longName(300, 'Q');
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    spooler_->AddQueue(longName, "ARVEN WL-4000", "");
    RegistryKey(reg::HKEY_CURRENT_USER, "SoftWare\\ARVEN")
        .WriteString("Tarnwell", "SelectPrinter", longName);
    StartRemembering();
    EXPECT_EQ(Printers().GetCurSel(), 0);
}

// ---- The about box ----

TEST_F(HubTest, VersionListingNamesEachPluginFileOnceWithTwoDigitMinor) {
    InstallPlugin("util.so");
    InstallPlugin("upkeep.so", NO_ENTRY_PLUGIN);  // a file without version information
    std::string util = scratch_ / "util.so";
    std::string upkeep = scratch_ / "upkeep.so";
    WriteHub("[functions]\n1:1 | A | " + util + "\n1:2 | B | " + util + "\n1:3 | C | " +
             scratch_ / "absent.so" + "\n1:4 | D | " + upkeep + "\n2:1 | E | " + util +
             "\n[printer-models]\n1:0 | ARVEN WL-4000\n");
    HubTables tables;
    tables.Load(scratch_ / "selhub.dat");
    // The project's version 1.5 is shown as 1.05; other families' functions count too.
    EXPECT_EQ(selhub::BuildVersionListing(tables), util + " : 1.05\r\n");
}

TEST_F(HubTest, AboutBoxUndoesTyping) {
    selhub::VersionDlg about;
    about.listing = "util.so : 1.05\r\n";
    about.title = "Title";
    ASSERT_TRUE(about.Create(nullptr));
    ui::ShowWindow(about.Handle(), ui::kShow);
    EXPECT_EQ(about.GetItemText(1010), "Title");
    std::string error;
    ASSERT_EQ(ui::input::Type(about.Item(1008), "typed", error), ui::input::Result::Done) << error;
    EXPECT_EQ(about.GetItemText(1008), "util.so : 1.05\r\n");
}

TEST_F(HubTest, AboutEntryOpensTheAboutBox) {
    WriteHub();
    spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    Start();
    bool listed = false;
    for (const ui::SystemMenuEntry& entry : ui::SystemMenuEntries(main_->Handle())) {
        listed = listed || (entry.commandId == selhub::kAboutCommand && entry.text == "About...");
    }
    EXPECT_TRUE(listed);
}

// The first instance's channel (a short test name: its path must fit a socket address): the
// user's alone, a client that sends more than a request is dropped unanswered, and a later
// start's request is still confirmed.
TEST(SingleInstanceTest, Channel) {
    ScratchDir scratch;
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", scratch.Path().string());
    ui::SingleInstance first("Channel");
    ASSERT_EQ(first.Acquire(), ui::SingleInstance::Lock::Taken);
    const std::string path = (scratch.Path() / "plenwise" / "Channel.socket").string();
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISSOCK(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    // The event loop serves the channel while the other side waits, for ten seconds at most.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto serveUntil = [&](auto done) {
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            ui::PumpWaitingMessages();
        }
    };
    const int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    ASSERT_EQ(::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    const std::string overlong(65, 'r');
    ASSERT_EQ(::send(client, overlong.data(), overlong.size(), 0), 65);
    ssize_t got = -1;
    char reply[16];
    serveUntil([&]() { return (got = ::recv(client, reply, sizeof(reply), 0)) >= 0; });
    EXPECT_EQ(got, 0);  // closed without a reply
    ::close(client);

    ui::SingleInstance second("Channel");
    ASSERT_EQ(second.Acquire(), ui::SingleInstance::Lock::Held);
    std::future<bool> raised =
        std::async(std::launch::async, [&]() { return second.AskFirstToRaise(); });
    serveUntil(
        [&]() { return raised.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    EXPECT_TRUE(raised.get()) << second.Problem();
}

}  // namespace

int main(int argc, char** argv) {
    ui::Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
