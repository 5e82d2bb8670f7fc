// The portable store's file: whose it is, who may read it, and several processes using it at once.
#include "registry_fixture.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plenvaro::winreg::test {
namespace {

namespace fs = std::filesystem;

// Everything about a file the store must leave alone when it refuses it.
struct FileState final
{
    bool exists = false;
    mode_t mode = 0; // type and permissions
    uid_t owner = 0;
    std::string contents; // the target, for a link

    bool operator==(const FileState&) const = default;
};

FileState stateOf(const fs::path& file)
{
    struct stat info
    {
    };
    if (::lstat(file.c_str(), &info) != 0)
        return {};
    FileState state{true, info.st_mode, info.st_uid, {}};
    if (S_ISLNK(info.st_mode)) {
        state.contents = fs::read_symlink(file).string();
    } else if (S_ISREG(info.st_mode)) {
        std::ifstream in(file, std::ios::binary);
        state.contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return state;
}

unsigned permissions(const fs::path& path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

std::string octal(unsigned mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode);
    return text;
}

std::string lastError()
{
    return plenvaroRegistryLastError();
}

uid_t anotherUser()
{
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t candidate = nobody ? nobody->pw_uid : 65534;
    return candidate != ::geteuid() ? candidate : candidate - 1;
}

class StoreFileTest : public RegistryTest
{
protected:
    static void use(const fs::path& file)
    {
        setenv("PLENVARO_REGISTRY", file.c_str(), 1);
        plenvaroRegistryReset();
    }

    // A real store at `file` holding HKCU "Kept" = "yes", closed again.
    static void makeStore(const fs::path& file)
    {
        use(file);
        ASSERT_EQ(ERROR_SUCCESS, setString(HKEY_CURRENT_USER, "Kept", "yes")) << lastError();
        plenvaroRegistryReset();
    }

    // Reading and writing are both refused, naming the file and `why`, and nothing on disk changes.
    static void expectRefused(const fs::path& file, const std::string& why)
    {
        SCOPED_TRACE(file.string());
        const FileState before = stateOf(file);
        use(file);
        EXPECT_EQ(ERROR_ACCESS_DENIED, setString(HKEY_CURRENT_USER, "v", "x"));
        EXPECT_NE(std::string::npos, lastError().find(file.string() + ": refused: ")) << lastError();
        EXPECT_NE(std::string::npos, lastError().find(why)) << lastError();
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key));
        plenvaroRegistryReset();
        EXPECT_TRUE(before == stateOf(file));
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            EXPECT_FALSE(fs::exists(file.string() + suffix)) << suffix;
    }

    // Runs `body` in `count` child processes released at the same moment; returns what failed.
    static std::string runTogether(int count, const std::function<LONG(int)>& body)
    {
        int gate[2], report[2];
        if (::pipe(gate) != 0 || ::pipe(report) != 0)
            return std::string("pipe: ") + std::strerror(errno);
        std::vector<pid_t> children;
        for (int child = 0; child < count; ++child) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::close(gate[1]);
                ::close(report[0]);
                char go;
                (void)!::read(gate[0], &go, 1); // returns when the parent closes the gate
                const LONG rc = body(child);
                if (rc != ERROR_SUCCESS) {
                    const std::string line = "child " + std::to_string(child) + ": " + std::to_string(rc) +
                                             " " + lastError() + "\n";
                    (void)!::write(report[1], line.data(), line.size());
                }
                _exit(rc == ERROR_SUCCESS ? 0 : 1); // no exit handlers: only what was committed counts
            }
            if (pid > 0)
                children.push_back(pid);
        }
        ::close(gate[0]);
        ::close(gate[1]);
        ::close(report[1]);
        std::string failures;
        char buffer[512];
        for (ssize_t got; (got = ::read(report[0], buffer, sizeof buffer)) > 0;)
            failures.append(buffer, static_cast<std::size_t>(got));
        ::close(report[0]);
        for (const pid_t child : children) {
            int status = 0;
            if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
                failures += "child process " + std::to_string(child) + " did not end normally\n";
        }
        if (children.size() != static_cast<std::size_t>(count))
            failures += "fork: " + std::string(std::strerror(errno)) + "\n";
        return failures;
    }
};

TEST_F(StoreFileTest, FilesAndFoldersOfAnotherUserAreRefused)
{
    const uid_t other = anotherUser();
    const auto folder = folder_ / "theirs";
    const auto file = folder / "registry.sqlite3";
    makeStore(file);
    if (::chown(file.c_str(), other, static_cast<gid_t>(-1)) != 0)
        GTEST_SKIP() << "giving a file to another user (chown) needs root here: " << std::strerror(errno);
    const passwd* entry = ::getpwuid(other);
    const std::string owner =
        (entry ? entry->pw_name + std::string(" ") : "") + "(uid " + std::to_string(other);
    expectRefused(file, "the file belongs to " + owner);

    ASSERT_EQ(0, ::chown(file.c_str(), ::geteuid(), static_cast<gid_t>(-1)));
    ASSERT_EQ(0, ::chown(folder.c_str(), other, static_cast<gid_t>(-1)));
    expectRefused(file, "its folder " + folder.string() + " belongs to ");
    expectRefused(folder / "new.sqlite3", "its folder " + folder.string() + " belongs to ");

    ASSERT_EQ(0, ::chown(folder.c_str(), ::geteuid(), static_cast<gid_t>(-1)));
    use(file);
    EXPECT_EQ(std::string("yes", 4), read(HKEY_CURRENT_USER, "Kept")) << lastError();
}

TEST_F(StoreFileTest, FilesAndFoldersOthersCanWriteAreRefused)
{
    const auto folder = folder_ / "shared";
    const auto file = folder / "registry.sqlite3";
    makeStore(file);
    for (const unsigned mode : {0666u, 0620u, 0602u}) {
        ASSERT_EQ(0, ::chmod(file.c_str(), mode));
        expectRefused(file, "the file is writable by group or others (mode " + octal(mode) + ")");
    }
    ASSERT_EQ(0, ::chmod(file.c_str(), 0600));

    // A sticky, world-writable folder such as /tmp is refused too: others could plant SQLite's
    // journal beside the store.
    for (const unsigned mode : {0777u, 0770u, 01777u}) {
        ASSERT_EQ(0, ::chmod(folder.c_str(), mode));
        const std::string why =
            "its folder " + folder.string() + " is writable by group or others (mode " + octal(mode) + ")";
        expectRefused(file, why);
        expectRefused(folder / "new.sqlite3", why);
    }

    ASSERT_EQ(0, ::chmod(folder.c_str(), 0755)); // readable by others is no risk for a folder
    use(file);
    EXPECT_EQ(std::string("yes", 4), read(HKEY_CURRENT_USER, "Kept")) << lastError();
}

TEST_F(StoreFileTest, LinksToTheFileAreRefusedLinksToItsFolderAreFollowed)
{
    const auto real = folder_ / "real" / "registry.sqlite3";
    makeStore(real);
    const FileState target = stateOf(real);
    const auto link = folder_ / "link.sqlite3";
    fs::create_symlink(real, link);
    expectRefused(link, "the file is a symbolic link");
    EXPECT_TRUE(target == stateOf(real));

    const auto dangling = folder_ / "dangling.sqlite3";
    fs::create_symlink(folder_ / "nowhere.sqlite3", dangling);
    expectRefused(dangling, "the file is a symbolic link");
    EXPECT_FALSE(fs::exists(folder_ / "nowhere.sqlite3"));

    // A linked folder is judged as the folder it leads to (dotfile managers link whole folders).
    fs::create_directory_symlink(real.parent_path(), folder_ / "linked");
    use(folder_ / "linked" / "registry.sqlite3");
    EXPECT_EQ(std::string("yes", 4), read(HKEY_CURRENT_USER, "Kept")) << lastError();
    const auto open = folder_ / "open";
    fs::create_directory(open);
    ASSERT_EQ(0, ::chmod(open.c_str(), 0777));
    fs::create_directory_symlink(open, folder_ / "to-open");
    expectRefused(folder_ / "to-open" / "registry.sqlite3", "is writable by group or others (mode 0777)");
    EXPECT_TRUE(fs::is_empty(open));
}

TEST_F(StoreFileTest, TheStoreIsPrivateToItsOwnerWhateverTheUmaskOrTheFileBefore)
{
    const auto file = folder_ / "new" / "deeper" / "registry.sqlite3";
    use(file);
    const mode_t saved = ::umask(0277); // would leave the owner unable to write
    const LONG created = setString(HKEY_CURRENT_USER, "Kept", "yes");
    ::umask(saved);
    ASSERT_EQ(ERROR_SUCCESS, created) << lastError();
    EXPECT_EQ(0700u, permissions(folder_ / "new"));
    EXPECT_EQ(0700u, permissions(folder_ / "new" / "deeper"));
    EXPECT_EQ(0600u, permissions(file));
    for (const char* suffix : {"-wal", "-shm"})
        EXPECT_EQ(0600u, permissions(file.string() + suffix)) << suffix;

    // An empty file (made by hand, or by `touch`) holds nothing yet; it becomes a private store.
    const auto empty = folder_ / "empty.sqlite3";
    std::ofstream{empty};
    ASSERT_EQ(0, ::chmod(empty.c_str(), 0644));
    use(empty);
    ASSERT_EQ(ERROR_SUCCESS, setString(HKEY_CURRENT_USER, "Kept", "yes")) << lastError();
    EXPECT_EQ(0600u, permissions(empty));
    for (const char* suffix : {"-wal", "-shm"})
        EXPECT_EQ(0600u, permissions(empty.string() + suffix)) << suffix;

    // A store others can read is narrowed, WAL files included, and keeps what it holds.
    plenvaroRegistryReset();
    ASSERT_EQ(0, ::chmod(file.c_str(), 0644));
    use(file);
    EXPECT_EQ(std::string("yes", 4), read(HKEY_CURRENT_USER, "Kept")) << lastError();
    EXPECT_EQ(0600u, permissions(file));
    for (const char* suffix : {"-wal", "-shm"}) {
        ASSERT_TRUE(fs::exists(file.string() + suffix)) << suffix;
        EXPECT_EQ(0600u, permissions(file.string() + suffix)) << suffix;
    }

    // A foreign database is no store of ours: its mode is not ours to change either.
    plenvaroRegistryReset();
    const auto foreign = folder_ / "foreign.sqlite3";
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(foreign.c_str(), &db));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr));
    sqlite3_close(db);
    ASSERT_EQ(0, ::chmod(foreign.c_str(), 0644));
    use(foreign);
    EXPECT_EQ(ERROR_REGISTRY_CORRUPT, setString(HKEY_CURRENT_USER, "v", "x"));
    EXPECT_EQ(0644u, permissions(foreign));
}

TEST_F(StoreFileTest, ProcessesStartingANewStoreTogetherAllSucceed)
{
    constexpr int rounds = 12;
    constexpr int children = 8;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const auto folder = folder_ / ("round-" + std::to_string(round));
        const auto file = folder / "registry.sqlite3";
        if (round % 2 == 1) { // half the rounds start from an empty file someone made beforehand
            fs::create_directory(folder);
            fs::permissions(folder, fs::perms::owner_all);
            std::ofstream{file};
            ASSERT_EQ(0, ::chmod(file.c_str(), 0644));
        }
        use(file);
        const std::string failures = runTogether(children, [](int child) {
            return setString(HKEY_CURRENT_USER, ("Child" + std::to_string(child)).c_str(), "ok");
        });
        EXPECT_EQ("", failures);
        for (int child = 0; child < children; ++child)
            EXPECT_EQ(std::string("ok", 3),
                      read(HKEY_CURRENT_USER, ("Child" + std::to_string(child)).c_str()))
                << lastError();
        EXPECT_EQ(0600u, permissions(file));
    }
}

TEST_F(StoreFileTest, AWriteWhileAnotherProcessHoldsTheLockFailsWithTheLockError)
{
    ASSERT_EQ(ERROR_SUCCESS, setString(scratch_, "Kept", "before")) << lastError();
    const std::string file = plenvaroRegistryPath();
    int held[2], release[2];
    ASSERT_EQ(0, ::pipe(held));
    ASSERT_EQ(0, ::pipe(release));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(held[0]);
        ::close(release[1]);
        sqlite3* db = nullptr;
        const bool locked = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                            sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        (void)!::write(held[1], locked ? "1" : "0", 1);
        pollfd parent{release[0], POLLIN, 0};
        ::poll(&parent, 1, 60'000); // lets go by itself should the parent never answer
        _exit(locked ? 0 : 1);      // ending the process releases the lock
    }
    ::close(held[1]);
    ::close(release[0]);
    char answer = 0;
    ASSERT_EQ(1, ::read(held[0], &answer, 1));
    ASSERT_EQ('1', answer) << "the child could not take the write lock";

    // Had the call waited for the lock, it would have succeeded once the child gave up after a minute.
    EXPECT_EQ(ERROR_LOCK_VIOLATION, setString(scratch_, "Kept", "during"));
    EXPECT_NE(std::string::npos, lastError().find("RegSetValueExA: " + file +
                                                  ": another process holds the registry store's lock"))
        << lastError();
    EXPECT_EQ(std::string("before", 7), read(scratch_, "Kept")) << lastError(); // readers are not held up

    ::close(release[1]);
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(held[0]);
    EXPECT_EQ(ERROR_SUCCESS, setString(scratch_, "Kept", "after")) << lastError();
    EXPECT_EQ(std::string("after", 6), read(scratch_, "Kept"));
}

} // namespace
} // namespace plenvaro::winreg::test
