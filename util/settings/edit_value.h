// How the pages read the numbers typed into their edits.
#pragma once

#include <string_view>

// The signed number at the start of an edit's text, as the edit reports it: an optional '-' and
// the digits after it, up to the first other character; 0 when there are none. Values beyond
// the range of int are held at its ends.
int EditValue(std::string_view text);

// True when every character is a digit, except that the first may be '-' (a lone '-' passes:
// it is how a negative number begins).
bool IsSignedNumberText(std::string_view text);
