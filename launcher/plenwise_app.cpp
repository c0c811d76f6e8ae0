#include "launcher/plenwise_app.h"

#include "common/plugin_entry.h"
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

bool PlenwiseApp::InitInstance() {
    hub_ = sys::LoadLibrary(HubPath(sys::ExecutablePath()));
    if (hub_ == nullptr) {
        ui::AppMessageBox("The necessary file was not found.", ui::kMbIconStop);
        return false;
    }
    if (auto start = reinterpret_cast<HubStartWizard>(sys::GetProcAddress(hub_, "StartWizard"))) {
        failed_ = start() == kHubCannotStart;
    }
    return false;
}
