#include "platform/ui/step_file.h"

namespace ui {

bool SplitStepLine(const std::string& line, std::vector<std::string>& words, std::string& error) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) {
            ++i;
        }
        if (i >= line.size() || line[i] == '#') {
            break;
        }
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size()) {
                    char e = line[i++];
                    word += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
                } else {
                    word += c;
                }
            }
            if (!closed) {
                error = "unterminated quote";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                word += line[i++];
            }
        }
        words.push_back(word);
    }
    return true;
}

bool ReadSteps(std::istream& in, std::vector<Step>& steps, std::string& error) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::vector<std::string> words;
        if (!SplitStepLine(line, words, error)) {
            error = std::to_string(number) + ": " + error;
            return false;
        }
        if (words.empty()) {
            continue;
        }
        steps.push_back(Step{number, words.front(), {words.begin() + 1, words.end()}});
    }
    return true;
}

}  // namespace ui
