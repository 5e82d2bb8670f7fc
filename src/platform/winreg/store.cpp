#include "platform/winreg/store.h"

#include "platform/winreg/read_only_opening.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace plenvaro::winreg {
namespace {

const char* const rootNames[Store::rootCount] = {
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};

const char* const schema = R"sql(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT, -- never reused, so a handle to a deleted key stays dead
    parent INTEGER NOT NULL,
    fold BLOB NOT NULL,
    name BLOB NOT NULL,
    sort BLOB NOT NULL,
    class BLOB NOT NULL,
    written INTEGER NOT NULL,
    UNIQUE(parent, fold));
CREATE INDEX keys_order ON keys(parent, sort);
CREATE TABLE vals(
    id INTEGER PRIMARY KEY, -- creation order, the order Windows enumerates values in
    key INTEGER NOT NULL,
    fold BLOB NOT NULL,
    name BLOB NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, fold));
CREATE INDEX vals_order ON vals(key);
)sql";

// Windows-1252 capitals: a-z, à-þ except ÷, and š œ ž ÿ, whose capitals sit at 0x8A..0x9F.
unsigned char upper(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A:
        return 0x8A;
    case 0x9C:
        return 0x8C;
    case 0x9E:
        return 0x8E;
    case 0xFF:
        return 0x9F;
    default:
        return c;
    }
}

std::string fold(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded)
        c = static_cast<char>(upper(static_cast<unsigned char>(c)));
    return folded;
}

// Windows orders sub-keys by upper-cased UTF-16 names. Only 0x80..0x9F map to code points other than
// their own value, so those are the bytes whose order differs from plain byte order.
constexpr char16_t cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string sortKey(std::string_view folded)
{
    std::string key;
    key.reserve(folded.size() * 2);
    for (char c : folded) {
        const auto byte = static_cast<unsigned char>(c);
        const char16_t unit = byte >= 0x80 && byte < 0xA0 ? cp1252High[byte - 0x80] : byte;
        key.push_back(static_cast<char>(unit >> 8)); // big-endian, so BLOB order is code point order
        key.push_back(static_cast<char>(unit & 0xFF));
    }
    return key;
}

std::int64_t fileTimeNow()
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
    const auto sinceUnixEpoch =
        std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch());
    return sinceUnixEpoch.count() + 116'444'736'000'000'000; // FILETIME counts from 1601
}

LONG codeForErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

// SQLite keeps the errno only for failed opens and I/O; elsewhere it is a stale one.
int systemErrno(sqlite3* db, int rc)
{
    const int primary = rc & 0xFF;
    return db && (primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN) ? sqlite3_system_errno(db) : 0;
}

LONG codeForSqlite(int rc, int error)
{
    // A full disk shows as SQLITE_FULL when a page does not fit, but as an I/O error when the
    // shared-memory file cannot grow.
    if (error == ENOSPC || error == EDQUOT || error == EROFS)
        return codeForErrno(error);
    switch (rc & 0xFF) {
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_LOCK_VIOLATION;
    case SQLITE_NOMEM:
        return ERROR_OUTOFMEMORY;
    case SQLITE_TOOBIG:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

// What a store that cannot be opened for writing may still be opened for reading after.
bool mayStillRead(LONG code)
{
    return code == ERROR_DISK_FULL || code == ERROR_WRITE_PROTECT || code == ERROR_ACCESS_DENIED ||
           code == ERROR_REGISTRY_IO_FAILED;
}

bool isBusy(int rc)
{
    return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED;
}

std::string systemError(const std::string& path, const char* what, int error)
{
    return path + ": " + what + ": " + std::strerror(error);
}

void createParentDirectories(const std::string& path)
{
    for (auto slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string directory = path.substr(0, slash);
        if (::mkdir(directory.c_str(), storeFolderMode) == 0)
            ::chmod(directory.c_str(), storeFolderMode); // the umask may have narrowed it further
        else if (errno != EEXIST)
            throw StoreFailure(codeForErrno(errno),
                               systemError(directory, "cannot create the folder", errno));
    }
}

class Descriptor final
{
public:
    explicit Descriptor(int fd = -1) noexcept : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const noexcept { return fd_; }
    void reset(int fd = -1) noexcept
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

std::string octal(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::string userName(uid_t uid)
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    const std::string number = "uid " + std::to_string(uid);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return found->pw_name + (" (" + number + ")");
    return number;
}

[[noreturn]] void refuse(const std::string& path, const std::string& why)
{
    throw StoreFailure(ERROR_ACCESS_DENIED, path + ": refused: " + why + "; left untouched");
}

// Whoever may write to the folder may swap the store for their own file, or plant the journal SQLite
// would roll back into it. Root may anyway, so a folder of root's that only root writes is fine.
void checkFolder(const std::string& path, const std::string& folder, int fd)
{
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0)
        throw StoreFailure(codeForErrno(errno), systemError(folder, "cannot examine the folder", errno));
    if (info.st_uid != ::geteuid() && info.st_uid != 0)
        refuse(path, "its folder " + folder + " belongs to " + userName(info.st_uid) + ", not to " +
                         userName(::geteuid()));
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        refuse(path, "its folder " + folder + " is writable by group or others (mode " + octal(info.st_mode) +
                         "); use a folder of your own");
}

// The owner of the file can read and rewrite it whenever they like, so it has to be the user.
void checkFile(const std::string& path, const struct stat& info)
{
    if (S_ISLNK(info.st_mode))
        refuse(path, "the file is a symbolic link");
    if (!S_ISREG(info.st_mode))
        throw StoreFailure(ERROR_REGISTRY_IO_FAILED,
                           path + ": not a regular file, so not a registry store; left untouched");
    if (info.st_uid != ::geteuid())
        refuse(path, "the file belongs to " + userName(info.st_uid) + ", not to " + userName(::geteuid()));
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        refuse(path, "the file is writable by group or others (mode " + octal(info.st_mode) + ")");
}

// Closing any descriptor of a file drops this process's POSIX locks on it, SQLite's included; a
// descriptor opened only to look at the file does not.
#ifdef O_PATH
constexpr int lookOnly = O_PATH;
#else
constexpr int lookOnly = O_RDONLY | O_NONBLOCK;
#endif

// The existing file itself, never what a link points to; -1 if missing.
int openExisting(const std::string& path, int folder, const std::string& name)
{
    const int fd = ::openat(folder, name.c_str(), lookOnly | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 || errno == ENOENT)
        return fd;
    if (errno == ELOOP)
        refuse(path, "the file is a symbolic link");
    throw StoreFailure(codeForErrno(errno), systemError(path, "cannot open the registry store", errno));
}

// Makes sure the store's file is one to trust, creating it (and its folders) if missing. Only the
// mode of an empty file may change here.
void prepareFile(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string folderName = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto isFolder = [&path] {
        return StoreFailure(ERROR_REGISTRY_IO_FAILED, path + ": is a folder, not a registry store");
    };
    if (name.empty() || name == "." || name == "..")
        throw isFolder();

    Descriptor folder(::open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0 && errno == ENOENT) {
        createParentDirectories(path);
        folder.reset(::open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (folder.get() < 0)
        throw StoreFailure(codeForErrno(errno),
                           systemError(folderName, "cannot open the registry store's folder", errno));

    struct stat info
    {
    };
    Descriptor file(openExisting(path, folder.get(), name));
    if (file.get() >= 0 && ::fstat(file.get(), &info) == 0 && S_ISDIR(info.st_mode))
        throw isFolder();
    checkFolder(path, folderName, folder.get());
    bool created = false;
    while (file.get() < 0) {
        file.reset(::openat(folder.get(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            storeFileMode));
        if (file.get() >= 0)
            created = true;
        else if (errno == EEXIST) // another process was quicker
            file.reset(openExisting(path, folder.get(), name));
        else
            throw StoreFailure(codeForErrno(errno),
                               systemError(path, "cannot create the registry store", errno));
    }
    if (::fstat(file.get(), &info) != 0)
        throw StoreFailure(codeForErrno(errno),
                           systemError(path, "cannot examine the registry store", errno));
    checkFile(path, info);
    // An empty file holds nothing yet, so it is made private before the first byte goes in. The file is
    // no link, and only the user and root can change the folder, so the name still means this file;
    // the same holds for SQLite's own open by name.
    const bool exposed = info.st_size == 0 && (info.st_mode & 077) != 0;
    if ((created && ::fchmod(file.get(), storeFileMode) != 0) ||
        (exposed && ::fchmodat(folder.get(), name.c_str(), info.st_mode & 0700, 0) != 0))
        throw StoreFailure(codeForErrno(errno),
                           systemError(path, "cannot make the registry store private", errno));
}

const unsigned char emptyBlob = 0;

} // namespace

struct Store::Statements final
{
    Statement begin, beginImmediate, commit, rollback;
    Statement keyExists, findChild, addChild, touch, hasChildren, parentOf, removeValues, removeKey, childAt;
    Statement findValue, valueAt, updateValue, insertValue, removeValue;
};

// Binds and steps one prepared statement; resets it when done, whatever happened.
class Store::Query final
{
public:
    Query(const Store& store, const Statement& statement) : store_(store), statement_(statement.get()) {}
    ~Query()
    {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(std::int64_t value)
    {
        check(sqlite3_bind_int64(statement_, next_++, value));
        return *this;
    }
    // Always a BLOB, also when empty: a NULL pointer would bind SQL NULL.
    Query& bind(const void* data, std::uint64_t size)
    {
        check(sqlite3_bind_blob64(statement_, next_++, size == 0 ? &emptyBlob : data, size, SQLITE_STATIC));
        return *this;
    }
    Query& bind(std::string_view bytes) { return bind(bytes.data(), bytes.size()); }

    bool step()
    {
        const int rc = sqlite3_step(statement_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            store_.fail(rc, sqlite3_sql(statement_));
        return false;
    }
    void run() { step(); }

    std::int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }
    std::string blob(int column) const
    {
        const void* data = sqlite3_column_blob(statement_, column);
        const int size = sqlite3_column_bytes(statement_, column);
        return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                    : std::string();
    }

private:
    void check(int rc) const
    {
        if (rc != SQLITE_OK)
            store_.fail(rc, "binding a parameter");
    }

    const Store& store_;
    sqlite3_stmt* statement_;
    int next_ = 1;
};

Store::Store(std::string path, Clock::time_point deadline) : path_(std::move(path)), lockDeadline_(deadline)
{}
Store::~Store() = default;

std::unique_ptr<Store> Store::open(const std::string& path, Clock::time_point deadline)
{
    std::unique_ptr<Store> store(new Store(path, deadline));
    store->connect();
    return store;
}

void Store::fail(int rc, std::string_view what) const
{
    std::string detail = db_ ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(rc);
    if (isBusy(rc))
        throw StoreFailure(ERROR_LOCK_VIOLATION,
                           path_ + ": another process holds the registry store's lock; gave up after " +
                               std::to_string(lockWait.count()) + " ms, try again later (" +
                               std::string(what) + ": " + detail + ")",
                           true);
    // "disk I/O error" alone does not say that the disk is full.
    const int error = systemErrno(db_.get(), rc);
    if (error != 0)
        detail += std::string(" (") + std::strerror(error) + ")";
    throw StoreFailure(codeForSqlite(rc, error), path_ + ": " + std::string(what) + ": " + detail);
}

// Waits for a lock in short steps, but never past the call's deadline.
int Store::onBusy(void* self, int attempt)
{
    const auto left = static_cast<const Store*>(self)->lockDeadline_ - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    const auto step = std::chrono::milliseconds(1 << std::min(attempt, 5));
    std::this_thread::sleep_for(std::min<Clock::duration>(step, left));
    return 1;
}

void Store::exec(const char* sql)
{
    const int rc = sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, sql);
}

std::int64_t Store::scalar(const char* sql)
{
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db_.get(), sql, -1, &raw, nullptr);
    Statement statement(raw);
    if (rc != SQLITE_OK)
        fail(rc, sql);
    Query query(*this, statement);
    return query.step() ? query.integer(0) : 0;
}

// One statement, so one snapshot: read piece by piece, a store that another process lays out meanwhile
// can show tables but no application id yet, and pass for a foreign database.
Store::Header Store::readHeader()
{
    const char* sql = "SELECT (SELECT application_id FROM pragma_application_id),"
                      " (SELECT user_version FROM pragma_user_version), (SELECT count(*) FROM sqlite_schema)";
    try {
        sqlite3_stmt* raw = nullptr;
        const int rc = sqlite3_prepare_v2(db_.get(), sql, -1, &raw, nullptr);
        const Statement statement(raw);
        if (rc != SQLITE_OK)
            fail(rc, "reading the store's header");
        Query query(*this, statement);
        if (!query.step())
            return {0, 0, 0};
        return {query.integer(0), query.integer(1), query.integer(2)};
    } catch (const StoreFailure& failure) {
        if (failure.code() != ERROR_REGISTRY_CORRUPT)
            throw;
        throw StoreFailure(failure.code(), std::string(failure.what()) +
                                               " (not a registry store, or a damaged one; left untouched)");
    }
}

void Store::connect()
{
    prepareFile(path_);
    statements_.reset();
    db_.reset();
    try {
        openForWriting();
        readOnly_.reset();
    } catch (const StoreFailure& failure) {
        statements_.reset();
        db_.reset();
        if (!mayStillRead(failure.code()))
            throw;
        openForReading(failure);
    }
}

void Store::openConnection(const std::string& name, int flags)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(name.c_str(), &raw, flags | SQLITE_OPEN_EXRESCODE, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) {
        const int error = raw ? sqlite3_system_errno(raw) : 0;
        if (error == EACCES || error == EPERM)
            throw StoreFailure(ERROR_ACCESS_DENIED,
                               systemError(path_, "cannot open the registry store", error));
        fail(rc, "cannot open the registry store");
    }
    sqlite3_busy_handler(db_.get(), &Store::onBusy, this);
}

void Store::openForWriting()
{
    openConnection(path_, SQLITE_OPEN_READWRITE);
    // SQLite falls back to reading by itself when the file cannot be written, and then fails later on
    // the WAL file with a misleading reason.
    if (sqlite3_db_readonly(db_.get(), "main") == 1) {
        const int error = ::access(path_.c_str(), W_OK) == 0 ? EACCES : errno;
        throw StoreFailure(codeForErrno(error),
                           systemError(path_, "cannot open the registry store for writing", error));
    }
    // Up to here nothing was written (an empty file's mode aside): a foreign or damaged file must be left
    // exactly as it is.
    Header header = readHeader();
    if (header.empty()) {
        initialise();
        header = readHeader();
    }
    checkHeader(header);
    makePrivate();

    // WAL lets readers carry on beside a writer; FULL makes every commit survive a power cut. If another
    // process holds the file, the mode stays as it is, which is safe either way.
    sqlite3_exec(db_.get(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    exec("PRAGMA synchronous=FULL");
    prepareAll();
    checkRoots();
}

// The user still gets the stored settings when the disk is full or the medium read-only; only a store
// holding nothing yet, or a damaged one, stays refused.
void Store::openForReading(const StoreFailure& why)
{
    const ReadOnlyOpening opening = readOnlyOpening(path_);
    try {
        openConnection(opening.uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        const Header header = readHeader();
        if (header.empty())
            throw why;
        checkHeader(header);
        prepareAll();
        checkRoots();
    } catch (const StoreFailure& failure) {
        statements_.reset();
        db_.reset();
        if (failure.code() == ERROR_REGISTRY_CORRUPT || failure.busy())
            throw;
        throw why;
    }
    readOnly_ = ReadOnly{why.code(), why.what(), opening.immutable};
}

void Store::checkHeader(const Header& header) const
{
    if (header.applicationId != storeApplicationId)
        throw StoreFailure(ERROR_REGISTRY_CORRUPT,
                           path_ + ": an SQLite database, but not a registry store; left untouched");
    if (header.version != storeSchemaVersion)
        throw StoreFailure(ERROR_REGISTRY_CORRUPT, path_ + ": registry store format " +
                                                       std::to_string(header.version) +
                                                       " is not supported by this program; left untouched");
}

void Store::checkRoots()
{
    if (scalar("SELECT count(*) FROM keys WHERE parent = 0 AND id BETWEEN 1 AND 7") != rootCount)
        throw StoreFailure(ERROR_REGISTRY_CORRUPT,
                           path_ + ": damaged registry store: predefined keys missing");
}

// A store open for reading only is opened anew before a write, in case there is room again, and before
// a read once others write to it, as an unchanging file would not see that.
void Store::reopenIfDue(bool write)
{
    if (!readOnly_ || (!write && !(readOnly_->immutable && walHasFrames(path_))))
        return;
    connect();
    if (write && readOnly_)
        throw StoreFailure(readOnly_->code,
                           readOnly_->reason + "; the store is open for reading only, nothing was written");
}

// Lays out a new store in an empty file. Another process may be doing the same: the write lock
// decides, and the loser finds the work done.
void Store::initialise()
{
    exec("BEGIN IMMEDIATE");
    try {
        const Header header = readHeader();
        if (header.empty()) {
            exec(schema);
            exec(("PRAGMA application_id=" + std::to_string(storeApplicationId)).c_str());
            exec(("PRAGMA user_version=" + std::to_string(storeSchemaVersion)).c_str());
            prepareAll();
            sqlite3_stmt* raw = nullptr;
            const char* insertRoot =
                "INSERT INTO keys(id, parent, fold, name, sort, class, written) VALUES(?, 0, ?, ?, ?, ?, ?)";
            const int rc = sqlite3_prepare_v2(db_.get(), insertRoot, -1, &raw, nullptr);
            Statement statement(raw);
            if (rc != SQLITE_OK)
                fail(rc, insertRoot);
            for (int index = 0; index < rootCount; ++index) {
                const std::string name = rootNames[index];
                Query(*this, statement)
                    .bind(rootId(index))
                    .bind(fold(name))
                    .bind(name)
                    .bind(sortKey(fold(name)))
                    .bind(std::string_view())
                    .bind(fileTimeNow())
                    .run();
            }
            // Fresh Windows installations have these; programs expect to open them.
            addChild(rootId(1), "Software", "");
            addChild(rootId(2), "SOFTWARE", "");
            addChild(rootId(5), "Software", "");
        }
        exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        statements_.reset();
        throw;
    }
}

// A store of ours that others can read (made so by hand, or by an older program) shows them the
// password; its WAL files copied its mode when SQLite created them.
void Store::makePrivate() const
{
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const std::string file = path_ + suffix;
        struct stat info
        {
        };
        if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
            (info.st_mode & 077) == 0)
            continue;
        if (::chmod(file.c_str(), info.st_mode & 0700) != 0)
            throw StoreFailure(codeForErrno(errno),
                               systemError(file, "cannot make the registry store private", errno));
    }
}

void Store::prepareAll()
{
    if (statements_)
        return;
    auto statements = std::make_unique<Statements>();
    const auto prepare = [this](Statement& statement, const char* sql) {
        sqlite3_stmt* raw = nullptr;
        const int rc = sqlite3_prepare_v3(db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
        statement.reset(raw);
        if ((rc & 0xFF) == SQLITE_ERROR) // a table or column is missing
            throw StoreFailure(ERROR_REGISTRY_CORRUPT, path_ + ": damaged registry store: " +
                                                           sqlite3_errmsg(db_.get()) + "; left untouched");
        if (rc != SQLITE_OK)
            fail(rc, sql);
    };
    Statements& s = *statements;
    prepare(s.begin, "BEGIN");
    prepare(s.beginImmediate, "BEGIN IMMEDIATE");
    prepare(s.commit, "COMMIT");
    prepare(s.rollback, "ROLLBACK");
    prepare(s.keyExists, "SELECT 1 FROM keys WHERE id = ?");
    prepare(s.findChild, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    prepare(s.addChild,
            "INSERT INTO keys(parent, fold, name, sort, class, written) VALUES(?, ?, ?, ?, ?, ?)");
    prepare(s.touch, "UPDATE keys SET written = ? WHERE id = ?");
    prepare(s.hasChildren, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
    prepare(s.parentOf, "SELECT parent FROM keys WHERE id = ?");
    prepare(s.removeValues, "DELETE FROM vals WHERE key = ?");
    prepare(s.removeKey, "DELETE FROM keys WHERE id = ?");
    prepare(s.childAt,
            "SELECT name, class, written FROM keys WHERE parent = ? ORDER BY sort LIMIT 1 OFFSET ?");
    prepare(s.findValue, "SELECT name, type, data FROM vals WHERE key = ? AND fold = ?");
    prepare(s.valueAt, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY id LIMIT 1 OFFSET ?");
    prepare(s.updateValue, "UPDATE vals SET type = ?, data = ? WHERE key = ? AND fold = ?");
    prepare(s.insertValue, "INSERT INTO vals(key, fold, name, type, data) VALUES(?, ?, ?, ?, ?)");
    prepare(s.removeValue, "DELETE FROM vals WHERE key = ? AND fold = ?");
    statements_ = std::move(statements);
}

Store::Transaction::Transaction(Store& store, bool write) : store_(store)
{
    store_.reopenIfDue(write);
    Query(store_, write ? store_.statements_->beginImmediate : store_.statements_->begin).run();
}

Store::Transaction::~Transaction()
{
    // Also after a failed statement that already rolled back: then this is a harmless no-op.
    if (open_) {
        sqlite3_stmt* rollback = store_.statements_->rollback.get();
        sqlite3_step(rollback);
        sqlite3_reset(rollback);
    }
}

void Store::Transaction::commit()
{
    Query(store_, store_.statements_->commit).run();
    open_ = false;
}

bool Store::keyExists(KeyId key)
{
    return Query(*this, statements_->keyExists).bind(key).step();
}

std::optional<KeyId> Store::findChild(KeyId parent, std::string_view name)
{
    const std::string folded = fold(name);
    Query query(*this, statements_->findChild);
    if (!query.bind(parent).bind(folded).step())
        return std::nullopt;
    return query.integer(0);
}

KeyId Store::addChild(KeyId parent, std::string_view name, std::string_view keyClass)
{
    const std::string folded = fold(name);
    Query(*this, statements_->addChild)
        .bind(parent)
        .bind(folded)
        .bind(name)
        .bind(sortKey(folded))
        .bind(keyClass)
        .bind(fileTimeNow())
        .run();
    const KeyId key = sqlite3_last_insert_rowid(db_.get());
    touch(parent);
    return key;
}

void Store::touch(KeyId key)
{
    Query(*this, statements_->touch).bind(fileTimeNow()).bind(key).run();
}

bool Store::hasChildren(KeyId key)
{
    return Query(*this, statements_->hasChildren).bind(key).step();
}

void Store::removeKey(KeyId key)
{
    KeyId parent = 0;
    {
        Query query(*this, statements_->parentOf);
        if (query.bind(key).step())
            parent = query.integer(0);
    }
    Query(*this, statements_->removeValues).bind(key).run();
    Query(*this, statements_->removeKey).bind(key).run();
    touch(parent);
}

std::optional<SubKeyRecord> Store::childAt(KeyId parent, DWORD index)
{
    Query query(*this, statements_->childAt);
    if (!query.bind(parent).bind(std::int64_t{index}).step())
        return std::nullopt;
    return SubKeyRecord{query.blob(0), query.blob(1), query.integer(2)};
}

std::optional<ValueRecord> Store::findValue(KeyId key, std::string_view name)
{
    const std::string folded = fold(name);
    Query query(*this, statements_->findValue);
    if (!query.bind(key).bind(folded).step())
        return std::nullopt;
    return ValueRecord{query.blob(0), static_cast<DWORD>(query.integer(1)), query.blob(2)};
}

std::optional<ValueRecord> Store::valueAt(KeyId key, DWORD index)
{
    Query query(*this, statements_->valueAt);
    if (!query.bind(key).bind(std::int64_t{index}).step())
        return std::nullopt;
    return ValueRecord{query.blob(0), static_cast<DWORD>(query.integer(1)), query.blob(2)};
}

// An existing value keeps its first spelling and its place in the enumeration order.
void Store::putValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, DWORD size)
{
    const std::string folded = fold(name);
    Query(*this, statements_->updateValue)
        .bind(std::int64_t{type})
        .bind(data, size)
        .bind(key)
        .bind(folded)
        .run();
    if (sqlite3_changes(db_.get()) == 0)
        Query(*this, statements_->insertValue)
            .bind(key)
            .bind(folded)
            .bind(name)
            .bind(std::int64_t{type})
            .bind(data, size)
            .run();
    touch(key);
}

bool Store::removeValue(KeyId key, std::string_view name)
{
    const std::string folded = fold(name);
    Query(*this, statements_->removeValue).bind(key).bind(folded).run();
    if (sqlite3_changes(db_.get()) == 0)
        return false;
    touch(key);
    return true;
}

} // namespace plenvaro::winreg
