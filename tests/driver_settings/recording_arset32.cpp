// An incomplete settings library for the binding's tests, built as ARSET32.so beside the test
// program so that a binding by plain name finds it. It has four of the eleven functions and
// records each call with a copy of the block it was given; RecordedCalls() hands the record out.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int32_t kHandle = 42;
// The size of each item's block, as far as the binding's callers set them.
std::size_t BlockSize(int32_t item) {
    switch (item) {
        case 30:
        case 70:
            return 8;
        case 205:
            return 12;
        case 214:
        case 219:
            return 20;
        default:
            return 0;
    }
}

std::vector<std::string>& Calls() {
    static std::vector<std::string> calls;
    return calls;
}

std::string Describe(const char* name, int32_t item, const void* block) {
    std::string call = std::string(name) + ' ' + std::to_string(item);
    if (block != nullptr) {
        const auto* bytes = static_cast<const uint8_t*>(block);
        call += ' ';
        for (std::size_t i = 0; i < BlockSize(item); ++i) {
            static const char kHex[] = "0123456789abcdef";
            call += kHex[bytes[i] >> 4];
            call += kHex[bytes[i] & 0xF];
        }
    }
    return call;
}

}  // namespace

TEST_EXPORT const std::vector<std::string>* RecordedCalls() {
    return &Calls();
}

TEST_EXPORT int32_t ARDM_Open(const char* printerName, const char*, int32_t, int32_t,
                              int32_t* handle) {
    Calls().push_back(std::string("Open ") + printerName);
    *handle = kHandle;
    return 0;
}

TEST_EXPORT int32_t ARDM_GetData(int32_t handle, int32_t item, void* block) {
    Calls().push_back(Describe("GetData", item, nullptr));
    if (handle != kHandle) {
        return 3;
    }
    std::memset(block, 0, sizeof(int16_t));
    return 0;
}

TEST_EXPORT int32_t ARDM_SetData(int32_t handle, int32_t item, intptr_t data) {
    Calls().push_back(item == 40 ? Describe("SetData", item, nullptr) + ' ' + std::to_string(data)
                                 : Describe("SetData", item, reinterpret_cast<void*>(data)));
    return handle == kHandle ? 0 : 3;
}

TEST_EXPORT int32_t ARDM_Close(int32_t handle) {
    Calls().push_back("Close " + std::to_string(handle));
    return 0;
}
