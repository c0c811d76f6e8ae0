// A communication library for the printer-reply fuzz target, loaded by the program's own binding
// as ABAPI.so. Every answer comes from the staged bytes, taken in call order and from the start
// again when they run out, so that a printer can keep answering the same forever: texts of any
// content and length up to the caller's buffer, result codes and counts that need not be true.
// It never writes beyond the size the caller gives, as no library may.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#define FUZZ_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::vector<uint8_t> script;
size_t cursor = 0;

uint8_t TakeByte() {
    if (script.empty()) {
        return 0;
    }
    if (cursor >= script.size()) {
        cursor = 0;
    }
    return script[cursor++];
}

int32_t TakeResult() {
    return static_cast<int8_t>(TakeByte());
}

int32_t TakeInt32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= uint32_t{TakeByte()} << (8 * i);
    }
    return static_cast<int32_t>(value);
}

// A length byte, then that many bytes into the buffer, as far as it reaches. The count written.
int32_t TakeBytes(void* buffer, int32_t capacity) {
    const int32_t length = TakeByte();
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t written = 0;
    for (int32_t i = 0; i < length; ++i) {
        const uint8_t byte = TakeByte();
        if (out != nullptr && i < capacity) {
            out[i] = byte;
            ++written;
        }
    }
    return written;
}

int32_t TakeText(char* buffer, int32_t* size) {
    if (size == nullptr) {
        return -2;
    }
    const int32_t result = TakeResult();
    *size = TakeBytes(buffer, std::max(*size, 0));
    return result;
}

}  // namespace

FUZZ_EXPORT void FuzzStage(const uint8_t* data, size_t size) {
    script.assign(data, data + size);
    cursor = 0;
}

FUZZ_EXPORT int32_t ABInitialize() {
    return 0;
}
FUZZ_EXPORT int32_t ABRelease() {
    return 0;
}
FUZZ_EXPORT int32_t ABSetOption(int32_t, int32_t, int32_t) {
    return 0;
}
FUZZ_EXPORT int32_t ABGetOption(int32_t, int32_t, int32_t* value) {
    if (value != nullptr) {
        *value = 0;
    }
    return 0;
}
FUZZ_EXPORT int32_t ABReceiveCancel(int32_t) {
    return 0;
}
FUZZ_EXPORT int32_t ABCloseChannel(int32_t) {
    return 0;
}
FUZZ_EXPORT int32_t ABOpenChannel(int32_t, const char*, uint32_t) {
    return TakeResult();
}
FUZZ_EXPORT int32_t ABSend(int32_t, const void*, int32_t length) {
    return (TakeByte() & 1) != 0 ? length : TakeResult();
}
FUZZ_EXPORT int32_t ABGetDeviceID(int32_t, const char*, char* buffer, int32_t* size) {
    return TakeText(buffer, size);
}
FUZZ_EXPORT int32_t ABGetStatus(int32_t, char* buffer, int32_t* size) {
    return TakeText(buffer, size);
}
// Asked without a buffer, the size needed (any number); with one, entries as far as the buffer
// reaches and a count of entries (any number).
FUZZ_EXPORT int32_t ABGetAvailableChannel(int32_t, const char*, void* entries, int32_t* size) {
    if (size == nullptr) {
        return -2;
    }
    if (entries == nullptr) {
        const bool tooSmall = (TakeByte() & 1) != 0;
        *size = TakeInt32();
        return tooSmall ? -4 : TakeResult();
    }
    const int32_t capacity = std::max(*size, 0);
    auto* out = static_cast<uint8_t*>(entries);
    const int32_t length = std::min(TakeInt32() & 0xFFF, capacity);
    for (int32_t i = 0; i < length; ++i) {
        out[i] = TakeByte();
    }
    return TakeInt32();
}
// A reply of up to the buffer's size, and a count that need not match it.
FUZZ_EXPORT int32_t ABReceive(int32_t, void* buffer, int32_t* size, int32_t) {
    if (size == nullptr) {
        return -2;
    }
    const int32_t written = TakeBytes(buffer, std::max(*size, 0));
    *size = written;
    return (TakeByte() & 1) != 0 ? written : TakeResult();
}
