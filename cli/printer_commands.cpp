// The commands that talk to printers: list, clean, firmware check and firmware load.
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <optional>

#include "cli/cli.h"
#include "cli/fleet.h"
#include "cli/terminal_wait.h"
#include "common/printer_link.h"
#include "common/remote_commands.h"
#include "common/service_log.h"
#include "fwload/firmware_download.h"
#include "upkeep/power_cleaning.h"
#include "util/variant.h"

namespace cli {

namespace {

// The state of a server that does not answer, in place of its queues.
constexpr const char* kServerDown = TR_NOOP("server down");

std::string JsonRow(const QueueRow& row, const std::string& server) {
    const bool answers = row.state != PrinterState::NoAnswer;
    return "{\"queue\":" + JsonQuoted(row.queue) + ",\"driver\":" + JsonQuoted(row.driver) +
           ",\"family\":" + std::to_string(row.family) +
           ",\"answers\":" + (answers ? "true" : "false") +
           ",\"ready\":" + (row.state == PrinterState::Ready ? "true" : "false") +
           ",\"state\":" + JsonQuoted(StateName(row.state)) +
           ",\"firmware\":" + (row.firmware.empty() ? "null" : JsonQuoted(row.firmware)) +
           ",\"inkSet\":" + (row.inkSet < 0 ? "null" : std::to_string(row.inkSet)) +
           ",\"server\":" + JsonQuoted(server) + "}";
}

std::string JsonServerDown(const std::string& server) {
    return "{\"queue\":null,\"driver\":null,\"family\":null,\"answers\":false,\"ready\":false,"
           "\"state\":\"" +
           std::string(kServerDown) +
           "\",\"firmware\":null,\"inkSet\":null,\"server\":" + JsonQuoted(server) + "}";
}

void PrintTable(const std::vector<ServerRows>& servers) {
    const std::vector<std::string> heads = {Tr("QUEUE"), Tr("DRIVER"),   Tr("FAMILY"),
                                            Tr("STATE"), Tr("FIRMWARE"), Tr("INK SET"),
                                            Tr("SERVER")};
    std::vector<std::vector<std::string>> cells;
    for (const ServerRows& server : servers) {
        if (!server.answered && server.rows.empty()) {
            cells.push_back(
                {"-", "-", "-", Tr(kServerDown), "-", "-", TerminalText(server.server)});
        }
        for (const QueueRow& row : server.rows) {
            cells.push_back(
                {TerminalText(row.queue), TerminalText(row.driver), std::to_string(row.family),
                 Tr(StateName(row.state)), row.firmware.empty() ? "-" : TerminalText(row.firmware),
                 row.inkSet < 0 ? "-" : std::to_string(row.inkSet), TerminalText(server.server)});
        }
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
    bool Open(Cli& cli, const Arguments& arguments) {
        const std::string& queue = arguments.words[0];
        const std::optional<ServedQueue> served = cli.FindServedQueue(queue);
        if (!cli.LoadTexts(texts, "fwload.dat") || !served ||
            !ReadFirmwareFile(arguments.words[1], fileVersion, fileSize)) {
            return false;
        }
        link.emplace(queue);
        queries.emplace(link->Queries());
        if (!ReadyWithVersion(texts, *queries, printerVersion)) {
            PrintNotReachedFromHere(arguments, served->queue);
            return false;
        }
        return true;
    }
};

void PrintMessage(std::ostream& out, const UiTextTable& texts, DownloadResult result) {
    const DownloadMessage message = MessageOf(result);
    PrintText(out, texts.GetText(message.first) + texts.GetText(message.second));
}

}  // namespace

int RunList(Cli& cli, const Arguments& arguments) {
    if (!cli.LoadHub()) {
        return kExitFailed;
    }
    FleetSurvey survey(cli, arguments.servers, false);
    survey.Start();
    const std::vector<ServerRows> servers = survey.Wait();
    bool anyAnswered = false;
    bool anyRow = false;
    for (const ServerRows& server : servers) {
        anyAnswered = anyAnswered || server.answered;
        anyRow = anyRow || !server.rows.empty();
    }
    if (!anyAnswered || !anyRow) {
        // With no scheduler, an empty list would say that nothing is to be serviced.
        PrintText(std::cerr, cli.Hub().GetText(anyAnswered ? kNoPrinterText : kNoPrintSystemText));
    }
    for (const ServerRows& server : servers) {
        if (!server.answered && (anyAnswered || servers.size() > 1)) {
            PrintError(Tr("%1: the print server does not answer", {TerminalText(server.server)}));
        }
    }
    if (!anyAnswered) {
        return kExitFailed;
    }
    if (arguments.Has(kOptionJson)) {
        for (const ServerRows& server : servers) {
            if (!server.answered && server.rows.empty()) {
                std::cout << JsonServerDown(server.server) << "\n";
            }
            for (const QueueRow& row : server.rows) {
                std::cout << JsonRow(row, server.server) << "\n";
            }
        }
    } else if (anyRow || servers.size() > 1) {
        PrintTable(servers);
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
        PrintNotReachedFromHere(arguments, served->queue);
        return kExitFailed;
    }
    std::cout << Tr("%1: the power cleaning was sent; the printer now cleans its heads.\n",
                    {TerminalText(queue)});
    return kExitDone;
}

int RunFirmwareCheck(Cli& cli, const Arguments& arguments) {
    FirmwareStart start;
    if (!start.Open(cli, arguments)) {
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
    if (!start.Open(cli, arguments)) {
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
