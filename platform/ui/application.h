// The program's user-interface session: the toolkit, the page font, the keyboard routing of
// dialogs, and the optional step file that drives the live windows (for tests and demos).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/export.h"

namespace ui {

class StepRunner;

class PLENWISE_API Application {
  public:
    // Takes "--steps FILE" out of the arguments; PLENWISE_STEPS names a step file as well.
    Application(int& argc, char** argv);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Runs the program's body, driven by the step file when one was given, and returns the exit
    // code: 0, or non-zero when the step file could not be read, a step failed or steps were left.
    int Run(const std::function<void()>& body);

  private:
    std::string stepFile_;
    std::unique_ptr<StepRunner> runner_;
};

}  // namespace ui
