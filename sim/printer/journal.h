// The journal folder: every received job as its raw bytes, a readable record of what the
// printer made of it, its PDF documents, and one line per job in journal.log. Queries are
// logged to queries.log. Entries are numbered on from the highest number already in the folder.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace printersim {

struct JournalEntry {
    uint64_t number = 0;
    std::string printerId;
    std::string queue;
    std::string title;
    std::string user;
    std::string cupsJob;
    std::string received;            // ISO 8601 UTC
    std::string state = "printing";  // then "done", or "stopped" when the simulator ended first
    std::string finished;            // when the state left "printing"
    std::string kind;                // e.g. "power cleaning"
    size_t length = 0;
    std::vector<std::string> decoded;
    std::vector<std::string> effects;
    std::vector<std::string> files;  // names inside the folder: raw bytes first, then PDFs
};

class Journal {
  public:
    explicit Journal(std::string folder);

    // Creates the folder when needed and finds the next entry number.
    bool Open(std::string& error);
    const std::string& folder() const { return folder_; }

    uint64_t NextNumber();
    // Writes the raw bytes, the PDF documents (offset and length in the job) and the record.
    bool Write(JournalEntry& entry, const std::vector<uint8_t>& job,
               const std::vector<std::pair<size_t, size_t>>& pdfs, std::string& error);
    // Records the end of printing (state "done" or "stopped") and rewrites the record.
    void Finish(uint64_t number, const std::string& state, const std::string& finished);
    void LogQuery(const std::string& line);

    std::vector<JournalEntry> Entries();
    std::optional<JournalEntry> Find(uint64_t number);

    static std::string FormatRecord(const JournalEntry& entry);
    // One line: number, time, printer, queue, title, size, kind and effects.
    static std::string FormatSummary(const JournalEntry& entry);
    static std::string FormatNumber(uint64_t number);

  private:
    bool WriteFile(const std::string& name, const void* data, size_t length);
    void AppendLine(const std::string& name, const std::string& line);

    std::string folder_;
    std::mutex mutex_;
    uint64_t next_ = 1;
    std::vector<JournalEntry> entries_;
};

// Time as 2024-01-01T00:00:00.000Z.
std::string FormatWallTime(std::chrono::system_clock::time_point time);

}  // namespace printersim
