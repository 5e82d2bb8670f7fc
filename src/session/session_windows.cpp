#include "session/session_windows.h"

#include "platform/forms/error.h"

using namespace Qt::Literals::StringLiterals;

namespace session {
namespace {

Windows& installed()
{
    static Windows windows;
    return windows;
}

} // namespace

void installWindows(Windows windows)
{
    installed() = std::move(windows);
}

LoginDialog& FMPass()
{
    if (!installed().login)
        throw forms::Error(91, u"Das Anmeldefenster ist nicht verfügbar"_s);
    return installed().login();
}

ServerDialog& FMServer()
{
    if (!installed().server)
        throw forms::Error(91, u"Das Fenster der Servereinstellungen ist nicht verfügbar"_s);
    return installed().server();
}

} // namespace session
