// What plenwise-cli metrics writes: the printers of the print servers and their service history
// in the Prometheus text exposition format (version 0.0.4), as scrapers and the node exporter's
// textfile collector read it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/fleet.h"
#include "common/service_log.h"

namespace cli {

// A label value in quotes, always valid UTF-8: the text as TerminalText writes it (bytes that are
// not UTF-8 and control characters as \xNN, which a QUEUE argument takes back), its quotes and
// backslashes escaped as the format requires.
std::string MetricsLabel(std::string_view text);

// The metrics of the servers' printers, and of the service log's records of those servers: a
// record that names no server was written before records named theirs, on `defaultServer`'s
// queue. `collectionSeconds` is how long asking the servers took.
std::string MetricsText(const std::vector<ServerRows>& servers,
                        const std::vector<ServiceRecord>& log, const std::string& defaultServer,
                        double collectionSeconds);

}  // namespace cli
