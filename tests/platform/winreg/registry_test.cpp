// Behaviour shared by advapi32 and the portable store: these cases must pass on both.
#include "registry_fixture.h"

#include <cstring>

namespace plenvaro::winreg::test {
namespace {

using Names = std::vector<std::string>;

TEST_F(RegistryTest, CreateMakesEveryMissingKeyAndTellsWhetherItWasNew)
{
    DWORD disposition = 0;
    create("A\\B\\C", &disposition);
    EXPECT_EQ(DWORD{REG_CREATED_NEW_KEY}, disposition);
    create("A\\B\\C", &disposition);
    EXPECT_EQ(DWORD{REG_OPENED_EXISTING_KEY}, disposition);
    create("a\\b", &disposition); // made on the way; names ignore case
    EXPECT_EQ(DWORD{REG_OPENED_EXISTING_KEY}, disposition);
    create("Trail\\", &disposition);
    EXPECT_EQ(DWORD{REG_CREATED_NEW_KEY}, disposition);
    EXPECT_EQ((Names{"A", "Trail"}), subKeys(scratch_));
}

TEST_F(RegistryTest, SubKeyPathsAndHandlesResolveLikeWindows)
{
    HKEY a = create("A\\B");
    HKEY key = HKEY_CLASSES_ROOT; // a failure must clear it
    EXPECT_EQ(ERROR_BAD_PATHNAME, open("\\A", key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_BAD_PATHNAME,
              RegCreateKeyExA(scratch_, "\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, open("A/B", key)); // '/' is part of a name
    EXPECT_EQ(ERROR_SUCCESS, open("A\\B\\", key));
    EXPECT_EQ(ERROR_SUCCESS, open("B", key, KEY_READ, create("A")));

    for (const char* self : {"", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, self, 0, KEY_READ, &key));
        EXPECT_EQ(HKEY_CURRENT_USER, key); // a root opens as itself
    }
    HKEY second = nullptr; // an ordinary key gets a second handle of its own
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(a, "", 0, KEY_READ, &second));
    EXPECT_NE(a, second);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(second));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(second));
    EXPECT_EQ(ERROR_SUCCESS, setString(a, "v", "still open"));

    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));
    EXPECT_EQ(ERROR_SUCCESS, open("Software", key, KEY_READ, HKEY_CURRENT_USER)); // roots survive a close
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(nullptr, "Software", 0, KEY_READ, &key));
}

TEST_F(RegistryTest, AccessMaskOfAHandleIsEnforced)
{
    HKEY writeOnly = create("W", nullptr, KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
    EXPECT_EQ(ERROR_SUCCESS, setString(writeOnly, "v", "x"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, std::get<0>(probe(writeOnly, "v", 8)));
    HKEY readOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, open("W", readOnly, KEY_READ));
    EXPECT_EQ(ERROR_ACCESS_DENIED, setString(readOnly, "v", "y"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(readOnly, "v"));
    EXPECT_EQ(std::string("x", 2), read(readOnly, "v"));
    HKEY queryOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, open("W", queryOnly, KEY_QUERY_VALUE));
    char name[16];
    DWORD length = sizeof name;
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegEnumKeyExA(queryOnly, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryTest, QueryProbesSizesAndRefusesShortBuffers)
{
    ASSERT_EQ(ERROR_SUCCESS, setString(scratch_, "Sz", "Text"));
    for (DWORD capacity : {0u, 4u}) {
        const auto [rc, size, bytes] = probe(scratch_, "Sz", capacity);
        EXPECT_EQ(ERROR_MORE_DATA, rc);
        EXPECT_EQ(5u, size);
    }
    EXPECT_EQ((Probe{ERROR_SUCCESS, 5, std::string("Text", 5)}), probe(scratch_, "Sz", 5));
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(scratch_, "Sz", nullptr, &type, nullptr, &size));
    EXPECT_EQ(5u, size);
    EXPECT_EQ(DWORD{REG_SZ}, type);
    BYTE buffer[8];
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(scratch_, "Sz", nullptr, nullptr, buffer, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(scratch_, "Sz", nullptr, nullptr, nullptr, nullptr));

    // Absent: a size is cleared only when there is no buffer.
    EXPECT_EQ((Probe{ERROR_FILE_NOT_FOUND, 8, ""}), probe(scratch_, "Absent", 8));
    size = 8;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(scratch_, "Absent", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(0u, size);

    // Empty data fits any buffer, even one of size 0.
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch_, "Bin0", 0, REG_BINARY, buffer, 0));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch_, "Bin0Null", 0, REG_BINARY, nullptr, 0));
    EXPECT_EQ((Probe{ERROR_SUCCESS, 0, ""}), probe(scratch_, "Bin0", 0));
    EXPECT_EQ((Probe{ERROR_SUCCESS, 0, ""}), probe(scratch_, "Bin0Null", 0));
}

TEST_F(RegistryTest, DataReadsBackByteForByte)
{
    const std::string binary("\x0A\x00\xFF\x01", 4), multi("ab\0cd\0", 7), expand("%TEMP%\\x", 9);
    for (const auto& [name, type, data] :
         {std::tuple{"Bin", REG_BINARY, binary}, std::tuple{"Multi", REG_MULTI_SZ, multi},
          std::tuple{"Exp", REG_EXPAND_SZ, expand}}) {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(scratch_, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())));
        EXPECT_EQ(data, read(scratch_, name)); // REG_EXPAND_SZ is not expanded
    }

    // A string stored without its terminator gets one where the buffer has room, never counted.
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(scratch_, "Tex", 0, REG_SZ, reinterpret_cast<const BYTE*>("Text"), 3));
    EXPECT_EQ((Probe{ERROR_SUCCESS, 3, "Tex"}), probe(scratch_, "Tex", 3));
    EXPECT_EQ((Probe{ERROR_SUCCESS, 3, std::string("Tex", 4)}), probe(scratch_, "Tex", 8));
}

TEST_F(RegistryTest, EmptyAndNullNamesMeanTheDefaultValue)
{
    EXPECT_EQ("<missing>", read(scratch_, ""));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(scratch_, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, setString(scratch_, nullptr, "dv"));
    EXPECT_EQ(std::string("dv", 3), read(scratch_, ""));
    ASSERT_EQ(ERROR_SUCCESS, setString(scratch_, "", "new"));
    EXPECT_EQ(std::string("new", 4), read(scratch_, nullptr));
    EXPECT_EQ(Names{""}, valueNames(scratch_));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(scratch_, ""));
    EXPECT_EQ("<missing>", read(scratch_, nullptr));
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    create("CaseKey");
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, open("cASEkEY", key));
    DWORD disposition = 0;
    create("CASEKEY", &disposition);
    EXPECT_EQ(DWORD{REG_OPENED_EXISTING_KEY}, disposition);
    EXPECT_EQ(Names{"CaseKey"}, subKeys(scratch_));
    ASSERT_EQ(ERROR_SUCCESS, setString(key, "Abc", "1"));
    ASSERT_EQ(ERROR_SUCCESS, setString(key, "ABC", "22"));
    EXPECT_EQ(std::string("22", 3), read(key, "aBc"));
    EXPECT_EQ(Names{"Abc"}, valueNames(key));
}

TEST_F(RegistryTest, SubKeysEnumerateInNameOrderAndNeedRoomForTheTerminator)
{
    for (const char* name : {"zeta", "Alpha", "mid", "beta", "10", "9", "B"})
        create(name);
    EXPECT_EQ((Names{"10", "9", "Alpha", "B", "beta", "mid", "zeta"}), subKeys(scratch_));
    char name[16];
    std::memset(name, '#', sizeof name);
    DWORD size = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS,
              RegEnumKeyExA(scratch_, 99, name, &size, nullptr, nullptr, nullptr, nullptr));
    size = 5; // "Alpha", index 2
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(scratch_, 2, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(5u, size);
    EXPECT_EQ('#', name[0]);
    size = 6;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExA(scratch_, 2, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(5u, size);
    EXPECT_STREQ("Alpha", name);
}

TEST_F(RegistryTest, ValuesEnumerateWithTheirDataAndRefuseShortBuffers)
{
    ASSERT_EQ(ERROR_SUCCESS, setString(scratch_, "Test", "foobar"));
    char name[16];
    BYTE data[8];
    DWORD nameSize = 4; // "Test" needs 5: Windows then writes no name, Wine a cut one
    DWORD dataSize = sizeof data;
    EXPECT_EQ(ERROR_MORE_DATA,
              RegEnumValueA(scratch_, 0, name, &nameSize, nullptr, nullptr, data, &dataSize));
    EXPECT_EQ(4u, nameSize);
    std::memset(name, '#', sizeof name);
    nameSize = sizeof name;
    dataSize = 6;
    EXPECT_EQ(ERROR_MORE_DATA,
              RegEnumValueA(scratch_, 0, name, &nameSize, nullptr, nullptr, data, &dataSize));
    EXPECT_EQ(7u, dataSize);
    EXPECT_EQ(sizeof name, nameSize);
    EXPECT_EQ('#', name[0]);
    DWORD type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueA(scratch_, 0, name, &nameSize, nullptr, &type, data, &dataSize));
    EXPECT_EQ(4u, nameSize);
    EXPECT_STREQ("Test", name);
    EXPECT_EQ(DWORD{REG_SZ}, type);
    EXPECT_EQ(std::string("foobar", 7), std::string(reinterpret_cast<char*>(data), dataSize));
    EXPECT_EQ(ERROR_NO_MORE_ITEMS,
              RegEnumValueA(scratch_, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryTest, DeleteRefusesKeysWithSubKeysAndNeedsAnExistingTarget)
{
    create("Del\\Child");
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(scratch_, "Del"));
    EXPECT_EQ((Names{"Child"}), subKeys(create("Del")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(scratch_, "Missing"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(scratch_, "Missing\\Deeper"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch_, "del\\CHILD"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch_, "Del"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(create("SelfDel"), ""));
    EXPECT_TRUE(subKeys(scratch_).empty());

    ASSERT_EQ(ERROR_SUCCESS, setString(scratch_, "Bin", "1"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(scratch_, "Bin"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(scratch_, "bin"));
}

TEST_F(RegistryTest, HandleToADeletedKeyReportsItDeleted)
{
    HKEY gone = create("Gone");
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch_, "Gone"));
    EXPECT_EQ(ERROR_KEY_DELETED, setString(gone, "v", "2"));
    EXPECT_EQ(ERROR_KEY_DELETED, std::get<0>(probe(gone, "v", 8)));
    HKEY child = nullptr;
    EXPECT_EQ(ERROR_KEY_DELETED,
              RegCreateKeyExA(gone, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr));
    create("Gone"); // a new key of the same name is not the old one
    EXPECT_EQ(ERROR_KEY_DELETED, setString(gone, "v", "3"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(gone));
}

} // namespace
} // namespace plenvaro::winreg::test
