// What clients send the simulator over its port: the job intake of the CUPS backend (header lines,
// then the job), the link protocol of ABAPI.so (frames, including bytes for the control and SNMP
// channels) and the control commands, told apart by the first line. Every stream is served to
// its end, and every answer is a line or frame of the protocol it was asked in.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "sim/printer/clock.h"
#include "sim/printer/server.h"
#include "sim/printer/simulator.h"
#include "sim/printer/wire.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string Drain(int fd) {
    std::string bytes;
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            return bytes;
        }
        bytes.append(chunk, static_cast<size_t>(got));
    }
}

void CheckLines(const std::string& answer, std::initializer_list<std::string_view> starts) {
    size_t at = 0;
    while (at < answer.size()) {
        const size_t end = answer.find('\n', at);
        FUZZ_CHECK(end != std::string::npos);
        const std::string_view line(answer.data() + at, end - at);
        bool known = false;
        for (std::string_view start : starts) {
            known = known || line.starts_with(start);
        }
        FUZZ_CHECK(known);
        at = end + 1;
    }
}

void CheckFrames(const std::string& answer) {
    size_t at = 0;
    while (at < answer.size()) {
        FUZZ_CHECK(answer.size() - at >= 5);
        const auto kind = static_cast<uint8_t>(answer[at]);
        FUZZ_CHECK(kind == simwire::kText || kind == simwire::kChannelList ||
                   kind == simwire::kOpened || kind == simwire::kFailed ||
                   kind == simwire::kReplyData);
        const uint32_t length =
            simwire::GetU32(reinterpret_cast<const uint8_t*>(answer.data()) + at + 1);
        FUZZ_CHECK(length <= answer.size() - at - 5);
        at += 5 + length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A side that stops reading makes the other's writes fail, not end the process.
    signal(SIGPIPE, SIG_IGN);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string journal = fuzz::ScratchDir() + "/journal";
    std::filesystem::remove_all(journal);
    printersim::SimulatorSettings settings;
    settings.journalDir = journal;
    printersim::PrinterSettings printer;
    printer.id = "p";
    printer.snmpPort.reset();
    printer.printMs = 0;
    settings.printers.push_back(printer);
    printersim::ManualClock clock;
    std::string error;
    const auto simulator = printersim::Simulator::Create(settings, clock, error);
    FUZZ_CHECK(simulator != nullptr);
    printersim::Server server(*simulator);

    int ends[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0);
    std::string answer;
    std::thread client([&] {
        // The server may stop reading early; the rest is then refused.
        (void)simwire::WriteAll(ends[0], data, size);
        shutdown(ends[0], SHUT_WR);
        answer = Drain(ends[0]);
    });
    server.ServeStream(ends[1]);
    shutdown(ends[1], SHUT_RDWR);
    client.join();
    close(ends[0]);
    close(ends[1]);
    clock.Shutdown();

    const std::string_view text = fuzz::AsText(data, size);
    const std::string_view greeting = text.substr(0, text.find('\n'));
    auto is = [&](std::string_view wanted) {
        return greeting == wanted || (greeting.size() == wanted.size() + 1 &&
                                      greeting.starts_with(wanted) && greeting.back() == '\r');
    };
    if (is(simwire::kJobGreeting)) {
        CheckLines(answer, {"RECEIVED ", "DONE ", "ERROR "});
    } else if (is(simwire::kLinkGreeting)) {
        CheckFrames(answer);
    } else if (!is(simwire::kControlGreeting) && text.find('\n') != std::string_view::npos &&
               greeting.size() <= 64 && greeting.find('\r') == std::string_view::npos) {
        CheckLines(answer, {"ERROR unknown greeting"});
    }
    return 0;
}
