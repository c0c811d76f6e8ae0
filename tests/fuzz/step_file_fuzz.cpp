// Step files. Every line either fails with its number named, or gives words that, quoted and
// escaped again, split into the same words; a file's steps are its lines with words, in order.
#include <sstream>
#include <string>
#include <vector>

#include "platform/ui/step_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string Quoted(const std::string& word) {
    std::string text = "\"";
    for (char c : word) {
        switch (c) {
            case '"':
                text += "\\\"";
                break;
            case '\\':
                text += "\\\\";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\r':
                text += "\\r";
                break;
            case '\t':
                text += "\\t";
                break;
            default:
                text += c;
        }
    }
    return text + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(fuzz::AsText(data, size));
    std::istringstream in(text);
    std::vector<ui::Step> steps;
    std::string error;
    const bool read = ui::ReadSteps(in, steps, error);
    if (!read) {
        // "N: reason", N a line of the file.
        const size_t colon = error.find(": ");
        FUZZ_CHECK(colon != std::string::npos && colon > 0);
        const long line = std::stol(error.substr(0, colon));
        FUZZ_CHECK(line >= 1);
    }
    int previous = 0;
    for (const ui::Step& step : steps) {
        FUZZ_CHECK(step.line > previous);
        previous = step.line;
        std::vector<std::string> words{step.verb};
        words.insert(words.end(), step.args.begin(), step.args.end());
        std::string line;
        for (const std::string& word : words) {
            line += Quoted(word) + " ";
        }
        std::vector<std::string> again;
        std::string againError;
        FUZZ_CHECK(ui::SplitStepLine(line, again, againError));
        FUZZ_CHECK(again == words);
    }
    return 0;
}
