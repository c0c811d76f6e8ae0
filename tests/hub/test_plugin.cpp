// A plug-in made for the hub's tests: one page with Back, Next and Exit that hands control back
// as every plug-in must. It writes what happens to it into the file named by
// PLENWISE_TEST_PLUGIN_LOG, which outlives the library.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/plugin_entry.h"
#include "platform/ui/dialog.h"
#include "platform/ui/window.h"

namespace {

void Log(const std::string& line) {
    const char* path = std::getenv("PLENWISE_TEST_PLUGIN_LOG");
    if (path == nullptr) {
        return;
    }
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

const ui::DialogTemplate& PageTemplate() {
    static const ui::DialogTemplate page{
        9001,
        ui::DialogKind::Child,
        360,
        260,
        {
            {ui::ControlKind::Edit, 9010, 20, 20, 100, 12},
            {ui::ControlKind::Edit, 9011, 20, 40, 100, 12},
            {ui::ControlKind::PushButton, 1003, 119, 245, 51, 14, ui::style::kHidden},
            {ui::ControlKind::PushButton, 1002, 182, 245, 51, 14},
            {ui::ControlKind::PushButton, 1001, 243, 245, 51, 14, ui::style::kDefault},
            {ui::ControlKind::PushButton, 1000, 308, 245, 51, 14, ui::style::kCancel},
        }};
    return page;
}

class TestPage : public ui::Dialog {
  public:
    TestPage(ui::WindowHandle notifyWindow, uint32_t notifyMessage)
        : ui::Dialog(PageTemplate()), notifyWindow_(notifyWindow), notifyMessage_(notifyMessage) {
        Bind(1002, ui::Notify::Clicked, [this]() { HandBack(kNotifyBackToSelection); });
        Bind(1001, ui::Notify::Clicked, [this]() { HandBack(kNotifyBackToSelection); });
        Bind(1000, ui::Notify::Clicked, [this]() { HandBack(kNotifyEndProgram); });
    }

  protected:
    void OnOK() override { Log("enter reached the page"); }
    void OnCancel() override { Log("escape reached the page"); }

  private:
    void HandBack(intptr_t lParam) {
        ui::ShowWindow(Handle(), ui::kHide);
        ui::PostMessage(notifyWindow_, notifyMessage_, 0, lParam);
    }

    ui::WindowHandle notifyWindow_;
    uint32_t notifyMessage_;
};

struct TestHost {
    TestHost() { Log("load"); }
    ~TestHost() {
        page.reset();
        Log("unload");
    }
    std::unique_ptr<TestPage> page;
};

TestHost host;

}  // namespace

PLENWISE_EXPORT ui::WindowHandle StartWizard(const char* printerName, ui::WindowHandle notifyWindow,
                                             uint32_t notifyMessage) {
    char line[512];
    std::snprintf(line, sizeof line, "start %s %p %u", printerName,
                  static_cast<void*>(notifyWindow), notifyMessage);
    Log(line);
    // PLENWISE_TEST_PLUGIN_MODE=no-page: a start that makes no page and posts nothing.
    const char* mode = std::getenv("PLENWISE_TEST_PLUGIN_MODE");
    if (mode != nullptr && std::string(mode) == "no-page") {
        return nullptr;
    }
    host.page = std::make_unique<TestPage>(notifyWindow, notifyMessage);
    host.page->Create(ui::GetParent(notifyWindow));
    ui::ShowWindow(host.page->Handle(), ui::kShow);
    return host.page->Handle();
}
