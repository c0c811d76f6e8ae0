// Internal to the dialog kit: the step files that drive the program's live windows
// (docs/step-files.md), read into steps. Plain C++, exported so that the reading can be tried on
// its own.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "platform/export.h"

namespace ui {

struct Step {
    int line = 0;
    std::string verb;
    std::vector<std::string> args;
};

// Splits one line into words: blanks separate, double quotes group (with \" \\ \n \r \t).
PLENWISE_API bool SplitStepLine(const std::string& line, std::vector<std::string>& words,
                                std::string& error);

// Reads every step of a step file; blank lines and comments give none. On a malformed line,
// false with "N: reason" in `error` (N the line's number).
PLENWISE_API bool ReadSteps(std::istream& in, std::vector<Step>& steps, std::string& error);

}  // namespace ui
