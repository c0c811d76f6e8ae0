// Firmware files and versions: the version field read from a file of any length, the model class
// and number of any six characters, and the transfer job, which must carry the file byte for
// byte behind its lead-in and model header, or be empty.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>

#include "fwload/firmware_file.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/memory_spooler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    FirmwareVersion printer{};
    const std::string reply = input.ConsumeBytesAsString(kFirmwareVersionLength);
    std::copy(reply.begin(), reply.end(), printer.begin());
    const std::vector<uint8_t> content = input.ConsumeRemainingBytes<uint8_t>();
    const std::string path = fuzz::ScratchDir() + "/firmware.bin";
    fuzz::WriteFile(path, content.data(), content.size());

    FirmwareVersion version;
    version.fill('?');
    FUZZ_CHECK(ReadFileVersion(path, version));
    for (size_t i = 0; i < version.size(); ++i) {
        const bool held =
            i < kFirmwareVersionLength && content.size() >= 16 + kFirmwareVersionLength;
        FUZZ_CHECK(version[i] == (held ? static_cast<char>(content[16 + i]) : '\0'));
    }
    FUZZ_CHECK(FirmwareVersionText(version).size() <= kFirmwareVersionLength);
    FUZZ_CHECK(FirmwareVersionText(printer).size() <= kFirmwareVersionLength);
    const int printerClass = FirmwareModelClass(printer);
    FUZZ_CHECK(printerClass >= 0 && printerClass <= 2);
    FUZZ_CHECK(FirmwareNumber(version) <= 0xFFFF);
    const FirmwareFit fit = CheckFirmwareFit(printer, version, content.size());
    if (FirmwareModelClass(version) != printerClass) {
        FUZZ_CHECK(fit == FirmwareFit::OtherModel);
    }
    FUZZ_CHECK(CheckFirmwareFit(printer, printer, 0) != FirmwareFit::Older);

    spooler::ScopedMemorySpooler memory;
    memory->AddQueue("P", "ARVEN WL-4000", "plenwise://127.0.0.1:1/p");
    const auto header = FirmwareModelHeader(printer);
    FirmwareJob firmware;
    FUZZ_CHECK(firmware.ReadFile(path) == FirmwareJob::Read::Whole);
    FUZZ_CHECK(firmware.Version() == version && firmware.FileSize() == content.size());
    const bool sent = firmware.Send("P", printer).value_or(false);
    FUZZ_CHECK(sent == header.has_value());
    FUZZ_CHECK(memory->Documents().size() == 1);
    const std::string& job = memory->Documents().front().bytes;
    if (!sent) {
        FUZZ_CHECK(job.empty());
        return 0;
    }
    FUZZ_CHECK(job.size() == kFirmwareJobOverhead + content.size());
    FUZZ_CHECK(std::all_of(job.begin(), job.begin() + kFirmwareLeadInLength,
                           [](char c) { return static_cast<uint8_t>(c) == kFirmwareLeadInByte; }));
    FUZZ_CHECK(std::memcmp(job.data() + kFirmwareLeadInLength, header->data(), header->size()) ==
               0);
    FUZZ_CHECK(content.empty() ||
               std::memcmp(job.data() + kFirmwareJobOverhead, content.data(), content.size()) == 0);
    return 0;
}
