#include "sim/printer/simulator.h"

#include <cstdio>

#include "sim/printer/decoder.h"

namespace printersim {

namespace {

constexpr const char* kControlHelp =
    "commands:\n"
    "  list\n"
    "  show PRINTER\n"
    "  set PRINTER KEY VALUE   (keys as in the configuration file, e.g. status, readiness,\n"
    "                           ink, paper-width, firmware, faults, channels, description)\n"
    "  gaps PRINTER\n"
    "  journal list [PRINTER]\n"
    "  journal show ENTRY\n";

// Splits off the next word; rest keeps everything after it, leading blanks removed.
std::string NextWord(std::string_view& rest) {
    size_t begin = rest.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        rest = {};
        return {};
    }
    size_t end = rest.find_first_of(" \t", begin);
    std::string word(rest.substr(begin, end == std::string_view::npos ? end : end - begin));
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    size_t next = rest.find_first_not_of(" \t");
    rest = next == std::string_view::npos ? std::string_view{} : rest.substr(next);
    return word;
}

std::string Ok(const std::string& body = {}) {
    return "OK\n" + body;
}

std::string Error(const std::string& reason) {
    return "ERROR " + reason + "\n";
}

std::string EntryLine(const JournalEntry& entry) {
    return Journal::FormatSummary(entry) + (entry.state == "done" ? "" : " [" + entry.state + "]") +
           "\n";
}

}  // namespace

std::string Printable(std::span<const uint8_t> bytes) {
    std::string text;
    for (uint8_t byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            text.push_back(static_cast<char>(byte));
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
    }
    return text;
}

Simulator::Simulator(SimulatorSettings settings, Clock& clock)
    : settings_(std::move(settings)), clock_(clock), journal_(settings_.journalDir) {
    for (const auto& printer : settings_.printers) {
        order_.push_back(printer.id);
        printers_[printer.id] = std::make_unique<SimulatedPrinter>(printer, clock_);
    }
}

std::unique_ptr<Simulator> Simulator::Create(SimulatorSettings settings, Clock& clock,
                                             std::string& error) {
    std::unique_ptr<Simulator> simulator(new Simulator(std::move(settings), clock));
    if (!simulator->journal_.Open(error)) {
        return nullptr;
    }
    return simulator;
}

SimulatedPrinter* Simulator::Find(const std::string& printerId) {
    auto found = printers_.find(printerId);
    return found == printers_.end() ? nullptr : found->second.get();
}

std::vector<SimulatedPrinter*> Simulator::Printers() {
    std::vector<SimulatedPrinter*> printers;
    for (const auto& id : order_) {
        printers.push_back(printers_.at(id).get());
    }
    return printers;
}

JobOutcome Simulator::ReceiveJob(const JobHeader& header, const std::vector<uint8_t>& job,
                                 const std::function<void(uint64_t)>& received) {
    SimulatedPrinter* printer = Find(header.printerId);
    if (!printer) {
        return {false, 0, "no printer '" + header.printerId + "' in this simulator"};
    }
    std::lock_guard oneJobAtATime(printer->intake());
    DecodedJob decoded = DecodeJob(job);

    JournalEntry entry;
    entry.number = journal_.NextNumber();
    entry.printerId = header.printerId;
    entry.queue = header.queue;
    entry.title = header.title;
    entry.user = header.user;
    entry.cupsJob = header.cupsJob;
    entry.received = FormatWallTime(clock_.WallNow());
    entry.kind = ClassifyJob(decoded, job.size());
    entry.length = job.size();
    std::vector<std::pair<size_t, size_t>> pdfs;
    for (const auto& item : decoded.items) {
        entry.decoded.push_back(DescribeItem(item, job));
        if (item.kind == ItemKind::kPdf) {
            pdfs.emplace_back(item.dataOffset, item.dataLength);
        }
    }
    if (decoded.endsInRemoteMode) {
        entry.decoded.push_back("(the job ends in remote mode)");
    }
    entry.effects = printer->ApplyJob(decoded, job);

    std::string error;
    if (!journal_.Write(entry, job, pdfs, error)) {
        fprintf(stderr, "plenwise-printer-sim: %s\n", error.c_str());
    }
    printer->JobStarted();
    if (received) {
        received(entry.number);
    }
    Millis printMs = printer->Settings().printMs;
    bool printed = clock_.WaitUntil(clock_.Now() + printMs);
    printer->JobFinished();
    journal_.Finish(entry.number, printed ? "done" : "stopped", FormatWallTime(clock_.WallNow()));
    if (!printed) {
        return {false, entry.number, "the simulator stopped while the job was printing"};
    }
    return {true, entry.number, {}};
}

void Simulator::LogQuery(const std::string& printerId, const std::string& what,
                         std::span<const uint8_t> answer) {
    journal_.LogQuery(FormatWallTime(clock_.WallNow()) + " " + printerId + " " + what + " -> " +
                      Printable(answer));
}

std::string Simulator::Control(const std::string& commandLine) {
    std::string_view rest = commandLine;
    std::string command = NextWord(rest);
    if (command.empty() || command == "help") {
        return Ok(kControlHelp);
    }
    if (command == "list") {
        std::string body;
        for (auto* printer : Printers()) {
            body += printer->Summary() + "\n";
        }
        return Ok(body);
    }
    if (command == "journal") {
        std::string what = NextWord(rest);
        if (what == "list") {
            std::string printerId = NextWord(rest);
            std::string body;
            for (const auto& entry : journal_.Entries()) {
                if (printerId.empty() || entry.printerId == printerId) {
                    body += EntryLine(entry);
                }
            }
            return Ok(body);
        }
        if (what == "show") {
            std::string number = NextWord(rest);
            if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos ||
                number.size() > 12) {
                return Error("journal show needs an entry number");
            }
            auto entry = journal_.Find(std::stoull(number));
            return entry ? Ok(Journal::FormatRecord(*entry)) : Error("no entry " + number);
        }
        return Error("journal list [PRINTER] | journal show ENTRY");
    }
    if (command != "show" && command != "set" && command != "gaps") {
        return Error("unknown command '" + command + "'; try help");
    }
    std::string printerId = NextWord(rest);
    SimulatedPrinter* printer = Find(printerId);
    if (!printer) {
        return Error("no printer '" + printerId + "'");
    }
    if (command == "show") {
        return Ok(printer->Describe());
    }
    if (command == "gaps") {
        HeadGapStore gaps = printer->HeadGaps();
        std::string body = "stores = " + std::to_string(gaps.stores) + "\n";
        body += "platen-gap = " + (gaps.platenGap ? FormatHexByte(*gaps.platenGap) : "none") + "\n";
        for (const auto& [key, value] : gaps.values) {
            body += FormatGapValue(key, value) + "\n";
        }
        return Ok(body);
    }
    std::string key = NextWord(rest);
    std::string error = printer->Set(key, rest);
    return error.empty() ? Ok() : Error(error);
}

}  // namespace printersim
