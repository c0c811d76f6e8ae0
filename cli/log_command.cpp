// The log command: the service log, all of it or one queue's, from a date on.
#include <iostream>

#include "cli/cli.h"
#include "common/service_log.h"

namespace cli {

int RunLog(Cli&, const Arguments& arguments) {
    std::optional<int64_t> since;
    if (arguments.Has(kOptionSince)) {
        since = ServiceTimeSeconds(arguments.since);
        if (!since) {
            PrintError("--since takes a date such as 2024-05-02 or \"2024-05-02 14:00\"");
            return kExitUsage;
        }
    }
    const std::string path = ServiceLogPath();
    size_t skipped = 0;
    for (const ServiceRecord& record : ReadServiceLog(path, &skipped)) {
        if (!arguments.words.empty() && record.queue != arguments.words[0]) {
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
        std::cout << record.time << "  " << record.queue << "  " << record.action << "  "
                  << record.result;
        for (const auto& [key, value] : record.details) {
            std::cout << "  " << key << "=" << value;
        }
        std::cout << "\n";
    }
    if (skipped > 0) {
        PrintError(path + ": " + std::to_string(skipped) +
                   (skipped == 1 ? " line that could not be read was skipped"
                                 : " lines that could not be read were skipped"));
    }
    return kExitDone;
}

}  // namespace cli
