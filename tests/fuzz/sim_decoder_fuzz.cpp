// The simulated printer's job decoder and what a printer makes of a decoded job. The items of a
// job follow each other without gap or overlap from its first byte to its last; what an item
// carries lies inside it; a job's effects on a printer are applied whatever the job holds.
#include <algorithm>

#include "sim/printer/clock.h"
#include "sim/printer/decoder.h"
#include "sim/printer/printer.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> job(data, size);
    const printersim::DecodedJob decoded = printersim::DecodeJob(job);
    size_t next = 0;
    for (const printersim::DecodedItem& item : decoded.items) {
        FUZZ_CHECK(item.offset == next && item.length > 0 && item.length <= size - item.offset);
        next = item.offset + item.length;
        if (item.kind == printersim::ItemKind::kRemoteCommand) {
            FUZZ_CHECK(item.command.size() == 2 && item.length == 4 + item.params.size());
            FUZZ_CHECK(std::equal(item.params.begin(), item.params.end(), data + item.offset + 4));
        }
        if (item.kind == printersim::ItemKind::kFirmwareTransfer ||
            item.kind == printersim::ItemKind::kPdf) {
            FUZZ_CHECK(item.dataOffset >= item.offset &&
                       item.dataLength <= item.offset + item.length - item.dataOffset);
        }
        if (item.kind == printersim::ItemKind::kPdf) {
            (void)printersim::CountPdfPages(job.subspan(item.dataOffset, item.dataLength));
        }
        (void)printersim::IsWellFormedCommand(item);
        FUZZ_CHECK(!printersim::DescribeItem(item, job).empty());
    }
    FUZZ_CHECK(next == size);
    FUZZ_CHECK(!printersim::ClassifyJob(decoded, size).empty());
    const std::string version = printersim::FirmwareFileVersion(job);
    FUZZ_CHECK(version.size() == (size >= 22 ? 6 : 0));
    const int versionClass = printersim::FirmwareVersionClass(version);
    FUZZ_CHECK(versionClass >= 0 && versionClass <= 2);

    printersim::ManualClock clock;
    printersim::SimulatedPrinter printer(printersim::PrinterSettings{}, clock);
    (void)printer.ApplyJob(decoded, job);
    clock.Shutdown();
    return 0;
}
