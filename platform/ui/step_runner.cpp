#include "platform/ui/step_runner.h"

#include <unistd.h>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <utility>

#include "platform/system/file.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/operator_input.h"
#include "platform/ui/window_registry.h"

namespace ui {

namespace {

// How often a step that waits for the program is tried again.
constexpr int kTickMs = 20;

bool ParseNumber(const std::string& text, long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 0);
    return end != nullptr && *end == '\0';
}

bool ParseYesNo(const std::string& text, bool& value) {
    if (text == "yes" || text == "on" || text == "true") {
        value = true;
        return true;
    }
    if (text == "no" || text == "off" || text == "false") {
        value = false;
        return true;
    }
    return false;
}

// Finds a visible dialog of the template, the most recently made one first.
WindowHandle VisibleDialog(int templateId) {
    WindowHandle found = nullptr;
    std::function<void(QWidget*)> visit = [&](QWidget* widget) {
        WindowHandle handle = detail::HandleOf(widget);
        if (handle != nullptr && DialogTemplateId(handle) == templateId && widget->isVisible()) {
            found = handle;
        }
        for (QObject* child : widget->children()) {
            if (child->isWidgetType()) {
                visit(static_cast<QWidget*>(child));
            }
        }
    };
    for (QWidget* top : QApplication::topLevelWidgets()) {
        visit(top);
    }
    return found;
}

std::string Quote(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

bool StepRunner::Load(const std::string& path, std::string& error) {
    path_ = path;
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the step file " + path;
        return false;
    }
    if (!ReadSteps(in, steps_, error)) {
        error = path + ":" + error;
        return false;
    }
    return true;
}

void StepRunner::Start() {
    responder_.onUnscriptedBox = [this](const MessageBoxRecord& box) -> int {
        const Step& step = steps_[next_ == 0 ? 0 : next_ - 1];
        Fail(step, "a message box appeared with no answer prepared: " + Quote(box.text));
    };
    responder_.onUnscriptedFileDialog = [this](const FileDialogRequest& request,
                                               std::string&) -> bool {
        const Step& step = steps_[next_ == 0 ? 0 : next_ - 1];
        Fail(step, "a file dialog appeared with no answer prepared: " + Quote(request.title));
    };
    SetResponder(&responder_);
    // Answers at the head of the file are prepared now, so that a box the program shows while it
    // starts, before its event loop runs, can be answered.
    while (next_ < steps_.size() &&
           (steps_[next_].verb == "answer-box" || steps_[next_].verb == "answer-file")) {
        RunNow(steps_[next_++]);
    }
    tickTimer_.setSingleShot(true);
    connect(&tickTimer_, &QTimer::timeout, this, [this]() { Tick(); });
    tickTimer_.start(0);
}

int StepRunner::Finish() {
    SetResponder(nullptr);
    // Checks of the boxes shown need no window: they can still run once the program has ended,
    // as they must when it ends with a box of its start-up.
    while (next_ < steps_.size() &&
           (steps_[next_].verb == "expect-box" || steps_[next_].verb == "expect-no-box")) {
        RunNow(steps_[next_++]);
    }
    if (next_ < steps_.size()) {
        std::fprintf(stderr, "%s:%d: the program ended before step '%s' ran\n", path_.c_str(),
                     steps_[next_].line, steps_[next_].verb.c_str());
        return 3;
    }
    std::fprintf(stderr, "%s: all %zu steps passed\n", path_.c_str(), steps_.size());
    return 0;
}

void StepRunner::Tick() {
    if (next_ >= steps_.size()) {
        return;
    }
    const Step& step = steps_[next_];
    if (!stepStarted_) {
        stepStarted_ = true;
        stepTimer_.start();
    }
    // The next tick is queued before the step acts: an action that opens a modal dialog keeps
    // the steps going from inside that dialog's loop. The next step follows once the event loop
    // has handled what is waiting; a step that has to wait for the program is tried again a
    // tick later.
    std::string error;
    size_t index = next_;
    ++next_;
    stepStarted_ = false;
    tickTimer_.start(0);
    Outcome outcome = Execute(step, error);
    if (outcome == Outcome::Failed) {
        Fail(step, error);
    }
    if (outcome == Outcome::Retry) {
        if (stepTimer_.elapsed() > timeoutMs_) {
            Fail(step, error.empty() ? "timed out"
                                     : error + " (after " + std::to_string(timeoutMs_) + " ms)");
        }
        next_ = index;  // try the same step again on the next tick
        stepStarted_ = true;
        tickTimer_.start(kTickMs);
    }
}

void StepRunner::RunNow(const Step& step) {
    std::string error;
    if (Execute(step, error) != Outcome::Done) {
        Fail(step, error);
    }
}

void StepRunner::Fail(const Step& step, const std::string& message) {
    std::fprintf(stderr, "%s:%d: step '%s' failed: %s\n", path_.c_str(), step.line,
                 step.verb.c_str(), message.c_str());
    std::fflush(stderr);
    std::fflush(stdout);
    // Nested dialog loops cannot be unwound from here; the run is over.
    _exit(2);
}

WindowHandle StepRunner::MainWindow() const {
    for (WindowHandle window : TopLevelWindows()) {
        if (!SystemMenuEntries(window).empty() && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

WindowHandle StepRunner::FindControl(const Step& step, size_t argument, std::string& error) const {
    long id = 0;
    if (argument >= step.args.size() || !ParseNumber(step.args[argument], id)) {
        error = "expected a control identifier";
        return nullptr;
    }
    if (!IsWindow(target_)) {
        error = "no dialog is targeted (use 'wait TEMPLATE' first)";
        return nullptr;
    }
    WindowHandle control = GetDlgItem(target_, static_cast<int>(id));
    if (control == nullptr) {
        error = "dialog " + std::to_string(DialogTemplateId(target_)) + " has no control " +
                std::to_string(id);
    }
    return control;
}

StepRunner::Outcome StepRunner::Act(input::Result result) {
    switch (result) {
        case input::Result::Done:
            return Outcome::Done;
        case input::Result::NotUsable:
            return Outcome::Retry;  // the control may become usable in a moment
        case input::Result::Invalid:
            break;
    }
    return Outcome::Failed;
}

StepRunner::Outcome StepRunner::Check(bool condition, const std::string& failure,
                                      std::string& error) {
    if (condition) {
        return Outcome::Done;
    }
    error = failure;
    return Outcome::Retry;  // checks wait for the program to catch up, up to the timeout
}

StepRunner::Outcome StepRunner::Execute(const Step& step, std::string& error) {
    const std::string& verb = step.verb;
    const auto& args = step.args;
    auto needArgs = [&](size_t count) {
        if (args.size() < count) {
            error = "needs " + std::to_string(count) + " argument(s)";
            return false;
        }
        return true;
    };

    if (verb == "timeout") {
        long ms = 0;
        if (!needArgs(1) || !ParseNumber(args[0], ms) || ms <= 0) {
            error = error.empty() ? "expected milliseconds" : error;
            return Outcome::Failed;
        }
        timeoutMs_ = static_cast<int>(ms);
        return Outcome::Done;
    }
    if (verb == "wait" || verb == "wait-gone") {
        long id = 0;
        if (!needArgs(1) || !ParseNumber(args[0], id)) {
            error = error.empty() ? "expected a template number" : error;
            return Outcome::Failed;
        }
        WindowHandle dialog = VisibleDialog(static_cast<int>(id));
        if (verb == "wait-gone") {
            return Check(dialog == nullptr, "dialog " + args[0] + " is still shown", error);
        }
        if (dialog == nullptr) {
            error = "dialog " + args[0] + " is not shown";
            return Outcome::Retry;
        }
        target_ = dialog;
        return Outcome::Done;
    }
    if (verb == "wait-file") {
        // Another program's part: waits until the file holds the text (the first 16 MiB count).
        if (!needArgs(2)) {
            return Outcome::Failed;
        }
        constexpr std::size_t kLargestRead = 16 << 20;
        const sys::InputFile file(args[0]);
        const std::vector<uint8_t> bytes = file.ReadAt(0, kLargestRead);
        const std::string content(bytes.begin(), bytes.end());
        if (content.find(args[1]) == std::string::npos) {
            error = Quote(args[0]) + " does not hold " + Quote(args[1]);
            return Outcome::Retry;
        }
        return Outcome::Done;
    }
    if (verb == "answer-box") {
        long answer = 0;
        if (!needArgs(1) || !ParseNumber(args[0], answer)) {
            error = error.empty() ? "expected a result number" : error;
            return Outcome::Failed;
        }
        responder_.AnswerNextBox(static_cast<int>(answer));
        return Outcome::Done;
    }
    if (verb == "answer-file") {
        if (!needArgs(1)) {
            return Outcome::Failed;
        }
        responder_.AnswerNextFileDialog(args[0] == "cancel" ? std::string() : args[0]);
        return Outcome::Done;
    }
    if (verb == "expect-box") {
        // expect-box FLAGS TEXT: the oldest box not yet checked; FLAGS may be '*'.
        if (!needArgs(2)) {
            return Outcome::Failed;
        }
        const auto& boxes = responder_.Boxes();
        if (checkedBoxes_ >= boxes.size()) {
            error = "no message box was shown";
            return Outcome::Retry;
        }
        const MessageBoxRecord& box = boxes[checkedBoxes_++];
        long flags = 0;
        if (args[0] != "*" &&
            (!ParseNumber(args[0], flags) || box.flags != static_cast<uint32_t>(flags))) {
            error = "the box had flags " + std::to_string(box.flags) + ", not " + args[0];
            return Outcome::Failed;
        }
        if (box.text != args[1]) {
            error = "the box said " + Quote(box.text) + ", not " + Quote(args[1]);
            return Outcome::Failed;
        }
        return Outcome::Done;
    }
    if (verb == "expect-no-box") {
        if (checkedBoxes_ < responder_.Boxes().size()) {
            error = "a message box was shown: " + Quote(responder_.Boxes()[checkedBoxes_].text);
            return Outcome::Failed;
        }
        return Outcome::Done;
    }
    if (verb == "sysmenu") {
        long command = 0;
        if (!needArgs(1) || !ParseNumber(args[0], command)) {
            error = error.empty() ? "expected a command number" : error;
            return Outcome::Failed;
        }
        WindowHandle main = MainWindow();
        bool listed = false;
        for (const SystemMenuEntry& entry : SystemMenuEntries(main)) {
            listed = listed || entry.commandId == static_cast<uint32_t>(command);
        }
        if (!listed) {
            error = "the system menu has no entry " + args[0];
            return Outcome::Failed;
        }
        SendSystemCommand(main, static_cast<uint32_t>(command));
        return Outcome::Done;
    }
    if (verb == "expect-sysmenu") {
        // expect-sysmenu COMMAND yes|no
        long command = 0;
        bool wanted = false;
        if (!needArgs(2) || !ParseNumber(args[0], command) || !ParseYesNo(args[1], wanted)) {
            error = error.empty() ? "expected a command number and yes or no" : error;
            return Outcome::Failed;
        }
        bool listed = false;
        for (const SystemMenuEntry& entry : SystemMenuEntries(MainWindow())) {
            listed = listed || entry.commandId == static_cast<uint32_t>(command);
        }
        return Check(
            listed == wanted,
            std::string("entry ") + args[0] + (listed ? " is" : " is not") + " in the system menu",
            error);
    }
    if (verb == "say") {
        // say TEXT: writes a line to the standard error, so that whoever runs the program can
        // follow the run.
        std::fprintf(stderr, "%s\n", args.empty() ? "" : args[0].c_str());
        std::fflush(stderr);
        return Outcome::Done;
    }
    if (verb == "show-main") {
        long command = 0;
        if (!needArgs(1) || !ParseNumber(args[0], command)) {
            error = error.empty() ? "expected a show command" : error;
            return Outcome::Failed;
        }
        if (command == 6) {  // minimise, as the operator can from the title bar
            if (QWidget* main = detail::WidgetOf(MainWindow())) {
                main->showMinimized();
                return Outcome::Done;
            }
            error = "there is no main window";
            return Outcome::Failed;
        }
        ShowWindow(MainWindow(), static_cast<int>(command));
        return Outcome::Done;
    }
    if (verb == "expect-iconic") {
        bool wanted = false;
        if (!needArgs(1) || !ParseYesNo(args[0], wanted)) {
            error = error.empty() ? "expected yes or no" : error;
            return Outcome::Failed;
        }
        bool iconic = IsIconic(MainWindow());
        return Check(iconic == wanted,
                     std::string("the main window is ") + (iconic ? "" : "not ") + "minimised",
                     error);
    }
    if (verb == "expect-foreground") {
        long id = 0;
        if (!needArgs(1) || !ParseNumber(args[0], id)) {
            error = error.empty() ? "expected a template number" : error;
            return Outcome::Failed;
        }
        QWidget* active = QApplication::activeWindow();
        int shown = DialogTemplateId(detail::HandleOf(active));
        return Check(shown == id, "the window in front is dialog " + std::to_string(shown), error);
    }
    if (verb == "screenshot" || verb == "screenshot-front") {
        if (!needArgs(1)) {
            return Outcome::Failed;
        }
        WindowHandle window = verb == "screenshot" ? MainWindow() : nullptr;
        if (window == nullptr) {
            window = target_;
        }
        if (!SaveScreenshot(window, args[0])) {
            error = "could not save " + args[0];
            return Outcome::Failed;
        }
        return Outcome::Done;
    }
    if (verb == "key") {
        // key tab|shift-tab|enter|escape|space: typed on the focused control
        if (!needArgs(1)) {
            return Outcome::Failed;
        }
        const std::map<std::string, std::pair<int, bool>> keys = {{"tab", {9, false}},
                                                                  {"shift-tab", {9, true}},
                                                                  {"enter", {13, false}},
                                                                  {"escape", {27, false}},
                                                                  {"space", {32, false}}};
        auto key = keys.find(args[0]);
        if (key == keys.end()) {
            error = "unknown key " + args[0];
            return Outcome::Failed;
        }
        return Act(input::PressKey(key->second.first, key->second.second, target_, error));
    }
    if (verb == "mouse") {
        // mouse down|move|up X Y: the left button on the targeted dialog's own surface.
        static const std::map<std::string, MouseAction> actions = {{"down", MouseAction::LeftDown},
                                                                   {"move", MouseAction::Move},
                                                                   {"up", MouseAction::LeftUp}};
        long x = 0;
        long y = 0;
        if (!needArgs(3) || !ParseNumber(args[1], x) || !ParseNumber(args[2], y)) {
            error = error.empty() ? "expected down, move or up and a point" : error;
            return Outcome::Failed;
        }
        const auto action = actions.find(args[0]);
        if (action == actions.end() || target_ == nullptr) {
            error =
                target_ == nullptr ? "no dialog is targeted" : "unknown mouse action " + args[0];
            return Outcome::Failed;
        }
        return Act(input::Mouse(target_, action->second, {static_cast<int>(x), static_cast<int>(y)},
                                error));
    }
    if (verb == "expect-focus") {
        WindowHandle control = FindControl(step, 0, error);
        if (control == nullptr) {
            return Outcome::Failed;
        }
        return Check(GetFocus() == control, "control " + args[0] + " does not have the focus",
                     error);
    }

    // The remaining steps act on or check one control of the targeted dialog.
    WindowHandle control = FindControl(step, 0, error);
    if (control == nullptr) {
        return Outcome::Failed;
    }
    QWidget* widget = detail::WidgetOf(control);
    long number = 0;
    bool flag = false;
    if (verb == "click") {
        return Act(input::Click(control, error));
    }
    if (verb == "check") {
        if (!needArgs(2) || !ParseYesNo(args[1], flag)) {
            error = error.empty() ? "expected on or off" : error;
            return Outcome::Failed;
        }
        return Button(control).IsChecked() == flag ? Outcome::Done
                                                   : Act(input::Click(control, error));
    }
    if (verb == "select") {
        return needArgs(2) ? Act(input::SelectText(control, args[1], error)) : Outcome::Failed;
    }
    if (verb == "select-index") {
        if (!needArgs(2) || !ParseNumber(args[1], number)) {
            error = error.empty() ? "expected an entry index" : error;
            return Outcome::Failed;
        }
        return Act(input::SelectIndex(control, static_cast<int>(number), error));
    }
    if (verb == "tick") {
        // tick ID INDEX on|off: the tick box of one check-list entry
        if (!needArgs(3) || !ParseNumber(args[1], number) || !ParseYesNo(args[2], flag)) {
            error = error.empty() ? "expected an entry index and on or off" : error;
            return Outcome::Failed;
        }
        return Act(input::Tick(control, static_cast<int>(number), flag, error));
    }
    if (verb == "slide") {
        if (!needArgs(2) || !ParseNumber(args[1], number)) {
            error = error.empty() ? "expected a position" : error;
            return Outcome::Failed;
        }
        return Act(input::Slide(control, static_cast<int>(number), error));
    }
    if (verb == "type") {
        return needArgs(2) ? Act(input::Type(control, args[1], error)) : Outcome::Failed;
    }
    if (verb == "focus") {
        return Act(input::Focus(control, error));
    }
    if (verb == "leave") {
        return Act(input::Leave(control, error));
    }
    if (verb == "expect-text") {
        if (!needArgs(2)) {
            return Outcome::Failed;
        }
        std::string text = GetWindowText(control);
        return Check(text == args[1], "control " + args[0] + " shows " + Quote(text), error);
    }
    if (verb == "expect-items") {
        std::vector<std::string> items;
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            for (int i = 0; i < combo->count(); ++i) {
                items.push_back(combo->itemText(i).toStdString());
            }
        } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
            for (int i = 0; i < list->count(); ++i) {
                items.push_back(list->item(i)->text().toStdString());
            }
        } else {
            error = "control " + args[0] + " is not a list";
            return Outcome::Failed;
        }
        std::vector<std::string> wanted(args.begin() + 1, args.end());
        std::string shown;
        for (const auto& item : items) {
            shown += (shown.empty() ? "" : ", ") + Quote(item);
        }
        return Check(items == wanted, "list " + args[0] + " holds [" + shown + "]", error);
    }
    if (verb == "expect-selected") {
        if (!needArgs(2)) {
            return Outcome::Failed;
        }
        std::string selected;
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            selected = combo->currentIndex() >= 0 ? combo->currentText().toStdString() : "";
        } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
            selected =
                list->currentItem() != nullptr ? list->currentItem()->text().toStdString() : "";
        }
        return Check(selected == args[1],
                     "list " + args[0] + " has " + Quote(selected) + " selected", error);
    }
    if (verb == "expect-enabled" || verb == "expect-visible" || verb == "expect-checked") {
        bool wanted = false;
        if (!needArgs(2) || !ParseYesNo(args[1], wanted)) {
            error = error.empty() ? "expected yes or no" : error;
            return Outcome::Failed;
        }
        bool actual = verb == "expect-enabled"   ? widget->isEnabled()
                      : verb == "expect-visible" ? widget->isVisible()
                                                 : Button(control).IsChecked();
        std::string state = verb.substr(7);
        return Check(actual == wanted,
                     "control " + args[0] + (actual ? " is " : " is not ") + state, error);
    }
    error = "unknown step '" + verb + "'";
    return Outcome::Failed;
}

}  // namespace ui
