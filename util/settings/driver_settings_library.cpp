#include "util/settings/driver_settings_library.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/spooler/spooler.h"
#include "platform/system/module.h"

namespace {

// The driver file that the spooler reports for the queue; "" when the queue cannot be opened.
std::string DriverFilePath(const std::string& printerName) {
    spooler::Spooler& spool = spooler::Current();
    spooler::PrinterHandle printer = spool.OpenPrinter(printerName);
    if (printer == spooler::kNoPrinter) {
        return {};
    }
    spooler::DriverInfo2 driver;
    std::string path;
    if (spool.GetPrinterDriver(printer, driver)) {
        path = driver.driverPath;
    }
    spool.ClosePrinter(printer);
    return path;
}

template <typename Fn>
Fn Resolve(void* module, const char* name) {
    return reinterpret_cast<Fn>(sys::GetProcAddress(module, name));
}

// Media IDs are uint16; a reply with smaller entries cannot hold the list, and anything much
// larger is not one this driver family gives.
constexpr int16_t kMaxMediaEntrySize = 64;

}  // namespace

DriverSettingsLibrary::~DriverSettingsLibrary() {
    Release();
}

std::string DriverSettingsLibrary::LibraryPathFor(const std::string& printerName) {
    const std::string driverFile = DriverFilePath(printerName);
    const auto slash = driverFile.rfind('/');
    if (slash == std::string::npos) {
        return kLibraryName;
    }
    return driverFile.substr(0, slash + 1) + kLibraryName;
}

bool DriverSettingsLibrary::Bind(const std::string& printerName) {
    Release();
    module_ = sys::LoadLibrary(LibraryPathFor(printerName));
    if (module_ == nullptr) {
        return false;
    }
    using namespace driverlib;
    open_ = Resolve<OpenFn>(module_, "ARDM_Open");
    getDriverInfo_ = Resolve<GetDriverInfoFn>(module_, "ARDM_GetDriverInfo");
    getCommandLevel_ = Resolve<GetCommandLevelFn>(module_, "ARDM_GetCommandLevel");
    getRange_ = Resolve<GetRangeFn>(module_, "ARDM_GetRange");
    getData_ = Resolve<GetDataFn>(module_, "ARDM_GetData");
    setData_ = Resolve<SetDataFn>(module_, "ARDM_SetData");
    createDc_ = Resolve<CreateDcFn>(module_, "ARDM_CreateDC");
    resetDc_ = Resolve<ResetDcFn>(module_, "ARDM_ResetDC");
    deleteDc_ = Resolve<DeleteDcFn>(module_, "ARDM_DeleteDC");
    getDevMode_ = Resolve<GetDevModeFn>(module_, "ARDM_GetDevMode");
    close_ = Resolve<CloseFn>(module_, "ARDM_Close");
    return open_ && getDriverInfo_ && getCommandLevel_ && getRange_ && getData_ && setData_ &&
           createDc_ && resetDc_ && deleteDc_ && getDevMode_ && close_;
}

void DriverSettingsLibrary::Release() {
    if (module_ != nullptr) {
        sys::FreeLibrary(module_);
    }
    module_ = nullptr;
    open_ = nullptr;
    getDriverInfo_ = nullptr;
    getCommandLevel_ = nullptr;
    getRange_ = nullptr;
    getData_ = nullptr;
    setData_ = nullptr;
    createDc_ = nullptr;
    resetDc_ = nullptr;
    deleteDc_ = nullptr;
    getDevMode_ = nullptr;
    close_ = nullptr;
}

int32_t DriverSettingsLibrary::Open(const std::string& printerName, const std::string& portName,
                                    int32_t* handle) const {
    return open_ ? open_(printerName.c_str(), portName.c_str(), 0, 0, handle) : kUnbound;
}

int32_t DriverSettingsLibrary::GetDriverInfo(int32_t handle, char* buffer, int32_t size) const {
    return getDriverInfo_ ? getDriverInfo_(handle, buffer, size) : kUnbound;
}

int32_t DriverSettingsLibrary::GetCommandLevel(int32_t handle, int32_t* level) const {
    return getCommandLevel_ ? getCommandLevel_(handle, level) : kUnbound;
}

int32_t DriverSettingsLibrary::GetRange(int32_t handle, int32_t item, void* block) const {
    return getRange_ ? getRange_(handle, item, block) : kUnbound;
}

int32_t DriverSettingsLibrary::GetData(int32_t handle, int32_t item, void* block) const {
    return getData_ ? getData_(handle, item, block) : kUnbound;
}

int32_t DriverSettingsLibrary::SetValue(int32_t handle, int32_t item, int32_t value) const {
    return setData_ ? setData_(handle, item, intptr_t{value}) : kUnbound;
}

int32_t DriverSettingsLibrary::SetBlock(int32_t handle, int32_t item, const void* block) const {
    return setData_ ? setData_(handle, item, reinterpret_cast<intptr_t>(block)) : kUnbound;
}

int32_t DriverSettingsLibrary::CreateDC(int32_t handle, const void* devMode, void** dc) const {
    return createDc_ ? createDc_(handle, devMode, dc) : kUnbound;
}

int32_t DriverSettingsLibrary::ResetDC(int32_t handle, void* dc, const void* devMode) const {
    return resetDc_ ? resetDc_(handle, dc, devMode) : kUnbound;
}

int32_t DriverSettingsLibrary::DeleteDC(int32_t handle, void* dc) const {
    return deleteDc_ ? deleteDc_(handle, dc) : kUnbound;
}

int32_t DriverSettingsLibrary::GetDevMode(int32_t handle, void* buffer) const {
    return getDevMode_ ? getDevMode_(handle, buffer) : kUnbound;
}

int32_t DriverSettingsLibrary::Close(int32_t handle) const {
    return close_ ? close_(handle) : kUnbound;
}

int32_t DriverSettingsLibrary::SelectPrintMode(int32_t handle, int32_t printModeIndex,
                                               uint32_t mediaId) const {
    using namespace driverlib;
    if (printModeIndex == 0 || printModeIndex == 1) {
        MediaModeSelection selection;
        selection.modeLevel = printModeIndex == 0 ? 2 : 1;
        selection.mediaId = static_cast<uint16_t>(mediaId);
        return SetBlock(handle, kItemMediaMode, &selection);
    }
    if (printModeIndex == 2 || printModeIndex == 3) {
        MediaHighQualitySelection selection;
        selection.mediaId = static_cast<int32_t>(mediaId);
        selection.modeCode = printModeIndex == 2 ? 6 : 15;
        return SetBlock(handle, kItemMediaHighQuality, &selection);
    }
    return kBadPrintMode;
}

int32_t DriverSettingsLibrary::GetMediaList(int32_t handle, std::vector<uint16_t>& ids) const {
    using namespace driverlib;
    ids.clear();
    MediaListRange range;
    if (int32_t result = GetRange(handle, kItemMediaList, &range); result != 0) {
        return result;
    }
    if (range.count < 0 || range.entrySize < static_cast<int16_t>(sizeof(uint16_t)) ||
        range.entrySize > kMaxMediaEntrySize) {
        return kBadAnswer;
    }
    const auto count = static_cast<std::size_t>(range.count);
    const std::size_t bytes = count * static_cast<std::size_t>(range.entrySize);
    if (count == 0 || bytes > kLargestAnswerBytes) {
        return count == 0 ? 0 : kBadAnswer;
    }
    std::vector<uint8_t> buffer(bytes);
    range.buffer = buffer.data();
    if (int32_t result = GetRange(handle, kItemMediaList, &range); result != 0) {
        return result;
    }
    // The second answer says how many IDs it wrote; fewer than announced are taken as they are,
    // and never more than the buffer holds.
    if (range.count < 0) {
        return kBadAnswer;
    }
    const std::size_t listed = std::min(count, static_cast<std::size_t>(range.count));
    ids.resize(listed);
    std::memcpy(ids.data(), buffer.data(), listed * sizeof(uint16_t));
    return 0;
}

int32_t DriverSettingsLibrary::GetMediaName(int32_t handle, uint32_t mediaId,
                                            std::string& name) const {
    using namespace driverlib;
    std::array<char, MediaNameQuery::kNameCapacity> text{};
    MediaNameQuery query;
    query.mediaId = static_cast<int32_t>(mediaId);
    query.name = text.data();
    int32_t result = GetData(handle, kItemMediaName, &query);
    if (result == 0) {
        name.assign(text.data(), strnlen(text.data(), text.size()));
    }
    return result;
}
