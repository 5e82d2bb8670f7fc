#pragma once

#include "platform/winreg/registry_api.h"

#include <sqlite3.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace plenvaro::winreg {

using KeyId = std::int64_t;
using Clock = std::chrono::steady_clock;

// "PlvR" in the SQLite header's application id marks a file as one of our stores.
inline constexpr std::int64_t storeApplicationId = 0x506C7652;
// The layout of the tables; a store of another version is refused, never converted behind the user's back.
inline constexpr std::int64_t storeSchemaVersion = 1;

// The store holds the login password (scrambled, not encrypted), so a store the program creates, and
// any folder it creates for it, is the user's alone whatever the umask. An existing store readable by
// others is narrowed to this mode once it is known to be a store.
inline constexpr mode_t storeFileMode = 0600;
inline constexpr mode_t storeFolderMode = 0700;

// The longest one registry call waits for a lock another process holds, before it fails with
// ERROR_LOCK_VIOLATION. Writers hold the lock for milliseconds; a longer hold is a stuck program, and
// the caller is usually the user interface, which must not freeze on it. Readers never wait (WAL).
inline constexpr std::chrono::milliseconds lockWait{2000};
// The pause before a call is repeated after a conflict SQLite does not wait out itself.
inline constexpr std::chrono::milliseconds busyRetryPause{5};

// A failure of the store itself (refused, cannot open, damaged, locked, I/O), carrying the Win32 code.
class StoreFailure final : public std::runtime_error
{
public:
    StoreFailure(LONG code, const std::string& message, bool busy = false)
        : std::runtime_error(message), code_(code), busy_(busy)
    {}
    LONG code() const noexcept { return code_; }
    // Another process held the lock; the whole call may be retried while its deadline allows.
    bool busy() const noexcept { return busy_; }

private:
    LONG code_;
    bool busy_;
};

struct SqliteCloser final
{
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StatementFinalizer final
{
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using Connection = std::unique_ptr<sqlite3, SqliteCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

struct SubKeyRecord final
{
    std::string name;
    std::string keyClass;
    std::int64_t written = 0; // FILETIME ticks
};

struct ValueRecord final
{
    std::string name;
    DWORD type = REG_NONE;
    std::string data;
};

// The registry tree in one SQLite file. Names go in as Windows-1252 bytes; lookups fold case.
// All methods throw StoreFailure; callers wrap each registry call in one Transaction.
class Store final
{
public:
    // The predefined roots are rows 1..7, in the order of HKEY_CLASSES_ROOT..HKEY_DYN_DATA.
    static constexpr int rootCount = 7;
    static constexpr KeyId rootId(int index) noexcept { return index + 1; }

    // Refuses (ERROR_ACCESS_DENIED, file left untouched) a file that is a symbolic link, is owned by
    // another user or is writable by group or others, and a file whose folder is owned by someone other
    // than the user or root, or is writable by group or others. Shared folders such as /tmp count as
    // unsafe despite their sticky bit: SQLite keeps journal and WAL files beside the store, and anyone
    // could plant those first. Lock waits end at `deadline`.
    static std::unique_ptr<Store> open(const std::string& path, Clock::time_point deadline);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const std::string& path() const noexcept { return path_; }
    // False once reopening failed half-way: the store has to be opened anew.
    bool connected() const noexcept { return statements_ != nullptr; }
    // Where the lock waits of the next calls end.
    void setLockDeadline(Clock::time_point deadline) noexcept { lockDeadline_ = deadline; }

    // A store open for reading only tries to open for writing again when a write transaction starts,
    // and fails with the reason it could not be written if that does not work.
    class Transaction final
    {
    public:
        Transaction(Store& store, bool write);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit();

    private:
        Store& store_;
        bool open_ = true;
    };

    bool keyExists(KeyId key);
    std::optional<KeyId> findChild(KeyId parent, std::string_view name);
    KeyId addChild(KeyId parent, std::string_view name, std::string_view keyClass);
    bool hasChildren(KeyId key);
    // Removes a key without sub-keys, with its values.
    void removeKey(KeyId key);
    std::optional<SubKeyRecord> childAt(KeyId parent, DWORD index);

    std::optional<ValueRecord> findValue(KeyId key, std::string_view name);
    std::optional<ValueRecord> valueAt(KeyId key, DWORD index);
    void putValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, DWORD size);
    bool removeValue(KeyId key, std::string_view name);

private:
    struct Statements;
    class Query;
    struct Header final
    {
        std::int64_t applicationId, version, objects;
        bool empty() const noexcept { return applicationId == 0 && version == 0 && objects == 0; }
    };
    // Why the store could not be opened for writing, and how it was opened for reading instead.
    struct ReadOnly final
    {
        LONG code;
        std::string reason;
        bool immutable;
    };
    Store(std::string path, Clock::time_point deadline);
    static int onBusy(void* self, int attempt);
    void connect();
    void openConnection(const std::string& name, int flags);
    void openForWriting();
    void openForReading(const StoreFailure& why);
    void checkHeader(const Header& header) const;
    void checkRoots();
    void reopenIfDue(bool write);
    void makePrivate() const;
    void initialise();
    void prepareAll();
    void touch(KeyId key);
    void exec(const char* sql);
    std::int64_t scalar(const char* sql);
    Header readHeader();
    [[noreturn]] void fail(int rc, std::string_view what) const;

    std::string path_;
    Clock::time_point lockDeadline_;
    Connection db_;
    std::unique_ptr<Statements> statements_;
    std::optional<ReadOnly> readOnly_;
};

} // namespace plenvaro::winreg
