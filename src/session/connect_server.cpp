#include "session/connect_server.h"

#include "platform/forms/blocking_wait.h"
#include "platform/forms/error.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/program_log.h"
#include "session/login_settings.h"
#include "session/server_access.h"
#include "session/session_log.h"
#include "session/session_settings.h"
#include "session/session_windows.h"
#include "session/text_routines.h"

using namespace Qt::Literals::StringLiterals;

namespace session {
namespace {

const QString ConnectTitle = u"Anmeldung an Caché"_s;
constexpr int Attempts = 3;

// The line the failure messages end with: what actually went wrong with the last attempt.
QString failureCause()
{
    using Failure = objfactory::Factory::Failure;
    const objfactory::Factory* connection = Session().Connection.get();
    const Failure failure = connection ? connection->lastFailure() : Failure::Other;
    switch (failure) {
    case Failure::TimedOut:
        return u"Ursache: Der Server hat nicht rechtzeitig geantwortet (Zeitüberschreitung)."_s;
    case Failure::Refused:
        return u"Ursache: Verbindung abgelehnt, an dieser Adresse und diesem Port antwortet kein Server."_s;
    case Failure::NoLicence:
        return u"Ursache: Der Server hat keine Lizenz frei."_s;
    case Failure::Busy:
        return u"Ursache: Der Server nimmt zur Zeit keine weiteren Verbindungen an."_s;
    case Failure::Cancelled:
        return u"Ursache: Das Warten auf den Server wurde abgebrochen."_s;
    case Failure::None:
    case Failure::BadAddress:
    case Failure::Other:
        break;
    }
    const QString text = connection ? connection->lastError() : QString();
    return text.isEmpty() ? u"Ursache: unbekannt."_s : u"Ursache: %1"_s.arg(text);
}

bool attemptConnection(int attempt)
{
    SessionSettings& s = Session();
    // The window stays responsive while the server is awaited, and the user can stop waiting.
    s.Connection = std::make_unique<objfactory::Factory>(objfactory::programTransport(),
                                                         objfactory::Timeouts{}, forms::awaitStep);
    // The settings dialog between attempts may have saved another address or port. The first
    // attempt goes where the login went, so a reconnect after the idle close never changes server.
    if (attempt > 1)
        BuildConnectString();
    const bool connected = s.Connection->Connect(s.ConnectString) && s.Connection->IsConnected();
    forms::logEntry(lcSession(),
                    connected ? u"Verbindungsversuch %1: verbunden"_s.arg(attempt)
                              : u"Verbindungsversuch %1: nicht erreicht (%2)"_s.arg(attempt).arg(
                                    s.Connection->lastError()),
                    s.ConnectString);
    return connected;
}

void setServerContext()
{
    SessionSettings& s = Session();
    objfactory::ServerObject windows = s.Connection->ClassObject(u"VD.Windows"_s);
    windows.call(u"Xecute"_s, ContextLine(s.CompanyNo, s.BranchNo, s.UserCode));
    windows.call(u"Xecute"_s, u"D ^%XTT"_s);
    CloseServerObject(windows);
}

// Ends the program as the login dialog's cancel action does, with the status of a reported failure.
void giveUp()
{
    forms::MsgBox(u"Server nach 3 Versuchen nicht erreichbar!\r\nAbbruch\r\n"_s + failureCause(),
                  forms::Buttons::OkOnly, forms::Icon::Exclamation, ConnectTitle);
    FMServer().form().hide();
    Session().UserIdent.clear();
    try {
        if (IsConnected())
            Session().Connection->Disconnect();
    } catch (const std::exception&) {
        // Nothing to close.
    }
    ShutdownProgram(1);
}

} // namespace

bool IsConnected()
{
    const SessionSettings& s = Session();
    if (!s.Connection)
        throw forms::Error(91, u"Objektvariable oder With-Blockvariable nicht festgelegt"_s);
    return s.Connection->IsConnected();
}

QString ContextLine(const QString& company, const QString& branch, const QString& personal)
{
    return u"S FIRMA="_s + MValue(company) + u",FIL="_s + MValue(branch) + u",PERSONAL=\""_s +
           MQuoted(personal) + u'"';
}

void ConnectServer()
{
    try {
        if (IsConnected())
            return;
    } catch (const forms::Error&) {
        // No connection object yet: connect.
    }
    for (int attempt = 1; attempt <= Attempts; ++attempt) {
        if (attemptConnection(attempt))
            break;
        if (attempt == Attempts) {
            giveUp();
            return;
        }
        forms::MsgBox(
            u"Server nicht erreicht! Bitte überprüfen Sie die Verbindungseinstellungen\r\n"
            u"Wenn die Verbindungseinstellung korrekt ist sind wahrscheinlich keine Lizenzen frei.\r\n"
            u"Noch %1 Verbindungsversuche bis zum Abbruch.\r\n%2"_s.arg(Attempts - attempt)
                .arg(failureCause()),
            forms::Buttons::OkOnly, forms::Icon::None, ConnectTitle);
        FMServer().showModal();
        std::int32_t elapsed = 0;
        WaitHundredths(100, elapsed);
    }
    setServerContext();
}

void DisconnectServer()
{
    try {
        FMServer().Lock().stop();
        if (IsConnected())
            Session().Connection->Disconnect();
    } catch (const std::exception&) {
        // Never reported: there may be no connection yet.
    }
}

} // namespace session
