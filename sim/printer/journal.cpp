#include "sim/printer/journal.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace printersim {

namespace fs = std::filesystem;

std::string FormatWallTime(std::chrono::system_clock::time_point time) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    std::time_t seconds = static_cast<std::time_t>(ms.count() / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[80];
    snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
             utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
             static_cast<int>(ms.count() % 1000));
    return text;
}

Journal::Journal(std::string folder) : folder_(std::move(folder)) {}

bool Journal::Open(std::string& error) {
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (!fs::is_directory(folder_, ec)) {
        error = "cannot create journal folder " + folder_;
        return false;
    }
    uint64_t highest = 0;
    for (const auto& file : fs::directory_iterator(folder_, ec)) {
        std::string name = file.path().filename().string();
        size_t digits = name.find_first_not_of("0123456789");
        if (digits >= 6 && digits <= 12 && digits != std::string::npos && name[digits] == '-') {
            highest = std::max<uint64_t>(highest, std::stoull(name.substr(0, digits)));
        }
    }
    std::lock_guard lock(mutex_);
    next_ = highest + 1;
    return true;
}

uint64_t Journal::NextNumber() {
    std::lock_guard lock(mutex_);
    return next_++;
}

std::string Journal::FormatNumber(uint64_t number) {
    char text[24];
    snprintf(text, sizeof text, "%06llu", static_cast<unsigned long long>(number));
    return text;
}

bool Journal::WriteFile(const std::string& name, const void* data, size_t length) {
    fs::path target = fs::path(folder_) / name;
    fs::path temporary = target;
    temporary += ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(length));
        if (!out.flush()) {
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    return !ec;
}

void Journal::AppendLine(const std::string& name, const std::string& line) {
    std::ofstream out(fs::path(folder_) / name, std::ios::app);
    out << line << '\n';
}

std::string Journal::FormatRecord(const JournalEntry& entry) {
    std::string text;
    text += "entry: " + FormatNumber(entry.number) + "\n";
    text += "printer: " + entry.printerId + "\n";
    text += "queue: " + entry.queue + "\n";
    text += "title: " + entry.title + "\n";
    text += "user: " + entry.user + "\n";
    text += "cups-job: " + entry.cupsJob + "\n";
    text += "received: " + entry.received + "\n";
    text += "state: " + entry.state + "\n";
    if (!entry.finished.empty()) {
        text += "finished: " + entry.finished + "\n";
    }
    text += "kind: " + entry.kind + "\n";
    text += "bytes: " + std::to_string(entry.length) + "\n";
    text += "files:";
    for (const auto& file : entry.files) {
        text += " " + file;
    }
    text += "\ndecoded:\n";
    for (const auto& line : entry.decoded) {
        text += "  " + line + "\n";
    }
    text += "effects:\n";
    for (const auto& line : entry.effects) {
        text += "  " + line + "\n";
    }
    return text;
}

std::string Journal::FormatSummary(const JournalEntry& entry) {
    std::string text = FormatNumber(entry.number) + " " + entry.received + " " + entry.printerId +
                       " queue=" + entry.queue + " \"" + entry.title + "\" " +
                       std::to_string(entry.length) + " bytes: " + entry.kind;
    for (size_t i = 0; i < entry.effects.size(); ++i) {
        text += (i == 0 ? " -> " : "; ") + entry.effects[i];
    }
    return text;
}

bool Journal::Write(JournalEntry& entry, const std::vector<uint8_t>& job,
                    const std::vector<std::pair<size_t, size_t>>& pdfs, std::string& error) {
    std::string stem = FormatNumber(entry.number) + "-" + entry.printerId;
    entry.files = {stem + ".bin"};
    bool ok = WriteFile(entry.files[0], job.data(), job.size());
    for (size_t i = 0; i < pdfs.size(); ++i) {
        std::string name = stem + "-" + std::to_string(i + 1) + ".pdf";
        ok = WriteFile(name, job.data() + pdfs[i].first, pdfs[i].second) && ok;
        entry.files.push_back(name);
    }
    std::string record = FormatRecord(entry);
    ok = WriteFile(stem + ".txt", record.data(), record.size()) && ok;
    std::lock_guard lock(mutex_);
    AppendLine("journal.log", FormatSummary(entry));
    entries_.push_back(entry);
    if (!ok) {
        error = "cannot write journal files of entry " + stem + " in " + folder_;
    }
    return ok;
}

void Journal::Finish(uint64_t number, const std::string& state, const std::string& finished) {
    std::lock_guard lock(mutex_);
    for (auto& entry : entries_) {
        if (entry.number == number) {
            entry.state = state;
            entry.finished = finished;
            std::string record = FormatRecord(entry);
            WriteFile(FormatNumber(number) + "-" + entry.printerId + ".txt", record.data(),
                      record.size());
        }
    }
}

void Journal::LogQuery(const std::string& line) {
    std::lock_guard lock(mutex_);
    AppendLine("queries.log", line);
}

std::vector<JournalEntry> Journal::Entries() {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::optional<JournalEntry> Journal::Find(uint64_t number) {
    std::lock_guard lock(mutex_);
    for (const auto& entry : entries_) {
        if (entry.number == number) {
            return entry;
        }
    }
    return std::nullopt;
}

}  // namespace printersim
