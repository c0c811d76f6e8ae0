// The service log: one line per service action that reached a printer or the driver's files,
// written by the program and by plenwise-cli alike, so that a technician can see afterwards what
// was done to which printer, when, and with what result.
//
// The log is $XDG_STATE_HOME/plenwise/service.log (~/.local/state when XDG_STATE_HOME is unset or
// relative), one JSON object per line:
//   {"time":"2024-05-02T14:03:11+02:00","queue":"WL4000","driver":"ARVEN WL-4000",
//    "action":"power-cleaning","details":{},"result":"sent","server":"printhost:631"}
// "server" names the print server of the queue (spooler::ServerName); records written before it
// was kept lack it. Every value is a string; "details" holds strings only. Lines are appended whole
// under an exclusive lock, so writers in several processes never interleave; a line that does not
// parse (the torn tail of a writer that crashed) is skipped by the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the program records, by action.
inline constexpr const char* kActionPowerCleaning = "power-cleaning";
inline constexpr const char* kActionFirmwareDownload = "firmware-download";
inline constexpr const char* kActionHeadGapRegistration = "head-gap-registration";
inline constexpr const char* kActionSettingRegistration = "setting-registration";
inline constexpr const char* kActionSettingExport = "setting-export";

// Results: handed to the printer's queue (the printer's own outcome is not followed), done and
// confirmed, or failed.
inline constexpr const char* kResultSent = "sent";
inline constexpr const char* kResultDone = "done";
inline constexpr const char* kResultFailed = "failed";

using ServiceDetails = std::vector<std::pair<std::string, std::string>>;

struct ServiceRecord {
    std::string time;  // local time with its UTC offset, ISO 8601: 2024-05-02T14:03:11+02:00
    std::string queue;
    std::string driver;
    std::string action;
    ServiceDetails details;
    std::string result;
    std::string server = {};  // "" in a record that does not name its print server

    friend bool operator==(const ServiceRecord&, const ServiceRecord&) = default;
};

// The log's path, following the environment at the time of the call.
std::string ServiceLogPath();

// A record of an action done now.
ServiceRecord MakeServiceRecord(std::string queue, std::string driver, std::string action,
                                ServiceDetails details, std::string result);

// The longest line the log keeps, line feed not counted: the reader skips a longer one, so the
// writer refuses to write it.
inline constexpr std::size_t kLongestServiceLine = 64 * 1024;

// Appends the record as one line (sys::AppendUserFileLine), creating the log and its folders
// when missing. False, with the reason in `error` when given, when it could not be written or is
// longer than kLongestServiceLine; the log is then unchanged.
bool AppendServiceRecord(const ServiceRecord& record, const std::string& path,
                         std::string* error = nullptr);

// What the service functions call: the record of an action done now on a queue of the current
// spooler's print server, appended to the log. A log
// that cannot be written does not stop the action: the operator is told why, once per session
// (sys::Notice::ServiceLogUnwritable), and the result says whether it was recorded.
bool LogServiceAction(std::string queue, std::string driver, std::string action,
                      ServiceDetails details, std::string result);

// The records of the log in file order. Lines that do not parse, and lines longer than
// kLongestServiceLine, are skipped (and counted in `skipped` when given). A missing log has none;
// one that is there but cannot be read (no permission, not a regular file, a failed read) sets
// `error`, when given, to the reason ("" otherwise), and gives the records read before.
std::vector<ServiceRecord> ReadServiceLog(const std::string& path, std::size_t* skipped = nullptr,
                                          std::string* error = nullptr);

// One record as its log line, without the line feed; and back. Any text that is not exactly
// such an object (other value types, missing fields, trailing characters) gives none.
std::string ServiceRecordLine(const ServiceRecord& record);
std::optional<ServiceRecord> ParseServiceRecord(std::string_view line);

// A JSON string literal of the text, always valid UTF-8: bytes that are not UTF-8 are written as
// EscapedText writes them ("\xNN" in the string's value), then quotes, backslashes and control
// characters are escaped as JSON requires. The reader maps such values back to the bytes.
std::string JsonQuoted(std::string_view text);

// Seconds since the epoch of a record's time, or of a time the user gives in local time
// ("2024-05-02", "2024-05-02 14:03", "2024-05-02T14:03:11", each optionally followed by "Z" or
// an offset such as "+02:00"); none when the text is no such time, or names a day that does not
// exist (2024-02-30).
std::optional<int64_t> ServiceTimeSeconds(std::string_view text);
