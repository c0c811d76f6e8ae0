// Parsing and encoding of a module's data file from its readable sources (see docs/data-files.md).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace datc {

class Catalogue;

// Which tables a data file holds, and in which order they are written.
enum class Kind {
    Hub,    // texts, functions, printer models
    Texts,  // texts only
    Util,   // texts, media types
};

std::optional<Kind> ParseKind(std::string_view name);

// Record sizes and field widths of the binary layout.
inline constexpr std::size_t kTextRecordSize = 132;
inline constexpr std::size_t kTextCapacity = 128;
inline constexpr std::size_t kFunctionRecordSize = 520;
inline constexpr std::size_t kPrinterModelRecordSize = 264;
inline constexpr std::size_t kNameCapacity = 256;
inline constexpr std::size_t kMediaTypeRecordSize = 60;
inline constexpr std::size_t kPrintModes = 4;

// Collects the records of one data file from any number of sources, then encodes the file.
// Every problem is reported as "source:line: message"; a source with errors adds no records.
class DataSource {
  public:
    explicit DataSource(Kind kind);

    // Parses one source; `name` is used in messages only, `module` names the module whose
    // texts it holds (the context of its texts in the catalogues). Returns false when it had
    // errors.
    bool AddSource(const std::string& name, std::string_view content,
                   const std::string& module = {});

    const std::vector<std::string>& Errors() const { return errors_; }

    // The binary data file: for every table of the kind, a little-endian int32 count and the
    // fixed-size records in source order. Only meaningful when Errors() is empty.
    std::vector<std::uint8_t> Encode() const;

    // Puts the catalogue's translation of `language` in place of every text and function name
    // it translates; the rest stay English. A translation that does not fit its field or is not
    // printable UTF-8 is an error naming the text and the language. With `complete`, so is a text
    // the catalogue lacks, and a translation that does not end as the English does (message
    // panes join texts without a separator) or has another number of '|' (file dialog filters).
    void Translate(const Catalogue& catalogue, const std::string& catalogueName,
                   const std::string& language, bool complete);

    // The gettext template of every non-empty text and function name: context "<module>:<text
    // number>" or "<module>:function", the English as msgid, the source comments above it.
    std::string Template() const;

  private:
    // Where a record came from, for the template: module, source line, comments above it.
    struct Origin {
        std::string module;
        std::string where;
        std::string comment;
    };
    struct Text {
        std::int32_t number;
        std::string text;
        Origin origin;
    };
    struct Function {
        std::uint32_t key;
        std::string name;
        std::string file;
        Origin origin;
    };
    struct PrinterModel {
        std::uint32_t key;
        std::string driver;
    };
    struct MediaType {
        std::int32_t order;
        std::uint32_t mediaId;
        std::int32_t fileId;
        std::int32_t resolutions[kPrintModes][2];  // horizontal, vertical
        std::int32_t mw[kPrintModes];
    };
    struct Records {
        std::vector<Text> texts;
        std::vector<Function> functions;
        std::vector<PrinterModel> printerModels;
        std::vector<MediaType> mediaTypes;
    };
    enum class Section { None, Texts, Functions, PrinterModels, MediaTypes };

    bool SectionAllowed(Section section) const;
    std::optional<std::string> ParseLine(Section section, std::string_view line, Records& into);
    std::optional<std::string> ParseText(std::string_view line, Records& into);
    std::optional<std::string> ParseMediaType(std::string_view line, Records& into);

    Kind kind_;
    Records records_;
    std::vector<std::string> errors_;
};

}  // namespace datc
