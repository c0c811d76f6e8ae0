// The simulated printers of one configuration, their journal, and the operations the network
// side calls: job intake, link queries and the control commands.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/printer/clock.h"
#include "sim/printer/journal.h"
#include "sim/printer/printer.h"
#include "sim/printer/settings.h"

namespace printersim {

struct JobHeader {
    std::string printerId;
    std::string queue;
    std::string title;
    std::string user;
    std::string cupsJob;
};

struct JobOutcome {
    bool accepted = false;
    uint64_t entry = 0;
    std::string error;
};

class Simulator {
  public:
    // Opens the journal folder; nothing when it cannot be created.
    static std::unique_ptr<Simulator> Create(SimulatorSettings settings, Clock& clock,
                                             std::string& error);

    const SimulatorSettings& settings() const { return settings_; }
    Clock& clock() { return clock_; }
    Journal& journal() { return journal_; }
    SimulatedPrinter* Find(const std::string& printerId);
    std::vector<SimulatedPrinter*> Printers();

    // Files the job, carries out its effects, calls received(entry) and then "prints": returns
    // only after the printer's print time. One job at a time per printer.
    JobOutcome ReceiveJob(const JobHeader& header, const std::vector<uint8_t>& job,
                          const std::function<void(uint64_t)>& received);

    // One control command line ("list", "show ID", "set ID KEY VALUE", "gaps ID",
    // "journal list [ID]", "journal show N"). The reply's first line is "OK" or "ERROR reason".
    std::string Control(const std::string& commandLine);

    void LogQuery(const std::string& printerId, const std::string& what,
                  std::span<const uint8_t> answer);

  private:
    Simulator(SimulatorSettings settings, Clock& clock);

    SimulatorSettings settings_;
    Clock& clock_;
    Journal journal_;
    std::map<std::string, std::unique_ptr<SimulatedPrinter>> printers_;
    std::vector<std::string> order_;  // printer ids in configuration order
};

// Printable form of bytes for logs: text as is, other bytes as \xNN.
std::string Printable(std::span<const uint8_t> bytes);

}  // namespace printersim
