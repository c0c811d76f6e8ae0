// The modules' data files: the text table every module reads, the hub's function and
// printer-model tables and util's media type table, read from the same bytes. Each text found in
// the file's first records must come back as it stands there; records the file does not hold
// read as zero, and every accessor past a table's end answers "none".
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/ui_text_table.h"
#include "tests/fuzz/fuzz_support.h"
#include "util/settings/media_type_table.h"

namespace {

constexpr size_t kTextRecord = 132;
constexpr size_t kTextCapacity = 128;
constexpr size_t kMaxTableBytes = size_t{16} << 20;
constexpr size_t kCheckedTexts = 16;

uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The text of record `index` as the file holds it, backslash-n made a line break.
std::string StoredText(const uint8_t* record) {
    const char* text = reinterpret_cast<const char*>(record + 4);
    const std::string raw(text, strnlen(text, kTextCapacity));
    std::string result;
    for (size_t k = 0; k < raw.size(); ++k) {
        if (raw[k] == '\\' && k + 1 < raw.size() && raw[k + 1] == 'n') {
            result += '\n';
            ++k;
        } else {
            result += raw[k];
        }
    }
    return result;
}

// Compares the first records' texts with what the table answers. The file's bytes fill the
// records as far as they go, the rest is zero.
void CheckTexts(const UiTextTable& table, const uint8_t* data, size_t size) {
    const auto count = static_cast<int32_t>(size >= 4 ? Le32(data) : 0);
    if (count <= 0 || static_cast<size_t>(count) > kMaxTableBytes / kTextRecord) {
        for (int32_t number : {0, 1, -1}) {
            FUZZ_CHECK(table.GetText(number).empty());
        }
        return;
    }
    const size_t checked = std::min<size_t>(static_cast<size_t>(count), kCheckedTexts);
    std::vector<uint8_t> records(checked * kTextRecord, 0);
    std::copy_n(data + 4, std::min(records.size(), size - 4), records.begin());
    std::vector<int32_t> numbers;
    for (size_t i = 0; i < checked; ++i) {
        const uint8_t* record = records.data() + i * kTextRecord;
        const auto number = static_cast<int32_t>(Le32(record));
        if (std::find(numbers.begin(), numbers.end(), number) == numbers.end()) {
            // A text that fills its field loses only a character its end cuts short.
            const std::string stored = StoredText(record);
            const std::string shown = table.GetText(number);
            const size_t cut = stored.size() - std::min(stored.size(), shown.size());
            FUZZ_CHECK(shown == stored ||
                       (strnlen(reinterpret_cast<const char*>(record + 4), kTextCapacity) ==
                            kTextCapacity &&
                        cut > 0 && cut <= 3 && stored.compare(0, shown.size(), shown) == 0 &&
                        static_cast<uint8_t>(stored[shown.size()]) >= 0xC0));
            numbers.push_back(number);
        }
    }
    // A number no record holds has no text.
    if (checked == static_cast<size_t>(count)) {
        for (int32_t number : {0, 1, -1, 0x7FFFFFFF}) {
            if (std::find(numbers.begin(), numbers.end(), number) == numbers.end()) {
                FUZZ_CHECK(table.GetText(number).empty());
            }
        }
    }
}

// Whether a table of the file claims between 64 KiB and the readers' limit: such a table
// takes the path of a smaller one and only zero-fills for longer, so it is left out to keep the
// runs fast. The counts are those of the texts, then of the hub's functions or util's media, then
// of the hub's printer models.
bool ClaimsLargeTable(const uint8_t* data, size_t size) {
    size_t at = 0;
    const size_t sizes[][2] = {{kTextRecord, kTextRecord}, {520, 60}, {264, 264}};
    for (const auto& recordSizes : sizes) {
        if (at + 4 > size) {
            return false;
        }
        const auto count = static_cast<int32_t>(Le32(data + at));
        // A table the readers refuse is read no further: the next count follows its own.
        if (count <= 0 || static_cast<size_t>(count) > kMaxTableBytes / recordSizes[1]) {
            at += 4;
            continue;
        }
        for (size_t recordSize : recordSizes) {
            const uint64_t bytes = uint64_t(count) * recordSize;
            if (bytes > (64u << 10) && bytes <= kMaxTableBytes) {
                return true;
            }
        }
        // The hub's and util's second tables differ in size: follow the hub's.
        at += 4 + static_cast<size_t>(count) * recordSizes[0];
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (ClaimsLargeTable(data, size)) {
        return -1;
    }
    const std::string path = fuzz::ScratchDir() + "/module.dat";
    fuzz::WriteFile(path, data, size);

    HubTables hub;
    hub.Load(path);
    CheckTexts(hub, data, size);
    const int32_t functions = hub.FunctionCount();
    FUZZ_CHECK(functions >= 0 && static_cast<size_t>(functions) <= kMaxTableBytes / 520);
    for (int32_t i = 0; i < functions && i < 32; ++i) {
        FUZZ_CHECK(hub.FunctionName(i).size() < 256 + 1);
        FUZZ_CHECK(hub.FunctionFile(i).size() < 256 + 1);
        (void)hub.FileOfKey(hub.FunctionKey(i));
    }
    FUZZ_CHECK(hub.FunctionKey(functions) == 0xFFFFFFFF && hub.FunctionKey(-1) == 0xFFFFFFFF);
    FUZZ_CHECK(hub.FunctionName(functions).empty() && hub.FunctionFile(functions).empty());
    const int32_t models = hub.PrinterModelCount();
    FUZZ_CHECK(models >= 0 && static_cast<size_t>(models) <= kMaxTableBytes / 264);
    for (int32_t i = 0; i < models && i < 32; ++i) {
        FUZZ_CHECK(hub.PrinterModelDriver(i).size() <= 256);
    }
    FUZZ_CHECK(hub.PrinterModelKey(models) == 0xFFFFFFFF && hub.PrinterModelDriver(models).empty());

    UtilDataFile util;
    util.Load(path);
    CheckTexts(util, data, size);
    const MediaTypeTable& media = util.MediaTypes();
    FUZZ_CHECK(media.Count() >= 0 &&
               static_cast<size_t>(media.Count()) <= kMaxTableBytes / MediaTypeTable::kRecordSize);
    // IDs from all over the file, among them some of the media records'.
    for (size_t i = 0; size >= 4 && i < 16; ++i) {
        const uint32_t id = Le32(data + (size - 4) * i / 15);
        (void)media.OrderOf(id);
        // The lookups by the whole ID find the same record, or none.
        const bool resolutions = media.ResolutionsOf(id).has_value();
        FUZZ_CHECK(resolutions == media.MwOf(id).has_value());
        FUZZ_CHECK(resolutions || media.FileIdOf(id) == -1);
    }
    return 0;
}
