// datc: compiles the readable sources of a module's data file into the binary <module>.dat.
//
//   datc --kind <hub|texts|util> --out <file> [--po <lang>.po [--complete]] <source>...
//   datc --kind <hub|texts|util> --template --out <file.pot> <source>...
//   datc --kind manual --out <page.scd> [--po <lang>.po [--complete]] | --template --out <file.pot>
//        <page.scd>
//
// A source is UTF-8 text made of sections; each section is one table of the data file. Sources
// are read in command-line order, and a section may be resumed later in the same or another
// source (so modules can share a file of common texts); records keep their source order.
//
//   # a comment (whole lines only); blank lines are ignored
//   [texts]
//   100 Next >
//   155 No printer can be serviced.\nInstall a printer first.
//   500 "Leading or trailing blanks are kept inside double quotes. "
//   [functions]
//   # key | display name | plug-in file
//   1:1 | Media settings | util.so
//   [printer-models]
//   # key | driver name
//   1:0 | ARVEN WL-4000
//   [media-types]
//   # order | media ID | file ID | HxV per print mode 0-3 | Mw per print mode 0-3
//   110 | 0x0010 | 1 | 360x720 360x360 720x720 720x1440 | 2 1 4 4
//
// A text line is its number (signed 32-bit, unique in the file), blanks, and the text up to the
// end of the line; backslash-n stays the two characters the record stores. A key is
// "family:number" (bits 16-23 and 0-15) or a plain 32-bit number (decimal or 0x-hex).
// Kind hub writes texts, functions and printer models; kind util texts and media types; kind
// texts writes texts only. Each refuses the sections it does not write. Texts may hold 127 bytes,
// names and files 255 (one byte is the NUL). Any error is reported as "source:line: message", no
// output is written, and the exit status is 1 (2 for a bad command line). The binary layout is
// described in docs/data-files.md.
//
// With --po, the texts and function names are those of the gettext catalogue of the language the
// file is named for (po/de.po: "de"); what it lacks stays English, and with --complete that is an
// error. Catalogue entries are found by the context "<module>:<text number>" (function names:
// "<module>:function"), the module being the name of the folder of the text's source, and the
// English text. --template writes the gettext template of the sources instead of a data file.
//
// Kind manual takes one manual page's scdoc source and writes it with its summary line (NAME)
// translated, or the summary's template entry (context "manual:<page>"); see manual_summary.h.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/datc/catalogue.h"
#include "tools/datc/data_source.h"
#include "tools/datc/manual_summary.h"

namespace {

constexpr const char* kUsage =
    "usage: datc --kind <hub|texts|util> --out <file> [--po <lang>.po [--complete]] <source>...\n"
    "       datc --kind <hub|texts|util> --template --out <file.pot> <source>...\n"
    "       datc --kind manual --out <page.scd> [--po <lang>.po [--complete]] <page.scd>\n"
    "       datc --kind manual --template --out <file.pot> <page.scd>\n";

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return std::move(content).str();
}

// Writes beside the target and renames, so that a failed run never leaves a half-written file
// that the build would take as up to date.
bool WriteWholeFile(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + ".part";
    std::error_code error;
    if (const auto directory = std::filesystem::path(path).parent_path(); !directory.empty()) {
        std::filesystem::create_directories(directory, error);  // a failure shows when writing
    }
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

// Reads and parses the catalogue at `path`, telling what is wrong with it on stderr.
bool LoadCatalogue(const std::string& path, datc::Catalogue& catalogue) {
    const auto content = ReadWholeFile(path);
    if (!content) {
        std::cerr << path << ": cannot read the file\n";
        return false;
    }
    if (!catalogue.Parse(path, *content)) {
        for (const auto& error : catalogue.Errors()) {
            std::cerr << error << '\n';
        }
        return false;
    }
    return true;
}

std::string Language(const std::string& poPath) {
    return std::filesystem::path(poPath).stem().string();
}

int CompileManual(const std::string& source, const std::string& poPath, bool complete,
                  bool writeTemplate, const std::string& outPath) {
    const auto content = ReadWholeFile(source);
    if (!content) {
        std::cerr << source << ": cannot read the file\n";
        return 1;
    }
    datc::ManualSummary manual;
    datc::Catalogue catalogue;
    if (!manual.Parse(source, *content) || (!poPath.empty() && !LoadCatalogue(poPath, catalogue))) {
        for (const auto& error : manual.Errors()) {
            std::cerr << error << '\n';
        }
        return 1;
    }
    const std::string page =
        writeTemplate ? manual.Template() : manual.Translated(catalogue, poPath, complete);
    for (const auto& error : manual.Errors()) {
        std::cerr << error << '\n';
    }
    if (!manual.Errors().empty()) {
        return 1;
    }
    if (!WriteWholeFile(outPath, page)) {
        std::cerr << outPath << ": cannot write the file\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<datc::Kind> kind;
    bool manual = false;
    std::string outPath;
    std::string poPath;
    bool complete = false;
    bool writeTemplate = false;
    std::vector<std::string> sources;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--complete" || argument == "--template") {
            (argument == "--complete" ? complete : writeTemplate) = true;
        } else if ((argument == "--kind" || argument == "--out" || argument == "--po") &&
                   i + 1 < argc) {
            const std::string value = argv[++i];
            if (argument == "--out") {
                outPath = value;
            } else if (argument == "--po") {
                poPath = value;
            } else if (value == "manual") {
                manual = true;
            } else if (!(kind = datc::ParseKind(value))) {
                std::cerr << "datc: unknown kind \"" << value << "\"\n" << kUsage;
                return 2;
            }
        } else if (argument.starts_with("--")) {
            std::cerr << "datc: bad option \"" << argument << "\"\n" << kUsage;
            return 2;
        } else {
            sources.push_back(argument);
        }
    }
    if ((!kind && !manual) || outPath.empty() || sources.empty() ||
        (manual && sources.size() != 1) || (complete && poPath.empty()) ||
        (writeTemplate && !poPath.empty())) {
        std::cerr << kUsage;
        return 2;
    }
    if (manual) {
        return CompileManual(sources.front(), poPath, complete, writeTemplate, outPath);
    }

    datc::DataSource data(*kind);
    bool readable = true;
    for (const auto& source : sources) {
        const auto content = ReadWholeFile(source);
        if (!content) {
            std::cerr << source << ": cannot read the file\n";
            readable = false;
            continue;
        }
        data.AddSource(source, *content,
                       std::filesystem::path(source).parent_path().filename().string());
    }
    datc::Catalogue catalogue;
    if (!poPath.empty() && readable) {
        if (!LoadCatalogue(poPath, catalogue)) {
            return 1;
        }
        data.Translate(catalogue, poPath, Language(poPath), complete);
    }
    for (const auto& error : data.Errors()) {
        std::cerr << error << '\n';
    }
    if (!readable || !data.Errors().empty()) {
        return 1;
    }
    std::string bytes = data.Template();
    if (!writeTemplate) {
        const std::vector<std::uint8_t> encoded = data.Encode();
        bytes.assign(encoded.begin(), encoded.end());
    }
    if (!WriteWholeFile(outPath, bytes)) {
        std::cerr << outPath << ": cannot write the data file\n";
        return 1;
    }
    return 0;
}
