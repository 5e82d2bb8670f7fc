#pragma once

#include "platform/winreg/registry_api.h"

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace plenvaro::winreg {

using KeyId = std::int64_t;

// A failure of the store itself (cannot open, damaged, I/O), carrying the Win32 code to return.
class StoreFailure final : public std::runtime_error
{
public:
    StoreFailure(LONG code, const std::string& message, bool busy = false)
        : std::runtime_error(message), code_(code), busy_(busy)
    {}
    LONG code() const noexcept { return code_; }
    // Another process held the lock too long; the whole call may be retried.
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

    static std::unique_ptr<Store> open(const std::string& path);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const std::string& path() const noexcept { return path_; }

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
    };
    explicit Store(std::string path);
    void connect();
    void initialise();
    void prepareAll();
    void touch(KeyId key);
    void exec(const char* sql);
    std::int64_t scalar(const char* sql);
    Header readHeader();
    [[noreturn]] void fail(int rc, std::string_view what) const;

    std::string path_;
    Connection db_;
    std::unique_ptr<Statements> statements_;
};

} // namespace plenvaro::winreg
