#include "launcher/plenwise_app.h"

#include "common/plugin_entry.h"
#include "common/ui_text_table.h"
#include "platform/system/operator_notice.h"
#include "platform/ui/message_box.h"

namespace {
constexpr const char* kHubFileName = "selhub.so";
}

std::string PlenwiseApp::HubPath(const std::string& executablePath) {
    // Only the program's own folder: without an absolute path to it, the loader's search could
    // find another library of that name.
    if (executablePath.empty() || executablePath.front() != '/') {
        return {};
    }
    return executablePath.substr(0, executablePath.rfind('/') + 1) + kHubFileName;
}

void PlenwiseApp::TellNoticesInMessageBoxes() {
    sys::SetNoticeTeller([](sys::Notice, const std::string& text) {
        ui::AppMessageBox(text, ui::kMbIconExclamation);
    });
}

bool PlenwiseApp::InitInstance() {
    TellNoticesInMessageBoxes();
    hub_ = sys::LoadLibrary(HubPath(sys::ExecutablePath()));
    if (hub_ == nullptr) {
        ui::AppMessageBox(kNotInstalledText, ui::kMbIconStop);
        return false;
    }
    if (auto start = reinterpret_cast<HubStartWizard>(sys::GetProcAddress(hub_, "StartWizard"))) {
        failed_ = start() == kHubCannotStart;
    }
    return false;
}
