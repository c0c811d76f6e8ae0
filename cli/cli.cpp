#include "cli/cli.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "altutil/variant.h"
#include "common/utf8.h"
#include "platform/system/file.h"
#include "platform/system/operator_notice.h"
#include "util/variant.h"

#ifndef PLENWISE_VERSION
#define PLENWISE_VERSION "unknown"
#endif

namespace cli {

namespace {

struct Command {
    std::string_view name;
    std::string_view synopsis;
    size_t minOperands;
    size_t maxOperands;
    uint32_t options;
    std::string_view summary;
    std::string_view details;
    int (*run)(Cli&, const Arguments&);
};

constexpr std::string_view kExitCodes =
    "Exit status: 0 done, 1 refused or failed (the reason on standard error), 2 usage error,\n"
    "3 done, but the service log could not be written (the reason on standard error).\n";

const Command kCommands[] = {
    {"list", "[--json]", 0, 0, kOptionJson,
     "the queues of the printers Plenwise serves, with their state",
     "Lists every print queue of a printer model Plenwise serves: its driver, its printer\n"
     "family, whether the printer answers and is ready (\"ready\", \"not ready\", \"other model\"\n"
     "when the printer behind the queue reports another model, \"no answer\"), its firmware\n"
     "version and ink set. With --json, one JSON object per queue and line.\n",
     RunList},
    {"clean", "QUEUE --yes", 1, 1, kOptionYes, "run a power cleaning of the print heads",
     "Checks that the queue reaches a printer of its model that is ready, then sends it the\n"
     "power-cleaning command. The cleaning uses much ink, so --yes must confirm it. The printer\n"
     "cleans on its own afterwards; its progress is not followed.\n",
     RunClean},
    {"firmware check", "QUEUE FILE", 2, 2, 0, "compare a firmware file with the printer's firmware",
     "Shows the printer's firmware version and the file's, and whether the file may be\n"
     "downloaded: it must be made for the printer's model, be of the same or a newer version,\n"
     "and hold at most 256 MiB.\n",
     RunFirmwareCheck},
    {"firmware load", "QUEUE FILE --yes [--wait SECONDS]", 2, 2, kOptionYes | kOptionWait,
     "download a firmware file to the printer",
     "Checks the file as \"firmware check\" does, sends it to the printer, waits while the\n"
     "printer takes it (85 s, or --wait SECONDS, 0 to 3600; Ctrl-C ends the wait early) and reads\n"
     "the version back: the download is done when the printer reports the file's version.\n"
     "Keep the printer switched on meanwhile. --yes confirms the download.\n",
     RunFirmwareLoad},
    {"settings list", "QUEUE", 1, 1, 0,
     "the custom media settings registered in the queue's driver",
     "Lists the custom media settings registered in the user configuration of the queue's\n"
     "printer driver, with their values as the media-settings function shows them.\n",
     RunSettingsList},
    {"settings export", "QUEUE NAME FILE [--replace]", 3, 3, kOptionReplace,
     "export a custom media setting into a settings file",
     "Writes the custom media setting NAME into the settings file FILE (created when missing),\n"
     "as the media-settings function's save does. A file of another printer model is left\n"
     "alone; a setting of that name already in the file is replaced only with --replace.\n",
     RunSettingsExport},
    {"log", "[QUEUE] [--since DATE] [--json]", 0, 1, kOptionSince | kOptionJson,
     "the service log: what was done to which printer, when, with what result",
     "Shows the service log that Plenwise and plenwise-cli keep in\n"
     "$XDG_STATE_HOME/plenwise/service.log (~/.local/state when unset): every power cleaning,\n"
     "firmware download, head-gap registration and setting registered or exported. QUEUE keeps\n"
     "that queue's records; --since DATE (local time: 2024-05-02, \"2024-05-02 14:00\" or\n"
     "2024-05-02T14:00:30) those from then on. With --json, the records as the log holds them,\n"
     "one JSON object per line.\n",
     RunLog},
};

void PrintUsage(std::ostream& out, const Command& command) {
    out << "Usage: plenwise-cli " << command.name << (command.synopsis.empty() ? "" : " ")
        << command.synopsis << "\n";
}

void PrintOverview(std::ostream& out, std::string_view group) {
    out << "Usage: plenwise-cli " << (group.empty() ? "COMMAND" : group) << " ...\n\n";
    if (group.empty()) {
        out << "The service functions of Plenwise for scripts and remote sessions.\n\n";
    }
    out << "Commands:\n";
    for (const Command& command : kCommands) {
        if (group.empty() || command.name.starts_with(std::string(group) + " ")) {
            out << "  " << command.name << " " << command.synopsis << "\n      " << command.summary
                << "\n";
        }
    }
    out << "\nRun \"plenwise-cli COMMAND --help\" for a command's details.\n" << kExitCodes;
}

bool IsGroup(std::string_view word) {
    for (const Command& command : kCommands) {
        if (command.name.starts_with(std::string(word) + " ")) {
            return true;
        }
    }
    return false;
}

const Command* FindCommand(const std::vector<std::string>& words, size_t& nameWords) {
    for (const Command& command : kCommands) {
        const bool twoWords = command.name.find(' ') != std::string_view::npos;
        const std::string name =
            twoWords && words.size() >= 2 ? words[0] + " " + words[1] : words[0];
        if (name == command.name) {
            nameWords = twoWords ? 2 : 1;
            return &command;
        }
    }
    return nullptr;
}

// The names of a synopsis's required operands in order ("QUEUE", "FILE"): its words that are
// neither options nor optional.
std::vector<std::string_view> OperandNames(std::string_view synopsis) {
    std::vector<std::string_view> names;
    while (!synopsis.empty()) {
        const size_t end = std::min(synopsis.find(' '), synopsis.size());
        const std::string_view word = synopsis.substr(0, end);
        if (!word.empty() && !word.starts_with('-') && word.find_first_of("[]") == word.npos) {
            names.push_back(word);
        }
        synopsis.remove_prefix(std::min(end + 1, synopsis.size()));
    }
    return names;
}

int UsageError(const std::string& message, const Command* command) {
    PrintError(message);
    if (command != nullptr) {
        PrintUsage(std::cerr, *command);
    }
    std::cerr << "Run \"plenwise-cli --help\" for the commands.\n";
    return kExitUsage;
}

}  // namespace

bool Cli::LoadHub() {
    if (!hubLoaded_) {
        hubLoaded_ = LoadTexts(hub_, "selhub.dat");
    }
    return hubLoaded_;
}

std::optional<std::string> Cli::DataFile(const std::string& fileName) const {
    const std::string path = LocalizedDataFilePath(directory_ + fileName);
    if (!sys::InputFile(path).IsOpen()) {
        PrintNotInstalled(path, "cannot be read");
        return std::nullopt;
    }
    return path;
}

bool Cli::LoadTexts(UiTextTable& table, const std::string& fileName) const {
    const std::optional<std::string> path = DataFile(fileName);
    if (!path) {
        return false;
    }
    table.Load(*path);
    if (!table.Complete()) {
        PrintNotInstalled(*path, kDamagedDataFile);
        return false;
    }
    return true;
}

std::optional<ServedQueue> Cli::FindServedQueue(const std::string& name) {
    if (found_ && found_->queue.printerName == name) {
        return found_;
    }
    if (!LoadHub()) {
        return std::nullopt;
    }
    bool unreachable = false;
    const std::vector<ServedQueue> served = ServedQueues(hub_, &unreachable);
    const QueueNameMatch match(name);
    if (const ServedQueue* queue = match.Best(
            served, [](const ServedQueue& q) -> auto& { return q.queue.printerName; })) {
        found_ = *queue;
        return found_;
    }
    if (unreachable) {
        PrintText(std::cerr, hub_.GetText(kNoPrintSystemText));
        return std::nullopt;
    }
    std::vector<spooler::PrinterInfo2> queues;
    for (uint32_t pass : {spooler::kEnumLocal, spooler::kEnumConnections}) {
        std::vector<spooler::PrinterInfo2> listed;
        if (spooler::Current().EnumPrinters(pass, listed)) {
            queues.insert(queues.end(), listed.begin(), listed.end());
        }
    }
    if (const spooler::PrinterInfo2* queue = match.Best(
            queues, [](const spooler::PrinterInfo2& q) -> auto& { return q.printerName; })) {
        PrintError(TerminalText(queue->printerName) + ": its printer model \"" +
                   TerminalText(queue->driverName) + "\" is not one that Plenwise serves");
    } else {
        PrintError(TerminalText(name) + ": no such print queue");
    }
    return std::nullopt;
}

std::optional<Cli::MediaModule> Cli::MediaModuleOf(uint32_t modelKey) const {
    for (int32_t i = 0; i < hub_.FunctionCount(); ++i) {
        if (((hub_.FunctionKey(i) ^ modelKey) & kFamilyMask) != 0) {
            continue;
        }
        const std::string file = hub_.FunctionFile(i);
        if (file == "util.so") {
            return MediaModule{&util::UtilVariant(), "util.dat"};
        }
        if (file == "altutil.so") {
            return MediaModule{&altutil::AltUtilVariant(), "altutil.dat"};
        }
    }
    return std::nullopt;
}

void PrintText(std::ostream& out, const std::string& text) {
    out << text;
    if (text.empty() || text.back() != '\n') {
        out << '\n';
    }
}

std::string TerminalText(std::string_view text) {
    return EscapedText(text, Escape::NotUtf8AndControls);
}

QueueNameMatch::QueueNameMatch(const std::string& argument)
    : argument_(argument), unescaped_(UnescapedText(argument)) {}

int QueueNameMatch::Rank(const std::string& queueName) const {
    // As CUPS compares names: ASCII letters only, whatever the locale.
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    auto sameIgnoringCase = [&](const std::string& text) {
        return text.size() == queueName.size() &&
               std::equal(text.begin(), text.end(), queueName.begin(),
                          [&](char a, char b) { return lower(a) == lower(b); });
    };
    if (queueName == argument_) {
        return 4;
    }
    if (queueName == unescaped_) {
        return 3;
    }
    if (sameIgnoringCase(argument_)) {
        return 2;
    }
    return sameIgnoringCase(unescaped_) ? 1 : 0;
}

void PrintNotInstalled(const std::string& path, const std::string& problem) {
    PrintError(TerminalText(path) + " " + problem + ": Plenwise is not completely installed");
}

void PrintError(const std::string& message) {
    std::cerr << "plenwise-cli: " << message << "\n";
}

int Run(const std::vector<std::string>& arguments, const std::string& programDirectory) {
    const Arguments parsed = ParseArguments(arguments);
    if (!parsed.error.empty()) {
        return UsageError(parsed.error, nullptr);
    }
    if (parsed.version) {
        std::cout << "plenwise-cli " << PLENWISE_VERSION << "\n";
        return kExitDone;
    }
    if (parsed.words.empty()) {
        PrintOverview(parsed.help ? std::cout : std::cerr, "");
        return parsed.help ? kExitDone : kExitUsage;
    }
    size_t nameWords = 0;
    const Command* command = FindCommand(parsed.words, nameWords);
    if (command == nullptr) {
        if (IsGroup(parsed.words[0]) && (parsed.help || parsed.words.size() == 1)) {
            PrintOverview(parsed.help ? std::cout : std::cerr, parsed.words[0]);
            return parsed.help ? kExitDone : kExitUsage;
        }
        const std::string name =
            IsGroup(parsed.words[0]) ? parsed.words[0] + " " + parsed.words[1] : parsed.words[0];
        return UsageError("unknown command \"" + name + "\"", nullptr);
    }
    if (parsed.help) {
        PrintUsage(std::cout, *command);
        std::cout << "\n" << command->details << "\n" << kExitCodes;
        return kExitDone;
    }
    const uint32_t refused = parsed.given & ~command->options;
    if (refused != 0) {
        return UsageError(std::string(command->name) + " takes no option " + OptionNameOf(refused),
                          command);
    }
    Arguments operands = parsed;
    operands.words.erase(operands.words.begin(),
                         operands.words.begin() + static_cast<std::ptrdiff_t>(nameWords));
    if (operands.words.size() < command->minOperands ||
        operands.words.size() > command->maxOperands) {
        return UsageError(operands.words.size() < command->minOperands ? "too few arguments"
                                                                       : "too many arguments",
                          command);
    }
    if ((command->options & kOptionYes) != 0 && !parsed.Has(kOptionYes)) {
        return UsageError(std::string(command->name) + " changes the printer: add --yes to go on",
                          command);
    }
    if (parsed.Has(kOptionWait) && !WaitSeconds(parsed.wait)) {
        return UsageError(
            "--wait takes whole seconds from 0 to " + std::to_string(kLongestWaitSeconds), command);
    }
    Cli cli(programDirectory);
    // Operands are taken as the file system and the print system name them: a FILE as an
    // absolute path (the service log records where the file was), a QUEUE as the queue it
    // matches.
    const std::vector<std::string_view> names = OperandNames(command->synopsis);
    for (size_t i = 0; i < names.size() && i < operands.words.size(); ++i) {
        std::string& operand = operands.words[i];
        std::error_code failed;
        if (names[i] == "FILE" && !operand.empty()) {
            const std::filesystem::path absolute = std::filesystem::absolute(operand, failed);
            operand = failed ? operand : absolute.string();
        }
    }
    for (size_t i = 0; i < names.size() && i < operands.words.size(); ++i) {
        if (names[i] == "QUEUE") {
            const std::optional<ServedQueue> served = cli.FindServedQueue(operands.words[i]);
            if (!served) {
                return kExitFailed;
            }
            operands.words[i] = served->queue.printerName;
        }
    }
    sys::ResetNotices();
    sys::SetNoticeTeller([](sys::Notice, const std::string& text) { PrintError(text); });
    const int status = command->run(cli, operands);
    // The action stands, but the service log lacks its record (the reason is on standard error).
    return status == kExitDone && sys::NoticeCount(sys::Notice::ServiceLogUnwritable) > 0
               ? kExitNotLogged
               : status;
}

}  // namespace cli
