#include "platform/winreg/store.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plenvaro::winreg {
namespace {

constexpr std::int64_t applicationId = 0x506C7652; // "PlvR" in the file header marks our stores
constexpr std::int64_t schemaVersion = 1;
constexpr int busyTimeoutMs = 5000;

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
    return error == EACCES || error == EPERM || error == EROFS ? ERROR_ACCESS_DENIED
                                                               : ERROR_REGISTRY_IO_FAILED;
}

LONG codeForSqlite(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_NOMEM:
        return ERROR_OUTOFMEMORY;
    case SQLITE_TOOBIG:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
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
        if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST)
            throw StoreFailure(codeForErrno(errno),
                               systemError(directory, "cannot create the folder", errno));
    }
}

// SQLite would create the file with 0644; settings are the user's own business.
void createFileIfMissing(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    else if (errno != EEXIST)
        throw StoreFailure(codeForErrno(errno), systemError(path, "cannot create the registry store", errno));
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

Store::Store(std::string path) : path_(std::move(path)) {}
Store::~Store() = default;

std::unique_ptr<Store> Store::open(const std::string& path)
{
    std::unique_ptr<Store> store(new Store(path));
    store->connect();
    return store;
}

void Store::fail(int rc, std::string_view what) const
{
    const char* detail = db_ ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(rc);
    throw StoreFailure(codeForSqlite(rc), path_ + ": " + std::string(what) + ": " + detail, isBusy(rc));
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

Store::Header Store::readHeader()
{
    try {
        return {scalar("PRAGMA application_id"), scalar("PRAGMA user_version"),
                scalar("SELECT count(*) FROM sqlite_schema")};
    } catch (const StoreFailure& failure) {
        if (failure.code() != ERROR_REGISTRY_CORRUPT)
            throw;
        throw StoreFailure(failure.code(), std::string(failure.what()) +
                                               " (not a registry store, or a damaged one; left untouched)");
    }
}

void Store::connect()
{
    struct stat info
    {
    };
    if (::stat(path_.c_str(), &info) != 0) {
        createParentDirectories(path_);
        createFileIfMissing(path_);
    } else if (S_ISDIR(info.st_mode)) {
        throw StoreFailure(ERROR_REGISTRY_IO_FAILED, path_ + ": is a folder, not a registry store");
    }

    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(path_.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) {
        const int error = raw ? sqlite3_system_errno(raw) : 0;
        if (error == EACCES || error == EPERM)
            throw StoreFailure(ERROR_ACCESS_DENIED,
                               systemError(path_, "cannot open the registry store", error));
        fail(rc, "cannot open the registry store");
    }
    sqlite3_busy_timeout(db_.get(), busyTimeoutMs);

    // Everything up to here only reads: a foreign or damaged file must be left exactly as it is.
    Header header = readHeader();
    if (header.applicationId == 0 && header.version == 0 && header.objects == 0) {
        initialise();
        header = readHeader();
    }
    if (header.applicationId != applicationId)
        throw StoreFailure(ERROR_REGISTRY_CORRUPT,
                           path_ + ": an SQLite database, but not a registry store; left untouched");
    if (header.version != schemaVersion)
        throw StoreFailure(ERROR_REGISTRY_CORRUPT, path_ + ": registry store format " +
                                                       std::to_string(header.version) +
                                                       " is not supported by this program; left untouched");

    // WAL lets readers carry on beside a writer; FULL makes every commit survive a power cut. If another
    // process holds the file, the mode stays as it is, which is safe either way.
    sqlite3_exec(db_.get(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    exec("PRAGMA synchronous=FULL");
    prepareAll();
    if (scalar("SELECT count(*) FROM keys WHERE parent = 0 AND id BETWEEN 1 AND 7") != rootCount)
        throw StoreFailure(ERROR_REGISTRY_CORRUPT,
                           path_ + ": damaged registry store: predefined keys missing");
}

// Lays out a new store in an empty file. Another process may be doing the same: the write lock
// decides, and the loser finds the work done.
void Store::initialise()
{
    exec("BEGIN IMMEDIATE");
    try {
        const Header header = readHeader();
        if (header.applicationId == 0 && header.version == 0 && header.objects == 0) {
            exec(schema);
            exec(("PRAGMA application_id=" + std::to_string(applicationId)).c_str());
            exec(("PRAGMA user_version=" + std::to_string(schemaVersion)).c_str());
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
