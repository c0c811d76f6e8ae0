// Message boxes and file dialogs. Both go through a responder: the real one shows them to the
// operator; tests and step files install a scripted one that answers from a prepared list and
// records every box.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/export.h"
#include "platform/ui/window.h"

namespace ui {

// Flags, combined as Windows combines them.
inline constexpr uint32_t kMbOk = 0x0;
inline constexpr uint32_t kMbOkCancel = 0x1;
inline constexpr uint32_t kMbRetryCancel = 0x5;
inline constexpr uint32_t kMbIconStop = 0x10;
inline constexpr uint32_t kMbIconQuestion = 0x20;
inline constexpr uint32_t kMbIconExclamation = 0x30;
inline constexpr uint32_t kMbIconInformation = 0x40;
// Results.
inline constexpr int kIdOkResult = 1;
inline constexpr int kIdCancelResult = 2;
inline constexpr int kIdRetryResult = 4;

struct FileDialogRequest {
    bool save = false;
    WindowHandle owner = nullptr;
    std::string title;
    std::string filter;  // "Text files (*.txt)|*.txt|All files|*|", pairs separated by '|'
    std::string defaultExtension;  // added when the chosen name has none
    std::string initialDirectory;
    std::string fileName;  // proposed name
};

struct MessageBoxRecord {
    WindowHandle owner;
    std::string text;
    std::string caption;
    uint32_t flags;
    int answer;
};

class PLENWISE_API Responder {
  public:
    virtual ~Responder() = default;
    virtual int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                           uint32_t flags) = 0;
    // True with the chosen path, false when the operator cancelled.
    virtual bool FileDialog(const FileDialogRequest& request, std::string& path) = 0;
};

// Answers from prepared lists. A box or dialog with no prepared answer is passed to the
// unscripted handler (by default: box answered with its first button's result, dialog
// cancelled) and recorded like any other.
class PLENWISE_API ScriptedResponder : public Responder {
  public:
    int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                   uint32_t flags) override;
    bool FileDialog(const FileDialogRequest& request, std::string& path) override;

    void AnswerNextBox(int answer) { boxAnswers_.push_back(answer); }
    // An empty path cancels the dialog.
    void AnswerNextFileDialog(const std::string& path) { fileAnswers_.push_back(path); }

    const std::vector<MessageBoxRecord>& Boxes() const { return boxes_; }
    const std::vector<FileDialogRequest>& FileDialogs() const { return fileDialogs_; }
    size_t PendingAnswers() const { return boxAnswers_.size() + fileAnswers_.size(); }
    void Clear();

    std::function<int(const MessageBoxRecord&)> onUnscriptedBox;
    std::function<bool(const FileDialogRequest&, std::string&)> onUnscriptedFileDialog;

  private:
    std::deque<int> boxAnswers_;
    std::deque<std::string> fileAnswers_;
    std::vector<MessageBoxRecord> boxes_;
    std::vector<FileDialogRequest> fileDialogs_;
};

// Installs the process-wide responder; nullptr returns to the real one. Not owned.
PLENWISE_API void SetResponder(Responder* responder);
PLENWISE_API Responder& CurrentResponder();

PLENWISE_API int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                            uint32_t flags);
// A message box owned by the active window with the application title as caption.
PLENWISE_API int AppMessageBox(const std::string& text, uint32_t flags);
PLENWISE_API bool GetOpenFileName(const FileDialogRequest& request, std::string& path);
PLENWISE_API bool GetSaveFileName(FileDialogRequest request, std::string& path);

// The title that AppMessageBox uses: the program's file name without extension.
PLENWISE_API void SetApplicationTitle(const std::string& title);
PLENWISE_API std::string ApplicationTitle();

}  // namespace ui
