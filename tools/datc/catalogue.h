// The translations of the data files' texts: one gettext catalogue (.po) per language, each entry
// found by its context ("<module>:<text number>", "<module>:function") and its English text.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace datc {

class Catalogue {
  public:
    // Parses a .po file; `name` is used in messages only. Fuzzy entries and untranslated ones
    // (empty msgstr) are left out, as gettext leaves them out. Returns false on errors.
    bool Parse(const std::string& name, std::string_view content);
    const std::vector<std::string>& Errors() const { return errors_; }

    // The translation of `english` in `context`, both in the catalogue's form (real line
    // breaks); none when the catalogue lacks it.
    std::optional<std::string> Find(const std::string& context, const std::string& english) const;

  private:
    std::map<std::string, std::string> entries_;  // context, '\4', msgid -> msgstr
    std::vector<std::string> errors_;
};

// A text of a data file in a catalogue's form and back: the record's two characters `\` `n` are
// a line break in the catalogue.
std::string CatalogueText(std::string_view recordText);
std::string RecordText(std::string_view catalogueText);

// A string as a quoted .po string, with \\, \" and \n escaped.
std::string PoQuoted(std::string_view text);

}  // namespace datc
