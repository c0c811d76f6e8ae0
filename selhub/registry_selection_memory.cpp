#include "selhub/registry_selection_memory.h"

#include "common/registry_key.h"

namespace selhub {

namespace {
constexpr const char* kKey = "SoftWare\\ARVEN";
constexpr const char* kSubkey = "Tarnwell";
constexpr const char* kPrinterValue = "SelectPrinter";
constexpr const char* kFunctionValue = "SelectFunction";
}  // namespace

// Every access opens the key afresh, creating it when missing, reads as well as writes; the
// statuses are of no use to the hub, which works on with the defaults.
std::string RegistrySelectionMemory::RememberedPrinter() {
    return RegistryKey(reg::HKEY_CURRENT_USER, kKey).ReadString(kSubkey, kPrinterValue, "");
}

uint32_t RegistrySelectionMemory::RememberedFunction() {
    return RegistryKey(reg::HKEY_CURRENT_USER, kKey).ReadNumber(kSubkey, kFunctionValue, 0);
}

void RegistrySelectionMemory::RememberPrinter(const std::string& printerName) {
    RegistryKey(reg::HKEY_CURRENT_USER, kKey).WriteString(kSubkey, kPrinterValue, printerName);
}

void RegistrySelectionMemory::RememberFunction(uint32_t functionNumber) {
    RegistryKey(reg::HKEY_CURRENT_USER, kKey).WriteNumber(kSubkey, kFunctionValue, functionNumber);
}

}  // namespace selhub
