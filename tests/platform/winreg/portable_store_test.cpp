// The portable store itself: its file, its safety, and where it follows Windows rather than Wine.
#include "registry_fixture.h"

#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plenvaro::winreg::test {
namespace {

std::string contents(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

unsigned permissions(const std::filesystem::path& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

std::string lastError()
{
    return plenvaroRegistryLastError();
}

using PortableStoreTest = RegistryTest;

TEST_F(PortableStoreTest, StoreIsPrivateToItsOwnerAndKeepsWhatWasWritten)
{
    unsetenv("PLENVARO_REGISTRY");
    const auto config = folder_ / "config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    plenvaroRegistryReset();
    const auto file = config / "plenvaro" / "registry.sqlite3";
    EXPECT_EQ(file.string(), plenvaroRegistryPath());
    ASSERT_EQ(ERROR_SUCCESS, setString(HKEY_CURRENT_USER, "kept", "yes")) << lastError();
    EXPECT_EQ(0700u, permissions(config));
    EXPECT_EQ(0700u, permissions(config / "plenvaro"));
    EXPECT_EQ(0600u, permissions(file));

    HKEY software = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &software));
    plenvaroRegistryReset(); // closes the file and every handle
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(software));
    EXPECT_EQ(std::string("yes", 4), read(HKEY_CURRENT_USER, "kept"));
    unsetenv("XDG_CONFIG_HOME");
}

TEST_F(PortableStoreTest, TwoProcessesWritingAtOnceLoseNothing)
{
    const auto name = [](int child, int i) { return std::to_string(child) + "-" + std::to_string(i); };
    int gate[2];
    ASSERT_EQ(0, pipe(gate));
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            close(gate[1]);
            char go;
            (void)!::read(gate[0], &go, 1); // returns when the parent closes the gate
            int failures = 0;
            for (int i = 0; i < 200; ++i)
                failures += setString(scratch_, name(child, i).c_str(), name(child, i)) != ERROR_SUCCESS;
            _exit(failures == 0 ? 0 : 1); // no exit handlers: only what was committed counts
        }
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(400u, valueNames(scratch_).size());
    int wrong = 0;
    for (int child = 0; child < 2; ++child)
        for (int i = 0; i < 200; ++i)
            wrong += read(scratch_, name(child, i).c_str()) != name(child, i) + '\0';
    EXPECT_EQ(0, wrong);
}

TEST_F(PortableStoreTest, FilesThatAreNotStoresAreReportedAndLeftUntouched)
{
    const auto garbage = folder_ / "garbage.sqlite3";
    std::string noise;
    for (int i = 0; i < 4096; ++i)
        noise.push_back(static_cast<char>(i * 7 + 3));
    std::ofstream(garbage, std::ios::binary) << noise;
    const auto foreign = folder_ / "foreign.sqlite3";
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(foreign.c_str(), &db));
    ASSERT_EQ(SQLITE_OK,
              sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(42)", nullptr, nullptr, nullptr));
    sqlite3_close(db);

    for (const auto& file : {garbage, foreign}) {
        const std::string before = contents(file);
        setenv("PLENVARO_REGISTRY", file.c_str(), 1);
        plenvaroRegistryReset();
        EXPECT_EQ(ERROR_REGISTRY_CORRUPT, setString(HKEY_CURRENT_USER, "v", "x"));
        EXPECT_NE(std::string::npos, lastError().find(file.string() + ": ")) << lastError();
        EXPECT_NE(std::string::npos, lastError().find("left untouched")) << lastError();
        EXPECT_EQ(ERROR_REGISTRY_CORRUPT, std::get<0>(probe(HKEY_CURRENT_USER, "v", 8)));
        plenvaroRegistryReset();
        EXPECT_EQ(before, contents(file));
        EXPECT_FALSE(std::filesystem::exists(file.string() + "-wal"));
    }

    setenv("PLENVARO_REGISTRY", folder_.c_str(), 1);
    plenvaroRegistryReset();
    EXPECT_EQ(ERROR_REGISTRY_IO_FAILED, setString(HKEY_CURRENT_USER, "v", "x"));
    EXPECT_NE(std::string::npos, lastError().find("is a folder")) << lastError();

    const auto empty = folder_ / "empty.sqlite3"; // nothing to lose, so it becomes a store
    std::ofstream{empty};
    setenv("PLENVARO_REGISTRY", empty.c_str(), 1);
    plenvaroRegistryReset();
    EXPECT_EQ(ERROR_SUCCESS, setString(HKEY_CURRENT_USER, "v", "x")) << lastError();
}

TEST_F(PortableStoreTest, Windows1252NamesFoldAndSortAsOnWindows)
{
    HKEY key = create("\xE9t\xE9"); // été
    HKEY same = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, open("\xC9T\xC9", same));
    ASSERT_EQ(ERROR_SUCCESS, setString(key, "\x9A\x9C\x9E\xFF", "small"));
    EXPECT_EQ(std::string("small", 6), read(key, "\x8A\x8C\x8E\x9F"));
    ASSERT_EQ(ERROR_SUCCESS, setString(key, "\xF7", "divide")); // ÷ and × are no letters
    ASSERT_EQ(ERROR_SUCCESS, setString(key, "\xD7", "times"));
    EXPECT_EQ(std::string("divide", 7), read(key, "\xF7"));
    EXPECT_EQ(3u, valueNames(key).size());

    // Upper-cased UTF-16 order: '_' after 'Z'; € (byte 0x80, U+20AC) after À (U+00C0).
    HKEY order = create("Order");
    for (const char* name : {"zeta", "_u", "\x80", "\xC0", "alpha", "\xE0x"})
        create(name, nullptr, KEY_READ, order);
    EXPECT_EQ((std::vector<std::string>{"alpha", "zeta", "_u", "\xC0", "\xE0x", "\x80"}), subKeys(order));
}

TEST_F(PortableStoreTest, ValuesEnumerateInCreationOrderAsOnWindows)
{
    for (const char* name : {"zv", "Av", "mv", "", "bv"})
        ASSERT_EQ(ERROR_SUCCESS, setString(scratch_, name, "1"));
    ASSERT_EQ(ERROR_SUCCESS, setString(scratch_, "AV", "2")); // keeps its place
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(scratch_, "zv"));
    ASSERT_EQ(ERROR_SUCCESS, setString(scratch_, "zv", "3")); // new again, so last
    EXPECT_EQ((std::vector<std::string>{"Av", "mv", "", "bv", "zv"}), valueNames(scratch_));
}

TEST_F(PortableStoreTest, RootsWindowsNtLacksOrFillsItself)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_DYN_DATA, "", 0, KEY_READ, &key));
    EXPECT_EQ(HKEY_DYN_DATA, key);
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegCreateKeyExA(HKEY_DYN_DATA, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_DYN_DATA, "X", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, setString(HKEY_DYN_DATA, "v", "x"));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(HKEY_PERFORMANCE_DATA, "Software", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegOpenKeyExA(PLENVARO_PREDEFINED_HKEY(0x80000007u), "", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CURRENT_USER, ""));

    const auto zeroExtended = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001u});
    EXPECT_EQ(ERROR_SUCCESS, open(scratchPath_.c_str(), key, KEY_READ, zeroExtended));
}

TEST_F(PortableStoreTest, BadInputIsRefusedAndStoresNothing)
{
    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExA(scratch_, "v", 0, REG_BINARY, nullptr, 3));
    EXPECT_NE("", lastError());
    EXPECT_EQ(ERROR_INVALID_PARAMETER, setString(scratch_, std::string(16384, 'v').c_str(), "x"));
    EXPECT_TRUE(valueNames(scratch_).empty());
    HKEY key = nullptr;
    const std::string longest(255, 'k');
    for (const auto& [name, options] :
         {std::pair{longest + "k", 0u}, std::pair{std::string("V"), REG_OPTION_VOLATILE}})
        EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyExA(scratch_, name.c_str(), 0, nullptr, options,
                                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
    EXPECT_TRUE(subKeys(scratch_).empty());
    create(longest.c_str());

    // Creating needs KEY_CREATE_SUB_KEY; opening an existing key through RegCreateKeyExA does not.
    HKEY readOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, open("", readOnly, KEY_READ));
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegCreateKeyExA(readOnly, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    create(longest.c_str(), nullptr, KEY_READ, readOnly);
    EXPECT_EQ(std::vector<std::string>{longest}, subKeys(scratch_));

    // Exactly the bytes given: no terminator is fetched from beyond cbData.
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(scratch_, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>("Text"), 4));
    EXPECT_EQ("Text", read(scratch_, "Text"));
}

} // namespace
} // namespace plenvaro::winreg::test
