#include "selhub/registry_selection_memory.h"

#include "common/registry_key.h"

namespace selhub {

namespace {
constexpr const char* kPrinterValue = "SelectPrinter";
constexpr const char* kFunctionValue = "SelectFunction";
}  // namespace

// Every access opens the key afresh, creating it when missing, reads as well as writes; the
// statuses are of no use to the hub, which works on with the defaults.
std::string RegistrySelectionMemory::RememberedPrinter() {
    return RegistryKey(reg::HKEY_CURRENT_USER, kSettingsKey)
        .ReadString(kSettingsSubkey, kPrinterValue, "");
}

uint32_t RegistrySelectionMemory::RememberedFunction() {
    return RegistryKey(reg::HKEY_CURRENT_USER, kSettingsKey)
        .ReadNumber(kSettingsSubkey, kFunctionValue, 0);
}

void RegistrySelectionMemory::RememberPrinter(const std::string& printerName) {
    RegistryKey(reg::HKEY_CURRENT_USER, kSettingsKey)
        .WriteString(kSettingsSubkey, kPrinterValue, printerName);
}

void RegistrySelectionMemory::RememberFunction(uint32_t functionNumber) {
    RegistryKey(reg::HKEY_CURRENT_USER, kSettingsKey)
        .WriteNumber(kSettingsSubkey, kFunctionValue, functionNumber);
}

}  // namespace selhub
