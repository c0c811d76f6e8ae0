#include <gtest/gtest.h>

#include "platform/registry/machine_folder.h"
#include "tests/support/scratch.h"
#include "util/settings/model_class.h"

namespace {

TEST(ModelClass, EachDriverOfTheTableHasItsClass) {
    EXPECT_EQ(ModelClassOf("ARVEN WL-4000"), 0x10009);
    EXPECT_EQ(ModelClassOf("ARVEN Wideline 400U"), 0x10005);
    EXPECT_EQ(ModelClassOf("ARVEN Wideline 400C"), 0x20005);
    EXPECT_EQ(ModelClassOf("ARVEN Wideline 400D"), 0x30005);
}

TEST(ModelClass, OnlyTheExactDriverNameCounts) {
    EXPECT_EQ(ModelClassOf("ARVEN wl-4000"), 0);
    EXPECT_EQ(ModelClassOf("ARVEN WIDELINE 400U"), 0);
    EXPECT_EQ(ModelClassOf("ARVEN Wideline 400u"), 0);
    EXPECT_EQ(ModelClassOf("ARVEN Wideline 400U "), 0);
    EXPECT_EQ(ModelClassOf("ARVEN Wideline 400"), 0);
    EXPECT_EQ(ModelClassOf(std::string_view("ARVEN WL-4000\0x", 15)), 0);
    EXPECT_EQ(ModelClassOf(""), 0);
}

TEST(ModelClass, TestsOnTheClass) {
    struct Case {
        int32_t modelClass;
        bool userSettings;
        char letter;
        bool widePaper;
    };
    for (const Case& c : {Case{0x10009, true, 'J', true}, Case{0x10005, true, 'E', true},
                          Case{0x20005, false, 'E', true}, Case{0x30005, false, 'E', true},
                          Case{0, false, 'J', false}, Case{0x10002, true, 'J', false},
                          Case{0x110000, false, 'J', false}}) {
        SCOPED_TRACE(c.modelClass);
        EXPECT_EQ(IsUserSettingsFamily(c.modelClass), c.userSettings);
        EXPECT_EQ(ConfigurationLetter(c.modelClass), c.letter);
        EXPECT_EQ(HasWideDefaultPaper(c.modelClass), c.widePaper);
    }
}

TEST(OsKind, FromPlatformAndMajorVersion) {
    using machine::OsVersionInfo;
    EXPECT_EQ(OsKindOf(OsVersionInfo{machine::kPlatformWin32s, 3, 1}), OsKind::Other);
    EXPECT_EQ(OsKindOf(OsVersionInfo{machine::kPlatformWindows, 4, 10}), OsKind::Windows9x);
    EXPECT_EQ(OsKindOf(OsVersionInfo{machine::kPlatformWindows, 5, 0}), OsKind::Windows9x);
    EXPECT_EQ(OsKindOf(OsVersionInfo{machine::kPlatformNt, 3, 51}), OsKind::NtBefore5);
    EXPECT_EQ(OsKindOf(OsVersionInfo{machine::kPlatformNt, 4, 99}), OsKind::NtBefore5);
    EXPECT_EQ(OsKindOf(OsVersionInfo{machine::kPlatformNt, 5, 0}), OsKind::Nt5OrLater);
    EXPECT_EQ(OsKindOf(OsVersionInfo{machine::kPlatformNt, 10, 0}), OsKind::Nt5OrLater);
    EXPECT_EQ(OsKindOf(OsVersionInfo{3, 5, 0}), OsKind::Other);
}

TEST(OsKind, ComesFromTheMachineFolder) {
    testsupport::ScratchDir scratch;
    testsupport::ScopedEnvironment machineFolder("PLENWISE_MACHINE", scratch / "machine");
    EXPECT_EQ(CurrentOsKind(), OsKind::Nt5OrLater);  // the default machine
    ASSERT_TRUE(machine::SetVersion({machine::kPlatformWindows, 4, 10}));
    EXPECT_EQ(CurrentOsKind(), OsKind::Windows9x);
    ASSERT_TRUE(machine::SetVersion({machine::kPlatformNt, 4, 0}));
    EXPECT_EQ(CurrentOsKind(), OsKind::NtBefore5);
    ASSERT_TRUE(machine::SetVersion({machine::kPlatformWin32s, 3, 1}));
    EXPECT_EQ(CurrentOsKind(), OsKind::Other);
}

}  // namespace
