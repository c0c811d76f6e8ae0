// The eleven entry points of the printer driver's settings library ARSET32.so, as this stand-in
// offers them (docs/driver-package.md). Results are 0 for success and one of the positive codes
// below otherwise, except ARDM_GetDevMode, whose result is a size or a non-zero success.
//
// Item blocks, little-endian, pointers at their natural alignment:
//   30  GetRange {int16 largest width (0.1 mm), int16 smallest width, int16 0, int16 paper
//       source, pointer to a 128-byte work area or null}; GetData and SetData {int16 width,
//       int16 paper source, int16 256, int16 0}
//   40  GetData {int16}; SetData takes the value itself: 1, 4, 7, 256 or 258
//   60  GetRange {int16 count, int16 entry size, pointer}: with a null pointer the count and
//       entry size (2) are filled in; with a buffer of count x entry size bytes the uint16
//       media IDs are written into it
//   70  GetData and SetData {uint16 1, uint16 mode level 1 or 2, uint16 media ID, uint16 2}
//   205 GetData and SetData {int32 1, int32 12, int32 flags}
//   213 GetData {int32 1, int32 24, int32 capacity, int32 3, int32 media ID, pointer to text}
//   214 GetData and SetData {int32 1, int32 20, int32 2, int32 media ID, int32 code 6 or 15}
//   217 GetData {int32 1, then ten int32}: in the first family the seventh becomes 1 (ink set
//       1) or 11 (ink set 2); in the second the fourth becomes 1 for ink set 4 and 0 otherwise,
//       the seventh 0xA01 (ink sets 1 and 4), 0xA0B (2) or 0xB0B (3)
//   219 GetData and SetData {int32 1, int32 20, 12 bytes of media values}
#pragma once

#include <cstdint>

#define ARSET32_EXPORT extern "C" __attribute__((visibility("default")))

namespace arset32 {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kBadArgument = 1;
inline constexpr int32_t kUnknownPrinter = 2;
inline constexpr int32_t kUnsupportedModel = 3;
inline constexpr int32_t kBadHandle = 4;
inline constexpr int32_t kUnknownItem = 5;
inline constexpr int32_t kBadBlock = 6;
inline constexpr int32_t kOutOfRange = 7;
inline constexpr int32_t kBufferTooSmall = 8;
inline constexpr int32_t kNotSaved = 9;
}  // namespace arset32

// Opens the settings of a print queue; reserved1 and reserved2 must be 0. The handle (> 0) goes
// to *handle.
ARSET32_EXPORT int32_t ARDM_Open(const char* printerName, const char* portName, int32_t reserved1,
                                 int32_t reserved2, int32_t* handle);
// The driver's name and version, NUL-terminated and cut to size - 1 characters.
ARSET32_EXPORT int32_t ARDM_GetDriverInfo(int32_t handle, char* buffer, int32_t size);
// The command level of the queue's printer model.
ARSET32_EXPORT int32_t ARDM_GetCommandLevel(int32_t handle, int32_t* level);
ARSET32_EXPORT int32_t ARDM_GetRange(int32_t handle, int32_t item, void* block);
ARSET32_EXPORT int32_t ARDM_GetData(int32_t handle, int32_t item, void* block);
// `data` is the value itself for item 40, a pointer to the block otherwise. Every change is
// kept in the queue's settings at once.
ARSET32_EXPORT int32_t ARDM_SetData(int32_t handle, int32_t item, intptr_t data);
// A device context stand-in: an opaque object that carries a copy of the device mode (the
// queue's current one when devMode is null) until ARDM_DeleteDC.
ARSET32_EXPORT int32_t ARDM_CreateDC(int32_t handle, const void* devMode, void** dc);
// Gives the device context another device mode.
ARSET32_EXPORT int32_t ARDM_ResetDC(int32_t handle, void* dc, const void* devMode);
ARSET32_EXPORT int32_t ARDM_DeleteDC(int32_t handle, void* dc);
// With a null buffer: the size of the queue's device mode (0 for a bad handle). With a buffer of
// that size: the device mode is copied into it; 1 on success, 0 for a bad handle.
ARSET32_EXPORT int32_t ARDM_GetDevMode(int32_t handle, void* buffer);
ARSET32_EXPORT int32_t ARDM_Close(int32_t handle);
