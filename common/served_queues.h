// The print queues of the printer models the program serves: what the hub lists for the operator
// to choose from, and what plenwise-cli works on.
#pragma once

#include <cstdint>
#include <vector>

#include "common/ui_text_table.h"
#include "platform/spooler/spooler.h"

struct ServedQueue {
    spooler::PrinterInfo2 queue;
    uint32_t modelKey = 0;  // the key of the printer-model record its driver matched
};

// The printer family code of a function or printer-model key (bits 16 to 23).
inline constexpr uint32_t kFamilyMask = 0x00FF0000;
inline constexpr uint32_t FamilyOf(uint32_t key) {
    return (key & kFamilyMask) >> 16;
}

// The hub's texts for an empty list of served queues: none of the scheduler's queues is served,
// or no scheduler answered at all.
inline constexpr int32_t kNoPrinterText = 155;
inline constexpr int32_t kNoPrintSystemText = 156;

// Every queue whose driver is named in the printer-model table, local queues first, then
// connections, each in spooler order; a queue appears once for every record that names its
// driver. A pass whose enumeration fails is skipped; `schedulerUnreachable`, when given, is set
// when one failed because no scheduler could be reached at all.
std::vector<ServedQueue> ServedQueues(const HubTables& tables,
                                      bool* schedulerUnreachable = nullptr);
