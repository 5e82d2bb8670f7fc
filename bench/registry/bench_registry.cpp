// clsRegistry reading and writing one REG_SZ value on the portable store, beside the floor of the
// same work as one prepared SQLite statement on a file with the store's journal settings (WAL,
// synchronous=FULL, autocommit). Both files live in the temporary folder ($TMPDIR), so they sit
// on the same file system. Figures: items_per_second over wall-clock time (writes wait for the
// disk), the median of the repetitions. ClsRegistrySetValueWhileLocked is how long a write takes to
// give up while another connection holds the store's write lock: the longest the user interface
// waits on a stuck writer (about the store's lockWait, 2 s).
#include "platform/winreg/registry_api.h"
#include "registry/cls_registry.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

constexpr int Repetitions = 5;
const std::string Text = "127.0.0.1"; // the size of a typical setting
const std::string ValuePath = "HKCU\\Software\\PlenvaroBench\\Login\\Server";

// A folder of its own, removed afterwards.
class Scratch final
{
public:
    Scratch()
        : m_folder(std::filesystem::temp_directory_path() /
                   ("plenvaro-bench-registry-" + std::to_string(getpid())))
    {
        std::filesystem::create_directories(m_folder);
        std::filesystem::permissions(m_folder, std::filesystem::perms::owner_all); // the store wants its own
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::filesystem::path file(const char* name) const { return m_folder / name; }

private:
    std::filesystem::path m_folder;
};

// A fresh portable store holding the value.
class Store final
{
public:
    Store()
    {
        setenv("PLENVARO_REGISTRY", m_scratch.file("registry.sqlite3").c_str(), 1);
        plenvaroRegistryReset();
        m_registry.Key(ValuePath);
        if (!m_registry.setValue(Text, 1))
            throw std::runtime_error(std::string("cannot write the store: ") + plenvaroRegistryLastError());
    }
    ~Store() { plenvaroRegistryReset(); }
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    registry::clsRegistry& registry() { return m_registry; }
    static std::string path() { return plenvaroRegistryPath(); }

private:
    Scratch m_scratch;
    registry::clsRegistry m_registry;
};

struct SqliteCloser final
{
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StatementFinalizer final
{
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};

// One table of values as the store keeps them, with the store's connection settings.
class RawTable final
{
public:
    RawTable()
    {
        sqlite3* db = nullptr;
        check(sqlite3_open_v2(m_scratch.file("raw.sqlite3").c_str(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr));
        m_db.reset(db);
        sqlite3_busy_timeout(db, 5000);
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=FULL");
        exec("CREATE TABLE vals(id INTEGER PRIMARY KEY, key INTEGER NOT NULL, fold BLOB NOT NULL, "
             "name BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, fold))");
        m_select = prepare("SELECT data FROM vals WHERE key = ? AND fold = ?");
        m_replace = prepare("INSERT OR REPLACE INTO vals(key, fold, name, type, data) VALUES(?, ?, ?, 1, ?)");
        replace();
    }
    RawTable(const RawTable&) = delete;
    RawTable& operator=(const RawTable&) = delete;

    std::string select()
    {
        sqlite3_stmt* s = m_select.get();
        bindKey(s);
        if (sqlite3_step(s) != SQLITE_ROW)
            throw std::runtime_error("value missing");
        std::string data(static_cast<const char*>(sqlite3_column_blob(s, 0)),
                         static_cast<std::size_t>(sqlite3_column_bytes(s, 0)));
        sqlite3_reset(s);
        return data;
    }

    void replace()
    {
        sqlite3_stmt* s = m_replace.get();
        bindKey(s);
        sqlite3_bind_blob(s, 3, "Server", 6, SQLITE_STATIC);
        sqlite3_bind_blob(s, 4, Text.c_str(), static_cast<int>(Text.size() + 1), SQLITE_STATIC);
        if (sqlite3_step(s) != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(m_db.get()));
        sqlite3_reset(s);
    }

private:
    using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

    void check(int rc) const
    {
        if (rc != SQLITE_OK)
            throw std::runtime_error(m_db ? sqlite3_errmsg(m_db.get()) : sqlite3_errstr(rc));
    }
    void exec(const char* sql) { check(sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr)); }
    Statement prepare(const char* sql)
    {
        sqlite3_stmt* statement = nullptr;
        check(sqlite3_prepare_v2(m_db.get(), sql, -1, &statement, nullptr));
        return Statement(statement);
    }
    static void bindKey(sqlite3_stmt* s)
    {
        sqlite3_bind_int64(s, 1, 42);
        sqlite3_bind_blob(s, 2, "SERVER", 6, SQLITE_STATIC);
    }

    Scratch m_scratch;
    std::unique_ptr<sqlite3, SqliteCloser> m_db;
    Statement m_select;
    Statement m_replace;
};

void ClsRegistryGetValue(benchmark::State& state)
{
    Store store;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.registry().getValue());
    state.SetItemsProcessed(state.iterations());
}

void ClsRegistrySetValue(benchmark::State& state)
{
    Store store;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.registry().setValue(Text, 1));
    state.SetItemsProcessed(state.iterations());
}

void ClsRegistrySetValueWhileLocked(benchmark::State& state)
{
    Store store;
    sqlite3* raw = nullptr;
    sqlite3_open_v2(Store::path().c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const std::unique_ptr<sqlite3, SqliteCloser> holder(raw);
    if (sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        state.SkipWithError("cannot take the store's write lock");
        return;
    }
    for (auto _ : state) {
        try {
            if (store.registry().setValue(Text, 1))
                state.SkipWithError("the write got past the lock");
        } catch (const std::exception&) { // clsRegistry reports the lock error (33) by throwing
        }
    }
    sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteSelect(benchmark::State& state)
{
    RawTable table;
    for (auto _ : state)
        benchmark::DoNotOptimize(table.select());
    state.SetItemsProcessed(state.iterations());
}

void SqliteInsertOrReplace(benchmark::State& state)
{
    RawTable table;
    for (auto _ : state)
        table.replace();
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(ClsRegistryGetValue)->Repetitions(Repetitions)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(SqliteSelect)->Repetitions(Repetitions)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(ClsRegistrySetValue)->Repetitions(Repetitions)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(SqliteInsertOrReplace)->Repetitions(Repetitions)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(ClsRegistrySetValueWhileLocked)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
