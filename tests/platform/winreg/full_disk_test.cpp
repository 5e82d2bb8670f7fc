// The portable store on a disk that fills up or cannot be written: all values of a change or none, the
// cause named, and the values still read.
#include "full_disk.h"
#include "registry_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

namespace plenvaro::winreg::test {
namespace {

namespace fs = std::filesystem;

std::string lastError()
{
    return plenvaroRegistryLastError();
}

bool mentions(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

using MakeDisk = std::unique_ptr<FullDisk> (*)(const fs::path&);

// Runs each case on a real tmpfs (skipped where mounting is not allowed) and with SQLite's writes failing
// in this process (always).
class FullDiskTest : public RegistryTest, public ::testing::WithParamInterface<MakeDisk>
{
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
        disk_ = GetParam()(folder_);
        if (const std::string why = disk_->unavailable(); !why.empty())
            GTEST_SKIP() << why;
        store_ = disk_->folder() / "registry.sqlite3";
        setenv("PLENVARO_REGISTRY", store_.c_str(), 1);
        plenvaroRegistryReset();
        handles_.clear();
        key_ = create((scratchPath_ + "\\Login").c_str(), nullptr, KEY_ALL_ACCESS, HKEY_CURRENT_USER);
        ASSERT_NE(nullptr, key_);
    }

    void TearDown() override
    {
        plenvaroRegistryReset();
        handles_.clear();
        disk_.reset(); // after the store has been closed
        RegistryTest::TearDown();
    }

    // The store as a program started anew finds it.
    void reopen()
    {
        plenvaroRegistryReset();
        handles_.clear();
        key_ = nullptr;
        EXPECT_EQ(ERROR_SUCCESS,
                  open((scratchPath_ + "\\Login").c_str(), key_, KEY_ALL_ACCESS, HKEY_CURRENT_USER))
            << lastError();
    }

    LONG saveSeven(const std::string& prefix)
    {
        texts_.clear();
        std::vector<PlenvaroRegistryValue> values;
        for (const char* name : names)
            texts_.push_back(prefix + name);
        for (std::size_t i = 0; i < texts_.size(); ++i)
            values.push_back({names[i], REG_SZ, reinterpret_cast<const BYTE*>(texts_[i].c_str()),
                              static_cast<DWORD>(texts_[i].size() + 1)});
        return plenvaroRegistrySetValues(key_, 7, values.data(), nullptr, nullptr);
    }

    // "alt", "neu" when all seven carry that prefix, else what is there.
    std::string storedSeven() const
    {
        std::string first, all;
        for (const char* name : names) {
            const std::string value = read(key_, name);
            const std::string prefix = value.substr(0, value.find('-'));
            all += value + " ";
            if (first.empty())
                first = prefix;
            else if (prefix != first)
                return "mixed: " + all;
        }
        return first;
    }

    static constexpr const char* names[7] = {"Firma",  "Filiale", "Name",     "Passwort",
                                             "Server", "Port",    "Namespace"};
    std::unique_ptr<FullDisk> disk_;
    fs::path store_;
    HKEY key_ = nullptr;
    std::vector<std::string> texts_;
};

// The disk fills at every point of the save in turn: the seven are never half saved.
TEST_P(FullDiskTest, SevenValuesAreSavedAllOrNoneWhereverTheDiskFills)
{
    ASSERT_EQ(ERROR_SUCCESS, saveSeven("alt-")) << lastError();
    int failures = 0;
    for (std::size_t room = 0; room < 64; ++room) {
        SCOPED_TRACE("room for " + std::to_string(room));
        disk_->fillLeaving(room);
        const LONG rc = saveSeven("neu-");
        disk_->clear();
        if (rc == ERROR_SUCCESS) {
            EXPECT_EQ("neu", storedSeven());
            break;
        }
        ++failures;
        EXPECT_EQ(ERROR_DISK_FULL, rc) << lastError();
        EXPECT_TRUE(mentions(lastError(), store_.string())) << lastError();
        ASSERT_EQ("alt", storedSeven());
    }
    EXPECT_GT(failures, 0);
    EXPECT_EQ("neu", storedSeven()) << "never saved, even with room for 64 steps";
}

// The measured fault: on a full disk the store could not even be opened to be read.
TEST_P(FullDiskTest, AStoreOnAFullDiskIsReadAndWritesSayWhyTheyFail)
{
    ASSERT_EQ(ERROR_SUCCESS, saveSeven("alt-")) << lastError();
    plenvaroRegistryReset(); // a clean end: no WAL file is left to read through
    disk_->fill();
    reopen();
    EXPECT_EQ("alt", storedSeven()) << lastError();
    EXPECT_EQ(ERROR_DISK_FULL, saveSeven("neu-"));
    EXPECT_TRUE(mentions(lastError(), "No space left on device") || mentions(lastError(), "disk is full"))
        << lastError();
    EXPECT_EQ("alt", storedSeven());

    disk_->clear(); // room again: the same process writes without being started anew
    EXPECT_EQ(ERROR_SUCCESS, saveSeven("neu-")) << lastError();
    reopen();
    EXPECT_EQ("neu", storedSeven());
}

// A writer that ended without closing leaves its last commits in the WAL file only; they must be read,
// also when the shared-memory file is gone.
TEST_P(FullDiskTest, CommitsLeftInTheWalAreReadOnAFullDisk)
{
    ASSERT_EQ(ERROR_SUCCESS, saveSeven("alt-")) << lastError();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(saveSeven("neu-") == ERROR_SUCCESS ? 0 : 1); // no exit handlers: nothing is checkpointed
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_GT(fs::file_size(store_.string() + "-wal"), 32u);
    fs::remove(store_.string() + "-shm");
    disk_->fill();
    reopen();
    EXPECT_EQ("neu", storedSeven()) << lastError();
    EXPECT_EQ(ERROR_DISK_FULL, saveSeven("drei-"));
    EXPECT_EQ("neu", storedSeven());
}

INSTANTIATE_TEST_SUITE_P(Disks, FullDiskTest, ::testing::Values(&smallTmpfs, &failingWrites),
                         [](const ::testing::TestParamInfo<MakeDisk>& disk) {
                             return std::string(disk.param == &smallTmpfs ? "Tmpfs" : "FailingWrites");
                         });

TEST_F(RegistryTest, AStoreOnAReadOnlyMediumIsReadAndWritesSaySo)
{
    const auto disk = smallTmpfs(folder_);
    if (const std::string why = disk->unavailable(); !why.empty())
        GTEST_SKIP() << why;
    const auto file = disk->folder() / "registry.sqlite3";
    setenv("PLENVARO_REGISTRY", file.c_str(), 1);
    plenvaroRegistryReset();
    ASSERT_EQ(ERROR_SUCCESS, setString(HKEY_CURRENT_USER, "Kept", "yes")) << lastError();
    plenvaroRegistryReset();
    ASSERT_TRUE(disk->makeReadOnly());
    EXPECT_EQ(std::string("yes", 4), read(HKEY_CURRENT_USER, "Kept")) << lastError();
    EXPECT_EQ(ERROR_WRITE_PROTECT, setString(HKEY_CURRENT_USER, "Kept", "no"));
    EXPECT_TRUE(mentions(lastError(), "Read-only file system")) << lastError();
    EXPECT_EQ(std::string("yes", 4), read(HKEY_CURRENT_USER, "Kept"));
    plenvaroRegistryReset();
}

} // namespace
} // namespace plenvaro::winreg::test
