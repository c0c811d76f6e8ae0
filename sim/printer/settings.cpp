#include "sim/printer/settings.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace printersim {

namespace {

constexpr std::array<std::pair<std::string_view, Fault>, 5> kFaultNames = {{
    {"device-id-no-semicolon", kFaultDeviceIdNoSemicolon},
    {"status-no-st", kFaultStatusNoSt},
    {"status-no-ink", kFaultStatusNoInk},
    {"paper-width-silent", kFaultPaperWidthSilent},
    {"snmp-short", kFaultSnmpShort},
}};

constexpr std::array<std::string_view, 3> kTimingKeys = {"print-ms", "cleaning-ms", "firmware-ms"};

std::string_view Trim(std::string_view text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) {
        return {};
    }
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

std::vector<std::string_view> SplitList(std::string_view text) {
    std::vector<std::string_view> items;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(", \t", pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > pos) {
            items.push_back(text.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    return items;
}

std::optional<uint64_t> ParseNumber(std::string_view text, uint64_t max) {
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return std::nullopt;
    }
    std::string copy(text);
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(copy.c_str(), &end, 0);
    if (errno != 0 || end != copy.c_str() + copy.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

// Texts that go into device id and status answers: printable, and no ';' that would end a field.
bool IsFieldText(std::string_view text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7E || c == ';') {
            return false;
        }
    }
    return true;
}

bool IsStatusCode(std::string_view code) {
    return code.size() == 2 && IsFieldText(code);
}

}  // namespace

std::string FormatHexNumber(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string ApplyPrinterSetting(PrinterSettings& printer, std::string_view key,
                                std::string_view value) {
    value = Trim(value);
    if (key == "description") {
        if (value.empty() || !IsFieldText(value)) {
            return "description must be printable text without ';'";
        }
        printer.description = std::string(value);
    } else if (key == "device-id") {
        for (char c : value) {
            if (c < 0x20 || c > 0x7E) {
                return "device-id must be printable text";
            }
        }
        printer.deviceIdOverride = std::string(value);
    } else if (key == "status") {
        if (!IsStatusCode(value)) {
            return "status must be a two-character code such as 04";
        }
        printer.status = std::string(value);
    } else if (key == "readiness") {
        std::vector<std::string> codes;
        for (auto code : SplitList(value)) {
            if (!IsStatusCode(code)) {
                return "readiness must list two-character status codes, e.g. 02,02,04";
            }
            codes.emplace_back(code);
        }
        printer.readiness = std::move(codes);
    } else if (key == "ink") {
        if (!IsFieldText(value)) {
            return "ink must be printable text without ';'";
        }
        printer.ink = std::string(value);
    } else if (key == "paper-width") {
        auto items = SplitList(value);
        if (items.empty() || items.size() > 2) {
            return "paper-width takes one or two widths in 1/360 inch (or none)";
        }
        std::optional<uint32_t> widths[2];
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i] == "none") {
                continue;
            }
            auto width = ParseNumber(items[i], 0xFFFFFFFFu);
            if (!width) {
                return "paper-width must be a number of 1/360 inch or none";
            }
            widths[i] = static_cast<uint32_t>(*width);
        }
        printer.paperWidth[0] = widths[0];
        printer.paperWidth[1] = items.size() == 1 ? widths[0] : widths[1];
    } else if (key == "firmware") {
        if (value.size() != 6 || !IsFieldText(value)) {
            return "firmware must be six printable characters, e.g. BN0102";
        }
        printer.firmware = std::string(value);
    } else if (key == "channels") {
        std::vector<ChannelEntry> channels;
        for (auto item : SplitList(value)) {
            size_t colon = item.find(':');
            auto id = ParseNumber(item.substr(0, colon), 0xFFFFFFFFu);
            auto flags = colon == std::string_view::npos
                             ? std::optional<uint64_t>(1)
                             : ParseNumber(item.substr(colon + 1), 0xFFFFFFFFu);
            if (!id || !flags) {
                return "channels must list id:flags pairs, e.g. 0x10010003:1, 4:0";
            }
            channels.push_back({static_cast<uint32_t>(*id), static_cast<uint32_t>(*flags)});
        }
        printer.channels = std::move(channels);
    } else if (key == "faults") {
        unsigned faults = 0;
        for (auto name : SplitList(value)) {
            if (name == "none") {
                continue;
            }
            bool known = false;
            for (auto& [faultName, fault] : kFaultNames) {
                if (name == faultName) {
                    faults |= fault;
                    known = true;
                }
            }
            if (!known) {
                return "unknown fault '" + std::string(name) + "'";
            }
        }
        printer.faults = faults;
    } else if (key == "snmp-port") {
        if (value == "off") {
            printer.snmpPort.reset();
        } else if (auto port = ParseNumber(value, 65535)) {
            printer.snmpPort = static_cast<uint16_t>(*port);
        } else {
            return "snmp-port must be a port number, 0 for any free port, or off";
        }
    } else if (key == "print-ms" || key == "cleaning-ms" || key == "firmware-ms") {
        auto ms = ParseNumber(value, 24ull * 3600 * 1000);
        if (!ms) {
            return std::string(key) + " must be a number of milliseconds";
        }
        Millis& target = key == "print-ms"      ? printer.printMs
                         : key == "cleaning-ms" ? printer.cleaningMs
                                                : printer.firmwareMs;
        target = static_cast<Millis>(*ms);
    } else {
        return "unknown printer key '" + std::string(key) + "'";
    }
    return {};
}

std::string FormatPrinterSettings(const PrinterSettings& printer) {
    auto join = [](const auto& items, auto format) {
        std::string text;
        for (const auto& item : items) {
            text += (text.empty() ? "" : ",") + format(item);
        }
        return text;
    };
    auto width = [](const std::optional<uint32_t>& w) {
        return w ? std::to_string(*w) : std::string("none");
    };
    std::string faults;
    for (auto& [name, fault] : kFaultNames) {
        if (printer.faults & fault) {
            faults += (faults.empty() ? "" : ",") + std::string(name);
        }
    }
    std::string text;
    text += "description = " + printer.description + "\n";
    if (!printer.deviceIdOverride.empty()) {
        text += "device-id = " + printer.deviceIdOverride + "\n";
    }
    text += "status = " + printer.status + "\n";
    text += "readiness = " + join(printer.readiness, [](const std::string& s) { return s; }) + "\n";
    text += "ink = " + printer.ink + "\n";
    text +=
        "paper-width = " + width(printer.paperWidth[0]) + "," + width(printer.paperWidth[1]) + "\n";
    text += "firmware = " + printer.firmware + "\n";
    text += "channels = " +
            join(printer.channels,
                 [](const ChannelEntry& c) {
                     return FormatHexNumber(c.id) + ":" + FormatHexNumber(c.flags);
                 }) +
            "\n";
    text += "faults = " + (faults.empty() ? std::string("none") : faults) + "\n";
    text += "snmp-port = " +
            (printer.snmpPort ? std::to_string(*printer.snmpPort) : std::string("off")) + "\n";
    text += "print-ms = " + std::to_string(printer.printMs) + "\n";
    text += "cleaning-ms = " + std::to_string(printer.cleaningMs) + "\n";
    text += "firmware-ms = " + std::to_string(printer.firmwareMs) + "\n";
    return text;
}

std::optional<SimulatorSettings> ParseSettings(std::string_view text, const std::string& baseDir,
                                               std::string& error) {
    SimulatorSettings settings;
    PrinterSettings defaults;  // timings of the [simulator] section
    std::vector<std::set<std::string, std::less<>>> explicitTimings;
    enum class Section { kNone, kSimulator, kPrinter } section = Section::kNone;
    size_t lineNumber = 0;
    auto fail = [&](const std::string& message) {
        error = "line " + std::to_string(lineNumber) + ": " + message;
        return std::nullopt;
    };

    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                return fail("section header without ']'");
            }
            std::string_view name = Trim(line.substr(1, line.size() - 2));
            if (name == "simulator") {
                section = Section::kSimulator;
            } else if (name.substr(0, 8) == "printer ") {
                std::string_view id = Trim(name.substr(8));
                if (!simwire::IsValidPrinterId(id)) {
                    return fail("printer id must be letters, digits, '.', '_' or '-'");
                }
                for (const auto& other : settings.printers) {
                    if (other.id == id) {
                        return fail("printer '" + std::string(id) + "' defined twice");
                    }
                }
                settings.printers.emplace_back().id = std::string(id);
                explicitTimings.emplace_back();
                section = Section::kPrinter;
            } else {
                return fail("unknown section [" + std::string(name) + "]");
            }
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return fail("expected key = value");
        }
        std::string_view key = Trim(line.substr(0, equals));
        std::string_view value = Trim(line.substr(equals + 1));
        if (section == Section::kSimulator) {
            if (key == "listen") {
                auto endpoint = simwire::ParseEndpoint(value);
                if (!endpoint || !simwire::IsLoopbackHost(endpoint->host)) {
                    return fail(
                        "listen must be a loopback address with a port, e.g. "
                        "127.0.0.1:0");
                }
                settings.listen = *endpoint;
            } else if (key == "journal") {
                if (value.empty()) {
                    return fail("journal must name a folder");
                }
                settings.journalDir = value.front() == '/' || baseDir.empty()
                                          ? std::string(value)
                                          : baseDir + "/" + std::string(value);
            } else if (std::find(kTimingKeys.begin(), kTimingKeys.end(), key) !=
                       kTimingKeys.end()) {
                if (auto message = ApplyPrinterSetting(defaults, key, value); !message.empty()) {
                    return fail(message);
                }
            } else {
                return fail("unknown simulator key '" + std::string(key) + "'");
            }
        } else if (section == Section::kPrinter) {
            if (auto message = ApplyPrinterSetting(settings.printers.back(), key, value);
                !message.empty()) {
                return fail(message);
            }
            explicitTimings.back().emplace(key);
        } else {
            return fail("key outside of a section");
        }
    }

    for (size_t i = 0; i < settings.printers.size(); ++i) {
        auto& printer = settings.printers[i];
        if (!explicitTimings[i].contains("print-ms")) {
            printer.printMs = defaults.printMs;
        }
        if (!explicitTimings[i].contains("cleaning-ms")) {
            printer.cleaningMs = defaults.cleaningMs;
        }
        if (!explicitTimings[i].contains("firmware-ms")) {
            printer.firmwareMs = defaults.firmwareMs;
        }
    }
    return settings;
}

}  // namespace printersim
