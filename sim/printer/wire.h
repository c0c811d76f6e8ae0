// What the simulator and its clients (ABAPI.so, the control tool, the CUPS backend) share on the
// wire: loopback addresses, the device URI of a simulated printer, socket helpers that never read
// past what they were asked for, and the framing of the link protocol.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simwire {

struct Endpoint {
    std::string host;
    uint16_t port = 0;
};

// "127.0.0.1:4711", "localhost:4711", "[::1]:4711". Port 0 is allowed (listen on any port).
std::optional<Endpoint> ParseEndpoint(std::string_view text);
std::string FormatEndpoint(const Endpoint& endpoint);
// The simulator only ever talks over loopback.
bool IsLoopbackHost(std::string_view host);

// Printer ids are used in file names and URIs: letters, digits, '.', '_' and '-'.
bool IsValidPrinterId(std::string_view id);

// plenwise://127.0.0.1:PORT/<printer-id>
inline constexpr std::string_view kUriScheme = "plenwise";
struct DeviceUri {
    Endpoint endpoint;
    std::string printerId;
};
std::optional<DeviceUri> ParseDeviceUri(std::string_view uri);
std::string FormatDeviceUri(const DeviceUri& uri);

// --- sockets (blocking file descriptors; every wait bounded by timeoutMs, < 0 means no limit)

enum class IoResult { kOk, kClosed, kTimeout, kError };

// Connects to a loopback endpoint; -1 when the host is not loopback or nothing answers.
int ConnectLoopback(const Endpoint& endpoint, int timeoutMs);
bool WriteAll(int fd, const void* data, size_t length);
IoResult ReadExact(int fd, void* data, size_t length, int timeoutMs);
// Reads up to and including '\n'; the line is returned without CR/LF. Lines longer than
// maxLength are an error.
IoResult ReadLine(int fd, std::string& line, size_t maxLength, int timeoutMs);
// Waits until fd (or cancelFd when >= 0) is readable. kOk: fd readable; kClosed: cancelFd fired.
IoResult WaitReadable(int fd, int timeoutMs, int cancelFd = -1);

// --- the link protocol of ABAPI.so: after the greeting line, frames of one kind byte, a 32-bit
// little-endian payload length and the payload.

inline constexpr std::string_view kLinkGreeting = "PLENWISE-LINK 1";
inline constexpr std::string_view kJobGreeting = "PLENWISE-JOB 1";
inline constexpr std::string_view kControlGreeting = "PLENWISE-CTL 1";

inline constexpr uint32_t kMaxFramePayload = 1u << 20;

enum FrameKind : uint8_t {
    // requests
    kAskDeviceId = 'I',  // payload: printer id
    kAskChannels = 'C',  // payload: printer id
    kOpenChannel = 'O',  // payload: channel id (u32 LE), printer id
    kAskStatus = 'S',    // on an open channel; no payload
    kSendData = 'W',     // on an open channel; payload: the bytes sent to the printer
    // answers
    kText = 't',         // device id or status text
    kChannelList = 'l',  // 8-byte entries: channel id, flags (u32 LE each)
    kOpened = 'o',
    kFailed = 'e',     // payload: result code (i32 LE), then a readable reason
    kReplyData = 'r',  // bytes the printer sent back on the open channel
};

// Results of the communication library, shared so that the simulator can name a refusal.
enum AbResult : int32_t {
    kAbOk = 0,
    kAbUnreachable = -1,
    kAbBadArgument = -2,
    kAbNotInitialized = -3,
    kAbBufferTooSmall = -4,
    kAbUnknownPrinter = -6,
    kAbNoSuchChannel = -7,
    kAbChannelNotUsable = -8,
    kAbNoAnswer = -9,
    kAbNotSupported = -10,
};

struct Frame {
    uint8_t kind = 0;
    std::vector<uint8_t> payload;
};

bool WriteFrame(int fd, uint8_t kind, const void* payload, size_t length);
IoResult ReadFrame(int fd, Frame& frame, int timeoutMs);

void PutU32(std::vector<uint8_t>& out, uint32_t value);
uint32_t GetU32(const uint8_t* bytes);

}  // namespace simwire
