// The log command: the service log's records of the print servers asked, all of them or one
// queue's, from a date on.
#include <algorithm>
#include <iostream>
#include <utility>

#include "cli/cli.h"
#include "cli/fleet.h"
#include "common/service_log.h"

namespace cli {
namespace {

// An action or result of the log as its text form shows it: translated where it is one of the
// log's own names. The records keep the English keys, which scripts read.
std::string ShownName(const std::string& key) {
    static constexpr std::pair<const char*, const char*> kNames[] = {
        {kActionPowerCleaning, TR_NOOP("power-cleaning")},
        {kActionFirmwareDownload, TR_NOOP("firmware-download")},
        {kActionHeadGapRegistration, TR_NOOP("head-gap-registration")},
        {kActionSettingRegistration, TR_NOOP("setting-registration")},
        {kActionSettingExport, TR_NOOP("setting-export")},
        {kResultSent, TR_NOOP("sent")},
        {kResultDone, TR_NOOP("done")},
        {kResultFailed, TR_NOOP("failed")},
    };
    for (const auto& [name, shown] : kNames) {
        if (key == name) {
            return Tr(shown);
        }
    }
    return key;
}

}  // namespace

int RunLog(Cli&, const Arguments& arguments) {
    std::optional<int64_t> since;
    if (arguments.Has(kOptionSince)) {
        since = ServiceTimeSeconds(arguments.since);
        if (!since) {
            PrintError(
                Tr("--since takes a date that exists, such as 2024-05-02 or \"2024-05-02 14:00\""));
            return kExitUsage;
        }
    }
    const std::string path = ServiceLogPath();
    size_t skipped = 0;
    std::string error;
    const std::vector<ServiceRecord> records = ReadServiceLog(path, &skipped, &error);
    // The queue's records whatever the case of its name, as the print system finds queues.
    // The servers' records; one that names none was written on the default server.
    const std::string defaultServer = ServerNameOf("");
    std::vector<std::string> servers;
    for (const std::string& server : arguments.servers) {
        servers.push_back(ServerNameOf(server));
    }
    if (servers.empty()) {
        servers.push_back(defaultServer);
    }
    const std::optional<QueueNameMatch> queue =
        arguments.words.empty() ? std::nullopt : std::optional(QueueNameMatch(arguments.words[0]));
    for (ServiceRecord record : records) {
        if (record.server.empty()) {
            record.server = defaultServer;
        }
        if (std::find(servers.begin(), servers.end(), record.server) == servers.end() ||
            (queue && queue->Rank(record.queue) == 0)) {
            continue;
        }
        if (since) {
            const std::optional<int64_t> time = ServiceTimeSeconds(record.time);
            if (!time || *time < *since) {
                continue;
            }
        }
        if (arguments.Has(kOptionJson)) {
            std::cout << ServiceRecordLine(record) << "\n";
            continue;
        }
        std::cout << TerminalText(record.time) << "  " << TerminalText(record.queue) << "  "
                  << TerminalText(record.server) << "  " << TerminalText(ShownName(record.action))
                  << "  " << TerminalText(ShownName(record.result));
        for (const auto& [key, value] : record.details) {
            std::cout << "  " << TerminalText(key) << "=" << TerminalText(value);
        }
        std::cout << "\n";
    }
    if (skipped > 0) {
        PrintError(TrPlural("%1: %2 line that could not be read was skipped",
                            "%1: %2 lines that could not be read were skipped", skipped,
                            {TerminalText(path), std::to_string(skipped)}));
    }
    if (!error.empty()) {
        PrintError(Tr("%1 cannot be read: %2", {TerminalText(path), error}));
        return kExitFailed;
    }
    return kExitDone;
}

}  // namespace cli
