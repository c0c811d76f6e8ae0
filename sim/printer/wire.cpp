#include "sim/printer/wire.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>

namespace simwire {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Milliseconds left until deadline, or -1 for "no limit".
int Remaining(const std::optional<SteadyClock::time_point>& deadline) {
    if (!deadline) {
        return -1;
    }
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - SteadyClock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

std::optional<SteadyClock::time_point> DeadlineFor(int timeoutMs) {
    if (timeoutMs < 0) {
        return std::nullopt;
    }
    return SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

std::optional<Endpoint> ParseEndpoint(std::string_view text) {
    Endpoint endpoint;
    std::string_view portText;
    if (!text.empty() && text.front() == '[') {
        size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            return std::nullopt;
        }
        endpoint.host = std::string(text.substr(1, close - 1));
        if (endpoint.host.empty() || endpoint.host.find('[') != std::string::npos) {
            return std::nullopt;
        }
        portText = text.substr(close + 2);
    } else {
        // A host with a colon (an IPv6 address) is written in brackets, as FormatEndpoint does.
        size_t colon = text.rfind(':');
        if (colon == std::string_view::npos || colon == 0 ||
            text.substr(0, colon).find(':') != std::string_view::npos) {
            return std::nullopt;
        }
        endpoint.host = std::string(text.substr(0, colon));
        portText = text.substr(colon + 1);
    }
    unsigned port = 0;
    auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (portText.empty() || error != std::errc() || end != portText.data() + portText.size() ||
        port > 65535) {
        return std::nullopt;
    }
    endpoint.port = static_cast<uint16_t>(port);
    return endpoint;
}

std::string FormatEndpoint(const Endpoint& endpoint) {
    bool v6 = endpoint.host.find(':') != std::string::npos;
    return (v6 ? "[" + endpoint.host + "]" : endpoint.host) + ":" + std::to_string(endpoint.port);
}

bool IsLoopbackHost(std::string_view host) {
    if (host == "localhost" || host == "::1") {
        return true;
    }
    in_addr address{};
    if (inet_pton(AF_INET, std::string(host).c_str(), &address) != 1) {
        return false;
    }
    return (ntohl(address.s_addr) >> 24) == 127;
}

bool IsValidPrinterId(std::string_view id) {
    if (id.empty() || id.size() > 64) {
        return false;
    }
    for (char c : id) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == '_' || c == '-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

std::optional<DeviceUri> ParseDeviceUri(std::string_view uri) {
    std::string prefix = std::string(kUriScheme) + "://";
    if (uri.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    std::string_view rest = uri.substr(prefix.size());
    size_t slash = rest.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    auto endpoint = ParseEndpoint(rest.substr(0, slash));
    std::string_view id = rest.substr(slash + 1);
    if (!endpoint || endpoint->port == 0 || !IsValidPrinterId(id)) {
        return std::nullopt;
    }
    return DeviceUri{*endpoint, std::string(id)};
}

std::string FormatDeviceUri(const DeviceUri& uri) {
    return std::string(kUriScheme) + "://" + FormatEndpoint(uri.endpoint) + "/" + uri.printerId;
}

int ConnectLoopback(const Endpoint& endpoint, int timeoutMs) {
    if (!IsLoopbackHost(endpoint.host)) {
        return -1;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string port = std::to_string(endpoint.port);
    if (getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found) != 0) {
        return -1;
    }
    int result = -1;
    for (addrinfo* candidate = found; candidate && result < 0; candidate = candidate->ai_next) {
        int fd = socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC,
                        candidate->ai_protocol);
        if (fd < 0) {
            continue;
        }
        int flags = fcntl(fd, F_GETFL);
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        int rc = connect(fd, candidate->ai_addr, candidate->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd waiter{fd, POLLOUT, 0};
            int error = 0;
            socklen_t errorLength = sizeof error;
            if (poll(&waiter, 1, timeoutMs) == 1 &&
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorLength) == 0 && error == 0) {
                rc = 0;
            }
        }
        if (rc == 0) {
            fcntl(fd, F_SETFL, flags);
            int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            result = fd;
        } else {
            close(fd);
        }
    }
    freeaddrinfo(found);
    return result;
}

bool WriteAll(int fd, const void* data, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (length > 0) {
        ssize_t written = send(fd, bytes, length, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

IoResult WaitReadable(int fd, int timeoutMs, int cancelFd) {
    auto deadline = DeadlineFor(timeoutMs);
    for (;;) {
        pollfd waiters[2] = {{fd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        int rc = poll(waiters, cancelFd >= 0 ? 2 : 1, Remaining(deadline));
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc < 0) {
            return IoResult::kError;
        }
        if (rc == 0) {
            return IoResult::kTimeout;
        }
        if (cancelFd >= 0 && (waiters[1].revents & POLLIN)) {
            return IoResult::kClosed;
        }
        return IoResult::kOk;
    }
}

IoResult ReadExact(int fd, void* data, size_t length, int timeoutMs) {
    auto deadline = DeadlineFor(timeoutMs);
    auto* bytes = static_cast<uint8_t*>(data);
    while (length > 0) {
        IoResult ready = WaitReadable(fd, Remaining(deadline));
        if (ready != IoResult::kOk) {
            return ready;
        }
        ssize_t got = recv(fd, bytes, length, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return IoResult::kError;
        }
        if (got == 0) {
            return IoResult::kClosed;
        }
        bytes += got;
        length -= static_cast<size_t>(got);
    }
    return IoResult::kOk;
}

IoResult ReadLine(int fd, std::string& line, size_t maxLength, int timeoutMs) {
    auto deadline = DeadlineFor(timeoutMs);
    line.clear();
    // One byte at a time, so that nothing after the line is consumed from the socket.
    for (;;) {
        char c = 0;
        IoResult result = ReadExact(fd, &c, 1, Remaining(deadline));
        if (result != IoResult::kOk) {
            return result;
        }
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return IoResult::kOk;
        }
        if (line.size() >= maxLength) {
            return IoResult::kError;
        }
        line.push_back(c);
    }
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

uint32_t GetU32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool WriteFrame(int fd, uint8_t kind, const void* payload, size_t length) {
    if (length > kMaxFramePayload) {
        return false;
    }
    std::vector<uint8_t> frame;
    frame.reserve(5 + length);
    frame.push_back(kind);
    PutU32(frame, static_cast<uint32_t>(length));
    const auto* bytes = static_cast<const uint8_t*>(payload);
    frame.insert(frame.end(), bytes, bytes + length);
    return WriteAll(fd, frame.data(), frame.size());
}

IoResult ReadFrame(int fd, Frame& frame, int timeoutMs) {
    // Only the wait for the frame's first byte is bounded by the caller: once a frame has begun,
    // the rest follows at once, and a peer that stalls inside it is broken.
    constexpr int kStallMs = 10000;
    IoResult result = WaitReadable(fd, timeoutMs);
    if (result != IoResult::kOk) {
        return result;
    }
    uint8_t head[5];
    result = ReadExact(fd, head, sizeof head, kStallMs);
    if (result != IoResult::kOk) {
        return result == IoResult::kTimeout ? IoResult::kError : result;
    }
    uint32_t length = GetU32(head + 1);
    if (length > kMaxFramePayload) {
        return IoResult::kError;
    }
    frame.kind = head[0];
    frame.payload.assign(length, 0);
    result = ReadExact(fd, frame.payload.data(), length, kStallMs);
    return result == IoResult::kTimeout ? IoResult::kError : result;
}

}  // namespace simwire
