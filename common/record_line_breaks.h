// A text record marks a line break with the two characters `\` `n`; the pages, the CLI and the
// message catalogues want real line breaks. Header-only, so that the data file compiler uses the
// same rule without linking the program's libraries.
#pragma once

#include <string>
#include <string_view>

inline std::string WithLineBreaks(std::string_view recordText) {
    std::string text;
    text.reserve(recordText.size());
    for (std::size_t i = 0; i < recordText.size(); ++i) {
        if (recordText[i] == '\\' && i + 1 < recordText.size() && recordText[i + 1] == 'n') {
            text += '\n';
            ++i;
        } else {
            text += recordText[i];
        }
    }
    return text;
}
