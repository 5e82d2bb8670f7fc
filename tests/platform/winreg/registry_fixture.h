#pragma once

#include "platform/winreg/registry_api.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace plenvaro::winreg::test {

inline std::string randomName()
{
    static std::mt19937_64 generator{std::random_device{}()};
    return std::to_string(generator());
}

// Each test works below its own scratch key, HKCU\Software\PlenvaroTest\<random>, so the same cases
// can run against advapi32. Off Windows each test also gets a fresh store file.
class RegistryTest : public ::testing::Test
{
protected:
    // Result, size, and the buffer up to the last byte written.
    using Probe = std::tuple<LONG, DWORD, std::string>;

    void SetUp() override
    {
#ifndef _WIN32
        folder_ = std::filesystem::temp_directory_path() / ("plenvaro-winreg-" + randomName());
        std::filesystem::create_directories(folder_);
        // The store refuses folders others can write to, which a loose umask would make.
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
        setenv("PLENVARO_REGISTRY", (folder_ / "registry.sqlite3").c_str(), 1);
        plenvaroRegistryReset();
#endif
        scratchPath_ = "Software\\PlenvaroTest\\" + randomName();
        scratch_ = create(scratchPath_.c_str(), nullptr, KEY_ALL_ACCESS, HKEY_CURRENT_USER);
        ASSERT_NE(nullptr, scratch_) << plenvaroRegistryLastError();
    }

    void TearDown() override
    {
        for (HKEY handle : handles_)
            RegCloseKey(handle);
        deleteTree(HKEY_CURRENT_USER, scratchPath_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\PlenvaroTest"); // fails while other runs use it
#ifndef _WIN32
        plenvaroRegistryReset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
#endif
    }

    static bool deleteTree(HKEY parent, const char* path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(parent, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return false;
        for (const std::string& name : subKeys(key))
            deleteTree(key, name.c_str());
        RegCloseKey(key);
        return RegDeleteKeyA(parent, path) == ERROR_SUCCESS;
    }

    // Keys made or opened here are closed after the test.
    HKEY create(const char* path, DWORD* disposition = nullptr, REGSAM access = KEY_ALL_ACCESS,
                HKEY parent = nullptr)
    {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent ? parent : scratch_, path, 0, nullptr, 0, access,
                                                 nullptr, &key, disposition))
            << path << ": " << plenvaroRegistryLastError();
        if (key)
            handles_.push_back(key);
        return key;
    }

    LONG open(const char* path, HKEY& key, REGSAM access = KEY_ALL_ACCESS, HKEY parent = nullptr)
    {
        const LONG rc = RegOpenKeyExA(parent ? parent : scratch_, path, 0, access, &key);
        if (rc == ERROR_SUCCESS)
            handles_.push_back(key);
        return rc;
    }

    static LONG setString(HKEY key, const char* name, const std::string& text)
    {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    }

    // Two spare bytes past the size given show anything written beyond it.
    static Probe probe(HKEY key, const char* name, DWORD capacity)
    {
        std::string buffer(capacity + 2, '\xCC');
        DWORD size = capacity;
        const LONG rc =
            RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size);
        buffer.erase(buffer.find_last_not_of('\xCC') + 1);
        return {rc, size, buffer};
    }

    // The stored bytes, or "<missing>".
    static std::string read(HKEY key, const char* name)
    {
        const auto [rc, size, bytes] = probe(key, name, 512);
        return rc == ERROR_SUCCESS ? bytes.substr(0, size) : "<missing>";
    }

    static std::vector<std::string> subKeys(HKEY key)
    {
        return enumerated(key, [](HKEY of, DWORD index, char* name, DWORD* size) {
            return RegEnumKeyExA(of, index, name, size, nullptr, nullptr, nullptr, nullptr);
        });
    }

    static std::vector<std::string> valueNames(HKEY key)
    {
        return enumerated(key, [](HKEY of, DWORD index, char* name, DWORD* size) {
            return RegEnumValueA(of, index, name, size, nullptr, nullptr, nullptr, nullptr);
        });
    }

    // The names nameAt gives for index 0, 1, ... until it reports anything but success.
    template <typename NameAt> static std::vector<std::string> enumerated(HKEY key, NameAt nameAt)
    {
        std::vector<std::string> names;
        char name[256];
        for (DWORD index = 0, size = sizeof name; nameAt(key, index, name, &size) == ERROR_SUCCESS;
             ++index, size = sizeof name)
            names.emplace_back(name, size);
        return names;
    }

    HKEY scratch_ = nullptr;
    std::string scratchPath_;
    std::filesystem::path folder_;
    std::vector<HKEY> handles_;
};

} // namespace plenvaro::winreg::test
