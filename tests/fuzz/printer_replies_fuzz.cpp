// The printer's replies over the communication library: the channel list, the device id, the
// status with its "ST:" and "INK:" fields, the "PW" paper-width replies and the firmware version
// by control request and by SNMP. The library (fuzz_abapi.cpp, bound as ABAPI.so by the
// program's own binding) answers from the input. Every query must end, and answer only what the
// replies hold.
#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "common/printer_link.h"
#include "common/remote_commands.h"
#include "platform/system/clock.h"
#include "platform/system/module.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

PrinterLink* boundLink = nullptr;
void (*stage)(const uint8_t*, size_t) = nullptr;

constexpr const char* kPrinter = "P";
constexpr const char* kModel = "ARVEN WL-4000";

bool IsOneOf(int value, std::initializer_list<int> allowed) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    boundLink = new PrinterLink(LinkVariant::Util);
    if (!boundLink->Bind(kPrinter, true)) {
        std::fprintf(stderr, "ABAPI.so beside the fuzz target cannot be bound\n");
        std::abort();
    }
    const std::string program = sys::ExecutablePath();
    const std::string beside = program.substr(0, program.rfind('/') + 1) + "ABAPI.so";
    void* library = dlopen(beside.c_str(), RTLD_NOW | RTLD_NOLOAD);
    stage = library != nullptr
                ? reinterpret_cast<void (*)(const uint8_t*, size_t)>(dlsym(library, "FuzzStage"))
                : nullptr;
    if (stage == nullptr) {
        std::fprintf(stderr, "the bound ABAPI.so is not the fuzz target's\n");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stage(data, size);
    sys::VirtualClock clock;
    sys::ScopedClock installed(clock);

    const int32_t channel = boundLink->SelectChannel(kPrinter);
    // A channel is one the program prefers, or a result passed on: a code of one byte from
    // this library, or a failure of the list query (0 or below).
    FUZZ_CHECK(channel <= 127 || IsOneOf(channel, {static_cast<int>(kControlChannel), 0x10000005,
                                                   0x10000003, 0x02000001}));

    PrinterQueries queries(*boundLink, kPrinter, static_cast<int32_t>(kControlChannel), kModel);
    queries.PrinterReady(1);
    FUZZ_CHECK(clock.Sleeps().empty());
    queries.PrinterReady(3);
    FUZZ_CHECK(clock.Sleeps().size() <= 3);
    FUZZ_CHECK(IsOneOf(queries.PrinterInkSet(InkSetTable::Util), {-1, 1, 2}));
    FUZZ_CHECK(IsOneOf(queries.PrinterInkSet(InkSetTable::AltUtil), {-1, 1, 2, 3, 4}));
    // Four hexadecimal digits in 1/360 inch at most, or no answer.
    const int width = queries.PrinterPaperWidth();
    FUZZ_CHECK(width >= -1 && width <= 0xFFFF / 360);

    for (uint32_t versionChannel : {kControlChannel, kSnmpChannel}) {
        queries.SetChannel(static_cast<int32_t>(versionChannel));
        std::array<char, 6> version;
        version.fill('#');
        queries.PrinterFirmwareVersion(version, 1000);
        // Each character is the one it was, one from the reply, or the zero the reply buffer
        // holds behind a short reply.
        for (char c : version) {
            FUZZ_CHECK(c == '#' || c == '\0' || std::memchr(data, c, size) != nullptr);
        }
    }
    return 0;
}
