// On Windows the registry functions are advapi32's own (declared by <windows.h>, linked in CMake);
// only the portable store's controls need bodies, and there is no store to control.
#include "platform/winreg/registry_api.h"

extern "C" {

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
