#include "cli/cli.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string_view>

#include "altutil/variant.h"
#include "cli/translation.h"
#include "common/utf8.h"
#include "platform/spooler/spooler.h"
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
    const char* summary;  // English, translated when shown
    const char* details;
    int (*run)(Cli&, const Arguments&);
};

constexpr const char* kQueueServer = TR_NOOP(
    "With --server, QUEUE is a queue of that print server instead of the default one; its\n"
    "printer is reached from this machine, through the queue's connection.\n");

constexpr const char* kExitCodes = TR_NOOP(
    "Exit status: 0 done, 1 refused or failed (the reason on standard error), 2 usage error,\n"
    "3 done, but the service log could not be written (the reason on standard error).\n");

const Command kCommands[] = {
    {"list", "[--server HOST[:PORT]]... [--json]", 0, 0, kOptionJson | kOptionServer,
     TR_NOOP("the queues of the printers Plenwise serves, with their state"),
     TR_NOOP(
         "Lists every print queue of a printer model Plenwise serves: its driver, its printer\n"
         "family, whether the printer answers and is ready (\"ready\", \"not ready\", \"other "
         "model\"\n"
         "when the printer behind the queue reports another model, \"no answer\"), its firmware\n"
         "version and ink set, and its print server. With --json, one JSON object per queue and "
         "line.\n"
         "--server asks that print server (repeat it for several, asked at once) instead of the\n"
         "default one; a server that does not answer is listed as \"server down\".\n"),
     RunList},
    {"clean", "QUEUE --yes [--server HOST[:PORT]]", 1, 1, kOptionYes | kOptionServer,
     TR_NOOP("run a power cleaning of the print heads"),
     TR_NOOP(
         "Checks that the queue reaches a printer of its model that is ready, then sends it the\n"
         "power-cleaning command. The cleaning uses much ink, so --yes must confirm it. The "
         "printer\n"
         "cleans on its own afterwards; its progress is not followed.\n"),
     RunClean},
    {"firmware check", "QUEUE FILE [--server HOST[:PORT]]", 2, 2, kOptionServer,
     TR_NOOP("compare a firmware file with the printer's firmware"),
     TR_NOOP(
         "Shows the printer's firmware version and the file's, and whether the file may be\n"
         "downloaded: it must be made for the printer's model, be of the same or a newer version,\n"
         "and hold at most 256 MiB.\n"),
     RunFirmwareCheck},
    {"firmware load", "QUEUE FILE --yes [--wait SECONDS] [--server HOST[:PORT]]", 2, 2,
     kOptionYes | kOptionWait | kOptionServer, TR_NOOP("download a firmware file to the printer"),
     TR_NOOP(
         "Checks the file as \"firmware check\" does, sends it to the printer, waits while the\n"
         "printer takes it (85 s, or --wait SECONDS, 0 to 3600; Ctrl-C ends the wait early) and "
         "reads\n"
         "the version back: the download is done when the printer reports the file's version.\n"
         "Keep the printer switched on meanwhile. --yes confirms the download.\n"),
     RunFirmwareLoad},
    {"settings list", "QUEUE [--server HOST[:PORT]]", 1, 1, kOptionServer,
     TR_NOOP("the custom media settings registered in the queue's driver"),
     TR_NOOP("Lists the custom media settings registered in the user configuration of the queue's\n"
             "printer driver, with their values as the media-settings function shows them.\n"),
     RunSettingsList},
    {"settings export", "QUEUE NAME FILE [--replace] [--server HOST[:PORT]]", 3, 3,
     kOptionReplace | kOptionServer, TR_NOOP("export a custom media setting into a settings file"),
     TR_NOOP(
         "Writes the custom media setting NAME into the settings file FILE (created when "
         "missing),\n"
         "as the media-settings function's save does. A file of another printer model is left\n"
         "alone; a setting of that name already in the file is replaced only with --replace.\n"),
     RunSettingsExport},
    {"log", "[QUEUE] [--server HOST[:PORT]]... [--since DATE] [--json]", 0, 1,
     kOptionSince | kOptionJson | kOptionServer,
     TR_NOOP("the service log: what was done to which printer, when, with what result"),
     TR_NOOP(
         "Shows the service log that Plenwise and plenwise-cli keep in\n"
         "$XDG_STATE_HOME/plenwise/service.log (~/.local/state when unset): every power cleaning,\n"
         "firmware download, head-gap registration and setting registered or exported. QUEUE "
         "keeps\n"
         "that queue's records; --since DATE (local time: 2024-05-02, \"2024-05-02 14:00\" or\n"
         "2024-05-02T14:00:30) those from then on; --server those of the queues of that print\n"
         "server (repeatable; the default server when none is given, whose queues the records\n"
         "that name no server are of). With --json, the records as the log holds them, one JSON\n"
         "object per line, each with its server.\n"),
     RunLog},
    {"metrics", "[--server HOST[:PORT]]... [--textfile DIR | --listen [ADDRESS:]PORT]", 0, 0,
     kOptionServer | kOptionTextfile | kOptionListen,
     TR_NOOP("the printers' state and service history for Prometheus"),
     TR_NOOP(
         "Writes, in the Prometheus text format, whether each served printer answers and is "
         "ready,\n"
         "its firmware version, its custom media settings, and from the service log the count and\n"
         "the time of its last service action of each kind with the result. --server as for list.\n"
         "--textfile DIR replaces DIR/plenwise.prom whole, for the node exporter's textfile\n"
         "collector; --listen serves /metrics over HTTP (at 127.0.0.1 unless an address is given)\n"
         "until stopped, each scrape answered within its time-out, silent printers marked down.\n"),
     RunMetrics},
};

void PrintUsage(std::ostream& out, const Command& command) {
    out << Tr("Usage: plenwise-cli %1",
              {std::string(command.name) + (command.synopsis.empty() ? "" : " ") +
               std::string(command.synopsis)})
        << "\n";
}

void PrintOverview(std::ostream& out, std::string_view group) {
    out << Tr("Usage: plenwise-cli %1", {std::string(group.empty() ? "COMMAND" : group) + " ..."})
        << "\n\n";
    if (group.empty()) {
        out << Tr("The service functions of Plenwise for scripts and remote sessions.\n") << "\n";
    }
    out << Tr("Commands:\n");
    for (const Command& command : kCommands) {
        if (group.empty() || command.name.starts_with(std::string(group) + " ")) {
            out << "  " << command.name << " " << command.synopsis << "\n      "
                << Tr(command.summary) << "\n";
        }
    }
    out << "\n"
        << Tr("Run \"plenwise-cli COMMAND --help\" for a command's details.\n") << Tr(kExitCodes);
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
    std::cerr << Tr("Run \"plenwise-cli --help\" for the commands.\n");
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
        PrintNotInstalled(path, TR_NOOP("cannot be read"));
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
        PrintError(Tr("%1: its printer model \"%2\" is not one that Plenwise serves",
                      {TerminalText(queue->printerName), TerminalText(queue->driverName)}));
    } else {
        PrintError(Tr("%1: no such print queue", {TerminalText(name)}));
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

size_t TerminalWidth(std::string_view text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length && i + k < text.size(); ++k) {
            code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        // Hangul Jamo, CJK radicals to Yi, Hangul syllables, compatibility ideographs, vertical
        // and small forms, full-width forms, the supplementary ideographic planes.
        const bool wide =
            (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
            (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
            (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
            (code >= 0xFFE0 && code <= 0xFFE6) || (code >= 0x20000 && code <= 0x3FFFD);
        width += wide ? 2 : 1;
        i += length;
    }
    return width;
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

void PrintNotReachedFromHere(const Arguments& arguments, const spooler::PrinterInfo2& queue) {
    if (arguments.Has(kOptionServer)) {
        PrintError(
            Tr("%1 of %2: its printer did not answer this machine; the printer link reaches "
               "it only where its connection %3 can be opened from here",
               {TerminalText(queue.printerName), TerminalText(spooler::Current().Server()),
                TerminalText(queue.portName)}));
    }
}

void PrintNotInstalled(const std::string& path, const char* problem) {
    PrintError(
        Tr("%1 %2: Plenwise is not completely installed", {TerminalText(path), Tr(problem)}));
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
        return UsageError(Tr("unknown command \"%1\"", {name}), nullptr);
    }
    if (parsed.help) {
        PrintUsage(std::cout, *command);
        std::cout << "\n" << Tr(command->details);
        if (command->synopsis.starts_with("QUEUE")) {
            std::cout << Tr(kQueueServer);
        }
        std::cout << "\n" << Tr(kExitCodes);
        return kExitDone;
    }
    const uint32_t refused = parsed.given & ~command->options;
    if (refused != 0) {
        return UsageError(Tr("%1 takes no option %2", {command->name, OptionNameOf(refused)}),
                          command);
    }
    Arguments operands = parsed;
    operands.words.erase(operands.words.begin(),
                         operands.words.begin() + static_cast<std::ptrdiff_t>(nameWords));
    if (operands.words.size() < command->minOperands ||
        operands.words.size() > command->maxOperands) {
        return UsageError(operands.words.size() < command->minOperands ? Tr("too few arguments")
                                                                       : Tr("too many arguments"),
                          command);
    }
    if ((command->options & kOptionYes) != 0 && !parsed.Has(kOptionYes)) {
        return UsageError(Tr("%1 changes the printer: add --yes to go on", {command->name}),
                          command);
    }
    if (parsed.Has(kOptionWait) && !WaitSeconds(parsed.wait)) {
        return UsageError(
            Tr("--wait takes whole seconds from 0 to %1", {std::to_string(kLongestWaitSeconds)}),
            command);
    }
    // A service function works on a queue of one print server, the default one or that named.
    const bool onQueue = command->synopsis.starts_with("QUEUE");
    if (onQueue && parsed.servers.size() > 1) {
        return UsageError(Tr("%1 works on one print server: give --server once", {command->name}),
                          command);
    }
    std::unique_ptr<spooler::Spooler> server;
    std::optional<spooler::ThreadSpooler> onServer;
    if (onQueue && !parsed.servers.empty()) {
        server = spooler::MakeCupsSpooler(spooler::kSchedulerTimeoutMs, parsed.servers[0]);
        onServer.emplace(*server);
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
