#pragma once

#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace session {

// What the session's routines use of the login dialog. The dialogs library implements it; the
// session only knows it through here, so it sits below the windows it fills.
class LoginDialog
{
public:
    virtual ~LoginDialog() = default;
    virtual QWidget& form() = 0;
    virtual QLineEdit& BUSER() = 0;
    virtual QLineEdit& BPASSWORT() = 0;
    // Shows the dialog modally, without owner, and returns once it is hidden again.
    virtual void showModal() = 0;
    // "Abbruch": ends the program.
    [[noreturn]] virtual void BUAusst_Click() = 0;
};

// What the session's routines use of the server settings dialog, which also hosts the idle timer.
class ServerDialog
{
public:
    virtual ~ServerDialog() = default;
    virtual QWidget& form() = 0;
    virtual QLineEdit& BFIRMA() = 0;
    virtual QLineEdit& BFIL() = 0;
    virtual QLineEdit& BSERVERIP() = 0;
    virtual QLineEdit& BPORT() = 0;
    virtual QLineEdit& BNAMESPACE() = 0;
    virtual QTimer& Lock() = 0;
    virtual void showModal() = 0;
};

// Each returns the one instance, creating it (hidden) on first touch.
struct Windows
{
    std::function<LoginDialog&()> login;
    std::function<ServerDialog&()> server;
};
void installWindows(Windows windows);

LoginDialog& FMPass();
ServerDialog& FMServer();

} // namespace session
