// The second family's A_FCF pair: the CFG of 128-byte records and the user file of 408-byte
// slots. Whatever the driver left, every listed name loads and exists, the bases found for a
// media load, and a saved entry reads back under its name with the values written, changing no
// byte of the user file outside its slot.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "altutil/second_family.h"
#include "altutil/second_media_config.h"
#include "platform/registry/machine_folder.h"
#include "tests/fuzz/fuzz_support.h"
#include "util/settings/driver_media_config.h"

namespace {

constexpr const char* kDriver = "ARVEN WL-2000";
constexpr int32_t kInkSet = 2;

class Host : public UserSettingsHost {
  public:
    std::string DriverName() const override { return kDriver; }
    int32_t DriverInkSet() const override { return kInkSet; }
    int32_t PrintMode() const override { return 1; }
    int32_t ModelClass() const override { return altutil::ModelCodeOf(kDriver); }
    OsKind HostOsKind() const override { return OsKind::Nt5OrLater; }
    ConfigFileNames ConfigNames() const override {
        return altutil::ConfigFileNamesOf(ModelClass());
    }
    std::string InkModeText() const override { return altutil::InkModeTextOf(kInkSet); }
    const MediaTypeTable& MediaTypes() const override { return media_; }

  private:
    MediaTypeTable media_;
};

std::string cfgPath;
std::string ucfPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("PLENWISE_MACHINE", (fuzz::ScratchDir() + "/machine").c_str(), 1);
    machine::EnsureMachineFolder();
    const int32_t model = altutil::ModelCodeOf(kDriver);
    cfgPath = altutil::SecondCfgPath(model, kInkSet);
    ucfPath = altutil::SecondUcfPath(model, kInkSet, kDriver);
    FUZZ_CHECK(!cfgPath.empty() && !ucfPath.empty());
    std::filesystem::create_directories(std::filesystem::path(cfgPath).parent_path());
    std::filesystem::create_directories(std::filesystem::path(ucfPath).parent_path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::vector<uint8_t> cfg =
        input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 4096));
    std::string name = input.ConsumeRandomLengthString(80);
    // The wizard's name edit cannot hold a NUL.
    name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
    const auto density = input.ConsumeIntegral<int8_t>();
    const std::vector<uint8_t> ucf = input.ConsumeRemainingBytes<uint8_t>();
    fuzz::WriteFile(cfgPath, cfg.data(), cfg.size());
    fuzz::WriteFile(ucfPath, ucf.data(), ucf.size());

    Host host;
    UserSettings settings(host);
    altutil::SecondMediaConfig store(settings);
    const auto layout =
        drivercfg::ConfigurationLayout::Parse(cfg, altutil::SecondMediaRecord::kSize);
    FUZZ_CHECK(store.DriverFilePresent() == (layout.mark == altutil::SecondMediaConfig::kCfgMark));
    FUZZ_CHECK(store.ReadSlotCounts() == layout.hasDirectory);
    for (size_t i = 0; i < layout.recordCount; ++i) {
        FUZZ_CHECK(layout.firstRecord + (i + 1) * altutil::SecondMediaRecord::kSize <= cfg.size());
        altutil::SecondMediaRecord record;
        std::copy_n(cfg.begin() + static_cast<std::ptrdiff_t>(
                                      layout.firstRecord + i * altutil::SecondMediaRecord::kSize),
                    record.bytes.size(), record.bytes.begin());
        const int32_t modes = store.ModesOf(record.MediaId());
        for (int32_t flag : {1, 2, 4, 8}) {
            if ((modes & flag) != 0) {
                FUZZ_CHECK(store.LoadBase(record.MediaId(), flag));
                FUZZ_CHECK(settings.record.MediaId() == record.MediaId());
            }
        }
    }

    std::vector<std::string> names;
    const int32_t listed = store.ListUserNames(1000, names);
    const size_t held = ucf.size() < altutil::SecondMediaConfig::kUserHeaderSize
                            ? 0
                            : (ucf.size() - altutil::SecondMediaConfig::kUserHeaderSize) /
                                  altutil::SecondMediaConfig::kSlotSize;
    FUZZ_CHECK(listed >= 0 && static_cast<size_t>(listed) == names.size());
    FUZZ_CHECK(names.size() <= std::min<size_t>(layout.userSlotCount, held));
    for (const std::string& listedName : names) {
        FUZZ_CHECK(store.LoadUser(listedName));
        FUZZ_CHECK(store.UserExists(listedName));
    }

    settings.working.SetDensity(density);
    if (store.SaveUser(name) != 0) {
        FUZZ_CHECK(fuzz::ReadFile(ucfPath) == fuzz::AsText(ucf.data(), ucf.size()));
        return 0;
    }
    const std::string after = fuzz::ReadFile(ucfPath);
    settings.working.SetDensity(static_cast<int8_t>(density + 1));
    FUZZ_CHECK(store.LoadUser(name));
    FUZZ_CHECK(settings.working.Density() == density);
    // Only the slot the entry went into changed: the header and every byte before and after it
    // are the file's own, and the file grew only to hold that slot.
    constexpr size_t kHeader = altutil::SecondMediaConfig::kUserHeaderSize;
    constexpr size_t kSlot = altutil::SecondMediaConfig::kSlotSize;
    const std::string before(fuzz::AsText(ucf.data(), ucf.size()));
    size_t changed = 0;
    while (changed < std::min(before.size(), after.size()) && before[changed] == after[changed]) {
        ++changed;
    }
    if (changed == before.size() && changed == after.size()) {
        return 0;  // the same entry saved again
    }
    // A file cut short of the header gets the slot after it, with zeros in between.
    FUZZ_CHECK(changed >= std::min(kHeader, before.size()));
    const size_t slotStart = kHeader + (std::max(changed, kHeader) - kHeader) / kSlot * kSlot;
    const size_t slotEnd = slotStart + kSlot;
    for (size_t i = before.size(); i < slotStart; ++i) {
        FUZZ_CHECK(after[i] == '\0');
    }
    FUZZ_CHECK(after.size() == std::max(before.size(), slotEnd));
    FUZZ_CHECK(after.size() <= slotEnd ||
               after.compare(slotEnd, std::string::npos, before, slotEnd, std::string::npos) == 0);
    return 0;
}
