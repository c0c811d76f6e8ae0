// Which of a module's stores the host works on, by the kind of system and the files present.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "altutil/variant.h"
#include "util/settings/media_settings_store.h"
#include "util/variant.h"

namespace {

// A store that only says whether its driver file is there.
class PresentStore : public MediaSettingsStore {
  public:
    explicit PresentStore(bool present) : present_(present) {}
    bool LoadBase(uint32_t, int32_t) override { return false; }
    int32_t ModesOf(uint32_t) const override { return 0; }
    bool ReadSlotCounts() override { return false; }
    int32_t UserSlotCount() const override { return 0; }
    bool DriverFilePresent() const override { return present_; }
    int32_t ListUserNames(int32_t, std::vector<std::string>&) const override { return 0; }
    bool LoadUser(std::string_view) override { return false; }
    uint32_t UserMediaId(std::string_view) const override { return 0; }
    bool UserExists(std::string_view) const override { return false; }
    int32_t SaveUser(std::string_view) override { return -1; }
    int32_t LongestName() const override { return 0; }
    std::string CfgPath() const override { return {}; }
    std::string UcfPath() const override { return {}; }

  private:
    bool present_;
};

enum class Chosen { First, Second, None };

TEST(StoreChoiceTest, EveryRowOfTheTableChoosesItsStore) {
    // The second family: the second pair on Windows NT 5 when its file is there; otherwise the
    // first, whose file must be there except on Windows 95/98/Me.
    const struct {
        OsKind kind;
        bool firstPresent;
        int second;  // -1: the module has no second store; 0 absent; 1 present
        Chosen chosen;
    } rows[] = {
        {OsKind::Nt5OrLater, true, 1, Chosen::Second},
        {OsKind::Nt5OrLater, false, 1, Chosen::Second},
        {OsKind::Nt5OrLater, true, 0, Chosen::First},
        {OsKind::Nt5OrLater, false, 0, Chosen::None},
        {OsKind::Nt5OrLater, true, -1, Chosen::First},
        {OsKind::NtBefore5, true, 1, Chosen::First},
        {OsKind::NtBefore5, false, 1, Chosen::None},
        {OsKind::Windows9x, false, 1, Chosen::First},
        {OsKind::Windows9x, true, 0, Chosen::First},
        {OsKind::Other, true, 1, Chosen::First},
        {OsKind::Other, false, 1, Chosen::None},
    };
    for (const auto& [kind, firstPresent, second, chosen] : rows) {
        PresentStore first(firstPresent);
        PresentStore secondStore(second == 1);
        MediaSettingsStore* active = altutil::AltUtilVariant().activeStoreOf(
            kind, first, second < 0 ? nullptr : &secondStore);
        const MediaSettingsStore* expected = chosen == Chosen::First    ? &first
                                             : chosen == Chosen::Second ? &secondStore
                                                                        : nullptr;
        EXPECT_EQ(active, expected)
            << static_cast<int>(kind) << " " << firstPresent << " " << second;
    }
    // The first family has one store, whatever the system and its files.
    for (OsKind kind : {OsKind::Other, OsKind::Windows9x, OsKind::NtBefore5, OsKind::Nt5OrLater}) {
        PresentStore first(false);
        EXPECT_EQ(util::UtilVariant().activeStoreOf(kind, first, nullptr), &first)
            << static_cast<int>(kind);
    }
}

}  // namespace
