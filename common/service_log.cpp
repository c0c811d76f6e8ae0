#include "common/service_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "common/utf8.h"
#include "platform/spooler/spooler.h"
#include "platform/system/file.h"
#include "platform/system/operator_notice.h"
#include "platform/system/user_file.h"

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

// Descriptors are closed, and so unlocked, on every path.
using sys::Descriptor;

bool Lock(int fd, int operation) {
    while (::flock(fd, operation) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool IsRegularFile(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// ---- The one JSON shape the log holds ----

class LineReader {
  public:
    explicit LineReader(std::string_view text) : text_(text) {}

    void SkipSpace() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r')) {
            ++at_;
        }
    }
    bool Take(char c) {
        SkipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool Peek(char c) {
        SkipSpace();
        return at_ < text_.size() && text_[at_] == c;
    }
    bool AtEnd() {
        SkipSpace();
        return at_ == text_.size();
    }

    std::optional<std::string> String() {
        if (!Take('"')) {
            return std::nullopt;
        }
        std::string out;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') {
                // Bytes that are not UTF-8 stand escaped in the line (EscapedText).
                return UnescapedText(out);
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return std::nullopt;  // control characters stand escaped
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) {
                return std::nullopt;
            }
            const char escape = text_[at_++];
            switch (escape) {
                case '"':
                case '\\':
                case '/':
                    out += escape;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u':
                    if (!CodePoint(out)) {
                        return std::nullopt;
                    }
                    break;
                default:
                    return std::nullopt;
            }
        }
        return std::nullopt;
    }

  private:
    std::optional<uint32_t> Hex4() {
        if (text_.size() - at_ < 4) {
            return std::nullopt;
        }
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + static_cast<uint32_t>(digit);
        }
        return value;
    }

    // A \u escape (the "\u" already read), a surrogate pair taken whole, as UTF-8.
    bool CodePoint(std::string& out) {
        std::optional<uint32_t> unit = Hex4();
        if (!unit || (*unit >= 0xDC00 && *unit <= 0xDFFF)) {
            return false;
        }
        uint32_t point = *unit;
        if (point >= 0xD800 && point <= 0xDBFF) {
            if (text_.substr(at_, 2) != "\\u") {
                return false;
            }
            at_ += 2;
            std::optional<uint32_t> low = Hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                return false;
            }
            point = 0x10000 + ((point - 0xD800) << 10) + (*low - 0xDC00);
        }
        AppendUtf8(out, point);
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

// An object of string values.
std::optional<ServiceDetails> Details(LineReader& in) {
    if (!in.Take('{')) {
        return std::nullopt;
    }
    ServiceDetails details;
    if (in.Take('}')) {
        return details;
    }
    do {
        std::optional<std::string> key = in.String();
        if (!key || !in.Take(':')) {
            return std::nullopt;
        }
        std::optional<std::string> value = in.String();
        if (!value) {
            return std::nullopt;
        }
        details.emplace_back(std::move(*key), std::move(*value));
    } while (in.Take(','));
    return in.Take('}') ? std::optional<ServiceDetails>(std::move(details)) : std::nullopt;
}

// A number of exactly `width` decimal digits at `at`.
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t width) {
    if (text.size() < at + width) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string TwoDigits(long value) {
    return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
           static_cast<char>('0' + value % 10);
}

std::string NowText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) {
        return {};
    }
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff / 60;
    const long magnitude = offset < 0 ? -offset : offset;
    return std::string(text) + (offset < 0 ? '-' : '+') + TwoDigits(magnitude / 60) + ':' +
           TwoDigits(magnitude % 60);
}

}  // namespace

std::string ServiceLogPath() {
    return sys::XdgBaseDirectory("XDG_STATE_HOME", ".local/state") + "/plenwise/service.log";
}

ServiceRecord MakeServiceRecord(std::string queue, std::string driver, std::string action,
                                ServiceDetails details, std::string result) {
    return {NowText(),
            std::move(queue),
            std::move(driver),
            std::move(action),
            std::move(details),
            std::move(result),
            {}};
}

std::string JsonQuoted(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (char c : EscapedText(text, Escape::NotUtf8)) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    out += "\\u00";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0xF];
                } else {
                    out += c;
                }
        }
    }
    return out + '"';
}

std::string ServiceRecordLine(const ServiceRecord& record) {
    std::string details;
    for (const auto& [key, value] : record.details) {
        details += (details.empty() ? "" : ",") + JsonQuoted(key) + ":" + JsonQuoted(value);
    }
    return "{\"time\":" + JsonQuoted(record.time) + ",\"queue\":" + JsonQuoted(record.queue) +
           ",\"driver\":" + JsonQuoted(record.driver) + ",\"action\":" + JsonQuoted(record.action) +
           ",\"details\":{" + details + "},\"result\":" + JsonQuoted(record.result) +
           (record.server.empty() ? "" : ",\"server\":" + JsonQuoted(record.server)) + "}";
}

std::optional<ServiceRecord> ParseServiceRecord(std::string_view line) {
    LineReader in(line);
    if (!in.Take('{')) {
        return std::nullopt;
    }
    ServiceRecord record;
    std::optional<std::string> time, queue, driver, action, result, server;
    const std::pair<std::string_view, std::optional<std::string>*> fields[] = {
        {"time", &time},     {"queue", &queue},   {"driver", &driver},
        {"action", &action}, {"result", &result}, {"server", &server}};
    bool hasDetails = false;
    if (!in.Peek('}')) {
        do {
            std::optional<std::string> key = in.String();
            if (!key || !in.Take(':')) {
                return std::nullopt;
            }
            if (*key == "details") {
                std::optional<ServiceDetails> details = Details(in);
                if (!details) {
                    return std::nullopt;
                }
                record.details = std::move(*details);
                hasDetails = true;
                continue;
            }
            std::optional<std::string> value = in.String();
            if (!value) {
                return std::nullopt;
            }
            // Other keys, of a later version's records, are passed over.
            for (const auto& [name, field] : fields) {
                if (*key == name) {
                    *field = std::move(value);
                }
            }
        } while (in.Take(','));
    }
    if (!in.Take('}') || !in.AtEnd() || !hasDetails) {
        return std::nullopt;
    }
    for (const auto& [name, field] : fields) {
        if (!*field && field != &server) {
            return std::nullopt;
        }
    }
    record.time = std::move(*time);
    record.queue = std::move(*queue);
    record.driver = std::move(*driver);
    record.action = std::move(*action);
    record.result = std::move(*result);
    record.server = server.value_or("");
    return record;
}

bool AppendServiceRecord(const ServiceRecord& record, const std::string& path, std::string* error) {
    std::string line = ServiceRecordLine(record);
    if (line.size() > kLongestServiceLine) {
        if (error != nullptr) {
            *error = "the record is longer than the " + std::to_string(kLongestServiceLine) +
                     " bytes a line of the log holds";
        }
        return false;
    }
    return sys::AppendUserFileLine(path, line + '\n', error);
}

bool LogServiceAction(std::string queue, std::string driver, std::string action,
                      ServiceDetails details, std::string result) {
    std::string reason;
    ServiceRecord record = MakeServiceRecord(std::move(queue), std::move(driver), std::move(action),
                                             std::move(details), std::move(result));
    record.server = spooler::Current().Server();
    if (AppendServiceRecord(record, ServiceLogPath(), &reason)) {
        return true;
    }
    sys::TellOperator(sys::Notice::ServiceLogUnwritable,
                      "The service log cannot be written (" + reason +
                          "). The service action was done, but it is not recorded.");
    return false;
}

std::vector<ServiceRecord> ReadServiceLog(const std::string& path, std::size_t* skipped,
                                          std::string* error) {
    std::vector<ServiceRecord> records;
    std::size_t dropped = 0;
    std::string failure;
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        if (errno != ENOENT) {
            failure = std::strerror(errno);
        }
    } else if (!IsRegularFile(file.get())) {
        failure = "not a regular file";
    } else if (!Lock(file.get(), LOCK_SH)) {
        failure = std::strerror(errno);
    } else {
        std::string line;
        bool tooLong = false;
        auto finish = [&]() {
            if (tooLong) {
                ++dropped;
            } else if (!line.empty()) {
                if (std::optional<ServiceRecord> record = ParseServiceRecord(line)) {
                    records.push_back(std::move(*record));
                } else {
                    ++dropped;
                }
            }
            line.clear();
            tooLong = false;
        };
        std::vector<char> chunk(kReadChunk);
        for (;;) {
            const ssize_t got = ::read(file.get(), chunk.data(), chunk.size());
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                failure = std::strerror(errno);
            }
            if (got <= 0) {
                break;
            }
            for (ssize_t i = 0; i < got; ++i) {
                const char c = chunk[static_cast<std::size_t>(i)];
                if (c == '\n') {
                    finish();
                } else if (!tooLong) {
                    line += c;
                    if (line.size() > kLongestServiceLine) {
                        line.clear();
                        tooLong = true;
                    }
                }
            }
        }
        finish();
    }
    if (skipped != nullptr) {
        *skipped = dropped;
    }
    if (error != nullptr) {
        *error = failure;
    }
    return records;
}

std::optional<int64_t> ServiceTimeSeconds(std::string_view text) {
    std::tm parts{};
    const std::optional<int> year = Digits(text, 0, 4);
    const std::optional<int> month = Digits(text, 5, 2);
    const std::optional<int> day = Digits(text, 8, 2);
    if (!year || !month || !day || text[4] != '-' || text[7] != '-' || *month < 1 || *month > 12 ||
        *day < 1 || *day > DaysInMonth(*year, *month)) {
        return std::nullopt;
    }
    parts.tm_year = *year - 1900;
    parts.tm_mon = *month - 1;
    parts.tm_mday = *day;
    std::size_t at = 10;
    if (at < text.size() && (text[at] == 'T' || text[at] == ' ')) {
        const std::optional<int> hour = Digits(text, at + 1, 2);
        const std::optional<int> minute = Digits(text, at + 4, 2);
        if (!hour || !minute || text[at + 3] != ':' || *hour > 23 || *minute > 59) {
            return std::nullopt;
        }
        parts.tm_hour = *hour;
        parts.tm_min = *minute;
        at += 6;
        if (at < text.size() && text[at] == ':') {
            const std::optional<int> second = Digits(text, at + 1, 2);
            if (!second || *second > 60) {
                return std::nullopt;
            }
            parts.tm_sec = *second;
            at += 3;
        }
    }
    std::string_view zone = text.substr(at);
    if (zone.empty()) {
        parts.tm_isdst = -1;
        const std::time_t local = std::mktime(&parts);
        return local == static_cast<std::time_t>(-1) ? std::nullopt : std::optional<int64_t>(local);
    }
    int64_t offset = 0;
    if (zone != "Z") {
        const std::optional<int> hours = Digits(zone, 1, 2);
        const std::optional<int> minutes = Digits(zone, 4, 2);
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' || !hours ||
            !minutes || *hours > 23 || *minutes > 59) {
            return std::nullopt;
        }
        offset = (*hours * 60 + *minutes) * 60 * (zone[0] == '-' ? -1 : 1);
    }
    return static_cast<int64_t>(::timegm(&parts)) - offset;
}
