#include "launcher/plenwise_app.h"

#include "common/plugin_entry.h"
#include "platform/ui/message_box.h"

namespace {
constexpr const char* kHubFileName = "selhub.so";
}

std::string PlenwiseApp::HubPath(const std::string& executablePath) {
    std::string path = executablePath;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        path.erase(slash + 1);
    }
    return path + kHubFileName;
}

bool PlenwiseApp::InitInstance() {
    hub_ = sys::LoadLibrary(HubPath(sys::ExecutablePath()));
    if (hub_ == nullptr) {
        ui::AppMessageBox("The necessary file was not found.", ui::kMbIconStop);
        return false;
    }
    if (auto start = reinterpret_cast<HubStartWizard>(sys::GetProcAddress(hub_, "StartWizard"))) {
        start();
    }
    return false;
}
