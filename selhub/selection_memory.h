// Where the hub keeps the operator's last printer and function between runs.
#pragma once

#include <cstdint>
#include <string>

namespace selhub {

class SelectionMemory {
  public:
    virtual ~SelectionMemory() = default;
    virtual std::string RememberedPrinter() = 0;  // "" when none
    virtual uint32_t RememberedFunction() = 0;    // the function number, 0 when none
    virtual void RememberPrinter(const std::string& printerName) = 0;
    virtual void RememberFunction(uint32_t functionNumber) = 0;
};

}  // namespace selhub
