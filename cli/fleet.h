// The printers of one or more print servers as list and metrics report them: every server asked
// at once, every printer of a server asked at once, and what is known by a deadline given back
// while slower printers are still being asked.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "common/printer_link.h"
#include "common/remote_commands.h"

namespace cli {

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

// The name of a print server as output names it (spooler::ServerName): of `given` ("HOST",
// "HOST:PORT", a socket path), or with "" of the default server.
std::string ServerNameOf(const std::string& given);

// "ready", "not ready", "other model", "no answer".
const char* StateName(PrinterState state);

struct QueueRow {
    std::string queue;
    std::string driver;
    uint32_t family = 0;
    PrinterState state = PrinterState::NoAnswer;
    std::string firmware;  // empty when not read
    int inkSet = -1;
    int customSettings = -1;  // the custom media settings registered for it; -1 when not read
};

// The count of custom media settings registered in the driver of the queue's printer model; -1
// when its model keeps none or the driver's files cannot be read.
int CustomSettingCount(const Cli& cli, const ServedQueue& served);

// What is known of one print server: whether it answered, and its served queues.
struct ServerRows {
    std::string server;  // as spooler::ServerName writes it
    bool answered = false;
    std::vector<QueueRow> rows;
};

// What a survey under way has of a server that listed its queues: the queues (their names,
// until read), and which of them have been read.
struct Listing {
    std::vector<QueueRow> rows;
    std::vector<bool> read;
};

// What is known of a server while it is asked: `before` as the survey before found it, and the
// listing of this one (null while the server has not listed its queues yet). A queue not read
// yet, and a server not listed yet, stand as `before` found them, or with `silent` as not
// answering; a queue `before` did not have stands as not answering.
ServerRows KnownSoFar(const ServerRows& before, const Listing* listing, bool silent);

// The print servers named, or with none the default one (as CUPS_SERVER or the client
// configuration name it), in that order; a server named twice is asked once.
class FleetSurvey {
  public:
    // With `settings`, each queue's count of custom media settings is read too.
    FleetSurvey(const Cli& cli, const std::vector<std::string>& servers, bool settings);
    ~FleetSurvey();
    FleetSurvey(const FleetSurvey&) = delete;
    FleetSurvey& operator=(const FleetSurvey&) = delete;

    // Starts asking every server and its printers; true when it did, false when a survey
    // still asking is left to go on.
    bool Start();
    // What is known when everything asked has answered, or at the deadline: a server still
    // being listed, and a printer still being asked, as the survey before found them, or with
    // `pendingSilent` (for a survey that had its time already) as not answering. A printer
    // that was never read stands as not answering.
    std::vector<ServerRows> Wait(
        std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt,
        bool pendingSilent = true);

    struct State;

  private:
    std::shared_ptr<State> state_;  // shared with the askers, which may outlive a Wait
    std::mutex startMutex_;         // one Start at a time, with the askers it started
    std::vector<std::thread> askers_;
};

}  // namespace cli
