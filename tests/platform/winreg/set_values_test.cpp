// Several values of one key written as one change; these cases run against advapi32 (under Wine in CI)
// as well as against the portable store.
#include "registry_fixture.h"

#include <algorithm>

namespace plenvaro::winreg::test {
namespace {

std::string lastError()
{
    return plenvaroRegistryLastError();
}

class SetValuesTest : public RegistryTest
{
protected:
    // The seven login settings, each value `prefix` + its key.
    struct Login final
    {
        explicit Login(const std::string& prefix)
        {
            for (const char* name : {"Firma", "Filiale", "Name", "Passwort", "Server", "Port", "Namespace"})
                texts.push_back(prefix + name);
            for (std::size_t i = 0; i < texts.size(); ++i)
                values.push_back({names[i], REG_SZ, reinterpret_cast<const BYTE*>(texts[i].c_str()),
                                  static_cast<DWORD>(texts[i].size() + 1)});
        }
        const char* const names[7] = {"Firma", "Filiale", "Name", "Passwort", "Server", "Port", "Namespace"};
        std::vector<std::string> texts;
        std::vector<PlenvaroRegistryValue> values;
    };

    // The stored texts of the seven, "<missing>" where absent.
    std::vector<std::string> stored(HKEY key) const
    {
        std::vector<std::string> texts;
        for (const char* name : Login("").names) {
            const std::string bytes = read(key, name);
            texts.push_back(bytes == "<missing>" ? bytes : bytes.substr(0, bytes.find('\0')));
        }
        return texts;
    }
};

TEST_F(SetValuesTest, WritesEveryValueAtOnce)
{
    Login login("neu-");
    DWORD failed = 99, unrestored = 99;
    ASSERT_EQ(ERROR_SUCCESS,
              plenvaroRegistrySetValues(scratch_, 7, login.values.data(), &failed, &unrestored))
        << lastError();
    EXPECT_EQ(7u, failed);
    EXPECT_EQ(0u, unrestored);
    EXPECT_EQ(login.texts, stored(scratch_));
    EXPECT_EQ(ERROR_SUCCESS, plenvaroRegistrySetValues(scratch_, 0, nullptr, nullptr, nullptr));
}

// A write the registry refuses, fourth of seven: the three before it are undone, old values come back
// with their own type, and values that were new are gone again.
TEST_F(SetValuesTest, AFailedWriteLeavesEveryValueAsItWas)
{
    Login old("alt-");
    ASSERT_EQ(ERROR_SUCCESS, plenvaroRegistrySetValues(scratch_, 3, old.values.data(), nullptr, nullptr))
        << lastError();
    const DWORD port = 1973;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch_, "Port", 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&port), sizeof port));
    const std::vector<std::string> before = stored(scratch_);

    Login login("neu-");
    // Data at NULL with a size: refused with ERROR_NOACCESS (as binary: Wine reads a string's last byte).
    login.values[3].type = REG_BINARY;
    login.values[3].data = nullptr;
    DWORD failed = 99, unrestored = 99;
    EXPECT_EQ(ERROR_NOACCESS,
              plenvaroRegistrySetValues(scratch_, 7, login.values.data(), &failed, &unrestored));
    EXPECT_EQ(3u, failed);
    EXPECT_EQ(0u, unrestored);
    EXPECT_EQ(before, stored(scratch_));
    EXPECT_EQ("alt-Firma", stored(scratch_)[0]);
    DWORD type = 0, number = 0, size = sizeof number;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(scratch_, "Port", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size));
    EXPECT_EQ(DWORD{REG_DWORD}, type);
    EXPECT_EQ(port, number);
    std::vector<std::string> names = valueNames(scratch_);
    std::sort(names.begin(), names.end()); // Wine enumerates by name, Windows in order of creation
    EXPECT_EQ((std::vector<std::string>{"Filiale", "Firma", "Name", "Port"}), names);
}

TEST_F(SetValuesTest, AHandleThatCannotReadOrWriteWritesNothing)
{
    Login login("neu-");
    HKEY writeOnly = create("W", nullptr, KEY_SET_VALUE);
    HKEY readOnly = create("W", nullptr, KEY_QUERY_VALUE);
    for (HKEY key : {writeOnly, readOnly})
        EXPECT_EQ(ERROR_ACCESS_DENIED,
                  plenvaroRegistrySetValues(key, 7, login.values.data(), nullptr, nullptr));
    EXPECT_TRUE(valueNames(create("W", nullptr, KEY_READ)).empty());
    EXPECT_EQ(ERROR_INVALID_PARAMETER, plenvaroRegistrySetValues(scratch_, 1, nullptr, nullptr, nullptr));
}

} // namespace
} // namespace plenvaro::winreg::test
