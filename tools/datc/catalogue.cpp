#include "tools/datc/catalogue.h"

#include "common/record_line_breaks.h"

namespace datc {
namespace {

constexpr std::string_view kWhitespace = " \t";

// The contents of a quoted .po string ("..."), unescaped; none when it is not one.
std::optional<std::string> Unquoted(std::string_view quoted) {
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') {
        return std::nullopt;
    }
    std::string text;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '"') {
            return std::nullopt;
        }
        if (c == '\\') {
            if (i + 2 >= quoted.size()) {
                return std::nullopt;
            }
            switch (quoted[++i]) {
                case 'n':
                    c = '\n';
                    break;
                case 't':
                    c = '\t';
                    break;
                case '"':
                case '\\':
                    c = quoted[i];
                    break;
                default:
                    return std::nullopt;
            }
        }
        text += c;
    }
    return text;
}

}  // namespace

bool Catalogue::Parse(const std::string& name, std::string_view content) {
    const std::size_t errorsBefore = errors_.size();
    std::string context;
    std::string id;
    std::string translation;
    std::string plural;  // the plural forms of a message, which no data file text has
    bool hasPlural = false;
    std::string* current = nullptr;
    bool fuzzy = false;
    bool nextFuzzy = false;  // flagged by the comments before the next entry
    bool haveEntry = false;
    auto finishEntry = [&]() {
        if (haveEntry && !fuzzy && !id.empty() && !translation.empty() && !hasPlural) {
            entries_[context + '\4' + id] = translation;
        }
        context.clear();
        id.clear();
        translation.clear();
        hasPlural = false;
        current = nullptr;
        fuzzy = false;
        haveEntry = false;
    };
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start <= content.size(); ++lineNumber) {
        auto end = content.find('\n', start);
        if (end == std::string_view::npos) {
            end = content.size();
        }
        std::string_view line = content.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const auto first = line.find_first_not_of(kWhitespace);
        line = first == std::string_view::npos ? std::string_view{} : line.substr(first);
        while (!line.empty() && kWhitespace.find(line.back()) != std::string_view::npos) {
            line.remove_suffix(1);
        }
        auto fail = [&](const std::string& message) {
            errors_.push_back(name + ":" + std::to_string(lineNumber + 1) + ": " + message);
        };
        if (line.empty()) {
            continue;
        }
        if (line.front() == '#') {
            // A comment opens the next entry; its flags may mark it fuzzy.
            if (current == &translation) {
                finishEntry();
            }
            if (line.starts_with("#,") && line.find("fuzzy") != std::string_view::npos) {
                nextFuzzy = true;
            }
            continue;
        }
        std::string_view keyword;
        std::string_view rest = line;
        if (line.front() != '"') {
            const auto blank = line.find_first_of(kWhitespace);
            keyword = line.substr(0, blank);
            rest = blank == std::string_view::npos ? std::string_view{} : line.substr(blank + 1);
            rest.remove_prefix(std::min(rest.find_first_not_of(kWhitespace), rest.size()));
        }
        const auto text = Unquoted(rest);
        if (!text) {
            fail("expected a quoted string");
            continue;
        }
        if (keyword.empty()) {
            if (current == nullptr) {
                fail("a string continues no msgctxt, msgid or msgstr");
                continue;
            }
            *current += *text;
            continue;
        }
        if (keyword == "msgctxt" || (keyword == "msgid" && current != &context)) {
            finishEntry();
            fuzzy = nextFuzzy;
            nextFuzzy = false;
        }
        haveEntry = true;
        if (keyword == "msgctxt") {
            current = &context;
        } else if (keyword == "msgid") {
            current = &id;
        } else if (keyword == "msgstr") {
            current = &translation;
        } else if (keyword == "msgid_plural" || keyword.starts_with("msgstr[")) {
            current = &plural;
            hasPlural = true;
        } else {
            fail("unknown keyword \"" + std::string(keyword) + "\"");
            current = nullptr;
            continue;
        }
        *current = *text;
    }
    finishEntry();
    return errors_.size() == errorsBefore;
}

std::optional<std::string> Catalogue::Find(const std::string& context,
                                           const std::string& english) const {
    const auto found = entries_.find(context + '\4' + english);
    if (found == entries_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::string CatalogueText(std::string_view recordText) {
    return WithLineBreaks(recordText);
}

std::string RecordText(std::string_view catalogueText) {
    std::string text;
    for (const char c : catalogueText) {
        text += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return text;
}

std::string PoQuoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

}  // namespace datc
