#include "platform/ui/message_box.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>

#include "platform/ui/window_registry.h"

namespace ui {

namespace {

int FirstButtonResult(uint32_t flags) {
    switch (flags & 0xF) {
        case 0x2:  // abort, retry, ignore
            return 3;
        case 0x3:  // yes, no, cancel
        case 0x4:  // yes, no
            return 6;
        case kMbRetryCancel:
            return kIdRetryResult;
        default:
            return kIdOkResult;
    }
}

// "Text files (*.txt)|*.txt|All files|*|" as the toolkit writes it: "Text files (*.txt);;All files
// (*)".
QString QtFilter(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;
        }
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << (parts[i].contains(QLatin1Char('('))
                        ? parts[i] + QStringLiteral(" [") + patterns + QLatin1Char(']')
                        : parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

class RealResponder : public Responder {
  public:
    int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                   uint32_t flags) override {
        QWidget* parent = detail::WidgetOf(owner);
        QMessageBox box(parent != nullptr ? parent->window() : QApplication::activeWindow());
        box.setWindowTitle(QString::fromStdString(caption));
        box.setText(QString::fromStdString(text));
        switch (flags & 0xF0) {
            case kMbIconStop:
                box.setIcon(QMessageBox::Critical);
                break;
            case kMbIconQuestion:
                box.setIcon(QMessageBox::Question);
                break;
            case kMbIconExclamation:
                box.setIcon(QMessageBox::Warning);
                break;
            case kMbIconInformation:
                box.setIcon(QMessageBox::Information);
                break;
            default:
                break;
        }
        struct Choice {
            QMessageBox::StandardButton button;
            int result;
        };
        std::vector<Choice> choices;
        switch (flags & 0xF) {
            case kMbOkCancel:
                choices = {{QMessageBox::Ok, kIdOkResult}, {QMessageBox::Cancel, kIdCancelResult}};
                break;
            case 0x2:
                choices = {
                    {QMessageBox::Abort, 3}, {QMessageBox::Retry, 4}, {QMessageBox::Ignore, 5}};
                break;
            case 0x3:
                choices = {{QMessageBox::Yes, 6}, {QMessageBox::No, 7}, {QMessageBox::Cancel, 2}};
                break;
            case 0x4:
                choices = {{QMessageBox::Yes, 6}, {QMessageBox::No, 7}};
                break;
            case kMbRetryCancel:
                choices = {{QMessageBox::Retry, kIdRetryResult},
                           {QMessageBox::Cancel, kIdCancelResult}};
                break;
            default:
                choices = {{QMessageBox::Ok, kIdOkResult}};
                break;
        }
        QMessageBox::StandardButtons buttons;
        for (const Choice& choice : choices) {
            buttons |= choice.button;
        }
        box.setStandardButtons(buttons);
        box.setDefaultButton(choices.front().button);
        // While it is shown the box is a window of the program: a second start raises it.
        detail::Register(&box);
        int pressed = box.exec();
        for (const Choice& choice : choices) {
            if (pressed == choice.button) {
                return choice.result;
            }
        }
        // Closed without a button: the cancel-like answer, or the only one there is.
        return choices.size() > 1 ? choices.back().result : choices.front().result;
    }

    bool FileDialog(const FileDialogRequest& request, std::string& path) override {
        QWidget* parent = detail::WidgetOf(request.owner);
        QFileDialog dialog(parent != nullptr ? parent->window() : QApplication::activeWindow(),
                           QString::fromStdString(request.title));
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        QString filter = QtFilter(request.filter);
        if (!filter.isEmpty()) {
            dialog.setNameFilter(filter);
        }
        if (!request.defaultExtension.empty()) {
            dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
        }
        if (!request.initialDirectory.empty()) {
            dialog.setDirectory(QString::fromStdString(request.initialDirectory));
        }
        if (!request.fileName.empty()) {
            dialog.selectFile(QString::fromStdString(request.fileName));
        }
        detail::Register(&dialog);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return false;
        }
        path = dialog.selectedFiles().front().toStdString();
        return true;
    }
};

RealResponder& realResponder() {
    static RealResponder instance;
    return instance;
}

Responder* current = nullptr;
std::string applicationTitle;

}  // namespace

int ScriptedResponder::MessageBox(WindowHandle owner, const std::string& text,
                                  const std::string& caption, uint32_t flags) {
    MessageBoxRecord record{owner, text, caption, flags, 0};
    if (!boxAnswers_.empty()) {
        record.answer = boxAnswers_.front();
        boxAnswers_.pop_front();
    } else if (onUnscriptedBox) {
        record.answer = onUnscriptedBox(record);
    } else {
        record.answer = FirstButtonResult(flags);
    }
    boxes_.push_back(record);
    return record.answer;
}

bool ScriptedResponder::FileDialog(const FileDialogRequest& request, std::string& path) {
    fileDialogs_.push_back(request);
    if (!fileAnswers_.empty()) {
        path = fileAnswers_.front();
        fileAnswers_.pop_front();
    } else if (onUnscriptedFileDialog) {
        return onUnscriptedFileDialog(request, path);
    } else {
        path.clear();
    }
    if (path.empty()) {
        return false;
    }
    // The real dialog adds the default extension to a name that has none.
    if (!request.defaultExtension.empty() &&
        QFileInfo(QString::fromStdString(path)).suffix().isEmpty()) {
        path += "." + request.defaultExtension;
    }
    return true;
}

void ScriptedResponder::Clear() {
    boxAnswers_.clear();
    fileAnswers_.clear();
    boxes_.clear();
    fileDialogs_.clear();
}

void SetResponder(Responder* responder) {
    current = responder;
}

Responder& CurrentResponder() {
    return current != nullptr ? *current : realResponder();
}

int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
               uint32_t flags) {
    return CurrentResponder().MessageBox(owner, text, caption, flags);
}

int AppMessageBox(const std::string& text, uint32_t flags) {
    return MessageBox(detail::HandleOf(QApplication::activeWindow()), text, ApplicationTitle(),
                      flags);
}

bool GetOpenFileName(const FileDialogRequest& request, std::string& path) {
    FileDialogRequest open = request;
    open.save = false;
    return CurrentResponder().FileDialog(open, path);
}

bool GetSaveFileName(FileDialogRequest request, std::string& path) {
    request.save = true;
    return CurrentResponder().FileDialog(request, path);
}

void SetApplicationTitle(const std::string& title) {
    applicationTitle = title;
}
std::string ApplicationTitle() {
    return applicationTitle;
}

}  // namespace ui
