#include "install.h"

#include "fm_pass.h"
#include "fm_server.h"

namespace dialogs {

void installSessionWindows()
{
    session::installWindows({[]() -> session::LoginDialog& { return FMPass::instance(); },
                             []() -> session::ServerDialog& { return FMServer::instance(); }});
}

void destroySessionWindowsForTests()
{
    FMPass::destroyForTests();
    FMServer::destroyForTests();
}

} // namespace dialogs
