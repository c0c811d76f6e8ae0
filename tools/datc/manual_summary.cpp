#include "tools/datc/manual_summary.h"

#include <filesystem>

namespace datc {

bool ManualSummary::Parse(const std::string& path, std::string_view source) {
    path_ = path;
    source_ = source;
    context_ = "manual:" + std::filesystem::path(path).stem().string();
    std::size_t lineNumber = 0;
    bool inName = false;
    for (std::size_t start = 0; start < source_.size(); ++lineNumber) {
        std::size_t end = source_.find('\n', start);
        if (end == std::string::npos) {
            end = source_.size();
        }
        const std::string_view line(source_.data() + start, end - start);
        if (inName && !line.empty()) {
            const std::size_t dash = line.find(" - ");
            if (dash == std::string_view::npos || dash == 0 || dash + 3 >= line.size()) {
                break;
            }
            summaryStart_ = start + dash + 3;
            summaryEnd_ = end;
            lineNumber_ = lineNumber + 1;
            return true;
        }
        inName = inName || line == "# NAME";
        start = end + 1;
    }
    errors_.push_back(path + ": the page has no NAME line \"<name> - <summary>\"");
    return false;
}

std::string ManualSummary::Template() const {
    return "#: " + path_ + ":" + std::to_string(lineNumber_) + "\nmsgctxt " + PoQuoted(context_) +
           "\nmsgid " + PoQuoted(source_.substr(summaryStart_, summaryEnd_ - summaryStart_)) +
           "\nmsgstr \"\"\n\n";
}

std::string ManualSummary::Translated(const Catalogue& catalogue, const std::string& poName,
                                      bool complete) {
    const std::string english = source_.substr(summaryStart_, summaryEnd_ - summaryStart_);
    const auto translation = catalogue.Find(context_, english);
    const std::string where = path_ + ":" + std::to_string(lineNumber_) + ": ";
    if (!translation) {
        if (complete) {
            errors_.push_back(where + poName + " does not translate the summary");
        }
        return source_;
    }
    if (translation->find_first_of("\r\n") != std::string::npos) {
        errors_.push_back(where + "the summary in " + poName + " is not one line");
        return source_;
    }
    return source_.substr(0, summaryStart_) + *translation + source_.substr(summaryEnd_);
}

}  // namespace datc
