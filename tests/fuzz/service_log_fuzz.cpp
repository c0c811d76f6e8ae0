// The service log, which a crash may leave torn and anybody with the user's rights may edit. The
// reader returns exactly the lines that parse, in file order, and counts every other non-empty
// line; a record parsed from a line comes back the same from its own line; times either have
// seconds or none, whatever the text; escaped names map back to their bytes.
#include <string>
#include <string_view>
#include <vector>

#include "common/service_log.h"
#include "common/utf8.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    const std::string path = fuzz::ScratchDir() + "/service.log";
    fuzz::WriteFile(path, data, size);

    std::vector<ServiceRecord> expected;
    size_t unreadable = 0;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty()) {
            continue;
        }
        const std::optional<ServiceRecord> record =
            line.size() <= kLongestServiceLine ? ParseServiceRecord(line) : std::nullopt;
        if (!record) {
            ++unreadable;
            continue;
        }
        FUZZ_CHECK(ParseServiceRecord(ServiceRecordLine(*record)) == record);
        (void)ServiceTimeSeconds(record->time);
        expected.push_back(*record);
    }
    size_t skipped = 0;
    FUZZ_CHECK(ReadServiceLog(path, &skipped) == expected);
    FUZZ_CHECK(skipped == unreadable);
    (void)ServiceTimeSeconds(text.substr(0, 64));
    // The escaping of names gives the very bytes back, and a terminal no control character.
    for (const Escape what : {Escape::NotUtf8, Escape::NotUtf8AndControls}) {
        const std::string escaped = EscapedText(text, what);
        FUZZ_CHECK(UnescapedText(escaped) == text);
        if (what == Escape::NotUtf8AndControls) {
            for (const char c : escaped) {
                FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
            }
        }
    }
    return 0;
}
