// The registry functions on top of the SQLite store, for platforms without advapi32.
#include "platform/winreg/registry_api.h"

#include "platform/winreg/store.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <pwd.h>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

using plenvaro::winreg::busyRetryPause;
using plenvaro::winreg::Clock;
using plenvaro::winreg::KeyId;
using plenvaro::winreg::lockWait;
using plenvaro::winreg::Store;
using plenvaro::winreg::StoreFailure;

namespace {

constexpr std::size_t maxKeyNameLength = 255;
constexpr std::size_t maxValueNameLength = 16383;
constexpr int performanceRoot = 4;
constexpr int dynamicRoot = 6;

thread_local std::string lastError;
thread_local std::string pathText;

struct OpenKey final
{
    KeyId key;
    DWORD access;
};

// What a handle names: a predefined root (full access) or a key opened with some access.
struct Target final
{
    KeyId key = 0;
    DWORD access = 0;
    int root = -1; // index of the predefined root, or -1
};

using Path = std::vector<std::string_view>;

LONG fail(LONG code, std::string message)
{
    lastError = std::move(message);
    return code;
}

std::string quoted(LPCSTR text)
{
    return text ? '"' + std::string(text) + '"' : std::string("NULL");
}

std::string storePath()
{
    if (const char* path = std::getenv("PLENVARO_REGISTRY"); path && *path)
        return path;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') // relative: ignored
        return std::string(config) + "/plenvaro/registry.sqlite3";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/plenvaro/registry.sqlite3";
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return std::string(found->pw_dir) + "/.config/plenvaro/registry.sqlite3";
    throw StoreFailure(ERROR_REGISTRY_IO_FAILED,
                       "no place for the registry store: set PLENVARO_REGISTRY or HOME");
}

// Windows maps generic rights onto key rights; MAXIMUM_ALLOWED gets everything here.
DWORD grantedAccess(REGSAM desired)
{
    constexpr DWORD genericRead = 0x80000000u, genericWrite = 0x40000000u, genericExecute = 0x20000000u;
    constexpr DWORD genericAll = 0x10000000u, maximumAllowed = 0x02000000u;
    DWORD access = desired;
    if (desired & (genericRead | genericExecute))
        access |= KEY_READ;
    if (desired & genericWrite)
        access |= KEY_WRITE;
    if (desired & (genericAll | maximumAllowed))
        access |= KEY_ALL_ACCESS;
    return access & KEY_ALL_ACCESS;
}

// Predefined roots compare on their low 32 bits, as advapi32 does, so zero- and sign-extended
// spellings of HKEY_CURRENT_USER both work.
int predefinedIndex(HKEY key)
{
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    const auto low = static_cast<std::uint32_t>(value);
    const bool extended = value == low || value == static_cast<std::uintptr_t>(static_cast<LONG>(low));
    if (!extended || low < 0x80000000u || low >= 0x80000000u + Store::rootCount)
        return -1;
    return static_cast<int>(low - 0x80000000u);
}

LONG parsePath(LPCSTR subKey, Path& path)
{
    path.clear();
    if (!subKey)
        return ERROR_SUCCESS;
    std::string_view rest(subKey);
    if (!rest.empty() && rest.front() == '\\')
        return fail(ERROR_BAD_PATHNAME,
                    std::string("sub-key ") + quoted(subKey) + " starts with a backslash");
    while (!rest.empty()) {
        const auto cut = rest.find('\\');
        const auto part = rest.substr(0, cut);
        if (part.size() > maxKeyNameLength)
            return fail(ERROR_INVALID_PARAMETER,
                        std::string("a key name in ") + quoted(subKey) + " is longer than 255 characters");
        if (!part.empty()) // "a\\b" and a trailing backslash are accepted
            path.push_back(part);
        if (cut == std::string_view::npos)
            break;
        rest.remove_prefix(cut + 1);
    }
    return ERROR_SUCCESS;
}

// Registry strings read back with a terminator when there is room, but their size does not count it.
LONG copyData(DWORD type, const std::string& data, LPBYTE buffer, LPDWORD size)
{
    const auto needed = static_cast<DWORD>(data.size());
    if (!buffer) {
        if (size)
            *size = needed;
        return ERROR_SUCCESS;
    }
    if (needed > *size) {
        const DWORD given = *size;
        *size = needed;
        return fail(ERROR_MORE_DATA, std::string("the data needs ") + std::to_string(needed) +
                                         " bytes, the buffer holds " + std::to_string(given));
    }
    std::memcpy(buffer, data.data(), needed);
    const bool isString = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    if (isString && needed > 0 && data.back() != '\0' && needed < *size)
        buffer[needed] = 0;
    *size = needed;
    return ERROR_SUCCESS;
}

class Registry final
{
public:
    std::mutex mutex;

    static Registry& instance()
    {
        // Never destroyed: static destructors elsewhere may still close keys at exit.
        static Registry* registry = [] {
            auto* created = new Registry;
            // A connection must not cross fork(): close it beforehand, parent and child reopen lazily.
            pthread_atfork(
                [] {
                    instance().mutex.lock();
                    instance().store_.reset();
                },
                [] { instance().mutex.unlock(); }, [] { instance().mutex.unlock(); });
            // Closing checkpoints and removes the WAL file; handles stay valid for late destructors.
            std::atexit([] {
                const std::lock_guard lock(instance().mutex);
                instance().store_.reset();
            });
            return created;
        }();
        return *registry;
    }

    void reset() noexcept
    {
        const std::lock_guard lock(mutex);
        store_.reset();
        handles_.clear();
    }

    // Every lock wait of the call that starts now ends by `deadline`.
    void startCall(Clock::time_point deadline) noexcept
    {
        deadline_ = deadline;
        if (store_)
            store_->setLockDeadline(deadline);
    }

    Store& store()
    {
        if (!store_ || !store_->connected()) {
            const std::string path = store_ ? store_->path() : storePath();
            store_.reset();
            store_ = Store::open(path, deadline_);
        }
        return *store_;
    }

    bool resolve(HKEY key, Target& target) const
    {
        if (const int root = predefinedIndex(key); root >= 0) {
            target = Target{Store::rootId(root), KEY_ALL_ACCESS, root};
            return true;
        }
        const auto found = handles_.find(reinterpret_cast<std::uintptr_t>(key));
        if (found == handles_.end())
            return false;
        target = Target{found->second.key, found->second.access, -1};
        return true;
    }

    HKEY add(KeyId key, DWORD access)
    {
        const std::uintptr_t value = nextHandle_;
        handles_.emplace(value, OpenKey{key, access});
        nextHandle_ += 4; // never reused: a stale handle must not reach another key
        return reinterpret_cast<HKEY>(value);
    }

    bool close(HKEY key) { return handles_.erase(reinterpret_cast<std::uintptr_t>(key)) > 0; }

private:
    std::unique_ptr<Store> store_;
    std::unordered_map<std::uintptr_t, OpenKey> handles_;
    std::uintptr_t nextHandle_ = 0x1000;
    Clock::time_point deadline_;
};

// Runs one registry call under the lock: store failures become their codes, a busy store is
// retried until the call's deadline, and nothing is thrown across the C interface.
template <typename Body> LONG call(const char* function, Body&& body) noexcept
{
    try {
        Registry& registry = Registry::instance();
        const std::lock_guard lock(registry.mutex);
        const Clock::time_point deadline = Clock::now() + lockWait;
        registry.startCall(deadline);
        for (;;) {
            try {
                lastError.clear();
                const LONG rc = body(registry);
                if (rc != ERROR_SUCCESS)
                    lastError = function + (": " + lastError);
                return rc;
            } catch (const StoreFailure& failure) {
                if (!failure.busy() || Clock::now() >= deadline)
                    throw;
                std::this_thread::sleep_for(busyRetryPause);
            }
        }
    } catch (const StoreFailure& failure) {
        try {
            return fail(failure.code(), function + (": " + std::string(failure.what())));
        } catch (...) {
            return failure.code();
        }
    } catch (const std::bad_alloc&) {
        lastError.clear();
        return ERROR_OUTOFMEMORY;
    } catch (...) {
        lastError.clear();
        return ERROR_REGISTRY_IO_FAILED;
    }
}

LONG invalidHandle(HKEY key)
{
    return fail(ERROR_INVALID_HANDLE, std::string("not an open key handle: ") +
                                          std::to_string(reinterpret_cast<std::uintptr_t>(key)));
}

LONG accessDenied(const char* right)
{
    return fail(ERROR_ACCESS_DENIED, std::string("the handle was not opened with ") + right);
}

// An access right a call needs, with its name for the error.
struct Right
{
    REGSAM mask;
    const char* name;
};
constexpr Right queryValue{KEY_QUERY_VALUE, "KEY_QUERY_VALUE"};
constexpr Right setValue{KEY_SET_VALUE, "KEY_SET_VALUE"};
constexpr Right enumerateSubKeys{KEY_ENUMERATE_SUB_KEYS, "KEY_ENUMERATE_SUB_KEYS"};

// A handle that must have been opened with right: ERROR_SUCCESS with target filled in, or the error.
LONG resolveWith(Registry& registry, HKEY key, Right right, Target& target)
{
    if (!registry.resolve(key, target))
        return invalidHandle(key);
    return target.access & right.mask ? ERROR_SUCCESS : accessDenied(right.name);
}

// The handle's own key: gone if someone deleted it after the handle was opened.
LONG checkAlive(Store& store, const Target& target)
{
    if (target.root >= 0 || store.keyExists(target.key))
        return ERROR_SUCCESS;
    return fail(ERROR_KEY_DELETED, "the key of this handle has been deleted");
}

// Follows an existing path; reports how far it got in `depth`.
KeyId follow(Store& store, KeyId key, const Path& path, std::size_t& depth)
{
    for (depth = 0; depth < path.size(); ++depth) {
        const auto child = store.findChild(key, path[depth]);
        if (!child)
            break;
        key = *child;
    }
    return key;
}

LONG notFound(LPCSTR subKey)
{
    return fail(ERROR_FILE_NOT_FOUND, std::string("no key ") + quoted(subKey));
}

// What RegSetValueExA refuses before it touches the store.
LONG checkValue(LPCSTR name, const BYTE* data, DWORD size)
{
    if (!data && size != 0)
        return fail(ERROR_NOACCESS,
                    "value " + quoted(name) + ": lpData is NULL but cbData is " + std::to_string(size));
    if (name && std::strlen(name) > maxValueNameLength)
        return fail(ERROR_INVALID_PARAMETER, "value name longer than 16383 characters");
    return ERROR_SUCCESS;
}

LONG checkValueRoot(const Target& target)
{
    if (target.root == dynamicRoot || target.root == performanceRoot)
        return fail(ERROR_ACCESS_DENIED, "values cannot be stored in this root");
    return ERROR_SUCCESS;
}

} // namespace

extern "C" {

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    return call("RegOpenKeyExA", [&](Registry& registry) -> LONG {
        if (!phkResult)
            return fail(ERROR_INVALID_PARAMETER, "phkResult is NULL");
        *phkResult = nullptr;
        Target target;
        if (!registry.resolve(hKey, target))
            return invalidHandle(hKey);
        Path path;
        if (const LONG rc = parsePath(lpSubKey, path); rc != ERROR_SUCCESS)
            return rc;
        if (path.empty() && target.root >= 0) { // a root opens as itself
            *phkResult = hKey;
            return ERROR_SUCCESS;
        }
        if (target.root == performanceRoot)
            return fail(ERROR_INVALID_HANDLE, "HKEY_PERFORMANCE_DATA has no sub-keys");
        Store& store = registry.store();
        Store::Transaction transaction(store, false);
        if (const LONG rc = checkAlive(store, target); rc != ERROR_SUCCESS)
            return rc;
        std::size_t depth = 0;
        const KeyId key = follow(store, target.key, path, depth);
        if (depth < path.size())
            return notFound(lpSubKey);
        transaction.commit();
        *phkResult = registry.add(key, grantedAccess(samDesired));
        return ERROR_SUCCESS;
    });
}

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR lpClass, DWORD dwOptions, REGSAM samDesired,
                        const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    return call("RegCreateKeyExA", [&](Registry& registry) -> LONG {
        if (!phkResult || !lpSubKey)
            return fail(ERROR_INVALID_PARAMETER, "lpSubKey and phkResult are required");
        *phkResult = nullptr;
        constexpr DWORD known =
            REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK | REG_OPTION_BACKUP_RESTORE | REG_OPTION_OPEN_LINK;
        if ((dwOptions & ~known) != 0 || (dwOptions & (REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK)) != 0)
            return fail(ERROR_INVALID_PARAMETER, std::string("options ") + std::to_string(dwOptions) +
                                                     " not supported (no volatile keys or links here)");
        Target target;
        if (!registry.resolve(hKey, target))
            return invalidHandle(hKey);
        Path path;
        if (const LONG rc = parsePath(lpSubKey, path); rc != ERROR_SUCCESS)
            return rc;
        if (!path.empty() && target.root == performanceRoot)
            return fail(ERROR_INVALID_HANDLE, "HKEY_PERFORMANCE_DATA has no sub-keys");
        Store& store = registry.store();
        Store::Transaction transaction(store, true);
        if (const LONG rc = checkAlive(store, target); rc != ERROR_SUCCESS)
            return rc;
        std::size_t depth = 0;
        KeyId key = follow(store, target.key, path, depth);
        DWORD disposition = REG_OPENED_EXISTING_KEY;
        if (depth < path.size()) {
            if (target.root == dynamicRoot)
                return fail(ERROR_ACCESS_DENIED,
                            "HKEY_DYN_DATA is not part of Windows NT; nothing is kept there");
            if (!(target.access & KEY_CREATE_SUB_KEY))
                return accessDenied("KEY_CREATE_SUB_KEY");
            // The class belongs to the key asked for, not to the ones made on the way.
            for (; depth < path.size(); ++depth)
                key = store.addChild(key, path[depth], depth + 1 == path.size() && lpClass ? lpClass : "");
            disposition = REG_CREATED_NEW_KEY;
        }
        transaction.commit();
        *phkResult = registry.add(key, grantedAccess(samDesired));
        if (lpdwDisposition)
            *lpdwDisposition = disposition;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData)
{
    return call("RegQueryValueExA", [&](Registry& registry) -> LONG {
        if (lpReserved || (lpData && !lpcbData))
            return fail(ERROR_INVALID_PARAMETER, "lpData needs lpcbData; lpReserved must be NULL");
        Target target;
        if (const LONG rc = resolveWith(registry, hKey, queryValue, target); rc != ERROR_SUCCESS)
            return rc;
        Store& store = registry.store();
        Store::Transaction transaction(store, false);
        if (const LONG rc = checkAlive(store, target); rc != ERROR_SUCCESS)
            return rc;
        const auto value = store.findValue(target.key, lpValueName ? lpValueName : "");
        transaction.commit();
        if (!value) {
            if (lpType)
                *lpType = REG_NONE;
            if (!lpData && lpcbData)
                *lpcbData = 0;
            return fail(ERROR_FILE_NOT_FOUND, std::string("no value ") + quoted(lpValueName));
        }
        if (lpType)
            *lpType = value->type;
        return copyData(value->type, value->data, lpData, lpcbData);
    });
}

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    return call("RegSetValueExA", [&](Registry& registry) -> LONG {
        Target target;
        if (const LONG rc = resolveWith(registry, hKey, setValue, target); rc != ERROR_SUCCESS)
            return rc;
        if (const LONG rc = checkValue(lpValueName, lpData, cbData); rc != ERROR_SUCCESS)
            return rc;
        if (const LONG rc = checkValueRoot(target); rc != ERROR_SUCCESS)
            return rc;
        Store& store = registry.store();
        Store::Transaction transaction(store, true);
        if (const LONG rc = checkAlive(store, target); rc != ERROR_SUCCESS)
            return rc;
        store.putValue(target.key, lpValueName ? lpValueName : "", dwType, lpData, cbData);
        transaction.commit();
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    return call("RegEnumKeyExA", [&](Registry& registry) -> LONG {
        if (lpReserved || !lpName || !lpcchName || (lpClass && !lpcchClass))
            return fail(ERROR_INVALID_PARAMETER,
                        "lpName, lpcchName (and lpcchClass with lpClass) are required");
        Target target;
        if (const LONG rc = resolveWith(registry, hKey, enumerateSubKeys, target); rc != ERROR_SUCCESS)
            return rc;
        Store& store = registry.store();
        Store::Transaction transaction(store, false);
        if (const LONG rc = checkAlive(store, target); rc != ERROR_SUCCESS)
            return rc;
        const auto child = store.childAt(target.key, dwIndex);
        transaction.commit();
        if (!child)
            return fail(ERROR_NO_MORE_ITEMS, std::string("no sub-key at index ") + std::to_string(dwIndex));
        // Nothing is written unless everything fits, terminators included.
        if (child->name.size() >= *lpcchName || (lpClass && child->keyClass.size() >= *lpcchClass))
            return fail(ERROR_MORE_DATA, "buffer too small for " + quoted(child->name.c_str()));
        std::memcpy(lpName, child->name.c_str(), child->name.size() + 1);
        *lpcchName = static_cast<DWORD>(child->name.size());
        if (lpClass)
            std::memcpy(lpClass, child->keyClass.c_str(), child->keyClass.size() + 1);
        if (lpcchClass)
            *lpcchClass = static_cast<DWORD>(child->keyClass.size());
        if (lpftLastWriteTime) {
            const auto ticks = static_cast<std::uint64_t>(child->written);
            *lpftLastWriteTime = FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        }
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    return call("RegEnumValueA", [&](Registry& registry) -> LONG {
        if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData))
            return fail(ERROR_INVALID_PARAMETER,
                        "lpValueName, lpcchValueName (and lpcbData with lpData) are required");
        Target target;
        if (const LONG rc = resolveWith(registry, hKey, queryValue, target); rc != ERROR_SUCCESS)
            return rc;
        Store& store = registry.store();
        Store::Transaction transaction(store, false);
        if (const LONG rc = checkAlive(store, target); rc != ERROR_SUCCESS)
            return rc;
        const auto value = store.valueAt(target.key, dwIndex);
        transaction.commit();
        if (!value)
            return fail(ERROR_NO_MORE_ITEMS, std::string("no value at index ") + std::to_string(dwIndex));
        if (value->name.size() >= *lpcchValueName) // Windows leaves name and count alone here
            return fail(ERROR_MORE_DATA, "name buffer too small for " + quoted(value->name.c_str()));
        if (lpType)
            *lpType = value->type;
        if (lpData && value->data.size() > *lpcbData)
            return copyData(value->type, value->data, lpData, lpcbData); // sets the size needed
        std::memcpy(lpValueName, value->name.c_str(), value->name.size() + 1);
        *lpcchValueName = static_cast<DWORD>(value->name.size());
        return copyData(value->type, value->data, lpData, lpcbData);
    });
}

LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    return call("RegDeleteKeyA", [&](Registry& registry) -> LONG {
        if (!lpSubKey)
            return fail(ERROR_INVALID_PARAMETER, "lpSubKey is NULL");
        Target target;
        if (!registry.resolve(hKey, target))
            return invalidHandle(hKey);
        Path path;
        if (const LONG rc = parsePath(lpSubKey, path); rc != ERROR_SUCCESS)
            return rc;
        if (!path.empty() && target.root == performanceRoot)
            return fail(ERROR_INVALID_HANDLE, "HKEY_PERFORMANCE_DATA has no sub-keys");
        if (path.empty() && target.root >= 0)
            return fail(ERROR_ACCESS_DENIED, "a predefined key cannot be deleted");
        Store& store = registry.store();
        Store::Transaction transaction(store, true);
        if (const LONG rc = checkAlive(store, target); rc != ERROR_SUCCESS)
            return rc;
        std::size_t depth = 0;
        const KeyId key = follow(store, target.key, path, depth);
        if (depth < path.size())
            return notFound(lpSubKey);
        if (store.hasChildren(key))
            return fail(ERROR_ACCESS_DENIED, quoted(lpSubKey) + " has sub-keys");
        store.removeKey(key);
        transaction.commit();
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    return call("RegDeleteValueA", [&](Registry& registry) -> LONG {
        Target target;
        if (const LONG rc = resolveWith(registry, hKey, setValue, target); rc != ERROR_SUCCESS)
            return rc;
        Store& store = registry.store();
        Store::Transaction transaction(store, true);
        if (const LONG rc = checkAlive(store, target); rc != ERROR_SUCCESS)
            return rc;
        if (!store.removeValue(target.key, lpValueName ? lpValueName : ""))
            return fail(ERROR_FILE_NOT_FOUND, std::string("no value ") + quoted(lpValueName));
        transaction.commit();
        return ERROR_SUCCESS;
    });
}

LSTATUS RegCloseKey(HKEY hKey)
{
    return call("RegCloseKey", [&](Registry& registry) -> LONG {
        if (predefinedIndex(hKey) >= 0 || registry.close(hKey)) // roots stay usable after a close
            return ERROR_SUCCESS;
        return invalidHandle(hKey);
    });
}

LONG plenvaroRegistrySetValues(HKEY key, DWORD count, const PlenvaroRegistryValue* values, DWORD* failed,
                               DWORD* unrestored) noexcept
{
    if (unrestored)
        *unrestored = 0; // one transaction: nothing to put back by hand
    DWORD at = count;
    const LONG result = call("plenvaroRegistrySetValues", [&](Registry& registry) -> LONG {
        at = count;
        if (count > 0 && !values)
            return fail(ERROR_INVALID_PARAMETER, "values is NULL");
        // The same rights as on Windows, which reads the values before to put them back after a failure.
        Target target;
        if (const LONG rc = resolveWith(registry, key, queryValue, target); rc != ERROR_SUCCESS)
            return rc;
        if (const LONG rc = resolveWith(registry, key, setValue, target); rc != ERROR_SUCCESS)
            return rc;
        if (const LONG rc = checkValueRoot(target); rc != ERROR_SUCCESS)
            return rc;
        Store& store = registry.store();
        Store::Transaction transaction(store, true);
        if (const LONG rc = checkAlive(store, target); rc != ERROR_SUCCESS)
            return rc;
        for (at = 0; at < count; ++at) {
            const PlenvaroRegistryValue& value = values[at];
            if (const LONG rc = checkValue(value.name, value.data, value.size); rc != ERROR_SUCCESS)
                return rc;
            store.putValue(target.key, value.name ? value.name : "", value.type, value.data, value.size);
        }
        transaction.commit();
        return ERROR_SUCCESS;
    });
    if (failed)
        *failed = at;
    return result;
}

const char* plenvaroRegistryLastError() noexcept
{
    return lastError.c_str();
}

const char* plenvaroRegistryPath() noexcept
{
    try {
        pathText = storePath();
    } catch (...) {
        pathText.clear();
    }
    return pathText.c_str();
}

void plenvaroRegistryReset() noexcept
{
    Registry::instance().reset();
}

} // extern "C"
