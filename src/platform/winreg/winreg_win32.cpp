// On Windows the registry functions are advapi32's own (declared by <windows.h>, linked in CMake);
// only this program's additions need bodies, and there is no store to control.
#include "platform/winreg/registry_api.h"

#include <new>
#include <vector>

namespace {

// A value as it was before plenvaroRegistrySetValues wrote it.
struct Before final
{
    bool existed = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

LONG readBefore(HKEY key, LPCSTR name, Before& before)
{
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &before.type, nullptr, &size);
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        before.data.resize(size);
        rc = RegQueryValueExA(key, name, nullptr, &before.type, before.data.data(), &size);
        if (rc == ERROR_SUCCESS) { // ERROR_MORE_DATA: it grew meanwhile, so again with the new size
            before.existed = true;
            before.data.resize(size);
            return rc;
        }
    }
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

LONG putBack(HKEY key, LPCSTR name, const Before& before)
{
    if (!before.existed) {
        const LONG rc = RegDeleteValueA(key, name);
        return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
    }
    return RegSetValueExA(key, name, 0, before.type, before.data.data(),
                          static_cast<DWORD>(before.data.size()));
}

} // namespace

extern "C" {

// advapi32 has no transactions for these functions: every value is read first, then written, and
// after a failed write the ones already written are put back, last first.
LONG plenvaroRegistrySetValues(HKEY key, DWORD count, const PlenvaroRegistryValue* values, DWORD* failed,
                               DWORD* unrestored) noexcept
{
    if (failed)
        *failed = count;
    if (unrestored)
        *unrestored = 0;
    if (count > 0 && !values)
        return ERROR_INVALID_PARAMETER;
    try {
        std::vector<Before> before(count);
        for (DWORD i = 0; i < count; ++i) {
            if (const LONG rc = readBefore(key, values[i].name, before[i]); rc != ERROR_SUCCESS) {
                if (failed)
                    *failed = i;
                return rc;
            }
        }
        for (DWORD i = 0; i < count; ++i) {
            const LONG rc =
                RegSetValueExA(key, values[i].name, 0, values[i].type, values[i].data, values[i].size);
            if (rc == ERROR_SUCCESS)
                continue;
            if (failed)
                *failed = i;
            // A failed write leaves its own value as it was.
            for (DWORD back = i; back-- > 0;) {
                if (putBack(key, values[back].name, before[back]) != ERROR_SUCCESS && unrestored)
                    ++*unrestored;
            }
            return rc;
        }
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
}

const char* plenvaroRegistryLastError() noexcept
{
    return "";
}

const char* plenvaroRegistryPath() noexcept
{
    return "";
}

void plenvaroRegistryReset() noexcept {}

} // extern "C"
