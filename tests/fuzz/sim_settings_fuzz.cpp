// The simulator's configuration file, the same keys set one by one, and the addresses and device
// URIs it reads. A configuration either fails with the number of a line it has, or gives
// printers whose settings, written out and read again, are the same; an address or URI that
// reads reads the same once formatted.
#include <algorithm>
#include <string>

#include "sim/printer/settings.h"
#include "sim/printer/wire.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

size_t LineCount(std::string_view text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    std::string error;
    const auto settings = printersim::ParseSettings(text, "/base", error);
    if (!settings) {
        FUZZ_CHECK(error.starts_with("line "));
        const size_t line = std::stoul(error.substr(5));
        FUZZ_CHECK(line >= 1 && line <= LineCount(text));
    } else {
        FUZZ_CHECK(!settings->journalDir.empty());
        for (const printersim::PrinterSettings& printer : settings->printers) {
            FUZZ_CHECK(simwire::IsValidPrinterId(printer.id));
            const std::string written = printersim::FormatPrinterSettings(printer);
            const std::string again = "[printer " + printer.id + "]\n" + written;
            std::string againError;
            const auto reread = printersim::ParseSettings(again, "/base", againError);
            FUZZ_CHECK(reread && reread->printers.size() == 1);
            FUZZ_CHECK(printersim::FormatPrinterSettings(reread->printers.front()) == written);
        }
        const auto endpoint = simwire::ParseEndpoint(simwire::FormatEndpoint(settings->listen));
        FUZZ_CHECK(endpoint && endpoint->host == settings->listen.host &&
                   endpoint->port == settings->listen.port);
    }

    // The first line as "key value" for one printer, as "ctl set" gives it.
    const std::string_view first = text.substr(0, text.find('\n'));
    const size_t blank = first.find(' ');
    printersim::PrinterSettings printer;
    printer.id = "p";
    if (blank != std::string_view::npos &&
        printersim::ApplyPrinterSetting(printer, first.substr(0, blank), first.substr(blank + 1))
            .empty()) {
        const std::string written = printersim::FormatPrinterSettings(printer);
        std::string againError;
        const auto reread = printersim::ParseSettings("[printer p]\n" + written, "", againError);
        FUZZ_CHECK(reread && reread->printers.size() == 1);
        FUZZ_CHECK(printersim::FormatPrinterSettings(reread->printers.front()) == written);
    }

    if (const auto uri = simwire::ParseDeviceUri(first)) {
        const auto again = simwire::ParseDeviceUri(simwire::FormatDeviceUri(*uri));
        FUZZ_CHECK(again && again->printerId == uri->printerId &&
                   again->endpoint.host == uri->endpoint.host &&
                   again->endpoint.port == uri->endpoint.port);
    }
    return 0;
}
