// ABAPI.so: reaches the simulated printer behind a print queue over loopback. The queue's
// device URI (plenwise://127.0.0.1:PORT/<printer-id>) names the simulator and the printer;
// PLENWISE_ABAPI_ADDRESS=HOST:PORT skips the scheduler and takes the printer name as the id.
#include "sim/abapi/abapi.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "sim/printer/wire.h"

namespace {

using namespace simwire;

constexpr int kConnectTimeoutMs = 2000;
constexpr int kAnswerTimeoutMs = 5000;
constexpr uint32_t kEntryBytes = 8;

struct Target {
    Endpoint endpoint;
    std::string printerId;
};

std::optional<Target> LookUp(const char* printerName) {
    if (!printerName || !*printerName) {
        return std::nullopt;
    }
    if (const char* address = getenv("PLENWISE_ABAPI_ADDRESS"); address && *address) {
        auto endpoint = ParseEndpoint(address);
        if (!endpoint || !IsValidPrinterId(printerName)) {
            return std::nullopt;
        }
        return Target{*endpoint, printerName};
    }
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, printerName, nullptr);
    if (!dest) {
        return std::nullopt;
    }
    const char* uriText = cupsGetOption("device-uri", dest->num_options, dest->options);
    auto uri = uriText ? ParseDeviceUri(uriText) : std::nullopt;
    cupsFreeDests(1, dest);
    if (!uri) {
        return std::nullopt;
    }
    return Target{uri->endpoint, uri->printerId};
}

// A connection to the simulator that has passed the greeting.
int Connect(const Target& target) {
    int fd = ConnectLoopback(target.endpoint, kConnectTimeoutMs);
    if (fd < 0) {
        return -1;
    }
    std::string greeting = std::string(kLinkGreeting) + "\n";
    if (!WriteAll(fd, greeting.data(), greeting.size())) {
        close(fd);
        return -1;
    }
    return fd;
}

int32_t FailureCode(const Frame& frame) {
    if (frame.kind != kFailed || frame.payload.size() < 4) {
        return kAbUnreachable;
    }
    auto code = static_cast<int32_t>(GetU32(frame.payload.data()));
    return code < 0 ? code : kAbUnreachable;
}

// One request on a fresh connection; the answer must be of the expected kind.
int32_t Ask(const char* printerName, FrameKind request, FrameKind expected, Frame& answer) {
    auto target = LookUp(printerName);
    if (!target) {
        return kAbUnknownPrinter;
    }
    int fd = Connect(*target);
    if (fd < 0) {
        return kAbUnreachable;
    }
    const std::string& id = target->printerId;
    int32_t result = kAbUnreachable;
    if (WriteFrame(fd, request, id.data(), id.size())) {
        IoResult read = ReadFrame(fd, answer, kAnswerTimeoutMs);
        result = read == IoResult::kTimeout                      ? kAbNoAnswer
                 : read != IoResult::kOk                         ? kAbUnreachable
                 : answer.kind == static_cast<uint8_t>(expected) ? kAbOk
                                                                 : FailureCode(answer);
    }
    close(fd);
    return result;
}

// Copies text into a caller's buffer of *size bytes, cut to leave room for the NUL.
int32_t DeliverText(const std::vector<uint8_t>& text, char* buffer, int32_t* size) {
    size_t length = std::min(text.size(), static_cast<size_t>(*size) - 1);
    std::copy_n(text.begin(), length, buffer);
    buffer[length] = '\0';
    *size = static_cast<int32_t>(length);
    return kAbOk;
}

struct Channel {
    int fd = -1;
    int cancel[2] = {-1, -1};  // a byte in the pipe ends a waiting ABReceive
    std::mutex mutex;          // one call on the handle at a time
    std::deque<uint8_t> received;

    ~Channel() {
        for (int descriptor : {fd, cancel[0], cancel[1]}) {
            if (descriptor >= 0) {
                close(descriptor);
            }
        }
    }
};

struct Library {
    std::mutex mutex;
    int initialized = 0;
    int32_t nextHandle = 1;
    std::map<int32_t, std::shared_ptr<Channel>> channels;
};

Library& State() {
    static Library library;
    return library;
}

bool Initialized() {
    std::lock_guard lock(State().mutex);
    return State().initialized > 0;
}

std::shared_ptr<Channel> FindChannel(int32_t handle) {
    std::lock_guard lock(State().mutex);
    if (State().initialized == 0) {
        return nullptr;
    }
    auto found = State().channels.find(handle);
    return found == State().channels.end() ? nullptr : found->second;
}

// Reads one frame from an open channel; reply data is queued, anything else is the answer.
IoResult ReadChannelFrame(Channel& channel, Frame& frame, int timeoutMs, int cancelFd) {
    IoResult ready = WaitReadable(channel.fd, timeoutMs, cancelFd);
    if (ready != IoResult::kOk) {
        return ready;
    }
    IoResult result = ReadFrame(channel.fd, frame, 0);
    if (result == IoResult::kOk && frame.kind == kReplyData) {
        channel.received.insert(channel.received.end(), frame.payload.begin(), frame.payload.end());
    }
    return result;
}

}  // namespace

ABAPI_EXPORT int32_t ABInitialize() {
    std::lock_guard lock(State().mutex);
    ++State().initialized;
    return kAbOk;
}

ABAPI_EXPORT int32_t ABRelease() {
    std::map<int32_t, std::shared_ptr<Channel>> closing;
    {
        std::lock_guard lock(State().mutex);
        if (State().initialized == 0) {
            return kAbNotInitialized;
        }
        if (--State().initialized == 0) {
            closing.swap(State().channels);
        }
    }
    return kAbOk;
}

ABAPI_EXPORT int32_t ABGetDeviceID(int32_t reserved, const char* printerName, char* buffer,
                                   int32_t* size) {
    if (!Initialized()) {
        return kAbNotInitialized;
    }
    if (reserved != 1 || !buffer || !size || *size < 1) {
        return kAbBadArgument;
    }
    Frame answer;
    int32_t result = Ask(printerName, kAskDeviceId, kText, answer);
    return result == kAbOk ? DeliverText(answer.payload, buffer, size) : result;
}

ABAPI_EXPORT int32_t ABGetAvailableChannel(int32_t reserved, const char* printerName, void* entries,
                                           int32_t* size) {
    if (!Initialized()) {
        return kAbNotInitialized;
    }
    if (reserved != 1 || !size || *size < 0) {
        return kAbBadArgument;
    }
    Frame answer;
    int32_t result = Ask(printerName, kAskChannels, kChannelList, answer);
    if (result != kAbOk) {
        return result;
    }
    size_t count = answer.payload.size() / kEntryBytes;
    auto needed = static_cast<int32_t>(count * kEntryBytes);
    if (count == 0) {
        *size = 0;
        return 0;
    }
    if (!entries || *size < needed) {
        *size = needed;
        return kAbBufferTooSmall;
    }
    std::memcpy(entries, answer.payload.data(), static_cast<size_t>(needed));
    *size = needed;
    return static_cast<int32_t>(count);
}

ABAPI_EXPORT int32_t ABOpenChannel(int32_t reserved, const char* printerName, uint32_t channel) {
    if (!Initialized()) {
        return kAbNotInitialized;
    }
    if (reserved != 1) {
        return kAbBadArgument;
    }
    auto target = LookUp(printerName);
    if (!target) {
        return kAbUnknownPrinter;
    }
    auto opened = std::make_shared<Channel>();
    opened->fd = Connect(*target);
    if (opened->fd < 0 || pipe2(opened->cancel, O_CLOEXEC | O_NONBLOCK) != 0) {
        return kAbUnreachable;
    }
    std::vector<uint8_t> request;
    PutU32(request, channel);
    request.insert(request.end(), target->printerId.begin(), target->printerId.end());
    Frame answer;
    if (!WriteFrame(opened->fd, kOpenChannel, request.data(), request.size())) {
        return kAbUnreachable;
    }
    IoResult read = ReadFrame(opened->fd, answer, kAnswerTimeoutMs);
    if (read != IoResult::kOk) {
        return read == IoResult::kTimeout ? kAbNoAnswer : kAbUnreachable;
    }
    if (answer.kind != kOpened) {
        return FailureCode(answer);
    }
    std::lock_guard lock(State().mutex);
    if (State().initialized == 0) {
        return kAbNotInitialized;
    }
    // Handles count up from 1 and are never handed out twice while open.
    int32_t handle = State().nextHandle;
    while (State().channels.contains(handle)) {
        handle = handle == INT32_MAX ? 1 : handle + 1;
    }
    State().nextHandle = handle == INT32_MAX ? 1 : handle + 1;
    State().channels[handle] = std::move(opened);
    return handle;
}

ABAPI_EXPORT int32_t ABCloseChannel(int32_t handle) {
    std::shared_ptr<Channel> closing;
    std::lock_guard lock(State().mutex);
    auto found = State().channels.find(handle);
    if (found == State().channels.end()) {
        return kAbBadArgument;
    }
    closing = std::move(found->second);
    State().channels.erase(found);
    return kAbOk;
}

ABAPI_EXPORT int32_t ABSend(int32_t handle, const void* bytes, int32_t length) {
    auto channel = FindChannel(handle);
    if (!channel || length < 0 || (!bytes && length > 0)) {
        return kAbBadArgument;
    }
    std::lock_guard lock(channel->mutex);
    if (length > 0 && !WriteFrame(channel->fd, kSendData, bytes, static_cast<size_t>(length))) {
        return kAbUnreachable;
    }
    return length;
}

ABAPI_EXPORT int32_t ABReceive(int32_t handle, void* buffer, int32_t* size, int32_t timeoutMs) {
    auto channel = FindChannel(handle);
    if (!channel || !buffer || !size || *size < 1) {
        return kAbBadArgument;
    }
    std::lock_guard lock(channel->mutex);
    // Only a cancel that comes while this call waits counts.
    char drained[16];
    while (read(channel->cancel[0], drained, sizeof drained) > 0) {
    }
    if (channel->received.empty()) {
        IoResult ready = WaitReadable(channel->fd, std::max(timeoutMs, 0), channel->cancel[0]);
        if (ready == IoResult::kError) {
            return kAbUnreachable;
        }
        if (ready == IoResult::kOk) {
            Frame frame;
            IoResult result = ReadChannelFrame(*channel, frame, 0, -1);
            if (result != IoResult::kOk) {
                return kAbUnreachable;  // the simulator went away
            }
            if (frame.kind != kReplyData) {
                return FailureCode(frame);
            }
        }
        // Timed out or cancelled: nothing came.
    }
    size_t count = std::min(channel->received.size(), static_cast<size_t>(*size));
    std::copy_n(channel->received.begin(), count, static_cast<uint8_t*>(buffer));
    channel->received.erase(channel->received.begin(),
                            channel->received.begin() + static_cast<std::ptrdiff_t>(count));
    *size = static_cast<int32_t>(count);
    return static_cast<int32_t>(count);
}

ABAPI_EXPORT int32_t ABGetStatus(int32_t handle, char* buffer, int32_t* size) {
    auto channel = FindChannel(handle);
    if (!channel || !buffer || !size || *size < 1) {
        return kAbBadArgument;
    }
    std::lock_guard lock(channel->mutex);
    if (!WriteFrame(channel->fd, kAskStatus, nullptr, 0)) {
        return kAbUnreachable;
    }
    // Replies to earlier sends may come first; they stay queued for ABReceive.
    for (;;) {
        Frame frame;
        IoResult result = ReadChannelFrame(*channel, frame, kAnswerTimeoutMs, -1);
        if (result != IoResult::kOk) {
            return result == IoResult::kTimeout ? kAbNoAnswer : kAbUnreachable;
        }
        if (frame.kind == kText) {
            return DeliverText(frame.payload, buffer, size);
        }
        if (frame.kind != kReplyData) {
            return FailureCode(frame);
        }
    }
}

ABAPI_EXPORT int32_t ABSetOption(int32_t, int32_t, int32_t) {
    return kAbNotSupported;
}

ABAPI_EXPORT int32_t ABGetOption(int32_t, int32_t, int32_t*) {
    return kAbNotSupported;
}

ABAPI_EXPORT int32_t ABReceiveCancel(int32_t handle) {
    auto channel = FindChannel(handle);
    if (!channel) {
        return kAbBadArgument;
    }
    char byte = 1;
    return write(channel->cancel[1], &byte, 1) == 1 ? kAbOk : kAbUnreachable;
}
