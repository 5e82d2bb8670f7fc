#include "platform/forms/console.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace forms {
namespace {

bool usable(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

UINT g_parentCodePage = 0;

void restoreCodePage()
{
    SetConsoleOutputCP(g_parentCodePage);
}

} // namespace

void writeToParentConsole()
{
    // Redirected to a file or a pipe: the runtime writes there already.
    if (usable(GetStdHandle(STD_OUTPUT_HANDLE)))
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!std::freopen("CONOUT$", "w", stdout) || !std::freopen("CONOUT$", "w", stderr)) {
        FreeConsole();
        return;
    }
    // The texts are UTF-8; the console the user started us from gets its own code page back at exit.
    g_parentCodePage = GetConsoleOutputCP();
    if (SetConsoleOutputCP(CP_UTF8))
        std::atexit(restoreCodePage);
}

} // namespace forms
