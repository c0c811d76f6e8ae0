// The driver's media configuration (CFG) and user configuration (UCF). The CFG parser may take
// only records that lie wholly inside the data, byte for byte; the UCF operations list, load and
// save user entries in whatever file the driver left: every listed name loads, a saved entry
// reads back exactly as written, and saving changes no byte of the file outside its slot.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/settings_host.h"
#include "util/settings/driver_media_config.h"

namespace {

void CheckCfg(const std::vector<uint8_t>& data) {
    const drivercfg::MediaConfiguration config = drivercfg::MediaConfiguration::Parse(data);
    if (!config.hasDirectory) {
        FUZZ_CHECK(config.records.empty() && config.userSlotCount == 0 &&
                   config.extraRecordCount == 0);
        return;
    }
    uint32_t directory = 0;
    std::memcpy(&directory, data.data() + drivercfg::kDirectoryOffsetField, 4);
    const size_t first = size_t{directory} + drivercfg::kDirectorySize;
    FUZZ_CHECK(first <= data.size());
    FUZZ_CHECK(config.records.size() <= (data.size() - first) / UserMediaRecord::kSize);
    for (size_t i = 0; i < config.records.size(); ++i) {
        FUZZ_CHECK(std::equal(
            config.records[i].bytes.begin(), config.records[i].bytes.end(),
            data.begin() + static_cast<std::ptrdiff_t>(first + i * UserMediaRecord::kSize)));
        const int32_t flags = drivercfg::ModeFlagsOf(config.records[i]);
        for (int32_t flag : {1, 2, 4, 8}) {
            FUZZ_CHECK(drivercfg::RecordMatchesFlag(config.records[i], flag) ==
                       ((flags & flag) != 0));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("PLENWISE_MACHINE", (fuzz::ScratchDir() + "/machine").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    // Real configurations have a few dozen slots; more only make the new files slower to write.
    const auto slots = input.ConsumeIntegralInRange<uint16_t>(0, 1024);
    const auto extras = input.ConsumeIntegralInRange<uint16_t>(0, 64);
    std::string name = input.ConsumeRandomLengthString(24);
    // The wizard's name edit cannot hold a NUL.
    name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
    const std::vector<uint8_t> file = input.ConsumeRemainingBytes<uint8_t>();

    CheckCfg(file);
    const std::string cfgPath = fuzz::ScratchDir() + "/A_DD148J.CFG";
    fuzz::WriteFile(cfgPath, file.data(), file.size());
    FUZZ_CHECK(drivercfg::ReadCfgFile(cfgPath) == file);

    const fuzz::SettingsHost host(OsKind::Windows9x);
    UserSettings store(host);
    store.userSlotCount = slots;
    store.extraRecordCount = extras;
    DriverMediaConfig config(store);
    const std::string ucf = config.UcfPath();
    FUZZ_CHECK(!ucf.empty());
    std::filesystem::remove(ucf);
    if (!file.empty() && (file[0] & 1) != 0) {  // otherwise there is no UCF yet
        fuzz::WriteFile(ucf, file.data(), file.size());
    }
    const bool existed = std::filesystem::exists(ucf);

    std::vector<std::string> names;
    const int32_t listed = config.ListUserNames(1000, names);
    if (!existed) {
        FUZZ_CHECK(listed == DriverMediaConfig::kNoUserFile && names.empty());
    } else {
        const size_t held = file.size() < 2 ? 0 : (file.size() - 2) / UserMediaRecord::kSize;
        FUZZ_CHECK(listed >= 0 && static_cast<size_t>(listed) == names.size());
        FUZZ_CHECK(names.size() <= std::min<size_t>(slots, held));
    }
    for (const std::string& listedName : names) {
        FUZZ_CHECK(listedName.size() <= UserMediaRecord::kNameCapacity);
        FUZZ_CHECK(config.LoadUser(listedName));
        FUZZ_CHECK(store.record.Name() == listedName);
        FUZZ_CHECK(config.UserExists(listedName));
    }

    store.record = UserMediaRecord{};
    store.record.SetMediaId(0x10005);
    store.working.SetDensity(-3);
    store.working.SetPaperCut(2);
    if (config.SaveUser(name) != 0) {
        return 0;
    }
    const UserMediaRecord saved = store.record;
    FUZZ_CHECK(saved.EntryType() == UserMediaRecord::kUserEntry);
    store.record = UserMediaRecord{};
    FUZZ_CHECK(config.LoadUser(name));
    FUZZ_CHECK(store.record.bytes == saved.bytes);
    FUZZ_CHECK(config.UserMediaId(name) == 0x10005);
    // A file too short for its header is written anew, like a missing one.
    if (existed && file.size() >= drivercfg::kUcfHeaderSize) {
        // The entry went into one slot (the first that now holds it); every other byte the file
        // had is unchanged, and a slot beyond its old end leaves zeros in between.
        const std::string after = fuzz::ReadFile(ucf);
        const auto at = [&](size_t i) { return static_cast<uint8_t>(after[i]); };
        size_t slotStart = drivercfg::kUcfHeaderSize;
        while (slotStart + UserMediaRecord::kSize <= after.size() &&
               !std::equal(saved.bytes.begin(), saved.bytes.end(),
                           after.begin() + static_cast<std::ptrdiff_t>(slotStart),
                           [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); })) {
            slotStart += UserMediaRecord::kSize;
        }
        const size_t slotEnd = slotStart + UserMediaRecord::kSize;
        FUZZ_CHECK(slotEnd <= after.size());
        FUZZ_CHECK(after.size() == std::max(file.size(), slotEnd));
        for (size_t i = 0; i < slotStart; ++i) {
            FUZZ_CHECK(at(i) == (i < file.size() ? file[i] : 0));
        }
        for (size_t i = slotEnd; i < file.size(); ++i) {
            FUZZ_CHECK(at(i) == file[i]);
        }
    }
    return 0;
}
