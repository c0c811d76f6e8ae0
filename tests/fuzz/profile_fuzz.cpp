// Profile-format files and the settings export file built on them. Whatever a file holds, a key
// that was set reads back as set, before and after saving; saving what was read and reading it
// again changes nothing more; the file-level calls agree with the in-memory profile; and a
// setting exported under a name is found again under that name.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "platform/profile/profile.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/settings_host.h"
#include "util/settings/user_settings.h"

namespace {

// The value as a reader sees it: blanks around it gone, then one pair of outer quotes.
std::string AsRead(std::string_view value) {
    const auto first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(32);
    const std::string key = input.ConsumeRandomLengthString(32);
    const std::string value = input.ConsumeRandomLengthString(64);
    const std::string name = input.ConsumeRandomLengthString(24);
    const std::string content = input.ConsumeRemainingBytesAsString();

    const std::string& dir = fuzz::ScratchDir();
    const std::string path = dir + "/settings.ini";
    const std::string first = dir + "/first.ini";
    const std::string second = dir + "/second.ini";
    fuzz::WriteFile(path, content.data(), content.size());

    profile::ProfileFile file;
    FUZZ_CHECK(file.Load(path));
    const std::optional<std::string> before = file.Value(section, key);
    FUZZ_CHECK(profile::GetPrivateProfileString(section, key, "", 4096, path) ==
               file.StringValue(section, key, "", 4096));
    FUZZ_CHECK(profile::GetPrivateProfileInt(section, key, -7, path) ==
               file.IntValue(section, key, -7));

    // Saved and read again, the profile answers alike, and a second round changes no byte.
    FUZZ_CHECK(file.Save(first));
    profile::ProfileFile reread;
    FUZZ_CHECK(reread.Load(first));
    FUZZ_CHECK(reread.Value(section, key) == before);
    FUZZ_CHECK(reread.Save(second));
    profile::ProfileFile third;
    FUZZ_CHECK(third.Load(second) && third.Save(second));
    FUZZ_CHECK(fuzz::ReadFile(second) == fuzz::ReadFile(first));

    if (file.Set(section, key, value)) {
        FUZZ_CHECK(file.Value(section, key) == AsRead(value));
        FUZZ_CHECK(file.Save(path));
        FUZZ_CHECK(profile::GetPrivateProfileString(section, key, "", 4096, path) ==
                   AsRead(value).substr(0, 4095));
        FUZZ_CHECK(file.RemoveKey(section, key));
        // An earlier line of the same key, if any, was the one set and is now gone; a later one
        // may answer now.
        (void)file.Value(section, key);
    }

    const fuzz::SettingsHost host(OsKind::Nt5OrLater);
    UserSettings settings(host);
    fuzz::WriteFile(path, content.data(), content.size());
    (void)settings.ExportModelMatches(path);
    const int32_t found = settings.ExportFind(path, name);
    FUZZ_CHECK(found >= 0);
    if (settings.ExportWrite(path, name, 720, 360, 3)) {
        FUZZ_CHECK(settings.ExportModelMatches(path));
        const int32_t index = settings.ExportFind(path, name);
        // Only a name that survives the export unchanged can be found by it.
        if (name.size() <= UserSettings::kExportNameBytes && AsRead(name) == name) {
            FUZZ_CHECK(index > 0);
            FUZZ_CHECK(found == 0 || index == found);
            const std::string media = UserSettings::MediaSectionName(index);
            FUZZ_CHECK(profile::GetPrivateProfileString(media, "Hres", "", 64, path) == "720");
            FUZZ_CHECK(profile::GetPrivateProfileInt(media, "Mw", 0, path) == 3);
        }
    }
    return 0;
}
