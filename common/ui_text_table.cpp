#include "common/ui_text_table.h"

#include <array>
#include <filesystem>
#include <istream>
#include <new>
#include <utility>

#include "common/record_line_breaks.h"

namespace {

constexpr std::size_t kTextRecordSize = 132;
constexpr std::size_t kTextNumberOffset = 0;
constexpr std::size_t kTextOffset = 4;
constexpr std::size_t kTextCapacity = 128;

constexpr std::size_t kFunctionRecordSize = 520;
constexpr std::size_t kPrinterModelRecordSize = 264;
constexpr std::size_t kKeyOffset = 0;
constexpr std::size_t kNameOffset = 8;
constexpr std::size_t kNameCapacity = 256;
constexpr std::size_t kFunctionFileOffset = 264;

constexpr uint32_t kNoKey = 0xFFFFFFFF;

uint32_t DecodeUInt32(const std::byte* p) {
    return std::to_integer<uint32_t>(p[0]) | std::to_integer<uint32_t>(p[1]) << 8 |
           std::to_integer<uint32_t>(p[2]) << 16 | std::to_integer<uint32_t>(p[3]) << 24;
}

}  // namespace

RecordTable::RecordTable(std::size_t recordSize, std::vector<std::byte> bytes)
    : recordSize_(recordSize), bytes_(std::move(bytes)) {}

int32_t RecordTable::Count() const {
    return recordSize_ == 0 ? 0 : static_cast<int32_t>(bytes_.size() / recordSize_);
}

const std::byte* RecordTable::Field(int32_t index, std::size_t offset, std::size_t width) const {
    if (!Contains(index) || offset > recordSize_ || width > recordSize_ - offset) {
        return nullptr;
    }
    return bytes_.data() + static_cast<std::size_t>(index) * recordSize_ + offset;
}

uint32_t RecordTable::UInt32At(int32_t index, std::size_t offset) const {
    const std::byte* field = Field(index, offset, 4);
    return field ? DecodeUInt32(field) : 0;
}

int32_t RecordTable::Int32At(int32_t index, std::size_t offset) const {
    return static_cast<int32_t>(UInt32At(index, offset));
}

std::string RecordTable::StringAt(int32_t index, std::size_t offset, std::size_t capacity) const {
    const std::byte* field = Field(index, offset, capacity);
    if (!field) {
        return {};
    }
    std::size_t length = 0;
    while (length < capacity && field[length] != std::byte{0}) {
        ++length;
    }
    if (length == capacity) {
        // A string that fills its field must not end inside a character: drop the lead and
        // continuation bytes of a sequence that the field's end cuts short.
        auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(field[i]); };
        std::size_t lead = length;
        while (lead > 0 && length - lead < 4 && (byteAt(lead - 1) & 0xC0) == 0x80) {
            --lead;
        }
        if (lead > 0 && byteAt(lead - 1) >= 0xC0) {
            const unsigned char first = byteAt(lead - 1);
            const std::size_t needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : 2;
            if (length - (lead - 1) < needed) {
                length = lead - 1;
            }
        }
    }
    return std::string(reinterpret_cast<const char*>(field), length);
}

UiTextTable::UiTextTable() = default;
UiTextTable::~UiTextTable() = default;

std::ifstream UiTextTable::OpenDataFile(const std::string& path) {
    return std::ifstream(path, std::ios::binary);
}

RecordTable UiTextTable::ReadTable(std::istream& in, std::size_t recordSize) {
    std::array<std::byte, 4> countBytes{};
    if (!in.read(reinterpret_cast<char*>(countBytes.data()), std::ssize(countBytes))) {
        return RecordTable(recordSize, {});
    }
    const auto count = static_cast<int32_t>(DecodeUInt32(countBytes.data()));
    if (count <= 0 || static_cast<std::size_t>(count) > kMaxTableBytes / recordSize) {
        return RecordTable(recordSize, {});
    }
    std::vector<std::byte> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(count) * recordSize);  // zero-filled
    } catch (const std::bad_alloc&) {
        return RecordTable(recordSize, {});
    }
    // A short read leaves the zeros in place and the stream at its end, so that any following
    // table reads as empty.
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return RecordTable(recordSize, std::move(bytes));
}

void UiTextTable::ReadTextTable(std::istream& in) {
    texts_ = ReadTable(in, kTextRecordSize);
}

void UiTextTable::Load(const std::string& path) {
    std::ifstream in = OpenDataFile(path);
    ReadTextTable(in);
    NoteLoaded(in, true);
}

std::string UiTextTable::GetText(int32_t number) const {
    for (int32_t i = 0; i < texts_.Count(); ++i) {
        if (texts_.Int32At(i, kTextNumberOffset) != number) {
            continue;
        }
        return WithLineBreaks(texts_.StringAt(i, kTextOffset, kTextCapacity));
    }
    return {};
}

std::string ToCrLf(const std::string& text) {
    std::string converted;
    converted.reserve(text.size());
    for (const char c : text) {
        if (c == '\n') {
            converted += '\r';
        }
        converted += c;
    }
    return converted;
}

std::string DataFilePath(const std::string& modulePath) {
    const auto dot = modulePath.rfind('.');
    const auto base = dot != std::string::npos && dot > 0 ? modulePath.substr(0, dot) : modulePath;
    return base + ".dat";
}

std::string LocalizedDataFilePath(const std::string& modulePath,
                                  const std::vector<std::string>& languages) {
    const std::string english = DataFilePath(modulePath);
    const std::string base = english.substr(0, english.size() - 4);
    for (const std::string& language : languages) {
        if (sys::IsEnglish(language)) {
            break;
        }
        std::error_code failed;
        if (const std::string path = base + "." + language + ".dat";
            std::filesystem::is_regular_file(path, failed)) {
            return path;
        }
    }
    return english;
}

void HubTables::Load(const std::string& path) {
    std::ifstream in = OpenDataFile(path);
    ReadTextTable(in);
    functions_ = ReadTable(in, kFunctionRecordSize);
    printerModels_ = ReadTable(in, kPrinterModelRecordSize);
    NoteLoaded(in, functions_.Count() > 0 && printerModels_.Count() > 0);
}

int32_t HubTables::FunctionCount() const {
    return functions_.Count();
}

uint32_t HubTables::FunctionKey(int32_t index) const {
    return functions_.Contains(index) ? functions_.UInt32At(index, kKeyOffset) : kNoKey;
}

std::string HubTables::FunctionName(int32_t index) const {
    return functions_.StringAt(index, kNameOffset, kNameCapacity);
}

std::string HubTables::FunctionFile(int32_t index) const {
    return functions_.StringAt(index, kFunctionFileOffset, kNameCapacity);
}

std::string HubTables::FileOfKey(uint32_t key) const {
    for (int32_t i = 0; i < functions_.Count(); ++i) {
        if (functions_.UInt32At(i, kKeyOffset) == key) {
            return FunctionFile(i);
        }
    }
    return {};
}

int32_t HubTables::PrinterModelCount() const {
    return printerModels_.Count();
}

uint32_t HubTables::PrinterModelKey(int32_t index) const {
    return printerModels_.Contains(index) ? printerModels_.UInt32At(index, kKeyOffset) : kNoKey;
}

std::string HubTables::PrinterModelDriver(int32_t index) const {
    return printerModels_.StringAt(index, kNameOffset, kNameCapacity);
}
