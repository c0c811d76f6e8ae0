// RegistryKey: one value operation per call on a subkey of one open key.
#include "common/registry_key.h"

#include <gtest/gtest.h>

#include <string>

#include "registry_environment.h"

namespace {

class RegistryKeyTest : public RegistryEnvironment {};

TEST_F(RegistryKeyTest, TheFirstReadOnANewMachineCreatesKeyAndSubkeyWithoutValues) {
    ASSERT_FALSE(std::filesystem::exists(reg::UserHivePath()));
    RegistryKey key(reg::HKEY_CURRENT_USER, "SoftWare\\ARVEN");
    EXPECT_EQ(key.ReadString("Tarnwell", "SelectPrinter", ""), "");
    EXPECT_EQ(key.ReadNumber("Tarnwell", "SelectFunction", 0), 0u);
    EXPECT_EQ(ReadText(reg::UserHivePath()),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER]\n\n"
              "[HKEY_CURRENT_USER\\SoftWare]\n\n"
              "[HKEY_CURRENT_USER\\SoftWare\\ARVEN]\n\n"
              "[HKEY_CURRENT_USER\\SoftWare\\ARVEN\\Tarnwell]\n\n");
}

TEST_F(RegistryKeyTest, WritesStoreAStringWithItsNulAndAFourByteNumber) {
    {
        RegistryKey key(reg::HKEY_CURRENT_USER, "SoftWare\\ARVEN");
        EXPECT_EQ(key.WriteString("Tarnwell", "SelectPrinter", "Wide A"), reg::ERROR_SUCCESS);
        EXPECT_EQ(key.WriteNumber("Tarnwell", "SelectFunction", 3), reg::ERROR_SUCCESS);
    }
    reg::HKEY raw = Create(reg::HKEY_CURRENT_USER, "SoftWare\\ARVEN\\Tarnwell");
    Stored printer = Query(raw, "SelectPrinter");
    EXPECT_EQ(printer.type, reg::REG_SZ);
    EXPECT_EQ(printer.data, Bytes("Wide A"));
    Stored function = Query(raw, "SelectFunction");
    EXPECT_EQ(function.type, reg::REG_DWORD);
    EXPECT_EQ(function.data, (std::vector<uint8_t>{3, 0, 0, 0}));
    reg::RegCloseKey(raw);

    EXPECT_NE(ReadText(reg::UserHivePath())
                  .find("[HKEY_CURRENT_USER\\SoftWare\\ARVEN\\Tarnwell]\n"
                        "\"SelectPrinter\"=\"Wide A\"\n\"SelectFunction\"=dword:00000003\n"),
              std::string::npos);

    // A key named in other letter case reads the same values.
    RegistryKey other(reg::HKEY_CURRENT_USER, "software\\arven");
    EXPECT_EQ(other.ReadString("TARNWELL", "selectprinter", "none"), "Wide A");
    EXPECT_EQ(other.ReadNumber("tarnwell", "SELECTFUNCTION", 0), 3u);
}

TEST_F(RegistryKeyTest, AStringThatDoesNotFit260BytesReadsAsTheDefault) {
    RegistryKey key(reg::HKEY_CURRENT_USER, "SoftWare\\ARVEN");
    const std::string fits(259, 'p');  // 260 bytes with its NUL
    key.WriteString("Tarnwell", "SelectPrinter", fits);
    EXPECT_EQ(key.ReadString("Tarnwell", "SelectPrinter", "default"), fits);

    key.WriteString("Tarnwell", "SelectPrinter", std::string(260, 'p'));
    EXPECT_EQ(key.ReadString("Tarnwell", "SelectPrinter", "default"), "default");

    // Exactly 260 bytes without a NUL: the text ends with the buffer.
    reg::HKEY raw = Create(reg::HKEY_CURRENT_USER, "SoftWare\\ARVEN\\Tarnwell");
    SetBytes(raw, "SelectPrinter", reg::REG_SZ, Bytes(std::string(260, 'q'), false));
    reg::RegCloseKey(raw);
    EXPECT_EQ(key.ReadString("Tarnwell", "SelectPrinter", "default"), std::string(260, 'q'));
}

TEST_F(RegistryKeyTest, ReadsDoNotExamineTheType) {
    RegistryKey key(reg::HKEY_CURRENT_USER, "SoftWare\\ARVEN");
    key.WriteString("Tarnwell", "Text", "ab");
    key.WriteNumber("Tarnwell", "Number", 0x00434241);
    reg::HKEY raw = Create(reg::HKEY_CURRENT_USER, "SoftWare\\ARVEN\\Tarnwell");
    SetBytes(raw, "Wide", reg::REG_BINARY, {1, 2, 3, 4, 5});
    reg::RegCloseKey(raw);

    EXPECT_EQ(key.ReadNumber("Tarnwell", "Text", 7), 0x00006261u);  // "ab\0", zero-filled
    EXPECT_EQ(key.ReadString("Tarnwell", "Number", ""), "ABC");
    EXPECT_EQ(key.ReadNumber("Tarnwell", "Wide", 7), 7u);  // 5 bytes do not fit 4
    EXPECT_EQ(key.ReadNumber("Tarnwell", "Missing", 7), 7u);
    EXPECT_EQ(key.ReadString("Elsewhere", "Text", "none"), "none");
}

TEST_F(RegistryKeyTest, AKeyThatCannotBeOpenedGivesDefaultsAndFailures) {
    RegistryKey key(reg::HKEY_CURRENT_USER, "\\Bad");
    EXPECT_EQ(key.ReadString("Tarnwell", "SelectPrinter", "none"), "none");
    EXPECT_EQ(key.ReadNumber("Tarnwell", "SelectFunction", 9), 9u);
    EXPECT_EQ(key.WriteString("Tarnwell", "SelectPrinter", "x"), reg::ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.WriteNumber("Tarnwell", "SelectFunction", 1), reg::ERROR_INVALID_HANDLE);
    EXPECT_FALSE(std::filesystem::exists(reg::UserHivePath()));

    RegistryKey good(reg::HKEY_CURRENT_USER, "SoftWare\\ARVEN");
    EXPECT_EQ(good.WriteString("Bad\\\\Subkey", "Name", "x"), reg::ERROR_BAD_PATHNAME);
    EXPECT_EQ(good.ReadString("Bad\\\\Subkey", "Name", "none"), "none");
}

}  // namespace
