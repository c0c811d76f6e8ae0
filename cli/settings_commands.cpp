// The commands on the custom media settings of a queue's driver: settings list and export.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

#include "cli/cli.h"
#include "cli/fleet.h"
#include "cli/settings_host.h"
#include "platform/registry/machine_folder.h"
#include "util/settings/setting_save.h"
#include "util/settings/setting_values.h"

namespace cli {

namespace {

constexpr int32_t kMostUserSettings = 100;
constexpr int32_t kUnknownMediaText = 350;
constexpr int32_t kOtherModelText = 306;
constexpr int32_t kOtherModelReasonText = 316;
constexpr int32_t kExportNotWrittenText = 317;
constexpr int32_t kNoMediaConfigurationText = 360;
// The labels of the seven values, as the summary page has them.
constexpr int32_t kFirstValueLabel = 120;

// A value text of the pages on one line: its line break and the blanks around it become one.
std::string OneLine(std::string text) {
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) {
        while (at > 0 && text[at - 1] == ' ') {
            --at;
        }
        size_t end = text.find('\n', at) + 1;
        while (end < text.size() && text[end] == ' ') {
            ++end;
        }
        text.replace(at, end - at, " ");
    }
    return text;
}

// The host of the queue's media-settings store, started; none, after saying why, when the queue
// is not served, its model keeps no custom media settings, or the driver's files are missing.
std::unique_ptr<SettingsHost> StartSettings(Cli& cli, const std::string& queue) {
    const std::optional<ServedQueue> served = cli.FindServedQueue(queue);
    if (!served) {
        return nullptr;
    }
    const std::optional<Cli::MediaModule> module = cli.MediaModuleOf(served->modelKey);
    if (!module) {
        PrintError(
            Tr("%1: its printer model keeps no custom media settings", {TerminalText(queue)}));
        return nullptr;
    }
    const std::optional<std::string> dataFile = cli.DataFile(module->dataFile);
    if (!dataFile) {
        return nullptr;
    }
    // Reading the driver's files would make a machine folder at a mistyped PLENWISE_MACHINE.
    const std::string machine = machine::MachineFolder();
    if (!std::filesystem::is_directory(machine)) {
        PrintError(
            Tr("%1 does not exist: the printer driver is not installed there "
               "(PLENWISE_MACHINE names the folder)",
               {TerminalText(machine)}));
        return nullptr;
    }
    auto host = std::make_unique<SettingsHost>(*module->variant, queue);
    switch (host->StartUp(*dataFile)) {
        case SettingsHost::Start::DataFileDamaged:
            PrintNotInstalled(*dataFile, kDamagedDataFile);
            return nullptr;
        case SettingsHost::Start::NoSettings:
            PrintError(
                Tr("%1: its printer model keeps no custom media settings", {TerminalText(queue)}));
            return nullptr;
        case SettingsHost::Start::NoMediaConfiguration:
            PrintText(std::cerr, host->Texts().GetText(kNoMediaConfigurationText));
            return nullptr;
        case SettingsHost::Start::Faulty:
            PrintError(TerminalText(host->Fault().Text()));
            PrintText(std::cerr, host->Texts().GetText(kNoMediaConfigurationText));
            return nullptr;
        case SettingsHost::Start::Ready:
            break;
    }
    return host;
}

}  // namespace

int CustomSettingCount(const Cli& cli, const ServedQueue& served) {
    const std::optional<Cli::MediaModule> module = cli.MediaModuleOf(served.modelKey);
    if (!module || !std::filesystem::is_directory(machine::MachineFolder())) {
        return -1;
    }
    const std::optional<std::string> dataFile = cli.DataFile(module->dataFile);
    if (!dataFile) {
        return -1;
    }
    SettingsHost host(*module->variant, served.queue.printerName);
    if (host.StartUp(*dataFile) != SettingsHost::Start::Ready) {
        return -1;
    }
    std::vector<std::string> names;
    host.Store().ListUserNames(kMostUserSettings, names);
    return static_cast<int>(names.size());
}

int RunSettingsList(Cli& cli, const Arguments& arguments) {
    const std::string& queue = arguments.words[0];
    std::unique_ptr<SettingsHost> host = StartSettings(cli, queue);
    if (!host) {
        return kExitFailed;
    }
    std::vector<std::string> names;
    host->Store().ListUserNames(kMostUserSettings, names);
    if (names.empty()) {
        std::cout << Tr("%1: no custom media settings are registered.\n", {TerminalText(queue)});
        return kExitDone;
    }
    const UtilDataFile& texts = host->Texts();
    for (size_t i = 0; i < names.size(); ++i) {
        std::cout << (i == 0 ? "" : "\n") << TerminalText(names[i]) << "\n";
        if (!host->LoadSetting(names[i])) {
            continue;
        }
        const SettingValueTexts values =
            FormatSettingValues(host->Settings().working, host->Session().PrintMode(),
                                host->MediaNameOfRecord(), texts, SettingValuesPage::Summary);
        for (size_t value = 0; value < values.size(); ++value) {
            std::cout << "  " << texts.GetText(kFirstValueLabel + 10 * static_cast<int32_t>(value))
                      << TerminalText(OneLine(values[value])) << "\n";
        }
    }
    return kExitDone;
}

int RunSettingsExport(Cli& cli, const Arguments& arguments) {
    const std::string& queue = arguments.words[0];
    const std::string& name = arguments.words[1];
    const std::string& path = arguments.words[2];
    std::unique_ptr<SettingsHost> host = StartSettings(cli, queue);
    if (!host) {
        return kExitFailed;
    }
    const UtilDataFile& texts = host->Texts();
    // A stored name is matched over the bytes a name holds: a longer name would find the
    // setting of its prefix, which is not the setting asked for.
    std::vector<std::string> names;
    host->Store().ListUserNames(kMostUserSettings, names);
    if (std::find(names.begin(), names.end(), name) == names.end() || !host->LoadSetting(name)) {
        const auto longest = static_cast<size_t>(host->Store().LongestName());
        PrintError(name.size() > longest
                       ? Tr("%1: no custom media setting is named \"%2\" (a name holds at most %3 "
                            "bytes)",
                            {TerminalText(queue), TerminalText(name), std::to_string(longest)})
                       : Tr("%1: no custom media setting is named \"%2\"",
                            {TerminalText(queue), TerminalText(name)}));
        return kExitFailed;
    }
    // The selection page offers no setting of a media the data file does not know.
    if (host->Session().MediaTypes().OrderOf(host->Settings().record.MediaId()) == -1) {
        PrintText(std::cerr, texts.GetText(kUnknownMediaText));
        return kExitFailed;
    }
    const UserSettings& settings = host->Settings();
    switch (util::CheckExportFile(settings, path, name)) {
        case util::ExportTarget::OtherModel:
            PrintText(std::cerr,
                      texts.GetText(kOtherModelText) + texts.GetText(kOtherModelReasonText));
            return kExitFailed;
        case util::ExportTarget::NotAFile:
            PrintError(util::NotAFileText(path));
            return kExitFailed;
        case util::ExportTarget::ReplacesSetting:
            if (!arguments.Has(kOptionReplace)) {
                PrintError(
                    Tr("%1 already holds a setting named \"%2\": add --replace to replace it",
                       {TerminalText(path), TerminalText(name)}));
                return kExitFailed;
            }
            break;
        case util::ExportTarget::NewSetting:
            break;
    }
    if (!util::ExportSettingFile(settings, queue, path, name)) {
        PrintText(std::cerr, texts.GetText(kExportNotWrittenText));
        return kExitFailed;
    }
    std::cout << Tr("\"%1\" of %2 is exported to %3.\n",
                    {TerminalText(name), TerminalText(queue), TerminalText(path)});
    return kExitDone;
}

}  // namespace cli
