// The binding of the printer maker's communication library: loaded by name or from the path the
// printer's driver names, reached through twelve entry points, each call guarded so that an
// entry point that is missing gives -5 instead of being called.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/system/module.h"

inline constexpr int32_t kLinkUnbound = -5;

inline constexpr uint32_t kControlChannel = 0x10010003;
inline constexpr uint32_t kSnmpChannel = 4;

// Which module owns the link: util keeps a loaded library and prefers the control channel;
// altutil keeps a loaded library and prefers the SNMP channel; the other plug-ins load afresh and
// prefer the SNMP channel.
enum class LinkVariant { Util, AltUtil, Other };

class PrinterLink {
  public:
    explicit PrinterLink(LinkVariant variant);
    ~PrinterLink();
    PrinterLink(const PrinterLink&) = delete;
    PrinterLink& operator=(const PrinterLink&) = delete;

    bool Bind(const std::string& printerName, bool tryPlainNameFirst);
    bool Unbind();
    // The library path that the printer's driver names (its data file's "ABAPII" value in the
    // driver file's directory), or "".
    static std::string ResolveLibraryPath(const std::string& printerName);
    int32_t SelectChannel(const std::string& printerName);
    // The largest channel list, in bytes, that SelectChannel takes from the library (-1 beyond).
    static constexpr int32_t kLargestChannelList = 1 << 20;
    // The queue's driver name: local printers first, then connections (a match there wins).
    void RememberDriverName(const std::string& printerName);
    // Unbind, bind (plain name first), select the channel and test-open it; a failed open loads
    // the driver-named copy instead. Returns the channel id to use for all later traffic.
    int32_t StartUp(const std::string& printerName);

    bool IsLoaded() const { return module_ != nullptr; }
    std::string DriverName;

    int32_t Initialize();
    int32_t Release();
    int32_t GetDeviceID(int32_t reserved, const char* printerName, char* buffer, int32_t* size);
    int32_t GetAvailableChannel(int32_t reserved, const char* printerName, void* entries,
                                int32_t* size);
    int32_t OpenChannel(int32_t reserved, const char* printerName, uint32_t channel);
    int32_t CloseChannel(int32_t handle);
    int32_t Send(int32_t handle, const void* bytes, int32_t length);
    int32_t Receive(int32_t handle, void* buffer, int32_t* size, int32_t timeoutMs);
    int32_t GetStatus(int32_t handle, char* buffer, int32_t* size);

  private:
    using NoArguments = int32_t (*)();
    using GetDeviceIdFn = int32_t (*)(int32_t, const char*, char*, int32_t*);
    using GetChannelsFn = int32_t (*)(int32_t, const char*, void*, int32_t*);
    using OpenChannelFn = int32_t (*)(int32_t, const char*, uint32_t);
    using HandleFn = int32_t (*)(int32_t);
    using OptionFn = int32_t (*)(int32_t, int32_t, int32_t);
    using GetOptionFn = int32_t (*)(int32_t, int32_t, int32_t*);
    using SendFn = int32_t (*)(int32_t, const void*, int32_t);
    using ReceiveFn = int32_t (*)(int32_t, void*, int32_t*, int32_t);
    using GetStatusFn = int32_t (*)(int32_t, char*, int32_t*);

    void ClearSlots();
    bool AllSlotsFilled() const;

    LinkVariant variant_;
    sys::LibraryHandle module_ = nullptr;
    NoArguments initialize_ = nullptr;
    NoArguments release_ = nullptr;
    GetDeviceIdFn getDeviceId_ = nullptr;
    GetChannelsFn getAvailableChannel_ = nullptr;
    OpenChannelFn openChannel_ = nullptr;
    HandleFn closeChannel_ = nullptr;
    OptionFn setOption_ = nullptr;
    GetOptionFn getOption_ = nullptr;
    HandleFn receiveCancel_ = nullptr;
    GetStatusFn getStatus_ = nullptr;
    SendFn send_ = nullptr;
    ReceiveFn receive_ = nullptr;
};
