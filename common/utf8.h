// UTF-8 for the texts Plenwise writes: encoding code points from other encodings (UTF-16 names in
// the driver's files, \u escapes in the service log), and the one escaping of text from outside
// (queue names, file names, what files and printers hold) where only valid UTF-8, or no control
// character, may stand.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Appends the code point's UTF-8 bytes; the caller passes a scalar value (at most U+10FFFF, no
// surrogate).
void AppendUtf8(std::string& text, uint32_t codePoint);

// What EscapedText escapes: the bytes that are not UTF-8 (JSON output, the service log), or those
// and every control character as well (text for a terminal).
enum class Escape { NotUtf8, NotUtf8AndControls };

// The text with every byte that is not part of a well-formed UTF-8 sequence written "\xNN" (two
// lowercase hexadecimal digits), and with Escape::NotUtf8AndControls also each byte of a control
// character (U+0000 to U+001F, U+007F to U+009F). A backslash that would read as the start of an
// escape (one followed by 'x' or by another backslash) is doubled; every other text stays as it
// is. UnescapedText gives the original bytes back.
std::string EscapedText(std::string_view raw, Escape what);
// The bytes of an escaped text: "\\" is one backslash and "\xNN" the byte NN; any other backslash
// stands for itself.
std::string UnescapedText(std::string_view text);
