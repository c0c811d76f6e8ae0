#include "selhub/version_dlg.h"

#include "platform/system/version_info.h"
#include "resources/selhub/templates.h"

namespace selhub {

namespace {
constexpr int kListing = 1008;
constexpr int kSecondText = 1009;
constexpr int kTitle = 1010;
}  // namespace

std::string BuildVersionListing(const HubTables& tables) {
    std::string listing;
    for (int32_t i = 0; i < tables.FunctionCount(); ++i) {
        const std::string file = tables.FunctionFile(i);
        const std::string version = sys::FileVersionText(file);
        if (version.empty()) {
            continue;
        }
        const std::string line = file + " : " + version + "\r\n";
        if (listing.find(line) == std::string::npos) {
            listing += line;
        }
    }
    return listing;
}

VersionDlg::VersionDlg() : ui::Dialog(VersionTemplate()) {
    // Typing in the listing is undone at once; the text can still be selected and copied.
    Bind(kListing, ui::Notify::Changed, [this]() { SetItemText(kListing, listing); });
}

bool VersionDlg::OnInitDialog() {
    SetIcon(ProgramIcon());
    SetItemText(kListing, listing);
    SetItemText(kTitle, title);
    SetItemText(kSecondText, secondText);
    return true;
}

}  // namespace selhub
