#include "common/served_queues.h"

std::vector<ServedQueue> ServedQueues(const HubTables& tables, bool* schedulerUnreachable) {
    std::vector<ServedQueue> served;
    bool unreachable = false;
    for (uint32_t pass : {spooler::kEnumLocal, spooler::kEnumConnections}) {
        std::vector<spooler::PrinterInfo2> queues;
        if (!spooler::Current().EnumPrinters(pass, queues)) {
            unreachable = unreachable || spooler::Current().SchedulerUnreachable();
            if (unreachable) {
                break;  // a scheduler that did not answer one pass would hold up the next too
            }
            continue;  // that pass is skipped, as when its buffer cannot be had
        }
        for (const spooler::PrinterInfo2& queue : queues) {
            for (int32_t model = 0; model < tables.PrinterModelCount(); ++model) {
                if (queue.driverName == tables.PrinterModelDriver(model)) {
                    served.push_back({queue, tables.PrinterModelKey(model)});
                }
            }
        }
    }
    if (schedulerUnreachable != nullptr) {
        *schedulerUnreachable = unreachable;
    }
    return served;
}
