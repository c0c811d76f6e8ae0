// The commands that talk to printers: list, clean, firmware check and firmware load.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <iostream>
#include <optional>
#include <system_error>
#include <thread>

#include "cli/cli.h"
#include "cli/terminal_wait.h"
#include "common/printer_link.h"
#include "common/remote_commands.h"
#include "common/service_log.h"
#include "fwload/firmware_download.h"
#include "upkeep/power_cleaning.h"
#include "util/variant.h"

namespace cli {

namespace {

// The link of a queue as the firmware and cleaning functions bind it: the queue's driver name
// remembered, the library bound and the channel chosen and tried.
class QueueLink {
  public:
    explicit QueueLink(const std::string& queue) : queue_(queue) {
        link_.RememberDriverName(queue_);
        channel_ = link_.StartUp(queue_);
    }
    ~QueueLink() { link_.Unbind(); }
    QueueLink(const QueueLink&) = delete;
    QueueLink& operator=(const QueueLink&) = delete;

    PrinterLink& Link() { return link_; }
    PrinterQueries Queries() { return PrinterQueries(link_, queue_, channel_, link_.DriverName); }

  private:
    std::string queue_;
    PrinterLink link_{LinkVariant::Other};
    int32_t channel_ = 0;
};

const char* StateName(PrinterState state) {
    switch (state) {
        case PrinterState::NoAnswer:
            return TR_NOOP("no answer");
        case PrinterState::OtherModel:
            return TR_NOOP("other model");
        case PrinterState::NotReady:
            return TR_NOOP("not ready");
        case PrinterState::Ready:
            break;
    }
    return TR_NOOP("ready");
}

struct QueueRow {
    std::string queue;
    std::string driver;
    uint32_t family = 0;
    PrinterState state = PrinterState::NoAnswer;
    std::string firmware;  // empty when not read
    int inkSet = -1;
};

std::string JsonRow(const QueueRow& row) {
    const bool answers = row.state != PrinterState::NoAnswer;
    return "{\"queue\":" + JsonQuoted(row.queue) + ",\"driver\":" + JsonQuoted(row.driver) +
           ",\"family\":" + std::to_string(row.family) +
           ",\"answers\":" + (answers ? "true" : "false") +
           ",\"ready\":" + (row.state == PrinterState::Ready ? "true" : "false") +
           ",\"state\":" + JsonQuoted(StateName(row.state)) +
           ",\"firmware\":" + (row.firmware.empty() ? "null" : JsonQuoted(row.firmware)) +
           ",\"inkSet\":" + (row.inkSet < 0 ? "null" : std::to_string(row.inkSet)) + "}";
}

void PrintTable(const std::vector<QueueRow>& rows) {
    const std::vector<std::string> heads = {Tr("QUEUE"), Tr("DRIVER"),   Tr("FAMILY"),
                                            Tr("STATE"), Tr("FIRMWARE"), Tr("INK SET")};
    std::vector<std::vector<std::string>> cells;
    for (const QueueRow& row : rows) {
        cells.push_back({TerminalText(row.queue), TerminalText(row.driver),
                         std::to_string(row.family), Tr(StateName(row.state)),
                         row.firmware.empty() ? "-" : TerminalText(row.firmware),
                         row.inkSet < 0 ? "-" : std::to_string(row.inkSet)});
    }
    std::vector<size_t> widths;
    for (const std::string& head : heads) {
        widths.push_back(TerminalWidth(head));
    }
    for (const auto& line : cells) {
        for (size_t i = 0; i < line.size(); ++i) {
            widths[i] = std::max(widths[i], TerminalWidth(line[i]));
        }
    }
    auto print = [&](const std::vector<std::string>& line) {
        std::string text;
        for (size_t i = 0; i < line.size(); ++i) {
            text += line[i];
            if (i + 1 < line.size()) {
                text += std::string(widths[i] - TerminalWidth(line[i]) + 2, ' ');
            }
        }
        std::cout << text << "\n";
    };
    print(heads);
    for (const auto& line : cells) {
        print(line);
    }
}

// The readiness check and the firmware version of the queue's printer, as the firmware page
// starts: false, after the page's message, when the printer is not ready.
bool ReadyWithVersion(const UiTextTable& texts, PrinterQueries& queries,
                      FirmwareVersion& printerVersion) {
    if (!queries.PrinterReady(3)) {
        PrintText(std::cerr, texts.GetText(MessageOf(DownloadResult::NotReady).first));
        return false;
    }
    ReadPrinterVersion(queries, printerVersion);
    return true;
}

bool ReadFirmwareFile(const std::string& path, FirmwareVersion& fileVersion, uint64_t& size) {
    if (!ReadFileVersion(path, fileVersion, &size)) {
        PrintError(Tr("%1: the firmware file cannot be read", {TerminalText(path)}));
        return false;
    }
    return true;
}

// What both firmware commands start from, as the firmware page does: fwload's texts, the file's
// version, and the ready printer of a served queue with its version.
struct FirmwareStart {
    UiTextTable texts;
    FirmwareVersion fileVersion{};
    uint64_t fileSize = 0;
    FirmwareVersion printerVersion{};
    std::optional<QueueLink> link;
    std::optional<PrinterQueries> queries;  // of the link, so declared after it

    // False, after saying why, when one of them is missing.
    bool Open(Cli& cli, const std::string& queue, const std::string& path) {
        if (!cli.LoadTexts(texts, "fwload.dat") || !cli.FindServedQueue(queue) ||
            !ReadFirmwareFile(path, fileVersion, fileSize)) {
            return false;
        }
        link.emplace(queue);
        queries.emplace(link->Queries());
        return ReadyWithVersion(texts, *queries, printerVersion);
    }
};

void PrintMessage(std::ostream& out, const UiTextTable& texts, DownloadResult result) {
    const DownloadMessage message = MessageOf(result);
    PrintText(out, texts.GetText(message.first) + texts.GetText(message.second));
}

// What the queue's printer reports. One of another model is refused: what it reports would be
// taken for the queue's.
QueueRow ReadQueueRow(const Cli& cli, const ServedQueue& served) {
    QueueLink link(served.queue.printerName);
    PrinterQueries queries = link.Queries();
    const PrinterState state = queries.ReadyState(1);
    FirmwareVersion version{};
    int inkSet = -1;
    if (state == PrinterState::Ready || state == PrinterState::NotReady) {
        ReadPrinterVersion(queries, version);
        const auto module = cli.MediaModuleOf(served.modelKey);
        inkSet =
            queries.PrinterInkSet(module ? module->variant->printerInkSets : InkSetTable::Util);
    }
    return {served.queue.printerName,     served.queue.driverName,
            FamilyOf(served.modelKey),    state,
            FirmwareVersionText(version), inkSet};
}

// How many printers are asked at once: a printer that does not answer costs its time-outs once
// for the whole listing, not once for every queue listed after it.
constexpr size_t kPrintersAskedAtOnce = 16;

// Calls ask(0) to ask(count - 1), up to kPrintersAskedAtOnce of them at a time; on this thread
// alone when no other can be started.
void AskAtOnce(size_t count, const std::function<void(size_t)>& ask) {
    std::atomic<size_t> next = 0;
    auto work = [&]() {
        for (size_t index = next++; index < count; index = next++) {
            ask(index);
        }
    };
    std::vector<std::thread> askers;
    try {
        while (askers.size() < std::min(count, kPrintersAskedAtOnce)) {
            askers.emplace_back(work);
        }
    } catch (const std::system_error&) {
        // Fewer at once, then.
    }
    if (askers.empty()) {
        work();
    }
    for (std::thread& asker : askers) {
        asker.join();
    }
}

}  // namespace

int RunList(Cli& cli, const Arguments& arguments) {
    if (!cli.LoadHub()) {
        return kExitFailed;
    }
    bool unreachable = false;
    const std::vector<ServedQueue> served = ServedQueues(cli.Hub(), &unreachable);
    std::vector<QueueRow> rows(served.size());
    AskAtOnce(served.size(), [&](size_t i) { rows[i] = ReadQueueRow(cli, served[i]); });
    if (rows.empty()) {
        // With no scheduler, an empty list would say that nothing is to be serviced.
        PrintText(std::cerr, cli.Hub().GetText(unreachable ? kNoPrintSystemText : kNoPrinterText));
        if (unreachable) {
            return kExitFailed;
        }
    }
    if (arguments.Has(kOptionJson)) {
        for (const QueueRow& row : rows) {
            std::cout << JsonRow(row) << "\n";
        }
    } else if (!rows.empty()) {
        PrintTable(rows);
    }
    return kExitDone;
}

int RunClean(Cli& cli, const Arguments& arguments) {
    const std::string& queue = arguments.words[0];
    UiTextTable texts;
    const std::optional<ServedQueue> served = cli.FindServedQueue(queue);
    if (!served || !cli.LoadTexts(texts, "upkeep.dat")) {
        return kExitFailed;
    }
    // The cleaning travels as a job of the queue: one that takes none is not the printer's fault.
    if (!served->queue.acceptingJobs) {
        PrintError(
            Tr("%1: the print queue does not accept jobs (cupsaccept lets it take them "
               "again)",
               {TerminalText(queue)}));
        return kExitFailed;
    }
    QueueLink link(queue);
    // The checks of the function's start and of its start button.
    if (!upkeep::CleaningPrinterReady(link.Link(), queue, 3) ||
        upkeep::StartPowerCleaning(link.Link(), queue) != upkeep::CleaningStart::Sent) {
        PrintText(std::cerr, texts.GetText(upkeep::kFailureText));
        return kExitFailed;
    }
    std::cout << Tr("%1: the power cleaning was sent; the printer now cleans its heads.\n",
                    {TerminalText(queue)});
    return kExitDone;
}

int RunFirmwareCheck(Cli& cli, const Arguments& arguments) {
    FirmwareStart start;
    if (!start.Open(cli, arguments.words[0], arguments.words[1])) {
        return kExitFailed;
    }
    const UiTextTable& texts = start.texts;
    const FirmwareVersion& printerVersion = start.printerVersion;
    const FirmwareVersion& fileVersion = start.fileVersion;
    std::cout << texts.GetText(116) << " " << TerminalText(FirmwareVersionText(printerVersion))
              << "\n"
              << texts.GetText(117) << " " << TerminalText(FirmwareVersionText(fileVersion))
              << "\n";
    switch (CheckFirmwareFit(printerVersion, fileVersion, start.fileSize)) {
        case FirmwareFit::TooLarge:
            PrintMessage(std::cerr, texts, DownloadResult::TooLarge);
            return kExitFailed;
        case FirmwareFit::OtherModel:
            PrintMessage(std::cerr, texts, DownloadResult::OtherModel);
            return kExitFailed;
        case FirmwareFit::Older:
            PrintMessage(std::cerr, texts, DownloadResult::Older);
            return kExitFailed;
        case FirmwareFit::Fits:
            break;
    }
    std::cout << Tr("The file can be downloaded to this printer.\n");
    return kExitDone;
}

int RunFirmwareLoad(Cli& cli, const Arguments& arguments) {
    const std::string& path = arguments.words[1];
    const uint32_t waitSeconds = arguments.Has(kOptionWait)
                                     ? WaitSeconds(arguments.wait).value_or(0)
                                     : kFirmwareUpdateMs / 1000;
    FirmwareStart start;
    if (!start.Open(cli, arguments.words[0], path)) {
        return kExitFailed;
    }
    const UiTextTable& texts = start.texts;
    TerminalWait wait(std::cerr, isatty(STDERR_FILENO) != 0);
    const DownloadOutcome outcome = DownloadFirmware(*start.queries, path, start.printerVersion,
                                                     start.fileVersion, waitSeconds * 1000, wait);
    if (outcome.result != DownloadResult::Done) {
        if (outcome.result == DownloadResult::NotConfirmed) {
            std::cerr << texts.GetText(116) << " "
                      << TerminalText(FirmwareVersionText(outcome.versionAfter)) << "\n";
        }
        PrintMessage(std::cerr, texts, outcome.result);
        wait.EndAsSignalled();
        return kExitFailed;
    }
    PrintMessage(std::cout, texts, outcome.result);
    std::cout << texts.GetText(116) << " "
              << TerminalText(FirmwareVersionText(outcome.versionAfter)) << "\n";
    // One that came after the version was read is not swallowed either.
    wait.EndAsSignalled();
    return kExitDone;
}

}  // namespace cli
