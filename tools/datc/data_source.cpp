#include "tools/datc/data_source.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <set>

#include "tools/datc/catalogue.h"

namespace datc {
namespace {

constexpr std::string_view kWhitespace = " \t";

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(kWhitespace);
    return s.substr(first, last - first + 1);
}

// Length of the well-formed UTF-8 sequence starting at s[i], or 0 when it is malformed.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t length = 0;
    unsigned char minSecond = 0x80;
    unsigned char maxSecond = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minSecond = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        maxSecond = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minSecond = lead == 0xF0 ? 0x90 : 0x80;
        maxSecond = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > s.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        const unsigned char low = k == 1 ? minSecond : 0x80;
        const unsigned char high = k == 1 ? maxSecond : 0xBF;
        if (c < low || c > high) {
            return 0;
        }
    }
    return length;
}

// A stored value must fit its NUL-terminated field and be printable UTF-8: a control character
// (a NUL above all) would cut or garble the text that the modules read back.
std::optional<std::string> CheckValue(std::string_view value, std::size_t capacity,
                                      std::string_view what) {
    if (value.size() >= capacity) {
        return std::string(what) + " is " + std::to_string(value.size()) + " bytes long; at most " +
               std::to_string(capacity - 1) + " fit";
    }
    for (std::size_t i = 0; i < value.size();) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (c < 0x20 || c == 0x7F) {
            return std::string(what) + " holds control character " + std::to_string(c) +
                   " at byte " + std::to_string(i + 1);
        }
        const std::size_t length = Utf8SequenceLength(value, i);
        if (length == 0) {
            return std::string(what) + " is not valid UTF-8 at byte " + std::to_string(i + 1);
        }
        i += length;
    }
    return std::nullopt;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view s, int base = 10) {
    Number value{};
    const auto* end = s.data() + s.size();
    const auto result = std::from_chars(s.data(), end, value, base);
    if (s.empty() || result.ec != std::errc{} || result.ptr != end) {
        return std::nullopt;
    }
    return value;
}

// A key is written "family:number" (family code 0-255, function number 0-65535) or as one
// 32-bit number, decimal or 0x-hexadecimal.
std::optional<std::uint32_t> ParseKey(std::string_view s) {
    if (const auto colon = s.find(':'); colon != std::string_view::npos) {
        const auto family = ParseNumber<std::uint32_t>(s.substr(0, colon));
        const auto number = ParseNumber<std::uint32_t>(s.substr(colon + 1));
        if (!family || !number || *family > 0xFF || *number > 0xFFFF) {
            return std::nullopt;
        }
        return *family << 16 | *number;
    }
    if (s.starts_with("0x") || s.starts_with("0X")) {
        return ParseNumber<std::uint32_t>(s.substr(2), 16);
    }
    return ParseNumber<std::uint32_t>(s);
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const auto bar = line.find('|', start);
        fields.push_back(Trim(line.substr(start, bar - start)));
        if (bar == std::string_view::npos) {
            return fields;
        }
        start = bar + 1;
    }
}

// "key | name | ..." with one name per entry of `fieldNames`, each non-empty and within 255 bytes.
std::optional<std::string> ParseKeyAndNames(std::string_view line,
                                            std::initializer_list<std::string_view> fieldNames,
                                            std::uint32_t& key, std::vector<std::string>& names) {
    std::string layout = "key";
    for (const auto fieldName : fieldNames) {
        layout += " | " + std::string(fieldName);
    }
    const auto fields = SplitFields(line);
    if (fields.size() != fieldNames.size() + 1) {
        return "expected \"" + layout + "\"";
    }
    const auto parsedKey = ParseKey(fields[0]);
    if (!parsedKey) {
        return "bad key \"" + std::string(fields[0]) + "\": write family:number or a 32-bit number";
    }
    key = *parsedKey;
    auto field = fields.begin() + 1;
    for (const auto fieldName : fieldNames) {
        if (field->empty()) {
            return "empty " + std::string(fieldName) + " in \"" + layout + "\"";
        }
        if (auto error = CheckValue(*field, kNameCapacity, fieldName)) {
            return error;
        }
        names.emplace_back(*field++);
    }
    return std::nullopt;
}

void PutUInt32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void PutCount(std::vector<std::uint8_t>& out, std::size_t count) {
    PutUInt32(out, static_cast<std::uint32_t>(count));
}

// Blank-separated fields, none empty.
std::vector<std::string_view> SplitWords(std::string_view text) {
    std::vector<std::string_view> words;
    while (!(text = Trim(text)).empty()) {
        const auto end = text.find_first_of(kWhitespace);
        words.push_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    }
    return words;
}

// The string, NUL-padded to the field's full width (CheckValue leaves room for the NUL).
void PutField(std::vector<std::uint8_t>& out, const std::string& value, std::size_t capacity) {
    out.insert(out.end(), value.begin(), value.end());
    out.insert(out.end(), capacity - value.size(), 0);
}

}  // namespace

std::optional<Kind> ParseKind(std::string_view name) {
    if (name == "hub") {
        return Kind::Hub;
    }
    if (name == "texts") {
        return Kind::Texts;
    }
    if (name == "util") {
        return Kind::Util;
    }
    return std::nullopt;
}

DataSource::DataSource(Kind kind) : kind_(kind) {}

bool DataSource::SectionAllowed(Section section) const {
    switch (kind_) {
        case Kind::Hub:
            return section != Section::MediaTypes;
        case Kind::Texts:
            return section == Section::Texts;
        case Kind::Util:
            return section == Section::Texts || section == Section::MediaTypes;
    }
    return false;
}

bool DataSource::AddSource(const std::string& name, std::string_view content,
                           const std::string& module) {
    Records parsed;
    std::string comment;  // the comment lines above the next record
    Section section = Section::None;
    const std::size_t errorsBefore = errors_.size();
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start <= content.size(); ++lineNumber) {
        auto end = content.find('\n', start);
        if (end == std::string_view::npos) {
            end = content.size();
        }
        auto line = content.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const auto trimmed = Trim(line);
        if (!trimmed.empty() && trimmed.front() == '#') {
            comment += std::string(Trim(trimmed.substr(1))) + '\n';
        }
        if (trimmed.empty() || trimmed.front() == '#') {
            continue;
        }
        std::optional<std::string> error;
        if (trimmed.front() == '[') {
            const std::string header(trimmed);
            if (header == "[texts]") {
                section = Section::Texts;
            } else if (header == "[functions]") {
                section = Section::Functions;
            } else if (header == "[printer-models]") {
                section = Section::PrinterModels;
            } else if (header == "[media-types]") {
                section = Section::MediaTypes;
            } else {
                error = "unknown section " + header;
            }
            if (!error && !SectionAllowed(section)) {
                error = "section " + header + " does not belong in this kind of data file";
            }
            if (error) {
                section = Section::None;  // its lines would only add follow-on errors
            }
            comment.clear();
        } else if (section == Section::None) {
            error =
                "line outside a valid section ([texts], [functions], [printer-models], "
                "[media-types])";
        } else {
            const std::size_t texts = parsed.texts.size();
            const std::size_t functions = parsed.functions.size();
            error = ParseLine(section, trimmed, parsed);
            const Origin origin{module, name + ":" + std::to_string(lineNumber + 1), comment};
            if (parsed.texts.size() > texts) {
                parsed.texts.back().origin = origin;
            }
            if (parsed.functions.size() > functions) {
                parsed.functions.back().origin = origin;
            }
            comment.clear();
        }
        if (error) {
            errors_.push_back(name + ":" + std::to_string(lineNumber + 1) + ": " + *error);
        }
    }
    if (errors_.size() != errorsBefore) {
        return false;
    }
    auto append = [](auto& to, auto& from) { to.insert(to.end(), from.begin(), from.end()); };
    append(records_.texts, parsed.texts);
    append(records_.functions, parsed.functions);
    append(records_.printerModels, parsed.printerModels);
    append(records_.mediaTypes, parsed.mediaTypes);
    return true;
}

std::optional<std::string> DataSource::ParseLine(Section section, std::string_view line,
                                                 Records& into) {
    std::uint32_t key = 0;
    std::vector<std::string> names;
    switch (section) {
        case Section::Texts:
            return ParseText(line, into);
        case Section::Functions:
            if (auto error = ParseKeyAndNames(line, {"display name", "plug-in file"}, key, names)) {
                return error;
            }
            into.functions.push_back({key, names[0], names[1], {}});
            return std::nullopt;
        case Section::PrinterModels:
            if (auto error = ParseKeyAndNames(line, {"driver name"}, key, names)) {
                return error;
            }
            into.printerModels.push_back({key, names[0]});
            return std::nullopt;
        case Section::MediaTypes:
            return ParseMediaType(line, into);
        case Section::None:
            break;
    }
    return "line outside a section";
}

// "<number> <text>"; a text with leading or trailing blanks is written in double quotes, the
// outer pair being removed. A backslash-n stays two characters, as the record stores it.
std::optional<std::string> DataSource::ParseText(std::string_view line, Records& into) {
    const auto split = line.find_first_of(kWhitespace);
    const auto numberText = line.substr(0, split);
    const auto number = ParseNumber<std::int32_t>(numberText);
    if (!number) {
        return "expected \"<text number> <text>\", found \"" + std::string(numberText) +
               "\" where the number belongs";
    }
    auto text = split == std::string_view::npos ? std::string_view{} : Trim(line.substr(split));
    if (text.starts_with('"')) {
        if (text.size() < 2 || !text.ends_with('"')) {
            return "text " + std::to_string(*number) + " opens a double quote it does not close";
        }
        text = text.substr(1, text.size() - 2);
    }
    if (auto error = CheckValue(text, kTextCapacity, "text " + std::to_string(*number))) {
        return error;
    }
    const auto sameNumber = [&](const Text& t) { return t.number == *number; };
    if (std::ranges::any_of(records_.texts, sameNumber) ||
        std::ranges::any_of(into.texts, sameNumber)) {
        return "text number " + std::to_string(*number) + " is defined twice";
    }
    into.texts.push_back({*number, std::string(text), {}});
    return std::nullopt;
}

// "order | media ID | file ID | HxV HxV HxV HxV | Mw Mw Mw Mw", the resolutions and "Mw" values
// for print modes 0 to 3. The driver's media IDs are 16-bit (decimal or 0x-hex) and unique.
std::optional<std::string> DataSource::ParseMediaType(std::string_view line, Records& into) {
    constexpr std::string_view kLayout =
        "order | media ID | file ID | HxV HxV HxV HxV | Mw Mw Mw Mw";
    const auto fields = SplitFields(line);
    if (fields.size() != 5) {
        return "expected \"" + std::string(kLayout) + "\"";
    }
    MediaType media{};
    const auto order = ParseNumber<std::int32_t>(fields[0]);
    const bool hex = fields[1].starts_with("0x") || fields[1].starts_with("0X");
    const auto id =
        ParseNumber<std::uint32_t>(hex ? fields[1].substr(2) : fields[1], hex ? 16 : 10);
    const auto fileId = ParseNumber<std::int32_t>(fields[2]);
    if (!order || !fileId) {
        return "order and file ID must be 32-bit numbers in \"" + std::string(kLayout) + "\"";
    }
    if (!id || *id > 0xFFFF) {
        return "bad media ID \"" + std::string(fields[1]) + "\": the driver's IDs are 0 to 0xFFFF";
    }
    media.order = *order;
    media.mediaId = *id;
    media.fileId = *fileId;

    const auto resolutions = SplitWords(fields[3]);
    const auto mw = SplitWords(fields[4]);
    if (resolutions.size() != kPrintModes || mw.size() != kPrintModes) {
        return "expected four resolutions and four Mw values, one per print mode";
    }
    for (std::size_t mode = 0; mode < kPrintModes; ++mode) {
        const auto cross = resolutions[mode].find('x');
        const auto horizontal = ParseNumber<std::int32_t>(resolutions[mode].substr(0, cross));
        const auto vertical = cross == std::string_view::npos
                                  ? std::nullopt
                                  : ParseNumber<std::int32_t>(resolutions[mode].substr(cross + 1));
        const auto value = ParseNumber<std::int32_t>(mw[mode]);
        if (!horizontal || !vertical) {
            return "bad resolution \"" + std::string(resolutions[mode]) + "\": write HxV";
        }
        if (!value) {
            return "bad Mw value \"" + std::string(mw[mode]) + "\"";
        }
        media.resolutions[mode][0] = *horizontal;
        media.resolutions[mode][1] = *vertical;
        media.mw[mode] = *value;
    }
    const auto sameId = [&](const MediaType& m) { return m.mediaId == media.mediaId; };
    if (std::ranges::any_of(records_.mediaTypes, sameId) ||
        std::ranges::any_of(into.mediaTypes, sameId)) {
        return "media ID " + std::string(fields[1]) + " is defined twice";
    }
    into.mediaTypes.push_back(media);
    return std::nullopt;
}

std::vector<std::uint8_t> DataSource::Encode() const {
    std::vector<std::uint8_t> out;
    PutCount(out, records_.texts.size());
    for (const auto& text : records_.texts) {
        PutUInt32(out, static_cast<std::uint32_t>(text.number));
        PutField(out, text.text, kTextCapacity);
    }
    if (kind_ == Kind::Hub) {
        PutCount(out, records_.functions.size());
        for (const auto& function : records_.functions) {
            PutUInt32(out, function.key);
            PutUInt32(out, 0);
            PutField(out, function.name, kNameCapacity);
            PutField(out, function.file, kNameCapacity);
        }
        PutCount(out, records_.printerModels.size());
        for (const auto& model : records_.printerModels) {
            PutUInt32(out, model.key);
            PutUInt32(out, 0);
            PutField(out, model.driver, kNameCapacity);
        }
    }
    if (kind_ == Kind::Util) {
        PutCount(out, records_.mediaTypes.size());
        for (const auto& media : records_.mediaTypes) {
            PutUInt32(out, static_cast<std::uint32_t>(media.order));
            PutUInt32(out, media.mediaId);
            PutUInt32(out, static_cast<std::uint32_t>(media.fileId));
            for (const auto& resolution : media.resolutions) {
                PutUInt32(out, static_cast<std::uint32_t>(resolution[0]));
                PutUInt32(out, static_cast<std::uint32_t>(resolution[1]));
            }
            for (const auto value : media.mw) {
                PutUInt32(out, static_cast<std::uint32_t>(value));
            }
        }
    }
    return out;
}

namespace {

// The blanks and line breaks a text ends with.
std::string_view Ending(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0) {
        if (text[end - 1] == ' ') {
            --end;
        } else if (end >= 2 && text.substr(end - 2, 2) == "\\n") {
            end -= 2;
        } else {
            break;
        }
    }
    return text.substr(end);
}

}  // namespace

void DataSource::Translate(const Catalogue& catalogue, const std::string& catalogueName,
                           const std::string& language, bool complete) {
    auto translate = [&](std::string& value, const std::string& context, const std::string& what,
                         std::size_t capacity) {
        if (value.empty()) {
            return;
        }
        const auto found = catalogue.Find(context, CatalogueText(value));
        const std::string subject = what + " (" + language + ")";
        std::optional<std::string> error;
        std::string translated = found ? RecordText(*found) : std::string();
        if (!found) {
            error = complete ? std::optional<std::string>(subject + " is not translated")
                             : std::nullopt;
        } else if ((error = CheckValue(translated, capacity, subject))) {
        } else if (complete && Ending(translated) != Ending(value)) {
            error = subject + " must end as the English does, with \"" +
                    std::string(Ending(value)) + "\"";
        } else if (complete &&
                   std::ranges::count(translated, '|') != std::ranges::count(value, '|')) {
            error = subject + " must keep the English number of '|'";
        }
        if (error) {
            errors_.push_back(catalogueName + ": " + context + ": " + *error);
        } else if (found) {
            value = std::move(translated);
        }
    };
    for (auto& text : records_.texts) {
        translate(text.text, text.origin.module + ":" + std::to_string(text.number),
                  "text " + std::to_string(text.number), kTextCapacity);
    }
    for (auto& function : records_.functions) {
        translate(function.name, function.origin.module + ":function",
                  "function name \"" + function.name + "\"", kNameCapacity);
    }
}

std::string DataSource::Template() const {
    std::string pot;
    std::set<std::string> written;  // a function name stands once per module
    auto entry = [&](const Origin& origin, const std::string& context, const std::string& value) {
        if (value.empty() || !written.insert(context + '\4' + value).second) {
            return;
        }
        for (std::size_t start = 0; start < origin.comment.size();) {
            const auto end = origin.comment.find('\n', start);
            pot += "#. " + origin.comment.substr(start, end - start) + "\n";
            start = end + 1;
        }
        pot += "#: " + origin.where + "\nmsgctxt " + PoQuoted(context) + "\nmsgid " +
               PoQuoted(CatalogueText(value)) + "\nmsgstr \"\"\n\n";
    };
    for (const auto& text : records_.texts) {
        entry(text.origin, text.origin.module + ":" + std::to_string(text.number), text.text);
    }
    for (const auto& function : records_.functions) {
        entry(function.origin, function.origin.module + ":function", function.name);
    }
    return pot;
}

}  // namespace datc
