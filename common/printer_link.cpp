#include "common/printer_link.h"

#include <cstring>

#include "platform/profile/profile.h"
#include "platform/spooler/spooler.h"

namespace {

constexpr const char* kLibraryName = "ABAPI.so";
constexpr const char* kDriverSection = "User Mode Printer Driver Information";
constexpr const char* kLibraryKey = "ABAPII";
constexpr size_t kLibraryValueSize = 256;
constexpr size_t kChannelEntrySize = 8;

const uint32_t kUtilPreference[] = {kControlChannel, kSnmpChannel, 0x10000005, 0x10000003,
                                    0x02000001};
const uint32_t kOtherPreference[] = {kSnmpChannel, 0x10000005, kControlChannel, 0x10000003,
                                     0x02000001};

template <typename Fn>
Fn Resolve(sys::LibraryHandle module, const char* name) {
    return reinterpret_cast<Fn>(sys::GetProcAddress(module, name));
}

}  // namespace

PrinterLink::PrinterLink(LinkVariant variant) : variant_(variant) {}

PrinterLink::~PrinterLink() {
    Unbind();
}

void PrinterLink::ClearSlots() {
    initialize_ = release_ = nullptr;
    getDeviceId_ = nullptr;
    getAvailableChannel_ = nullptr;
    openChannel_ = nullptr;
    closeChannel_ = receiveCancel_ = nullptr;
    setOption_ = nullptr;
    getOption_ = nullptr;
    getStatus_ = nullptr;
    send_ = nullptr;
    receive_ = nullptr;
}

bool PrinterLink::AllSlotsFilled() const {
    return initialize_ && release_ && getDeviceId_ && getAvailableChannel_ && openChannel_ &&
           closeChannel_ && setOption_ && getOption_ && receiveCancel_ && getStatus_ && send_ &&
           receive_;
}

bool PrinterLink::Bind(const std::string& printerName, bool tryPlainNameFirst) {
    if (variant_ == LinkVariant::Util && module_ != nullptr) {
        return true;
    }
    if (tryPlainNameFirst) {
        // The other plug-ins load again over an old handle; their hosts unbind first.
        module_ = sys::LoadLibrary(kLibraryName);
    }
    if (module_ == nullptr) {
        std::string path = ResolveLibraryPath(printerName);
        module_ = path.empty() ? nullptr : sys::LoadLibrary(path);
    }
    if (module_ == nullptr) {
        return false;
    }
    initialize_ = Resolve<NoArguments>(module_, "ABInitialize");
    release_ = Resolve<NoArguments>(module_, "ABRelease");
    getDeviceId_ = Resolve<GetDeviceIdFn>(module_, "ABGetDeviceID");
    getAvailableChannel_ = Resolve<GetChannelsFn>(module_, "ABGetAvailableChannel");
    openChannel_ = Resolve<OpenChannelFn>(module_, "ABOpenChannel");
    closeChannel_ = Resolve<HandleFn>(module_, "ABCloseChannel");
    setOption_ = Resolve<OptionFn>(module_, "ABSetOption");
    getOption_ = Resolve<GetOptionFn>(module_, "ABGetOption");
    receiveCancel_ = Resolve<HandleFn>(module_, "ABReceiveCancel");
    getStatus_ = Resolve<GetStatusFn>(module_, "ABGetStatus");
    send_ = Resolve<SendFn>(module_, "ABSend");
    receive_ = Resolve<ReceiveFn>(module_, "ABReceive");
    int32_t initialized = Initialize();
    return AllSlotsFilled() && initialized == 0;
}

bool PrinterLink::Unbind() {
    int32_t released = Release();
    if (module_ != nullptr) {
        sys::FreeLibrary(module_);
        module_ = nullptr;
    }
    ClearSlots();
    return released == 0;
}

std::string PrinterLink::ResolveLibraryPath(const std::string& printerName) {
    spooler::Spooler& spool = spooler::Current();
    spooler::PrinterHandle printer = spool.OpenPrinter(printerName);
    if (printer == spooler::kNoPrinter) {
        return {};
    }
    std::string result;
    spooler::DriverInfo2 driver;
    if (spool.GetPrinterDriver(printer, driver)) {
        std::string value = profile::GetPrivateProfileString(kDriverSection, kLibraryKey, "",
                                                             kLibraryValueSize, driver.dataFile);
        if (!value.empty()) {
            result = driver.driverPath;
            size_t slash = result.rfind('/');
            if (slash != std::string::npos && slash > 0) {
                result.erase(slash + 1);
            }
            result += value;
        }
    }
    spool.ClosePrinter(printer);
    return result;
}

int32_t PrinterLink::SelectChannel(const std::string& printerName) {
    int32_t size = 0;
    int32_t result = GetAvailableChannel(1, printerName.c_str(), nullptr, &size);
    if (result != -4) {
        return result;
    }
    if (size < 0 || static_cast<size_t>(size) > kMaxChannelListBytes) {
        return -1;
    }
    std::vector<uint8_t> entries(static_cast<size_t>(size) + 1, 0);
    result = GetAvailableChannel(1, printerName.c_str(), entries.data(), &size);
    if (result <= 0) {
        return result;
    }
    // Only entries that lie inside the buffer are read, whatever count the library reports.
    size_t count = std::min(static_cast<size_t>(result), entries.size() / kChannelEntrySize);
    const auto& preference = variant_ == LinkVariant::Util ? kUtilPreference : kOtherPreference;
    for (uint32_t wanted : preference) {
        for (size_t i = 0; i < count; ++i) {
            uint32_t id = 0;
            uint32_t flags = 0;
            std::memcpy(&id, entries.data() + i * kChannelEntrySize, 4);
            std::memcpy(&flags, entries.data() + i * kChannelEntrySize + 4, 4);
            if (id == wanted && (flags & 1) != 0) {
                return static_cast<int32_t>(id);
            }
        }
    }
    return 0;
}

void PrinterLink::RememberDriverName(const std::string& printerName) {
    spooler::PrinterInfo2 printer;
    if (spooler::FindPrinter(printerName, printer)) {
        DriverName = printer.driverName;
    }
}

int32_t PrinterLink::StartUp(const std::string& printerName) {
    Unbind();
    bool bound = Bind(printerName, true);
    int32_t channel = SelectChannel(printerName);
    if (bound) {
        int32_t handle = OpenChannel(1, printerName.c_str(), static_cast<uint32_t>(channel));
        if (handle < 1) {
            Unbind();
            Bind(printerName, false);
        } else {
            CloseChannel(handle);
        }
    }
    return channel;
}

int32_t PrinterLink::Initialize() {
    return initialize_ ? initialize_() : kLinkUnbound;
}
int32_t PrinterLink::Release() {
    return release_ ? release_() : kLinkUnbound;
}

int32_t PrinterLink::GetDeviceID(int32_t reserved, const char* printerName, char* buffer,
                                 int32_t* size) {
    return getDeviceId_ ? getDeviceId_(reserved, printerName, buffer, size) : kLinkUnbound;
}

int32_t PrinterLink::GetAvailableChannel(int32_t reserved, const char* printerName, void* entries,
                                         int32_t* size) {
    return getAvailableChannel_ ? getAvailableChannel_(reserved, printerName, entries, size)
                                : kLinkUnbound;
}

int32_t PrinterLink::OpenChannel(int32_t reserved, const char* printerName, uint32_t channel) {
    return openChannel_ ? openChannel_(reserved, printerName, channel) : kLinkUnbound;
}

int32_t PrinterLink::CloseChannel(int32_t handle) {
    return closeChannel_ ? closeChannel_(handle) : kLinkUnbound;
}

int32_t PrinterLink::Send(int32_t handle, const void* bytes, int32_t length) {
    return send_ ? send_(handle, bytes, length) : kLinkUnbound;
}

int32_t PrinterLink::Receive(int32_t handle, void* buffer, int32_t* size, int32_t timeoutMs) {
    return receive_ ? receive_(handle, buffer, size, timeoutMs) : kLinkUnbound;
}

int32_t PrinterLink::GetStatus(int32_t handle, char* buffer, int32_t* size) {
    return getStatus_ ? getStatus_(handle, buffer, size) : kLinkUnbound;
}
