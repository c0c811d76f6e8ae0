// A settings library for tests whose answers are staged: media list counts and entry sizes,
// fewer IDs on the second call than the first announced, device mode sizes no driver needs.
// Every other call succeeds and leaves the caller's block as it was (zero where it is read).
#include <cstdint>
#include <cstring>

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct MediaList {
    int16_t count;
    int16_t entrySize;
    void* buffer;
};

struct Staged {
    int16_t count = 0;
    int16_t entrySize = 2;
    int16_t secondCount = 0;
    int32_t devModeSize = 0;
};
Staged staged;

}  // namespace

TEST_EXPORT void StageMediaList(int16_t count, int16_t entrySize, int16_t secondCount) {
    staged.count = count;
    staged.entrySize = entrySize;
    staged.secondCount = secondCount;
}
TEST_EXPORT void StageDevModeSize(int32_t size) {
    staged.devModeSize = size;
}

TEST_EXPORT int32_t ARDM_Open(const char*, const char*, int32_t, int32_t, int32_t* handle) {
    *handle = 9;
    return 0;
}
TEST_EXPORT int32_t ARDM_GetDriverInfo(int32_t, char*, int32_t) {
    return 0;
}
TEST_EXPORT int32_t ARDM_GetCommandLevel(int32_t, int32_t*) {
    return 0;
}
TEST_EXPORT int32_t ARDM_GetRange(int32_t, int32_t item, void* block) {
    if (item != 60) {
        return 0;
    }
    auto* list = static_cast<MediaList*>(block);
    if (list->buffer == nullptr) {
        list->count = staged.count;
        list->entrySize = staged.entrySize;
        return 0;
    }
    // However many it reports, it writes no more than the buffer it was given holds.
    for (int16_t i = 0; i < staged.secondCount && i < list->count; ++i) {
        const auto id = static_cast<uint16_t>(0x100 + i);
        std::memcpy(static_cast<uint8_t*>(list->buffer) + i * 2, &id, 2);
    }
    list->count = staged.secondCount;
    return 0;
}
TEST_EXPORT int32_t ARDM_GetData(int32_t, int32_t, void*) {
    return 0;
}
TEST_EXPORT int32_t ARDM_SetData(int32_t, int32_t, intptr_t) {
    return 0;
}
TEST_EXPORT int32_t ARDM_CreateDC(int32_t, const void*, void**) {
    return 0;
}
TEST_EXPORT int32_t ARDM_ResetDC(int32_t, void*, const void*) {
    return 0;
}
TEST_EXPORT int32_t ARDM_DeleteDC(int32_t, void*) {
    return 0;
}
TEST_EXPORT int32_t ARDM_GetDevMode(int32_t, void* buffer) {
    return buffer == nullptr ? staged.devModeSize : 0;
}
TEST_EXPORT int32_t ARDM_Close(int32_t) {
    return 0;
}
