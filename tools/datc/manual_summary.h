// The summary line of a manual page, the one text of a page that desktops show outside it
// (whatis, apropos, the help browsers): in a page's scdoc source, the line after "# NAME",
// "<name> - <summary>". Its translations live in the same catalogues as the data files' texts,
// with the context "manual:<page>" (the source's file name without ".scd": "plenwise.1").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/datc/catalogue.h"

namespace datc {

class ManualSummary {
  public:
    // Finds the summary in `source` (its file name `path`); false, with the error in Errors(),
    // when the page has no NAME section or its first line is not "<name> - <summary>".
    bool Parse(const std::string& path, std::string_view source);
    const std::vector<std::string>& Errors() const { return errors_; }

    // The gettext template entry of the summary.
    std::string Template() const;
    // The source with the summary in the catalogue's language; the English one stays where the
    // catalogue lacks it (an error with `complete`) or where its translation would not keep the
    // summary one line (always an error).
    std::string Translated(const Catalogue& catalogue, const std::string& poName, bool complete);

  private:
    std::string path_;
    std::string source_;
    std::string context_;
    std::size_t summaryStart_ = 0;  // in source_
    std::size_t summaryEnd_ = 0;
    std::size_t lineNumber_ = 0;  // of the summary, from 1
    std::vector<std::string> errors_;
};

}  // namespace datc
