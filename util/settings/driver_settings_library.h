// The printer driver's settings library, ARSET32.so: loaded at start-up from the directory of the
// printer's driver file, its eleven functions bound by name and offered as thin calls. Every call
// answers kUnbound when its function is not bound and passes the library's result through
// otherwise. Through it util reads and changes a queue's driver settings (media type, print mode,
// paper width, custom media values) and obtains the device mode for sample prints.
//
// Item blocks are laid out as below, little-endian, with pointers at the natural alignment of the
// platform (8 bytes here). The second int32 of several blocks is the block's size as the driver
// has always defined it; it identifies the block's form and is passed as the driver expects it,
// whatever sizeof says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace driverlib {

// Items of the library that util reads and writes.
inline constexpr int32_t kItemPaperWidth = 30;
inline constexpr int32_t kItemOutputMode = 40;
inline constexpr int32_t kItemMediaList = 60;
inline constexpr int32_t kItemMediaMode = 70;
inline constexpr int32_t kItemOutputFlags = 205;
inline constexpr int32_t kItemMediaName = 213;
inline constexpr int32_t kItemMediaHighQuality = 214;
inline constexpr int32_t kItemInkSet = 217;
inline constexpr int32_t kItemMediaValues = 219;

// Item 30, GetRange: the largest paper width the queue accepts, in 0.1 mm. The fourth int16 is the
// driver's and goes back unchanged in the set block; the work area is the caller's (128 bytes,
// zeroed).
struct PaperWidthRange {
    static constexpr std::size_t kWorkAreaSize = 128;
    int16_t largestWidth = 0;
    int16_t driverValue2 = 0;
    int16_t driverValue3 = 0;
    int16_t carried = 0;
    void* workArea = nullptr;
};

// Item 30, SetData: width in 0.1 mm, the range's carried value, 256, 0.
struct PaperWidthSetting {
    int16_t width = 0;
    int16_t carried = 0;
    int16_t kind = 256;
    int16_t reserved = 0;
};

// Item 60, GetRange: called with everything zero, the driver fills count and entry size; called
// again with a buffer of count x entrySize bytes, it fills the buffer with count uint16 driver
// media IDs.
struct MediaListRange {
    int16_t count = 0;
    int16_t entrySize = 0;
    void* buffer = nullptr;
};

// Item 70, SetData: selects a media type with print mode 0 (level 2) or 1 (level 1).
struct MediaModeSelection {
    uint16_t form = 1;
    uint16_t modeLevel = 0;
    uint16_t mediaId = 0;
    uint16_t kind = 2;
};

// Item 205, GetData and SetData.
struct OutputFlags {
    int32_t form = 1;
    int32_t size = 12;
    int32_t flags = 0;
};

// Item 213, GetData: the driver's display name of a media ID into the caller's 260-byte buffer.
struct MediaNameQuery {
    static constexpr std::size_t kNameCapacity = 260;
    int32_t form = 1;
    int32_t size = 24;
    int32_t capacity = static_cast<int32_t>(kNameCapacity);
    int32_t kind = 3;
    int32_t mediaId = 0;
    char* name = nullptr;
};

// Item 214, SetData: selects a media type with print mode 2 (code 6) or 3 (code 15).
struct MediaHighQualitySelection {
    int32_t form = 1;
    int32_t size = 20;
    int32_t kind = 2;
    int32_t mediaId = 0;
    int32_t modeCode = 0;
};

// Item 217, GetData: the driver sets values[6] to 1 or 11 (ink set 1 or 2).
struct InkSetQuery {
    static constexpr std::size_t kInkSetIndex = 6;
    int32_t values[11] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
};

// Item 219, SetData: the custom media values of a sample print: Density, Forward, Drytime,
// Paperthick, Paperdraw, PaperCut, then six bytes, zero but for the media extra byte.
struct MediaValues {
    static constexpr std::size_t kDataSize = 12;
    int32_t form = 1;
    int32_t size = 20;
    uint8_t data[kDataSize] = {};
};

static_assert(sizeof(MediaValues) == 20 && sizeof(MediaHighQualitySelection) == 20);
static_assert(sizeof(OutputFlags) == 12 && sizeof(InkSetQuery) == 44);
static_assert(sizeof(PaperWidthSetting) == 8 && sizeof(MediaModeSelection) == 8);

// The exports' shapes. A library handle is an int32 that ARDM_Open hands out.
using OpenFn = int32_t (*)(const char* printerName, const char* portName, int32_t reserved1,
                           int32_t reserved2, int32_t* handle);
using GetDriverInfoFn = int32_t (*)(int32_t handle, char* buffer, int32_t size);
using GetCommandLevelFn = int32_t (*)(int32_t handle, int32_t* level);
using GetRangeFn = int32_t (*)(int32_t handle, int32_t item, void* block);
using GetDataFn = int32_t (*)(int32_t handle, int32_t item, void* block);
// `data` is the value itself for item 40 and a pointer to the item's block for every other item.
using SetDataFn = int32_t (*)(int32_t handle, int32_t item, intptr_t data);
using CreateDcFn = int32_t (*)(int32_t handle, const void* devMode, void** dc);
using ResetDcFn = int32_t (*)(int32_t handle, void* dc, const void* devMode);
using DeleteDcFn = int32_t (*)(int32_t handle, void* dc);
// With a null buffer: the size in bytes of the queue's current device mode. With a buffer of that
// size: the device mode is copied into it, non-zero on success.
using GetDevModeFn = int32_t (*)(int32_t handle, void* buffer);
using CloseFn = int32_t (*)(int32_t handle);

}  // namespace driverlib

class DriverSettingsLibrary {
  public:
    // What every call answers when its function is not bound.
    static constexpr int32_t kUnbound = -7;
    // What SelectPrintMode answers for an index outside 0 to 3.
    static constexpr int32_t kBadPrintMode = -1;
    // What a wrapper answers when the library's own answer cannot be taken: a negative count, or
    // a size beyond kLargestAnswerBytes, which no block of this driver family needs.
    static constexpr int32_t kBadAnswer = -8;
    static constexpr std::size_t kLargestAnswerBytes = 4u << 20;
    static constexpr const char* kLibraryName = "ARSET32.so";

    DriverSettingsLibrary() = default;
    ~DriverSettingsLibrary();
    DriverSettingsLibrary(const DriverSettingsLibrary&) = delete;
    DriverSettingsLibrary& operator=(const DriverSettingsLibrary&) = delete;

    // Loads the library beside the printer's driver file (as the spooler reports it), or by plain
    // name when the queue cannot be opened or names no driver file, and binds the exports that it
    // has. True only when the library loaded and all eleven were found. A binding held before is
    // released first.
    bool Bind(const std::string& printerName);
    // Frees the library and clears every function; harmless when nothing is bound.
    void Release();

    // Where Bind loads the library from for that printer.
    static std::string LibraryPathFor(const std::string& printerName);

    int32_t Open(const std::string& printerName, const std::string& portName,
                 int32_t* handle) const;
    int32_t GetDriverInfo(int32_t handle, char* buffer, int32_t size) const;
    int32_t GetCommandLevel(int32_t handle, int32_t* level) const;
    int32_t GetRange(int32_t handle, int32_t item, void* block) const;
    int32_t GetData(int32_t handle, int32_t item, void* block) const;
    // Item 40 takes its value itself; every other item a block.
    int32_t SetValue(int32_t handle, int32_t item, int32_t value) const;
    int32_t SetBlock(int32_t handle, int32_t item, const void* block) const;
    int32_t CreateDC(int32_t handle, const void* devMode, void** dc) const;
    int32_t ResetDC(int32_t handle, void* dc, const void* devMode) const;
    int32_t DeleteDC(int32_t handle, void* dc) const;
    int32_t GetDevMode(int32_t handle, void* buffer) const;
    int32_t Close(int32_t handle) const;

    // Selects the media type and print mode of the host's print mode index: 0 and 1 set item 70
    // with mode level 2 and 1, 2 and 3 set item 214 with mode code 6 and 15. kBadPrintMode, with
    // nothing called, for any other index.
    int32_t SelectPrintMode(int32_t handle, int32_t printModeIndex, uint32_t mediaId) const;

    // The driver's media list (item 60): count and entry size first, then the IDs, as many as the
    // second answer reports (at most the first count). 0 on success; the driver's result,
    // kUnbound or kBadAnswer otherwise (ids is then empty).
    int32_t GetMediaList(int32_t handle, std::vector<uint16_t>& ids) const;
    // The driver's display name of a media ID (item 213). 0 on success, with name set.
    int32_t GetMediaName(int32_t handle, uint32_t mediaId, std::string& name) const;

    bool IsLoaded() const { return module_ != nullptr; }

  private:
    void* module_ = nullptr;
    driverlib::OpenFn open_ = nullptr;
    driverlib::GetDriverInfoFn getDriverInfo_ = nullptr;
    driverlib::GetCommandLevelFn getCommandLevel_ = nullptr;
    driverlib::GetRangeFn getRange_ = nullptr;
    driverlib::GetDataFn getData_ = nullptr;
    driverlib::SetDataFn setData_ = nullptr;
    driverlib::CreateDcFn createDc_ = nullptr;
    driverlib::ResetDcFn resetDc_ = nullptr;
    driverlib::DeleteDcFn deleteDc_ = nullptr;
    driverlib::GetDevModeFn getDevMode_ = nullptr;
    driverlib::CloseFn close_ = nullptr;
};
