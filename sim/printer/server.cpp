#include "sim/printer/server.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace printersim {

namespace {

constexpr int kGreetingTimeoutMs = 10000;
constexpr int kJobStallMs = 60000;
constexpr size_t kMaxHeaderLine = 8192;
constexpr size_t kMaxHeaderLines = 64;
constexpr size_t kMaxJobBytes = size_t{512} << 20;

int BindLoopback(const simwire::Endpoint& endpoint, int type, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string port = std::to_string(endpoint.port);
    if (!simwire::IsLoopbackHost(endpoint.host) ||
        getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
        error = "not a loopback address: " + simwire::FormatEndpoint(endpoint);
        return -1;
    }
    int fd = socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    int one = 1;
    if (fd >= 0 && type == SOCK_STREAM) {
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    if (fd < 0 || bind(fd, found->ai_addr, found->ai_addrlen) != 0 ||
        (type == SOCK_STREAM && listen(fd, 64) != 0)) {
        error = "cannot bind " + simwire::FormatEndpoint(endpoint) + ": " + strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        fd = -1;
    }
    freeaddrinfo(found);
    return fd;
}

uint16_t BoundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    }
    return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

bool WriteText(int fd, const std::string& text) {
    return simwire::WriteAll(fd, text.data(), text.size());
}

// Header values are single lines of printable text in the journal.
std::string Clean(std::string value) {
    for (char& c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return value;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return text;
}

void SendFailure(int fd, int32_t code, const std::string& reason) {
    std::vector<uint8_t> payload;
    simwire::PutU32(payload, static_cast<uint32_t>(code));
    payload.insert(payload.end(), reason.begin(), reason.end());
    simwire::WriteFrame(fd, simwire::kFailed, payload.data(), payload.size());
}

}  // namespace

Server::Server(Simulator& simulator) : simulator_(simulator) {}

Server::~Server() {
    Stop();
}

bool Server::Start(std::string& error) {
    listenFd_ = BindLoopback(simulator_.settings().listen, SOCK_STREAM, error);
    if (listenFd_ < 0) {
        return false;
    }
    address_ = simulator_.settings().listen;
    address_.port = BoundPort(listenFd_);
    for (auto* printer : simulator_.Printers()) {
        auto port = printer->Settings().snmpPort;
        if (!port) {
            continue;
        }
        simwire::Endpoint endpoint{address_.host, *port};
        int fd = BindLoopback(endpoint, SOCK_DGRAM, error);
        if (fd < 0) {
            Stop();
            return false;
        }
        agents_.push_back({printer, fd, BoundPort(fd)});
        endpoint.port = agents_.back().port;
        printer->SetSnmpAddress(simwire::FormatEndpoint(endpoint));
    }
    if (pipe2(wake_, O_CLOEXEC) != 0) {
        error = "cannot create a pipe";
        Stop();
        return false;
    }
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    snmpThread_ = std::thread([this] { SnmpLoop(); });
    return true;
}

void Server::Stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    if (wake_[1] >= 0) {
        char byte = 0;
        ssize_t ignored = write(wake_[1], &byte, 1);
        (void)ignored;
    }
    if (acceptThread_.joinable()) {
        acceptThread_.join();
    }
    if (snmpThread_.joinable()) {
        snmpThread_.join();
    }
    simulator_.clock().Shutdown();
    {
        std::lock_guard lock(mutex_);
        for (auto& connection : connections_) {
            if (connection.fd >= 0) {
                shutdown(connection.fd, SHUT_RDWR);
            }
        }
    }
    for (auto& connection : connections_) {
        connection.thread.join();
    }
    connections_.clear();
    for (auto& agent : agents_) {
        close(agent.fd);
    }
    agents_.clear();
    for (int* fd : {&listenFd_, &wake_[0], &wake_[1]}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

std::string Server::DeviceUri(const std::string& printerId) const {
    return simwire::FormatDeviceUri({address_, printerId});
}

std::optional<uint16_t> Server::SnmpPort(const std::string& printerId) const {
    for (const auto& agent : agents_) {
        if (agent.printer->id() == printerId) {
            return agent.port;
        }
    }
    return std::nullopt;
}

void Server::ReapFinished() {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (it->done) {
            it->thread.join();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void Server::AcceptLoop() {
    for (;;) {
        pollfd waiters[2] = {{listenFd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(waiters, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if (waiters[1].revents) {
            return;
        }
        if (!(waiters[0].revents & POLLIN)) {
            continue;
        }
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        ReapFinished();
        std::lock_guard lock(mutex_);
        Connection& connection = connections_.emplace_back();
        connection.fd = fd;
        connection.thread = std::thread([this, &connection] { Serve(&connection); });
    }
}

void Server::SnmpLoop() {
    std::vector<pollfd> waiters;
    for (const auto& agent : agents_) {
        waiters.push_back({agent.fd, POLLIN, 0});
    }
    waiters.push_back({wake_[0], POLLIN, 0});
    std::vector<uint8_t> datagram(65536);
    for (;;) {
        if (poll(waiters.data(), waiters.size(), -1) < 0 && errno != EINTR) {
            return;
        }
        if (waiters.back().revents) {
            return;
        }
        for (size_t i = 0; i < agents_.size(); ++i) {
            if (!(waiters[i].revents & POLLIN)) {
                continue;
            }
            sockaddr_storage peer{};
            socklen_t peerLength = sizeof peer;
            ssize_t got = recvfrom(agents_[i].fd, datagram.data(), datagram.size(), 0,
                                   reinterpret_cast<sockaddr*>(&peer), &peerLength);
            if (got < 0) {
                continue;
            }
            std::span<const uint8_t> request(datagram.data(), static_cast<size_t>(got));
            auto reply = agents_[i].printer->AnswerSnmp(request);
            simulator_.LogQuery(
                agents_[i].printer->id(), "snmp (udp) " + Printable(request),
                reply ? std::span<const uint8_t>(*reply) : std::span<const uint8_t>());
            if (reply) {
                sendto(agents_[i].fd, reply->data(), reply->size(), 0,
                       reinterpret_cast<sockaddr*>(&peer), peerLength);
            }
        }
    }
}

void Server::Serve(Connection* connection) {
    ServeStream(connection->fd);
    std::lock_guard lock(mutex_);
    close(connection->fd);
    connection->fd = -1;
    connection->done = true;
}

void Server::ServeStream(int fd) {
    std::string greeting;
    if (simwire::ReadLine(fd, greeting, 64, kGreetingTimeoutMs) == simwire::IoResult::kOk) {
        if (greeting == simwire::kJobGreeting) {
            ServeJob(fd);
        } else if (greeting == simwire::kLinkGreeting) {
            ServeLink(fd);
        } else if (greeting == simwire::kControlGreeting) {
            ServeControl(fd);
        } else {
            WriteText(fd, "ERROR unknown greeting; expected " + std::string(simwire::kJobGreeting) +
                              ", " + std::string(simwire::kLinkGreeting) + " or " +
                              std::string(simwire::kControlGreeting) + "\n");
        }
    }
}

void Server::ServeJob(int fd) {
    JobHeader header;
    std::optional<size_t> length;
    for (size_t count = 0;; ++count) {
        std::string line;
        if (count == kMaxHeaderLines ||
            simwire::ReadLine(fd, line, kMaxHeaderLine, kJobStallMs) != simwire::IoResult::kOk) {
            WriteText(fd, "ERROR job header unreadable\n");
            return;
        }
        if (line.empty()) {
            break;
        }
        size_t colon = line.find(':');
        if (colon == std::string::npos) {
            WriteText(fd, "ERROR header line without ':'\n");
            return;
        }
        std::string name = Lower(line.substr(0, colon));
        size_t start = line.find_first_not_of(' ', colon + 1);
        std::string value = Clean(start == std::string::npos ? "" : line.substr(start));
        if (name == "printer") {
            header.printerId = value;
        } else if (name == "queue") {
            header.queue = value;
        } else if (name == "title") {
            header.title = value;
        } else if (name == "user") {
            header.user = value;
        } else if (name == "job-id") {
            header.cupsJob = value;
        } else if (name == "length") {
            if (value.empty() || value.size() > 12 ||
                value.find_first_not_of("0123456789") != std::string::npos) {
                WriteText(fd, "ERROR length must be a number of bytes\n");
                return;
            }
            length = std::stoull(value);
        }
    }
    if (!simulator_.Find(header.printerId)) {
        WriteText(fd, "ERROR no printer '" + header.printerId + "' in this simulator\n");
        return;
    }
    if (length && *length > kMaxJobBytes) {
        WriteText(fd, "ERROR job larger than " + std::to_string(kMaxJobBytes) + " bytes\n");
        return;
    }
    std::vector<uint8_t> job;
    if (length) {
        job.resize(*length);
        if (simwire::ReadExact(fd, job.data(), job.size(), kJobStallMs) != simwire::IoResult::kOk) {
            WriteText(fd, "ERROR job shorter than its length\n");
            return;
        }
    } else {
        // No length: the job ends where the sender shuts down its side of the connection.
        uint8_t chunk[65536];
        for (;;) {
            if (simwire::WaitReadable(fd, kJobStallMs) != simwire::IoResult::kOk) {
                WriteText(fd, "ERROR job stalled\n");
                return;
            }
            ssize_t got = recv(fd, chunk, sizeof chunk, 0);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            if (job.size() + static_cast<size_t>(got) > kMaxJobBytes) {
                WriteText(fd, "ERROR job larger than " + std::to_string(kMaxJobBytes) + " bytes\n");
                return;
            }
            job.insert(job.end(), chunk, chunk + got);
        }
    }
    JobOutcome outcome = simulator_.ReceiveJob(header, job, [&](uint64_t entry) {
        WriteText(fd, "RECEIVED " + Journal::FormatNumber(entry) + "\n");
    });
    WriteText(fd, outcome.accepted ? "DONE " + Journal::FormatNumber(outcome.entry) + "\n"
                                   : "ERROR " + outcome.error + "\n");
}

void Server::ServeLink(int fd) {
    SimulatedPrinter* open = nullptr;
    uint32_t channel = 0;
    ControlStream control;
    for (;;) {
        simwire::Frame frame;
        if (simwire::ReadFrame(fd, frame, -1) != simwire::IoResult::kOk) {
            return;
        }
        const auto& payload = frame.payload;
        auto reply = [&](uint8_t kind, SimulatedPrinter& printer, const std::string& what,
                         const std::vector<uint8_t>& bytes) {
            simulator_.LogQuery(printer.id(), what, bytes);
            simwire::WriteFrame(fd, kind, bytes.data(), bytes.size());
        };
        switch (frame.kind) {
            case simwire::kAskDeviceId:
            case simwire::kAskChannels: {
                SimulatedPrinter* printer =
                    simulator_.Find(std::string(payload.begin(), payload.end()));
                if (!printer) {
                    SendFailure(fd, simwire::kAbUnknownPrinter, "no such printer");
                } else if (frame.kind == simwire::kAskDeviceId) {
                    std::string id = printer->DeviceId();
                    reply(simwire::kText, *printer, "device-id", {id.begin(), id.end()});
                } else {
                    std::vector<uint8_t> list;
                    for (const auto& entry : printer->Channels()) {
                        simwire::PutU32(list, entry.id);
                        simwire::PutU32(list, entry.flags);
                    }
                    reply(simwire::kChannelList, *printer, "channels", list);
                }
                break;
            }
            case simwire::kOpenChannel: {
                if (open || payload.size() < 4) {
                    SendFailure(fd, simwire::kAbBadArgument, "channel already open or no id");
                    break;
                }
                uint32_t wanted = simwire::GetU32(payload.data());
                SimulatedPrinter* printer =
                    simulator_.Find(std::string(payload.begin() + 4, payload.end()));
                if (!printer) {
                    SendFailure(fd, simwire::kAbUnknownPrinter, "no such printer");
                    break;
                }
                const ChannelEntry* entry = nullptr;
                auto channels = printer->Channels();
                for (const auto& candidate : channels) {
                    if (candidate.id == wanted) {
                        entry = &candidate;
                        break;
                    }
                }
                std::string what = "open channel " + FormatHexNumber(wanted);
                if (!entry) {
                    simulator_.LogQuery(printer->id(), what, {});
                    SendFailure(fd, simwire::kAbNoSuchChannel, "channel not offered");
                } else if (!(entry->flags & 1)) {
                    simulator_.LogQuery(printer->id(), what + " (not usable)", {});
                    SendFailure(fd, simwire::kAbChannelNotUsable, "channel not usable");
                } else {
                    open = printer;
                    channel = wanted;
                    simwire::WriteFrame(fd, simwire::kOpened, nullptr, 0);
                }
                break;
            }
            case simwire::kAskStatus: {
                if (!open) {
                    SendFailure(fd, simwire::kAbBadArgument, "no open channel");
                    break;
                }
                std::string status = open->ReadStatus();
                reply(simwire::kText, *open, "status", {status.begin(), status.end()});
                break;
            }
            case simwire::kSendData: {
                if (!open) {
                    SendFailure(fd, simwire::kAbBadArgument, "no open channel");
                    break;
                }
                std::vector<uint8_t> answer;
                if (channel == kControlChannel) {
                    answer = control.Feed(payload, *open);
                } else if (channel == kSnmpChannel) {
                    answer = open->AnswerSnmp(payload).value_or(std::vector<uint8_t>{});
                }
                // Other channels take the bytes without a word; a silent printer sends nothing.
                simulator_.LogQuery(
                    open->id(), "channel " + FormatHexNumber(channel) + " " + Printable(payload),
                    answer);
                if (!answer.empty()) {
                    simwire::WriteFrame(fd, simwire::kReplyData, answer.data(), answer.size());
                }
                break;
            }
            default:
                SendFailure(fd, simwire::kAbBadArgument, "unknown request");
        }
    }
}

void Server::ServeControl(int fd) {
    std::string command;
    if (simwire::ReadLine(fd, command, 4096, kGreetingTimeoutMs) != simwire::IoResult::kOk) {
        WriteText(fd, "ERROR no command\n");
        return;
    }
    WriteText(fd, simulator_.Control(command));
}

}  // namespace printersim
