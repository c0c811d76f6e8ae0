// The media, print mode and summary pages: a custom media setting made and saved in-process.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/registry_key.h"
#include "platform/profile/profile.h"
#include "sim/driver/media_catalog.h"
#include "tests/util_wizard/wizard_fixture.h"
#include "util/pages/sample_settings_dialog.h"

namespace {

using wizardtest::WizardFixture;
namespace fs = std::filesystem;

constexpr int kNext = 2001;
constexpr int kBack = 2000;
constexpr int kMediaList = 2007;
constexpr int kThickness = 2030;
constexpr int kModeList = 2057;
constexpr int kName = 2066;
constexpr int kSave = 2076;

class MediaSettingsTest : public WizardFixture {
  protected:
    MediaSettingsTest() {
        AddPrinter("P", "ARVEN WL-4000");
        Start("P");
        Check(3001, true);
        Click(kNext);
        // Of the values, only the media and the print mode are adjusted here.
        for (int box : {2004, 2005, 2007, 2008, 2010}) {
            Check(box, false);
        }
        Click(kNext);
        EXPECT_EQ(ShownTemplate(), 2001);
    }
    std::string T(int32_t number) const { return host_->GetText(number); }
    std::vector<std::string> Entries(int list) const {
        std::vector<std::string> entries;
        ui::ComboBox combo(Shown()->Item(list));
        for (int i = 0; i < combo.Count(); ++i) {
            entries.push_back(combo.GetItemText(i));
        }
        return entries;
    }
    void ToSummary() {
        Click(kNext);
        ASSERT_EQ(ShownTemplate(), 2007);
        Click(kNext);
        ASSERT_EQ(ShownTemplate(), 2009);
    }
    std::string ExportFile(const std::string& name) const { return scratch_ / name; }
};

TEST_F(MediaSettingsTest, ThicknessIsHeldWithinRangeAndAnEmptiedEditGetsItsLastValue) {
    Type(kThickness, "20");
    EXPECT_EQ(Text(kThickness), "15");
    Type(kThickness, "9");
    Type(kThickness, "");
    Leave(kThickness);
    EXPECT_EQ(Text(kThickness), "9");
    Click(kNext);
    EXPECT_EQ(host_->Settings().working.Paperthick(), 9);
}

TEST_F(MediaSettingsTest, OnlyKnownMediaAreOfferedAndANewSettingTakesTheirDriverValues) {
    const std::vector<std::string> entries = Entries(kMediaList);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front(), "Plain Paper");
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "Banner Vinyl (solvent-free)"), 0);
    Select(kMediaList, "Clear Film");
    const simdriver::Media* film = simdriver::FindMedia(0x0040);
    ASSERT_NE(film, nullptr);
    EXPECT_EQ(host_->Settings().working.Forward(), film->values.forward);
    EXPECT_EQ(host_->Settings().working.Paperdraw(), film->values.paperdraw);
    EXPECT_EQ(Text(kThickness), std::to_string(film->values.paperthick));
    EXPECT_EQ(host_->driverMediaName, "Clear Film");

    // A media name that the list does not hold leaves the selection as it was.
    Click(kBack);
    host_->driverMediaName = "Media of another list";
    Click(kNext);
    EXPECT_EQ(ui::ComboBox(Shown()->Item(kMediaList)).GetText(), "Clear Film");
}

TEST_F(MediaSettingsTest, ThePrintModesAreThoseOfTheMediaAndNextKeepsTheChosenLevel) {
    Select(kMediaList, "Plain Paper");  // records for the fine and standard modes only
    host_->SetPrintMode(3);
    Click(kNext);
    ASSERT_EQ(ShownTemplate(), 2007);
    EXPECT_EQ(Entries(kModeList), (std::vector<std::string>{T(171), T(172)}));
    EXPECT_EQ(ui::ComboBox(Shown()->Item(kModeList)).GetCurSel(), 0);
    Click(kNext);
    // The fine mode: level 2 in the record, also after Next, so that it reads back as chosen.
    EXPECT_EQ(host_->PrintMode(), 0);
    EXPECT_EQ(host_->Settings().record.ModeLevel(), 2);
    EXPECT_EQ(host_->Settings().record.ModeCode(), 0);
    EXPECT_EQ(host_->Settings().PrintModeFlag(), 2);
}

TEST_F(MediaSettingsTest, AMediaWithoutModesLeavesThePrintModeAsItWas) {
    Click(kNext);
    ASSERT_EQ(ShownTemplate(), 2007);
    host_->Settings().record.SetMediaId(0x0077);  // no driver records
    host_->SetPrintMode(2);
    ui::Dialog* page = Shown();
    ui::ShowWindow(page->Handle(), ui::kHide);
    ui::ShowWindow(page->Handle(), ui::kShowNoActivate);  // shown again: the list is made anew
    EXPECT_TRUE(Entries(kModeList).empty());
    Click(kNext);
    EXPECT_EQ(host_->PrintMode(), 2);
    EXPECT_EQ(host_->Settings().record.MediaId(), 0x0077u);
}

TEST_F(MediaSettingsTest, EachModesSampleAsksTheDriverForItsModeAndTheMedia) {
    Select(kMediaList, "Photo Glossy Paper");  // records in all four modes
    Click(kNext);
    ASSERT_EQ(ShownTemplate(), 2007);
    const struct {
        int32_t text;
        int32_t level;  // of the fine and standard modes' item, else 0
        int32_t code;   // of the quality and best modes' item, else 0
    } modes[] = {{171, 2, 0}, {172, 1, 0}, {173, 0, 6}, {174, 0, 15}};
    // Each mode of this media prints at a resolution of its own.
    const simdriver::Media* glossy = simdriver::FindMedia(0x0020);
    ASSERT_NE(glossy, nullptr);
    DriverSettingsLibrary& library = host_->DriverLibrary();
    for (const auto& [text, level, code] : modes) {
        const size_t documents = spool_->Documents().size();
        Select(kModeList, T(text));
        Click(2012);
        ASSERT_EQ(spool_->Documents().size(), documents + 1) << text;
        EXPECT_EQ(spool_->Documents().back().name, T(text));
        const simdriver::Resolution dpi = glossy->resolutions[static_cast<size_t>(text - 171)];
        EXPECT_EQ(PrintedResolution(), (std::pair<int, int>(dpi.horizontal, dpi.vertical))) << text;
        int32_t handle = 0;
        ASSERT_EQ(library.Open("P", "plenwise:/P", &handle), 0);
        if (level != 0) {
            driverlib::MediaModeSelection mode;
            EXPECT_EQ(library.GetData(handle, driverlib::kItemMediaMode, &mode), 0);
            EXPECT_EQ(mode.modeLevel, level) << text;
            EXPECT_EQ(mode.mediaId, 0x0020) << text;
        } else {
            driverlib::MediaHighQualitySelection mode;
            EXPECT_EQ(library.GetData(handle, driverlib::kItemMediaHighQuality, &mode), 0);
            EXPECT_EQ(mode.modeCode, code) << text;
            EXPECT_EQ(mode.mediaId, 0x0020) << text;
        }
        library.Close(handle);
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(MediaSettingsTest, EachSampleOfTheSettingsDialogAsksForTheStandardModeAndItsMedia) {
    host_->SetPrintMode(0);  // the wizard's mode is fine; media samples go in the standard one
    // The dialog made as the media page makes it, but modeless: the test acts in it directly.
    util::SampleSettingsDialog dialog(*host_, host_->StandardSampleBitmap());
    ASSERT_TRUE(dialog.Create(Shown()->Handle()));
    ui::ShowWindow(dialog.Handle(), ui::kShow);
    const ui::WindowHandle list = dialog.Item(2014);
    const std::vector<util::DriverMedia> known = host_->KnownDriverMedia();
    DriverSettingsLibrary& library = host_->DriverLibrary();
    std::string error;
    // Film and paper differ in their standard resolution, and from the fine mode's.
    for (const uint16_t id : {uint16_t{0x0040}, uint16_t{0x0011}}) {
        const simdriver::Media* media = simdriver::FindMedia(id);
        ASSERT_NE(media, nullptr);
        const auto entry = std::find_if(known.begin(), known.end(),
                                        [&](const util::DriverMedia& m) { return m.id == id; });
        ASSERT_NE(entry, known.end()) << id;
        int index = -1;
        for (int i = 0; i < ui::CheckList(list).Count(); ++i) {
            index = ui::CheckList(list).GetItemText(i) == entry->name ? i : index;
        }
        ASSERT_GE(index, 0) << id;
        ASSERT_EQ(ui::input::Tick(list, index, true, error), ui::input::Result::Done) << error;
        const size_t documents = spool_->Documents().size();
        ASSERT_EQ(ui::input::Click(dialog.Item(ui::kIdOk), error), ui::input::Result::Done)
            << error;
        ui::PumpWaitingMessages();
        ASSERT_EQ(spool_->Documents().size(), documents + 1) << id;
        EXPECT_EQ(spool_->Documents().back().name, entry->name);
        int32_t handle = 0;
        ASSERT_EQ(library.Open("P", "plenwise:/P", &handle), 0);
        driverlib::MediaModeSelection mode;
        EXPECT_EQ(library.GetData(handle, driverlib::kItemMediaMode, &mode), 0);
        library.Close(handle);
        EXPECT_EQ(mode.modeLevel, 1) << id;
        EXPECT_EQ(mode.mediaId, id) << id;
        const simdriver::Resolution dpi = media->resolutions[1];
        EXPECT_EQ(PrintedResolution(), (std::pair<int, int>(dpi.horizontal, dpi.vertical))) << id;
        ASSERT_EQ(ui::input::Tick(list, index, false, error), ui::input::Result::Done) << error;
    }
    EXPECT_FALSE(dialog.HasEnded());  // it stays open after printing
    EXPECT_TRUE(Boxes().empty());
    dialog.DestroyWindow();
}

TEST_F(MediaSettingsTest, SavingRegistersTheSettingAndExportsIt) {
    Select(kMediaList, "Photo Glossy Paper");
    Type(kThickness, "6");
    ToSummary();
    EXPECT_EQ(Text(kName), "");
    EXPECT_EQ(Text(kNext), T(99));
    Type(kName, "Glossy 12345678901");
    EXPECT_EQ(Text(kName), "Glossy 123456789");  // 16 characters, no more
    const std::string file = ExportFile("out/glossy.ASU");
    fs::create_directories(scratch_ / "out");
    responder_.AnswerNextFileDialog(file);
    Click(kSave);
    EXPECT_TRUE(Boxes().empty());

    // The driver's user configuration, read here byte by byte: slot 0 holds the setting.
    const std::string ucf = testsupport::ScratchDir::Read(UserFilePath("ARVEN WL-4000"));
    ASSERT_EQ(ucf.size(), 2u + 40 * 102 + 6 * 84);
    EXPECT_EQ(ucf.substr(0, 2), std::string("\x00\x05", 2));
    const std::string slot = ucf.substr(2, 102);
    EXPECT_EQ(slot.substr(86, 16), "Glossy 123456789");
    EXPECT_EQ(slot[84], 2);
    EXPECT_EQ(static_cast<uint8_t>(slot[8]), 0x20);  // Photo Glossy Paper
    EXPECT_EQ(static_cast<uint8_t>(slot[59]), 6);    // Paperthick
    EXPECT_EQ(slot[2], 1);                           // standard mode: level 1

    profile::ProfileFile exported;
    ASSERT_TRUE(exported.Load(file));
    EXPECT_EQ(exported.Value("Base", "MediaCount").value_or(""), "1");
    EXPECT_EQ(exported.Value("Media01", "CustomName").value_or(""), "Glossy 123456789");
    EXPECT_EQ(exported.Value("Media01", "ID").value_or(""), "4");
    EXPECT_EQ(exported.Value("Media01", "Paperthick").value_or(""), "6");
    EXPECT_EQ(RegistryKey(reg::HKEY_CURRENT_USER, kSettingsKey)
                  .ReadString(kSettingsSubkey, "SavePath", ""),
              file);
    const std::vector<ServiceRecord> log = ServiceLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].action, kActionSettingRegistration);
    EXPECT_EQ(log[0].details, (ServiceDetails{{"name", "Glossy 123456789"},
                                              {"file", UserFilePath("ARVEN WL-4000")}}));
    EXPECT_EQ(log[1].action, kActionSettingExport);
    EXPECT_EQ(log[1].details, (ServiceDetails{{"name", "Glossy 123456789"}, {"file", file}}));
    for (const ServiceRecord& record : log) {
        EXPECT_EQ(record.queue, "P");
        EXPECT_EQ(record.driver, "ARVEN WL-4000");
        EXPECT_EQ(record.result, kResultDone);
    }
}

TEST_F(MediaSettingsTest, FilesThatAreNotWrittenLeaveNoRecord) {
    // A folder where the driver's user configuration would be written, and a plain file where
    // the export file's folder would be.
    fs::create_directories(UserFilePath("ARVEN WL-4000"));
    scratch_.Write("plain", "");
    const std::string target = ExportFile("plain/x.ASU");
    ToSummary();
    Type(kName, "Unsaved");
    responder_.AnswerNextBox(ui::kIdCancelResult);  // no retry of the registration
    responder_.AnswerNextFileDialog(target);
    responder_.AnswerNextBox(ui::kIdCancelResult);  // no retry of the export
    Click(kSave);
    ASSERT_EQ(Boxes().size(), 3u) << testing::PrintToString(Boxes());
    EXPECT_EQ(Boxes()[2], "48:" + T(317));  // the export was not written
    EXPECT_EQ(testsupport::ScratchDir::Read(scratch_ / "plain"), "");
    EXPECT_TRUE(ServiceLog().empty());
}

TEST_F(MediaSettingsTest, AnEmptyNameIsRefusedAndNothingIsSaved) {
    ToSummary();
    Click(kSave);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"48:" + T(305)}));
    EXPECT_TRUE(responder_.FileDialogs().empty());
    EXPECT_FALSE(fs::exists(UserFilePath("ARVEN WL-4000")));
}

TEST_F(MediaSettingsTest, DecliningToReplaceADriverEntryStillOffersTheExport) {
    WriteUserFile("ARVEN WL-4000", {UserEntry("Old", 0x0011, {1, 2, 3, 4, 5, 0})});
    const std::string before = testsupport::ScratchDir::Read(UserFilePath("ARVEN WL-4000"));
    ToSummary();
    Type(kName, "Old");
    responder_.AnswerNextBox(ui::kIdCancelResult);
    responder_.AnswerNextFileDialog("");
    Click(kSave);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"49:" + T(300)}));
    EXPECT_EQ(responder_.FileDialogs().size(), 1u);
    EXPECT_EQ(testsupport::ScratchDir::Read(UserFilePath("ARVEN WL-4000")), before);
    EXPECT_TRUE(ServiceLog().empty());
}

TEST_F(MediaSettingsTest, TheMachineFolderForSettingsFilesIsMadeBeforeTheDialogOpens) {
    const std::string folder = scratch_ / "machine/Settings/ARVEN";
    RegistryKey(reg::HKEY_LOCAL_MACHINE, kSettingsKey)
        .WriteString(kSettingsSubkey, "SavePath", folder);
    bool existed = false;
    responder_.onUnscriptedFileDialog = [&](const ui::FileDialogRequest& request, std::string&) {
        existed = fs::is_directory(request.initialDirectory);
        return false;
    };
    ToSummary();
    Type(kName, "New");
    Click(kSave);
    ASSERT_EQ(responder_.FileDialogs().size(), 1u);
    EXPECT_EQ(responder_.FileDialogs()[0].initialDirectory, folder);
    EXPECT_EQ(responder_.FileDialogs()[0].defaultExtension, "ASU");
    EXPECT_TRUE(existed);
}

TEST_F(MediaSettingsTest, AnExportFileOfAnotherModelIsLeftAlone) {
    const std::string file = scratch_.Write("other.ASU", "[Base]\nModel=ARVEN WL-2000\n");
    ToSummary();
    Type(kName, "Mine");
    responder_.AnswerNextFileDialog(file);
    Click(kSave);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"16:" + T(306) + T(316)}));
    EXPECT_EQ(testsupport::ScratchDir::Read(file), "[Base]\nModel=ARVEN WL-2000\n");
    // The registration is recorded, the refused export not.
    const std::vector<ServiceRecord> log = ServiceLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].action, kActionSettingRegistration);
    EXPECT_EQ(RegistryKey(reg::HKEY_CURRENT_USER, kSettingsKey)
                  .ReadString(kSettingsSubkey, "SavePath", "none"),
              "none");
}

}  // namespace

namespace {

TEST_F(MediaSettingsTest, AnExportTargetThatIsAFolderIsNamedSo) {
    const std::string folder = scratch_ / "folder.ASU";
    std::filesystem::create_directories(folder);
    ToSummary();
    Type(kName, "Mine");
    responder_.AnswerNextFileDialog(folder);
    Click(kSave);
    EXPECT_EQ(Boxes(),
              (std::vector<std::string>{"16:" + folder + " is a folder, not a settings file."}));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

}  // namespace
