// Internal to the dialog kit: runs a step file against the program's live windows, from the
// event loop, so that the program behaves exactly as it does for an operator.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <string>
#include <vector>

#include "platform/ui/message_box.h"
#include "platform/ui/operator_input.h"
#include "platform/ui/step_file.h"
#include "platform/ui/window.h"

namespace ui {

class StepRunner : public QObject {
  public:
    bool Load(const std::string& path, std::string& error);
    void Start();
    // After the program's body has returned: the exit code for the run.
    int Finish();

  private:
    enum class Outcome { Done, Retry, Failed };

    void Tick();
    Outcome Execute(const Step& step, std::string& error);
    static Outcome Act(input::Result result);
    Outcome Check(bool condition, const std::string& failure, std::string& error);
    // Runs a step that needs no event loop; a step that does not pass fails the run.
    void RunNow(const Step& step);
    [[noreturn]] void Fail(const Step& step, const std::string& message);
    WindowHandle FindControl(const Step& step, size_t argument, std::string& error) const;
    WindowHandle MainWindow() const;

    std::vector<Step> steps_;
    std::string path_;
    size_t next_ = 0;
    WindowHandle target_ = nullptr;
    int timeoutMs_ = 10000;
    QTimer tickTimer_;
    QElapsedTimer stepTimer_;
    bool stepStarted_ = false;
    size_t checkedBoxes_ = 0;
    ScriptedResponder responder_;
};

}  // namespace ui
