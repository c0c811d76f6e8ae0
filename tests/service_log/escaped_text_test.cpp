// The one escaping of outside text: what a terminal is shown, and that the bytes come back.
#include <gtest/gtest.h>

#include <string>

#include "common/utf8.h"

namespace {

TEST(EscapedTextTest, ATerminalIsShownNoControlCharacterAndTheBytesComeBack) {
    const struct {
        std::string raw;
        std::string shown;
    } cases[] = {
        {"BN0105", "BN0105"},
        {"\x1B[2J\x1B[H", "\\x1b[2J\\x1b[H"},  // an escape sequence that would clear the screen
        {"a\tb\nc\rd\x7F", "a\\x09b\\x0ac\\x0dd\\x7f"},
        {"8-bit CSI \xC2\x9B"
         "1m, NEL \xC2\x85",
         "8-bit CSI \\xc2\\x9b1m, NEL \\xc2\\x85"},
        {"\xC2\xA0\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
         "\xC2\xA0\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"\xFF\xC3", "\\xff\\xc3"},
        {"C:\\dir\\x\\\\", "C:\\dir\\\\x\\\\\\"},
        {"\\\x01", "\\\\\\x01"},
        {std::string("nul\0end", 7), "nul\\x00end"},
    };
    for (const auto& [raw, shown] : cases) {
        EXPECT_EQ(EscapedText(raw, Escape::NotUtf8AndControls), shown) << raw;
        EXPECT_EQ(UnescapedText(shown), raw) << shown;
        EXPECT_EQ(UnescapedText(EscapedText(raw, Escape::NotUtf8)), raw) << raw;
    }
    // Controls stay for JSON, which escapes them itself.
    EXPECT_EQ(EscapedText("a\x1B\xFF", Escape::NotUtf8), "a\x1B\\xff");
    // A backslash that starts no escape is itself, in either case of hexadecimal digits.
    EXPECT_EQ(UnescapedText("\\q \\x4 \\xFF\\"), "\\q \\x4 \xFF\\");
}

}  // namespace
