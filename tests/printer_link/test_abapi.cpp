// A communication library for tests: its answers are staged by the test through the Stage
// functions, which reach the same loaded copy that the printer link uses.
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
struct State {
    int32_t initResult = 0;
    int32_t sizeAnswer = -4;
    int32_t sizeReported = -1;       // the size the first channel call reports; -1: the true one
    std::vector<uint32_t> channels;  // id, flags pairs
    std::string deviceId;
    std::deque<std::string> statuses;
    std::deque<std::string> replies;  // empty string: nothing received
    bool repeatLastReply = false;
    int32_t receives = 0;
    int32_t openResult = 7;
    std::vector<uint32_t> opened;
    std::vector<std::string> sent;
    int32_t closes = 0;
};
State state;

int32_t CopyText(const std::string& text, char* buffer, int32_t* size) {
    if (buffer == nullptr || size == nullptr || *size <= 0) {
        return -2;
    }
    size_t n = std::min(text.size(), static_cast<size_t>(*size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return 0;
}
}  // namespace

TEST_EXPORT void StageReset() {
    state = State();
}
TEST_EXPORT void StageInitResult(int32_t result) {
    state.initResult = result;
}
TEST_EXPORT void StageSizeAnswer(int32_t result) {
    state.sizeAnswer = result;
}
TEST_EXPORT void StageSizeReported(int32_t size) {
    state.sizeReported = size;
}
TEST_EXPORT void StageChannel(uint32_t id, uint32_t flags) {
    state.channels.push_back(id);
    state.channels.push_back(flags);
}
TEST_EXPORT void StageDeviceId(const char* text) {
    state.deviceId = text;
}
TEST_EXPORT void StageStatus(const char* text) {
    state.statuses.emplace_back(text);
}
TEST_EXPORT void StageClearStatuses() {
    state.statuses.clear();
}
TEST_EXPORT void StageReply(const char* bytes, int32_t length) {
    state.replies.emplace_back(bytes, static_cast<size_t>(length));
}
// The last staged reply comes again on every later read.
TEST_EXPORT void StageRepeatLastReply() {
    state.repeatLastReply = true;
}
TEST_EXPORT int32_t ReceiveCount() {
    return state.receives;
}
TEST_EXPORT void StageOpenResult(int32_t result) {
    state.openResult = result;
}
TEST_EXPORT uint32_t OpenedChannel(int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < state.opened.size() ? state.opened[index] : 0;
}
TEST_EXPORT int32_t OpenCount() {
    return static_cast<int32_t>(state.opened.size());
}
TEST_EXPORT int32_t CloseCount() {
    return state.closes;
}
TEST_EXPORT int32_t SentCount() {
    return static_cast<int32_t>(state.sent.size());
}
// Copies what the index-th Send carried (at most `capacity` bytes); its full length, or -1.
TEST_EXPORT int32_t SentBytes(int32_t index, char* buffer, int32_t capacity) {
    if (index < 0 || static_cast<size_t>(index) >= state.sent.size()) {
        return -1;
    }
    const std::string& bytes = state.sent[static_cast<size_t>(index)];
    std::memcpy(buffer, bytes.data(), std::min(bytes.size(), static_cast<size_t>(capacity)));
    return static_cast<int32_t>(bytes.size());
}

TEST_EXPORT int32_t ABInitialize() {
    return state.initResult;
}
TEST_EXPORT int32_t ABRelease() {
    return 0;
}
TEST_EXPORT int32_t ABGetDeviceID(int32_t, const char*, char* buffer, int32_t* size) {
    return CopyText(state.deviceId, buffer, size);
}
TEST_EXPORT int32_t ABGetAvailableChannel(int32_t, const char*, void* entries, int32_t* size) {
    int32_t needed = static_cast<int32_t>(state.channels.size() * 4);
    if (entries == nullptr) {
        *size = state.sizeReported >= 0 ? state.sizeReported : needed;
        return state.sizeAnswer;
    }
    if (*size < needed) {
        return -3;
    }
    if (needed > 0) {  // an empty list has no data to copy from
        std::memcpy(entries, state.channels.data(), static_cast<size_t>(needed));
    }
    return needed / 8;
}
TEST_EXPORT int32_t ABOpenChannel(int32_t, const char*, uint32_t channel) {
    state.opened.push_back(channel);
    return state.openResult;
}
TEST_EXPORT int32_t ABCloseChannel(int32_t) {
    return ++state.closes, 0;
}
TEST_EXPORT int32_t ABSend(int32_t, const void* bytes, int32_t length) {
    state.sent.emplace_back(static_cast<const char*>(bytes), static_cast<size_t>(length));
    return length;
}
TEST_EXPORT int32_t ABReceive(int32_t, void* buffer, int32_t* size, int32_t) {
    ++state.receives;
    if (state.replies.empty()) {
        return 0;
    }
    std::string reply = state.replies.front();
    if (!state.repeatLastReply || state.replies.size() > 1) {
        state.replies.pop_front();
    }
    size_t n = std::min(reply.size(), static_cast<size_t>(*size));
    std::memcpy(buffer, reply.data(), n);
    return static_cast<int32_t>(n);
}
TEST_EXPORT int32_t ABGetStatus(int32_t, char* buffer, int32_t* size) {
    if (state.statuses.empty()) {
        return -1;
    }
    std::string status = state.statuses.front();
    if (state.statuses.size() > 1) {
        state.statuses.pop_front();  // the last status stays
    }
    return CopyText(status, buffer, size);
}
TEST_EXPORT int32_t ABSetOption(int32_t, int32_t, int32_t) {
    return 0;
}
TEST_EXPORT int32_t ABGetOption(int32_t, int32_t, int32_t*) {
    return 0;
}
#ifndef WITHOUT_RECEIVE_CANCEL
TEST_EXPORT int32_t ABReceiveCancel(int32_t) {
    return 0;
}
#endif
