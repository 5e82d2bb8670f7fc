// The Win32 registry "A" functions, on every platform.
//
// Windows: this is <windows.h>; the functions are advapi32's. (The file is not called winreg.h so
// that windows.h, which includes the SDK's <winreg.h>, never finds it instead.)
//
// Elsewhere: the same names, types, constants and result codes, declared globally (no namespace),
// so code written against <windows.h> compiles unchanged. They are backed by one SQLite file:
//   $PLENVARO_REGISTRY, else ${XDG_CONFIG_HOME:-$HOME/.config}/plenvaro/registry.sqlite3
// created 0600 in folders created 0700. Every write is committed before the call returns, and
// several processes may share the file. Names are Windows-1252 bytes, compared case-insensitively.
// A store that cannot be opened or is damaged is never replaced: calls fail with
// ERROR_ACCESS_DENIED (no permission; or the file is a link, another user's, or writable by others,
// or its folder is), ERROR_REGISTRY_CORRUPT (not a store, damaged, newer format),
// ERROR_LOCK_VIOLATION (another process held the lock for longer than about two seconds) or
// ERROR_REGISTRY_IO_FAILED (anything else), and plenvaroRegistryLastError() says why.
//
// A new store holds HKCU\Software, HKLM\SOFTWARE and HKCC\Software, as fresh Windows does.
//
// Where the portable store differs from Windows: the roots are independent trees (HKCR is no merge,
// HKCC no link) and all of them except the two below are writable, HKLM too; HKEY_DYN_DATA is an
// empty root that refuses new keys and values (ERROR_ACCESS_DENIED); HKEY_PERFORMANCE_DATA has no
// data and no sub-keys (ERROR_INVALID_HANDLE); no volatile keys, links or security descriptors
// (ERROR_INVALID_PARAMETER); RegSetValueExA stores exactly cbData bytes, never peeking past them.

#pragma once

#if defined(_WIN32)
#include <windows.h>
#else

#include <cstdint>

// Same underlying types as Windows (and as unixODBC's sqltypes.h, which declares some of them too).
typedef std::int32_t LONG;
typedef LONG LSTATUS;
typedef std::uint32_t DWORD;
typedef unsigned char BYTE;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;
typedef DWORD REGSAM;

struct PlenvaroRegistryKey; // never defined: HKEY is an opaque handle
typedef PlenvaroRegistryKey* HKEY;
typedef HKEY* PHKEY;

struct FILETIME
{
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
typedef FILETIME* PFILETIME;
typedef FILETIME* LPFILETIME;

struct SECURITY_ATTRIBUTES
{
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    int bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* PSECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

// Sign-extended from LONG, exactly as Windows spells them.
#define PLENVARO_PREDEFINED_HKEY(value)                                                                      \
    (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(static_cast<LONG>(value))))
#define HKEY_CLASSES_ROOT PLENVARO_PREDEFINED_HKEY(0x80000000u)
#define HKEY_CURRENT_USER PLENVARO_PREDEFINED_HKEY(0x80000001u)
#define HKEY_LOCAL_MACHINE PLENVARO_PREDEFINED_HKEY(0x80000002u)
#define HKEY_USERS PLENVARO_PREDEFINED_HKEY(0x80000003u)
#define HKEY_PERFORMANCE_DATA PLENVARO_PREDEFINED_HKEY(0x80000004u)
#define HKEY_CURRENT_CONFIG PLENVARO_PREDEFINED_HKEY(0x80000005u)
#define HKEY_DYN_DATA PLENVARO_PREDEFINED_HKEY(0x80000006u)

#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_OUTOFMEMORY 14
#define ERROR_WRITE_PROTECT 19
#define ERROR_LOCK_VIOLATION 33
#define ERROR_HANDLE_DISK_FULL 39
#define ERROR_INVALID_PARAMETER 87
#define ERROR_DISK_FULL 112
#define ERROR_BAD_PATHNAME 161
#define ERROR_MORE_DATA 234
#define ERROR_NO_MORE_ITEMS 259
#define ERROR_NOACCESS 998
#define ERROR_BADDB 1009
#define ERROR_REGISTRY_CORRUPT 1015
#define ERROR_REGISTRY_IO_FAILED 1016
#define ERROR_KEY_DELETED 1018

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_DWORD_LITTLE_ENDIAN 4u
#define REG_DWORD_BIG_ENDIAN 5u
#define REG_LINK 6u
#define REG_MULTI_SZ 7u
#define REG_QWORD 11u
#define REG_QWORD_LITTLE_ENDIAN 11u

#define REG_OPTION_RESERVED 0u
#define REG_OPTION_NON_VOLATILE 0u
#define REG_OPTION_VOLATILE 1u
#define REG_OPTION_CREATE_LINK 2u
#define REG_OPTION_BACKUP_RESTORE 4u
#define REG_OPTION_OPEN_LINK 8u

#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
#define KEY_WOW64_64KEY 0x0100u
#define KEY_WOW64_32KEY 0x0200u
#define KEY_WOW64_RES 0x0300u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_EXECUTE 0x20019u
#define KEY_ALL_ACCESS 0xF003Fu

extern "C" {
LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                        LPDWORD lpdwDisposition);
LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData);
LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                       DWORD cbData);
LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
LSTATUS RegCloseKey(HKEY hKey);
}
#endif

#if !defined(PLENVARO_WINREG_CONTROLS)
#define PLENVARO_WINREG_CONTROLS
extern "C" {
// This program's own additions, on every platform.

// One value for plenvaroRegistrySetValues, as RegSetValueExA takes it.
struct PlenvaroRegistryValue
{
    LPCSTR name;
    DWORD type;
    const BYTE* data;
    DWORD size;
};

// Writes several values of one key as one change: all of them, or none when any write fails, so a
// failure (a full disk above all) never leaves the key half updated. The handle needs KEY_QUERY_VALUE
// and KEY_SET_VALUE. Returns ERROR_SUCCESS or the error of the failed write; *failed (if given) is
// then the index of the value that failed, or count when the failure belongs to no single value.
// The portable store writes them in one transaction. advapi32 has none for these functions, so on
// Windows the values written before the failure are put back (deleted if they were new);
// *unrestored (if given) counts those that could not be put back, 0 elsewhere and after a success.
LONG plenvaroRegistrySetValues(HKEY key, DWORD count, const PlenvaroRegistryValue* values, DWORD* failed,
                               DWORD* unrestored) noexcept;

// Controls for the portable store. On Windows they do nothing and return "".

// Why the last failed registry call of this thread failed ("" after a success).
const char* plenvaroRegistryLastError() noexcept;
// The store file the next call uses, read from the environment now.
const char* plenvaroRegistryPath() noexcept;
// Closes the store and invalidates every open handle; the next call opens the store again,
// re-reading PLENVARO_REGISTRY. Meant for tests.
void plenvaroRegistryReset() noexcept;
}
#endif
