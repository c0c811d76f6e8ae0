// UTF-8 encoding of code points, for the texts Plenwise writes from other encodings (UTF-16 names
// in the driver's files, \u escapes in the service log).
#pragma once

#include <cstdint>
#include <string>

// Appends the code point's UTF-8 bytes; the caller passes a scalar value (at most U+10FFFF, no
// surrogate).
void AppendUtf8(std::string& text, uint32_t codePoint);
