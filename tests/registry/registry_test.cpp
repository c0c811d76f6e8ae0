// The registry calls and the hive file they keep.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry_environment.h"

using namespace reg;

namespace {

class RegistryTest : public RegistryEnvironment {};

TEST_F(RegistryTest, EveryTypeSurvivesTheFile) {
    HKEY key = Create(HKEY_CURRENT_USER, "SoftWare\\ARVEN\\Tarnwell");
    std::vector<uint8_t> longBinary;
    for (int i = 0; i < 100; ++i) {
        longBinary.push_back(static_cast<uint8_t>(i * 7));
    }
    struct Case {
        const char* name;
        DWORD type;
        std::vector<uint8_t> data;
    };
    const std::vector<Case> cases = {
        {"Text", REG_SZ, Bytes("Wideline 400U")},
        {"", REG_SZ, Bytes("the default value")},
        {"Empty", REG_SZ, Bytes("")},
        {"Path", REG_EXPAND_SZ, Bytes("%PLENWISE_MACHINE%/Program Files")},
        {"Number", REG_DWORD, {0x0a, 0, 0, 0}},
        {"Top", REG_DWORD, {0xff, 0xfe, 0xfd, 0xfc}},
        {"Blob", REG_BINARY, {0x0a, 0x0b}},
        {"NoBytes", REG_BINARY, {}},
        {"Chunk", REG_BINARY, longBinary},
        // Forms that "text" and dword: cannot hold keep their exact bytes in a hex list.
        {"Unterminated", REG_SZ, Bytes("abc", false)},
        {"TwoLines", REG_SZ, Bytes("one\r\ntwo")},
        {"NotUtf8", REG_SZ, {0xff, 0xfe, 0}},
        {"ShortNumber", REG_DWORD, {1, 2, 3}},
        {"List", 7, {'a', 0, 'b', 0, 0}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(SetBytes(key, c.name, c.type, c.data), ERROR_SUCCESS) << c.name;
    }
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    std::string text = ReadText(UserHivePath());
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    for (const char* line :
         {"\n[HKEY_CURRENT_USER\\SoftWare\\ARVEN\\Tarnwell]\n", "\n\"Text\"=\"Wideline 400U\"\n",
          "\n@=\"the default value\"\n", "\n\"Empty\"=\"\"\n", "\n\"Number\"=dword:0000000a\n",
          "\n\"Top\"=dword:fcfdfeff\n", "\n\"Blob\"=hex:0a,0b\n", "\n\"NoBytes\"=hex:\n",
          "\n\"Unterminated\"=hex(1):61,62,63\n", "\n\"ShortNumber\"=hex(4):01,02,03\n",
          "\n\"List\"=hex(7):61,00,62,00,00\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " missing from\n" << text;
    }
    // Long lists are broken into continuation lines, as regedit does.
    EXPECT_NE(text.find(",\\\n  "), std::string::npos);

    key = Create(HKEY_CURRENT_USER, "SoftWare\\ARVEN\\Tarnwell");
    for (const Case& c : cases) {
        Stored stored = Query(key, c.name);
        EXPECT_EQ(stored.status, ERROR_SUCCESS) << c.name;
        EXPECT_EQ(stored.type, c.type) << c.name;
        EXPECT_EQ(stored.data, c.data) << c.name;
    }
    // Writing again reproduces the file exactly: what was read back is what was written.
    ASSERT_EQ(SetString(key, "Extra", "x"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValue(key, "Extra"), ERROR_SUCCESS);
    EXPECT_EQ(ReadText(UserHivePath()), text);
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesDifferingInCaseReachTheSameKeyAndValue) {
    HKEY first = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "SoftWare\\ARVEN\\Tarnwell", KEY_ALL_ACCESS, &first,
                             &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(SetString(first, "SelectPrinter", "Wide A"), ERROR_SUCCESS);

    HKEY second = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "software\\arven\\TARNWELL", KEY_ALL_ACCESS,
                             &second, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(Query(second, "selectprinter").data, Bytes("Wide A"));
    ASSERT_EQ(SetString(second, "SELECTPRINTER", "Wide B"), ERROR_SUCCESS);
    EXPECT_EQ(Query(first, "SelectPrinter").data, Bytes("Wide B"));

    HKEY third = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\Arven", KEY_READ, &third), ERROR_SUCCESS);
    HKEY fourth = nullptr;
    ASSERT_EQ(RegOpenKeyEx(third, "tarnWELL", KEY_READ, &fourth), ERROR_SUCCESS);
    EXPECT_EQ(Query(fourth, "SelectPrinter").data, Bytes("Wide B"));

    // One key and one value, spelled as first created.
    std::string text = ReadText(UserHivePath());
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\SoftWare\\ARVEN\\Tarnwell]\n\"SelectPrinter\"="
                        "\"Wide B\"\n\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("software"), std::string::npos);
    EXPECT_EQ(text.find("SELECTPRINTER"), std::string::npos);
    for (HKEY key : {first, second, third, fourth}) {
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    }
}

TEST_F(RegistryTest, QueryResultsFollowTheWindowsRules) {
    HKEY key = Create(HKEY_CURRENT_USER, "SoftWare\\ARVEN");
    ASSERT_EQ(SetString(key, "Name", "abcdef"), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(key, "Name", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);

    uint8_t small[6];
    std::fill(std::begin(small), std::end(small), 0x55);
    size = sizeof small;
    EXPECT_EQ(RegQueryValueEx(key, "Name", &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    for (uint8_t byte : small) {
        EXPECT_EQ(byte, 0x55);
    }

    uint8_t exact[7] = {};
    size = sizeof exact;
    EXPECT_EQ(RegQueryValueEx(key, "Name", nullptr, exact, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(exact)), "abcdef");
    EXPECT_EQ(RegQueryValueEx(key, "Name", nullptr, exact, nullptr), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(Query(key, "Missing").status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Query(key, nullptr).status, ERROR_FILE_NOT_FOUND);  // no default value set
    HKEY missing = nullptr;
    EXPECT_EQ(RegOpenKeyEx(key, "Nowhere", KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);

    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Query(key, "Name").status, ERROR_INVALID_HANDLE);
    EXPECT_EQ(
        RegQueryValueEx(reinterpret_cast<HKEY>(uintptr_t{12345}), "Name", nullptr, nullptr, &size),
        ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, HandlesKeepTheirAccessRights) {
    RegCloseKey(Create(HKEY_CURRENT_USER, "SoftWare\\ARVEN"));
    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "SoftWare\\ARVEN", KEY_READ, &reader), ERROR_SUCCESS);
    EXPECT_EQ(SetString(reader, "Name", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValue(reader, "Name"), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyEx(reader, "Child", KEY_ALL_ACCESS, &child, nullptr),
              ERROR_ACCESS_DENIED);

    HKEY writer = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "SoftWare\\ARVEN", KEY_WRITE, &writer),
              ERROR_SUCCESS);
    EXPECT_EQ(SetString(writer, "Name", "x"), ERROR_SUCCESS);
    EXPECT_EQ(Query(writer, "Name").status, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Query(reader, "Name").data, Bytes("x"));
    RegCloseKey(reader);
    RegCloseKey(writer);
}

TEST_F(RegistryTest, UnusableKeyPathsAreRefused) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "\\SoftWare", KEY_ALL_ACCESS, &key, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "SoftWare\\\\ARVEN", KEY_ALL_ACCESS, &key, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, std::string(256, 'k').c_str(), KEY_ALL_ACCESS, &key,
                             nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Two\nLines", KEY_ALL_ACCESS, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key, nullptr);

    // A trailing backslash is ignored, as the driver's key prefix ends with one.
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, std::string(255, 'k').append("\\").c_str(),
                             KEY_ALL_ACCESS, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(SetString(key, "Bad\rName", "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueEx(key, "Name", REG_BINARY, nullptr, 3), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
    EXPECT_NE(ReadText(UserHivePath()).find("[HKEY_CURRENT_USER\\" + std::string(255, 'k') + "]"),
              std::string::npos);
}

TEST_F(RegistryTest, ValuesAreEnumeratedAndDeletedByName) {
    HKEY key = Create(HKEY_CURRENT_USER, "SoftWare\\ARVEN");
    ASSERT_EQ(SetString(key, "Zeta", "1"), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key, "Alpha", REG_DWORD, {7, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, "zeta", "2"), ERROR_SUCCESS);  // replaces, keeps its place

    char name[8];
    DWORD nameSize = sizeof name;
    DWORD type = 0;
    uint8_t data[4];
    DWORD dataSize = sizeof data;
    ASSERT_EQ(RegEnumValue(key, 0, name, &nameSize, &type, data, &dataSize), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name), "Zeta");
    EXPECT_EQ(nameSize, 4u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(dataSize, 2u);
    EXPECT_EQ(data[0], '2');
    nameSize = sizeof name;
    dataSize = sizeof data;
    ASSERT_EQ(RegEnumValue(key, 1, name, &nameSize, &type, data, &dataSize), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name), "Alpha");
    EXPECT_EQ(type, REG_DWORD);
    nameSize = 5;  // "Alpha" needs 6 with its NUL
    EXPECT_EQ(RegEnumValue(key, 1, name, &nameSize, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(nameSize, 6u);
    nameSize = sizeof name;
    EXPECT_EQ(RegEnumValue(key, 2, name, &nameSize, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);

    EXPECT_EQ(RegDeleteValue(key, "ZETA"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(key, "Zeta"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Query(key, "Zeta").status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Query(key, "Alpha").data, (std::vector<uint8_t>{7, 0, 0, 0}));
    RegCloseKey(key);
}

TEST_F(RegistryTest, QuotesBackslashesAndUtf8Survive) {
    const std::string keyName = "Drücker \"Ost\" [2]";
    const std::string valueName = "C:\\Pfad \"ä\"";
    const std::string text = "C:\\Program Files\\ARVEN\\\"Grün\" 日本\\";
    HKEY key = Create(HKEY_CURRENT_USER, ("SoftWare\\" + keyName).c_str());
    ASSERT_EQ(SetString(key, valueName.c_str(), text), ERROR_SUCCESS);
    RegCloseKey(key);

    std::string file = ReadText(UserHivePath());
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\SoftWare\\" + keyName + "]\n"), std::string::npos)
        << file;
    EXPECT_NE(file.find("\"C:\\\\Pfad \\\"ä\\\"\"=\"C:\\\\Program Files\\\\ARVEN\\\\\\\"Grün\\\" "
                        "日本\\\\\"\n"),
              std::string::npos)
        << file;

    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software\\DRÜCKER \"ost\" [2]", KEY_READ, &again),
              ERROR_FILE_NOT_FOUND)
        << "only ASCII letters fold";
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software\\DrüCKER \"ost\" [2]", KEY_READ, &again),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(again, valueName.c_str()).data, Bytes(text));
    RegCloseKey(again);
}

TEST_F(RegistryTest, HandWrittenHivesAreRead) {
    // regedit's own habits: CRLF line ends, a byte-order mark, comments, upper-case hex, keys
    // named only by their deepest section, and a lone backslash meaning itself.
    WriteText(UserHivePath(),
              "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
              "; written by hand\r\n"
              "[HKEY_CURRENT_USER\\SoftWare\\ARVEN\\Tarnwell]\r\n"
              "\"SelectPrinter\"=\"C:\\Temp\"\r\n"
              "\"SelectFunction\"=dword:0000000A\r\n"
              "\"Chunk\"=hex:01,02,\\\r\n"
              "  03,FF\r\n");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "SoftWare\\ARVEN\\Tarnwell", KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(key, "SelectPrinter").data, Bytes("C:\\Temp"));
    EXPECT_EQ(Query(key, "SelectFunction").data, (std::vector<uint8_t>{10, 0, 0, 0}));
    EXPECT_EQ(Query(key, "Chunk").data, (std::vector<uint8_t>{1, 2, 3, 0xff}));
    RegCloseKey(key);
}

TEST_F(RegistryTest, AnEmptyHiveFileIsAnEmptyHive) {
    WriteText(UserHivePath(), "");
    HKEY key = Create(HKEY_CURRENT_USER, "SoftWare");
    RegCloseKey(key);
    EXPECT_EQ(FileNames(folder() + "/config/plenwise"),
              (std::vector<std::string>{"user.reg", "user.reg.lock"}));
}

TEST_F(RegistryTest, HivesFollowTheXdgDirectories) {
    EXPECT_EQ(UserHivePath(), folder() + "/config/plenwise/user.reg");
    EXPECT_EQ(MachineHivePath(), folder() + "/machine/machine.reg");
    ScopedEnvironment home("HOME", folder() + "/home");
    ScopedEnvironment noConfig("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(UserHivePath(), folder() + "/home/.config/plenwise/user.reg");
    ScopedEnvironment relativeConfig("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(UserHivePath(), folder() + "/home/.config/plenwise/user.reg");
}

TEST_F(RegistryTest, TheTwoRootsAreSeparateHives) {
    HKEY user = Create(HKEY_CURRENT_USER, "Software\\ARVEN");
    HKEY machine = Create(HKEY_LOCAL_MACHINE, "Software\\ARVEN");
    ASSERT_EQ(SetString(user, "Where", "user"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(machine, "Where", "machine"), ERROR_SUCCESS);
    EXPECT_EQ(Query(user, "Where").data, Bytes("user"));
    EXPECT_EQ(Query(machine, "Where").data, Bytes("machine"));
    EXPECT_NE(ReadText(MachineHivePath())
                  .find("[HKEY_LOCAL_MACHINE\\Software\\ARVEN]\n"
                        "\"Where\"=\"machine\""),
              std::string::npos);
    EXPECT_EQ(ReadText(UserHivePath()).find("machine"), std::string::npos);
    RegCloseKey(user);
    RegCloseKey(machine);
}

}  // namespace
