// The refusals of an export, made alike by the wizard's pages and by plenwise-cli's settings
// export: the same text, and no file written.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/support/program_run.h"
#include "tests/util_wizard/wizard_fixture.h"

namespace {

using wizardtest::WizardFixture;
namespace fs = std::filesystem;

constexpr int kNext = 2001;
constexpr int kSettingList = 2015;
constexpr int kName = 2066;
constexpr int kSave = 2076;

class ExportRulesTest : public WizardFixture {
  protected:
    std::string T(int32_t number) const { return host_->GetText(number); }
    // plenwise-cli's exit code and standard error.
    std::pair<int, std::string> Cli(const std::vector<std::string>& arguments) {
        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
        const int code = cli::Run(arguments, testsupport::Env("PLENWISE_OUT") + "/");
        std::cout.flush();
        std::cerr.flush();
        ::testing::internal::GetCapturedStdout();
        return {code, ::testing::internal::GetCapturedStderr()};
    }
};

TEST_F(ExportRulesTest, ThePagesAndTheCommandRefuseAnExportAlike) {
    AddPrinter("P", "ARVEN WL-4000");
    WriteUserFile("ARVEN WL-4000", {UserEntry("Banner", 0x0011, {1, 2, 3, 4, 100, 0}),
                                    UserEntry("Vinyl", 0x0090, {0, 0, 0, 0, 100, 0})});
    enum class Refusal { OtherModel, HeldName, UnknownMedia };
    const struct {
        Refusal refusal;
        const char* setting;
        std::string file;  // the export file's bytes before; "" for none
    } cases[] = {
        {Refusal::OtherModel, "Banner", "[Base]\nModel=ARVEN WL-2000\n"},
        {Refusal::HeldName, "Banner",
         "[Base]\nModel=ARVEN WL-4000\nMediaCount=1\n[Media01]\nCustomName=Banner\nDensity=9\n"},
        {Refusal::UnknownMedia, "Vinyl", ""},
    };
    for (const auto& [refusal, setting, before] : cases) {
        const auto what = static_cast<int>(refusal);
        Start("P");
        // The box the pages show, as "flags:text".
        const std::string pageBox = refusal == Refusal::OtherModel ? "16:" + T(306) + T(316)
                                    : refusal == Refusal::HeldName ? "49:" + T(300)
                                                                   : "48:" + T(350) + T(351);
        const std::string file = scratch_ / (std::string(setting) + ".ASU");
        fs::remove(file);
        if (!before.empty()) {
            scratch_.Write(setting + std::string(".ASU"), before);
        }

        // The pages: the stored setting chosen, no value changed, saved again under its name.
        Check(3001, true);
        Click(kNext);
        ASSERT_EQ(ShownTemplate(), 2000);
        Select(kSettingList, setting);
        if (refusal != Refusal::UnknownMedia) {
            for (int box : {2004, 2005, 2007, 2008, 2010}) {
                Check(box, false);
            }
            for (int i = 0; i < 10 && ShownTemplate() != 2009; ++i) {
                Click(kNext);
            }
            ASSERT_EQ(ShownTemplate(), 2009) << what;
            Type(kName, setting);
            responder_.AnswerNextBox(ui::kIdOkResult);  // the driver's entry replaced
            responder_.AnswerNextFileDialog(file);
            responder_.AnswerNextBox(ui::kIdCancelResult);  // the file's section not
            Click(kSave);
        }
        ASSERT_FALSE(Boxes().empty()) << what;
        EXPECT_EQ(Boxes().back(), pageBox) << what;
        EXPECT_EQ(fs::exists(file), !before.empty()) << what;
        EXPECT_EQ(testsupport::ScratchDir::Read(file), before) << what;

        // The command, on the same files.
        const auto [code, err] = Cli({"settings", "export", "P", setting, file});
        EXPECT_EQ(code, 1) << what << "\n" << err;
        if (refusal == Refusal::HeldName) {
            // The page asks; the command, which cannot, says how to answer.
            EXPECT_NE(err.find("add --replace"), std::string::npos) << err;
        } else if (refusal == Refusal::UnknownMedia) {
            // Without the page's advice to choose another entry of its list.
            EXPECT_EQ(err, T(350)) << what;
        } else {
            EXPECT_EQ(err, pageBox.substr(3) + "\n") << what;
        }
        EXPECT_EQ(fs::exists(file), !before.empty()) << what;
        EXPECT_EQ(testsupport::ScratchDir::Read(file), before) << what;
        for (const ServiceRecord& record : ServiceLog()) {
            EXPECT_NE(record.action, kActionSettingExport) << what;
        }
        responder_.Clear();
    }
}

}  // namespace
