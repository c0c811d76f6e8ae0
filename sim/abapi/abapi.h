// The twelve entry points of the communication library ABAPI.so, as this stand-in offers them.
// Every result is a signed 32-bit value; below 0 is a failure (codes in sim/printer/wire.h).
// Sizes are in/out: the caller's buffer size on entry, the bytes delivered on return.
#pragma once

#include <cstdint>

#define ABAPI_EXPORT extern "C" __attribute__((visibility("default")))

// 0 when ready. Calls count: every ABInitialize needs its ABRelease.
ABAPI_EXPORT int32_t ABInitialize();
// 0 when released; the last release closes every open channel.
ABAPI_EXPORT int32_t ABRelease();
// reserved must be 1. Fills buffer with the printer's device id, NUL-terminated and cut to
// size - 1 characters; size becomes the text's length. 0 on success.
ABAPI_EXPORT int32_t ABGetDeviceID(int32_t reserved, const char* printerName, char* buffer,
                                   int32_t* size);
// reserved must be 1. With a null buffer (or one smaller than the list): -4 and size set to
// the bytes needed. Otherwise 8-byte entries (channel id, flags; little-endian), size set to
// the bytes written, result the number of entries. A printer with no channels gives 0.
ABAPI_EXPORT int32_t ABGetAvailableChannel(int32_t reserved, const char* printerName, void* entries,
                                           int32_t* size);
// reserved must be 1. A handle > 0; -7 for a channel the printer does not list, -8 for one
// whose flag bit 0 is clear.
ABAPI_EXPORT int32_t ABOpenChannel(int32_t reserved, const char* printerName, uint32_t channel);
ABAPI_EXPORT int32_t ABCloseChannel(int32_t handle);
// Returns the number of bytes sent.
ABAPI_EXPORT int32_t ABSend(int32_t handle, const void* bytes, int32_t length);
// Waits up to timeoutMs (negative: not at all) for the printer's reply; returns the number of
// bytes delivered (at most size), 0 when nothing came. Bytes that do not fit wait for the next
// call.
ABAPI_EXPORT int32_t ABReceive(int32_t handle, void* buffer, int32_t* size, int32_t timeoutMs);
// Fills buffer with the printer's status text like ABGetDeviceID. 0 on success.
ABAPI_EXPORT int32_t ABGetStatus(int32_t handle, char* buffer, int32_t* size);
// No options exist: both answer -10 and change nothing.
ABAPI_EXPORT int32_t ABSetOption(int32_t handle, int32_t option, int32_t value);
ABAPI_EXPORT int32_t ABGetOption(int32_t handle, int32_t option, int32_t* value);
// Makes an ABReceive waiting on the handle (in another thread) return 0 at once.
ABAPI_EXPORT int32_t ABReceiveCancel(int32_t handle);
