// The metrics command: the printers of the print servers and their service history for
// Prometheus, written once (to standard output or a textfile collector's folder) or served over
// HTTP.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <optional>
#include <system_error>
#include <thread>

#include "cli/cli.h"
#include "cli/fleet.h"
#include "cli/metrics.h"
#include "cli/translation.h"
#include "common/service_log.h"
#include "platform/system/user_file.h"

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

// The file the node exporter's textfile collector reads in the folder of --textfile.
constexpr const char* kTextfileName = "plenwise.prom";

// The endpoint: scrapes answered at once, a request read and an answer written within a bound,
// and the answer given within the scrape's time-out (Prometheus sends it), or kAnswerWithin.
constexpr size_t kMostConnections = 8;
constexpr size_t kLongestRequest = 8 * 1024;
constexpr int kRequestWithinMs = 5000;
constexpr int kWriteWithinMs = 5000;
constexpr auto kAnswerWithin = std::chrono::milliseconds(5000);
constexpr auto kLongestAnswerWithin = std::chrono::milliseconds(60000);
// Kept back from the scrape's time-out for writing the answer.
constexpr auto kAnswerMargin = std::chrono::milliseconds(250);

// The metrics of what the survey knows by `deadline` and of the service log; false in
// `logRead` when the log could not be read (said on standard error; its records read before
// count).
std::string CollectMetrics(FleetSurvey& survey, std::optional<Clock::time_point> deadline,
                           bool& logRead) {
    const Clock::time_point start = Clock::now();
    // A survey that was already under way has had a scrape's time: who has not answered it by
    // now is silent. One started now stands, where it is not done, on the one before.
    const bool fresh = survey.Start();
    const std::vector<ServerRows> servers = survey.Wait(deadline, !fresh);
    if (!deadline) {
        // Written once: the reader of a timer's journal sees why a server's printers are
        // missing.
        for (const ServerRows& server : servers) {
            if (!server.answered) {
                PrintError(
                    Tr("%1: the print server does not answer", {TerminalText(server.server)}));
            }
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::string path = ServiceLogPath();
    std::string error;
    const std::vector<ServiceRecord> log = ReadServiceLog(path, nullptr, &error);
    logRead = error.empty();
    if (!logRead) {
        PrintError(Tr("%1 cannot be read: %2", {TerminalText(path), error}));
    }
    return MetricsText(servers, log, ServerNameOf(""), seconds);
}

// "PORT", "HOST:PORT" with HOST an IPv4 address or localhost; 127.0.0.1 when none is given.
std::optional<sockaddr_in> ListenAddress(const std::string& text) {
    const size_t colon = text.rfind(':');
    std::string host = colon == std::string::npos ? "" : text.substr(0, colon);
    const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
    if (host.empty() || host == "localhost") {
        host = "127.0.0.1";
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != port.npos ||
        std::stoul(port) > 65535 || inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        return std::nullopt;
    }
    address.sin_port = htons(static_cast<uint16_t>(std::stoul(port)));
    return address;
}

// Waits until the socket is ready for `events` or the deadline; false at the deadline.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

void WriteWithin(int fd, const std::string& text) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kWriteWithinMs);
    size_t done = 0;
    while (done < text.size() && WaitFor(fd, POLLOUT, deadline)) {
        const ssize_t sent = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno != EINTR && errno != EAGAIN) {
            return;
        }
        done += sent > 0 ? static_cast<size_t>(sent) : 0;
    }
}

std::string HttpAnswer(const std::string& status, const std::string& type,
                       const std::string& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

// The request's head, up to its blank line; none when it is longer than kLongestRequest or not
// complete within kRequestWithinMs.
std::optional<std::string> ReadRequestHead(int fd) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kRequestWithinMs);
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > kLongestRequest || !WaitFor(fd, POLLIN, deadline)) {
            return std::nullopt;
        }
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
            return std::nullopt;
        }
        head.append(buffer, got > 0 ? static_cast<size_t>(got) : 0);
    }
    return head;
}

// How long the scraper waits for its answer: the time-out Prometheus sends, less what writing
// takes; kAnswerWithin when it sends none.
std::chrono::milliseconds AnswerWithin(const std::string& head) {
    static const std::string kHeader = "\r\nx-prometheus-scrape-timeout-seconds:";
    std::string lower = head;
    for (char& c : lower) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    const size_t at = lower.find(kHeader);
    if (at == std::string::npos) {
        return kAnswerWithin;
    }
    char* end = nullptr;
    const double seconds = std::strtod(lower.c_str() + at + kHeader.size(), &end);
    if (end == lower.c_str() + at + kHeader.size() || !(seconds > 0)) {
        return kAnswerWithin;
    }
    const auto within = std::chrono::milliseconds(static_cast<int64_t>(
                            std::min(seconds * 1000, double(kLongestAnswerWithin.count())))) -
                        kAnswerMargin;
    return std::max(within, std::chrono::milliseconds(100));
}

void Answer(int fd, FleetSurvey& survey) {
    const std::optional<std::string> head = ReadRequestHead(fd);
    if (!head) {
        return;
    }
    const std::string line = head->substr(0, head->find("\r\n"));
    if (!line.starts_with("GET ")) {
        WriteWithin(fd, HttpAnswer("405 Method Not Allowed", "text/plain", "GET only\n"));
        return;
    }
    const std::string target = line.substr(4, line.find(' ', 4) - 4);
    if (target != "/metrics" && !target.starts_with("/metrics?")) {
        WriteWithin(fd, HttpAnswer("404 Not Found", "text/plain", "Metrics are at /metrics\n"));
        return;
    }
    bool logRead = true;
    const std::string body = CollectMetrics(survey, Clock::now() + AnswerWithin(*head), logRead);
    WriteWithin(fd, HttpAnswer("200 OK", "text/plain; version=0.0.4; charset=utf-8", body));
}

int Serve(FleetSurvey& survey, const std::string& listen) {
    const std::optional<sockaddr_in> address = ListenAddress(listen);
    if (!address) {
        PrintError(
            Tr("--listen takes PORT or ADDRESS:PORT, an IPv4 address such as 127.0.0.1:9464"));
        return kExitUsage;
    }
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    if (server < 0 || setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        bind(server, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        ::listen(server, static_cast<int>(kMostConnections)) != 0) {
        PrintError(Tr("%1: cannot listen there: %2", {TerminalText(listen), std::strerror(errno)}));
        if (server >= 0) {
            close(server);
        }
        return kExitFailed;
    }
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    getsockname(server, reinterpret_cast<sockaddr*>(&bound), &size);
    char host[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &bound.sin_addr, host, sizeof host);
    PrintError(Tr("serving the metrics at http://%1:%2/metrics",
                  {host, std::to_string(ntohs(bound.sin_port))}));
    // A first survey, so that the first scrape finds what is known.
    survey.Start();
    std::atomic<size_t> connections = 0;
    for (;;) {
        const int fd = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE) {
                // Until a scrape under way ends and frees its descriptor.
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                continue;
            }
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            PrintError(Tr("the metrics endpoint stopped: %1", {std::strerror(errno)}));
            close(server);
            // The scrapes under way use the survey, and each ends within its bounds.
            while (connections > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            return kExitFailed;
        }
        if (connections >= kMostConnections) {
            WriteWithin(fd, HttpAnswer("503 Service Unavailable", "text/plain", "Busy\n"));
            close(fd);
            continue;
        }
        ++connections;
        try {
            std::thread([fd, &survey, &connections]() {
                Answer(fd, survey);
                close(fd);
                --connections;
            }).detach();
        } catch (const std::system_error&) {
            close(fd);
            --connections;
        }
    }
}

}  // namespace

int RunMetrics(Cli& cli, const Arguments& arguments) {
    if (arguments.Has(kOptionListen) && arguments.Has(kOptionTextfile)) {
        PrintError(Tr("metrics takes --textfile or --listen, not both"));
        return kExitUsage;
    }
    if (!cli.LoadHub()) {
        return kExitFailed;
    }
    FleetSurvey survey(cli, arguments.servers, true);
    if (arguments.Has(kOptionListen)) {
        return Serve(survey, arguments.listen);
    }
    bool logRead = true;
    const std::string text = CollectMetrics(survey, std::nullopt, logRead);
    if (!arguments.Has(kOptionTextfile)) {
        std::cout << text;
        return logRead ? kExitDone : kExitFailed;
    }
    const std::string path = arguments.textfile + "/" + kTextfileName;
    sys::ReplaceOptions options;
    options.newMode = 0644;  // the node exporter may run as a user of its own
    std::string error;
    if (!sys::ReplaceUserFile(path, text, options, &error)) {
        PrintError(Tr("%1 was not written: %2", {TerminalText(path), error}));
        return kExitFailed;
    }
    return logRead ? kExitDone : kExitFailed;
}

}  // namespace cli
