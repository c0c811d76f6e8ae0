#include "cli/fleet.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

#include "cli/translation.h"
#include "fwload/firmware_download.h"
#include "platform/spooler/spooler.h"
#include "util/variant.h"

namespace cli {

namespace {

// How many printers of a server are asked at once: a printer that does not answer costs its
// time-outs once for the whole listing, not once for every queue listed after it.
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
    QueueRow row;
    row.queue = served.queue.printerName;
    row.driver = served.queue.driverName;
    row.family = FamilyOf(served.modelKey);
    row.state = state;
    row.firmware = FirmwareVersionText(version);
    row.inkSet = inkSet;
    return row;
}

// The driver's files are read by one asker at a time, whichever server it asks.
std::mutex settingsMutex;

}  // namespace

std::string ServerNameOf(const std::string& given) {
    return given.empty() ? spooler::Current().Server()
                         : spooler::MakeCupsSpooler(spooler::kSchedulerTimeoutMs, given)->Server();
}

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

ServerRows KnownSoFar(const ServerRows& before, const Listing* listing, bool silent) {
    ServerRows known{before.server, listing != nullptr || (before.answered && !silent), {}};
    const std::vector<QueueRow>& rows = listing ? listing->rows : before.rows;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (listing && listing->read[i]) {
            known.rows.push_back(rows[i]);
            continue;
        }
        QueueRow row = rows[i];
        bool found = false;
        for (const QueueRow& old : before.rows) {
            if (old.queue == row.queue) {
                row = old;
                found = true;
            }
        }
        if (silent || !found) {
            row.state = PrinterState::NoAnswer;
        }
        known.rows.push_back(std::move(row));
    }
    return known;
}

struct FleetSurvey::State {
    struct Server {
        std::unique_ptr<spooler::Spooler> owned;  // none for the process's own back-end
        spooler::Spooler* spool = nullptr;
        ServerRows known;                // what the last finished survey found
        std::optional<Listing> listing;  // of the survey under way, once the server listed
    };

    State(const Cli& c, bool s) : cli(c), settings(s) {}

    const Cli& cli;
    const bool settings;
    std::mutex mutex;
    std::condition_variable finished;
    size_t asking = 0;  // servers still being asked
    std::vector<Server> servers;

    void Ask(size_t index) {
        Server& server = servers[index];
        spooler::Spooler& spool = *server.spool;
        std::vector<ServedQueue> served;
        bool unreachable = false;
        {
            const spooler::ThreadSpooler scope(spool);
            served = ServedQueues(cli.Hub(), &unreachable);
        }
        {
            std::lock_guard lock(mutex);
            if (unreachable) {
                // Its queues are those it had, silent.
                server.known = KnownSoFar(server.known, nullptr, true);
            } else {
                Listing listing;
                for (const ServedQueue& queue : served) {
                    QueueRow row;
                    row.queue = queue.queue.printerName;
                    row.driver = queue.queue.driverName;
                    row.family = FamilyOf(queue.modelKey);
                    listing.rows.push_back(std::move(row));
                }
                listing.read.assign(served.size(), false);
                server.listing = std::move(listing);
            }
        }
        AskAtOnce(served.size(), [&](size_t i) {
            const spooler::ThreadSpooler scope(spool);
            QueueRow row = ReadQueueRow(cli, served[i]);
            if (settings) {
                std::lock_guard settingsLock(settingsMutex);
                row.customSettings = CustomSettingCount(cli, served[i]);
            }
            std::lock_guard lock(mutex);
            server.listing->rows[i] = std::move(row);
            server.listing->read[i] = true;
        });
        std::lock_guard lock(mutex);
        if (server.listing) {
            server.known = KnownSoFar(server.known, &*server.listing, true);
        }
        if (--asking == 0) {
            finished.notify_all();
        }
    }
};

FleetSurvey::FleetSurvey(const Cli& cli, const std::vector<std::string>& servers, bool settings)
    : state_(std::make_shared<State>(cli, settings)) {
    // The default server is the process's own back-end (the one a test installs, too).
    if (servers.empty()) {
        State::Server entry;
        entry.spool = &spooler::Current();
        entry.known.server = entry.spool->Server();
        state_->servers.push_back(std::move(entry));
    }
    for (const std::string& name : servers) {
        std::unique_ptr<spooler::Spooler> spool =
            spooler::MakeCupsSpooler(spooler::kSchedulerTimeoutMs, name);
        const std::string server = spool->Server();
        const bool twice =
            std::any_of(state_->servers.begin(), state_->servers.end(),
                        [&](const State::Server& s) { return s.known.server == server; });
        if (!twice) {
            State::Server entry;
            entry.owned = std::move(spool);
            entry.spool = entry.owned.get();
            entry.known.server = server;
            state_->servers.push_back(std::move(entry));
        }
    }
}

FleetSurvey::~FleetSurvey() {
    // The askers use the program's tables: they end before it does.
    Wait();
    std::lock_guard lock(startMutex_);
    for (std::thread& asker : askers_) {
        asker.join();
    }
}

bool FleetSurvey::Start() {
    std::lock_guard starting(startMutex_);
    {
        std::lock_guard lock(state_->mutex);
        if (state_->asking > 0) {
            return false;
        }
        for (State::Server& server : state_->servers) {
            server.listing.reset();
        }
        state_->asking = state_->servers.size();
    }
    // The askers of the survey before have all ended their asking.
    for (std::thread& asker : askers_) {
        asker.join();
    }
    askers_.clear();
    for (size_t i = 0; i < state_->servers.size(); ++i) {
        try {
            askers_.emplace_back([state = state_, i]() { state->Ask(i); });
        } catch (const std::system_error&) {
            state_->Ask(i);
        }
    }
    return true;
}

std::vector<ServerRows> FleetSurvey::Wait(
    std::optional<std::chrono::steady_clock::time_point> deadline, bool pendingSilent) {
    std::unique_lock lock(state_->mutex);
    auto done = [&]() { return state_->asking == 0; };
    if (deadline) {
        state_->finished.wait_until(lock, *deadline, done);
    } else {
        state_->finished.wait(lock, done);
    }
    std::vector<ServerRows> known;
    for (const State::Server& server : state_->servers) {
        known.push_back(done()
                            ? server.known
                            : KnownSoFar(server.known, server.listing ? &*server.listing : nullptr,
                                         pendingSilent));
    }
    return known;
}

}  // namespace cli
