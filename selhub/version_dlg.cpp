#include "selhub/version_dlg.h"

#include <cstdio>
#include <vector>

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
        std::string file = tables.FunctionFile(i);
        uint32_t size = sys::GetFileVersionInfoSize(file);
        if (size == 0) {
            continue;
        }
        std::vector<uint8_t> data(size);
        sys::FixedFileInfo info{};
        if (!sys::GetFileVersionInfo(file, size, data.data()) ||
            !sys::VerQueryRootBlock(data.data(), size, info)) {
            continue;
        }
        char line[600];
        std::snprintf(line, sizeof line, "%s : %d.%02d\r\n", file.c_str(),
                      static_cast<int>(info.fileVersionMS >> 16),
                      static_cast<int>(info.fileVersionMS & 0xFFFF));
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
