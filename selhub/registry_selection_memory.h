// The operator's last printer and function, kept in the user's registry between runs.
#pragma once

#include "selhub/selection_memory.h"

namespace selhub {

class RegistrySelectionMemory : public SelectionMemory {
  public:
    std::string RememberedPrinter() override;
    uint32_t RememberedFunction() override;
    void RememberPrinter(const std::string& printerName) override;
    void RememberFunction(uint32_t functionNumber) override;
};

}  // namespace selhub
