// The texts by number that every module reads from its data file, and the hub's further tables.
// The file's layout is described in docs/data-files.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/system/language.h"

// One table of a data file: its fixed-size records in file order, kept in one block.
// Reading a field of a record or an offset outside the table yields 0 or "".
class RecordTable {
  public:
    RecordTable() = default;
    RecordTable(std::size_t recordSize, std::vector<std::byte> bytes);

    int32_t Count() const;
    bool Contains(int32_t index) const { return index >= 0 && index < Count(); }
    uint32_t UInt32At(int32_t index, std::size_t offset) const;
    int32_t Int32At(int32_t index, std::size_t offset) const;
    // A NUL-terminated string in a field of `capacity` bytes; without a NUL it ends with the field.
    std::string StringAt(int32_t index, std::size_t offset, std::size_t capacity) const;

  private:
    const std::byte* Field(int32_t index, std::size_t offset, std::size_t width) const;

    std::size_t recordSize_ = 0;
    std::vector<std::byte> bytes_;
};

class UiTextTable {
  public:
    UiTextTable();
    virtual ~UiTextTable();
    UiTextTable(const UiTextTable&) = delete;
    UiTextTable& operator=(const UiTextTable&) = delete;

    // Reads the text table, the first table of the file. A file that cannot be read leaves every
    // table empty; nothing is reported.
    virtual void Load(const std::string& path);

    // The text of the first record with that number, backslash-n turned into '\n'; "" when none.
    std::string GetText(int32_t number) const;

    // Whether the last Load found the whole file of this module's tables: the file opened, and
    // every table the module reads has records and is there whole (not cut short, no absurd
    // count). A module whose data file is not complete is not completely installed.
    bool Complete() const { return complete_; }

  protected:
    // Tables are bounded so that a corrupt count cannot make a module allocate (and zero) vast
    // amounts of memory; a table larger than this counts as unallocatable, hence empty. The real
    // tables are a few hundred kilobytes at most.
    static constexpr std::size_t kMaxTableBytes = std::size_t{16} << 20;

    // Opens a data file for reading. A file that cannot be opened gives a failed stream, from
    // which every table reads as empty.
    static std::ifstream OpenDataFile(const std::string& path);

    // Reads one table: a little-endian int32 count, then that many records. A count that cannot
    // be read gives 0; a count below 1 or beyond kMaxTableBytes gives an empty table and reads
    // nothing more; a file that ends early leaves the remaining records zero.
    static RecordTable ReadTable(std::istream& in, std::size_t recordSize);

    void ReadTextTable(std::istream& in);
    // Notes the outcome of a Load, with the stream after its last table: complete when no read
    // failed, the text table has records and so have the module's further tables.
    void NoteLoaded(const std::istream& in, bool furtherTablesHaveRecords) {
        complete_ = !in.fail() && texts_.Count() > 0 && furtherTablesHaveRecords;
    }

  private:
    RecordTable texts_;
    bool complete_ = false;
};

// What a module shows when a file it needs beside it is missing, or its data file is not
// complete.
inline constexpr const char* kNotInstalledText = "The necessary file was not found.";

// Turns every '\n' into "\r\n", as a multi-line message pane needs.
std::string ToCrLf(const std::string& text);

// A module's data file: its path without the extension (cut before the last '.', when that
// stands after the first character), followed by ".dat".
std::string DataFilePath(const std::string& modulePath);

// The module's data file in the operator's language: <base>.<language>.dat beside DataFilePath for
// the first wanted language that has one, else the English DataFilePath itself.
std::string LocalizedDataFilePath(
    const std::string& modulePath,
    const std::vector<std::string>& languages = sys::OperatorLanguages());

// The hub's data file: texts, then the function table, then the printer-model table.
class HubTables : public UiTextTable {
  public:
    void Load(const std::string& path) override;

    // Indexes outside the table give key 0xFFFFFFFF (-1) and empty names.
    int32_t FunctionCount() const;
    uint32_t FunctionKey(int32_t index) const;
    std::string FunctionName(int32_t index) const;
    std::string FunctionFile(int32_t index) const;
    // The plug-in file of the first function record with that key; "" when none.
    std::string FileOfKey(uint32_t key) const;

    int32_t PrinterModelCount() const;
    uint32_t PrinterModelKey(int32_t index) const;
    std::string PrinterModelDriver(int32_t index) const;

  private:
    RecordTable functions_;
    RecordTable printerModels_;
};
