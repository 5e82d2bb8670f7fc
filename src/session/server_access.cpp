#include "session/server_access.h"

#include "platform/forms/end_program.h"
#include "platform/forms/error.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/program_log.h"
#include "session/connect_server.h"
#include "session/session_log.h"
#include "session/session_settings.h"
#include "session/session_windows.h"

#include <QCoreApplication>
#include <QThread>
#include <QTime>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace session {
namespace {

// Seconds since midnight in single precision, as the classic timer function gave them.
float timeOfDay()
{
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
}

} // namespace

void BeginServerAccess(bool busy)
{
    if (busy)
        forms::setMousePointer(forms::Pointer::Hourglass);
    ConnectServer();
    FMServer().Lock().stop();
}

void EndServerAccess(bool resetPointer)
{
    if (resetPointer)
        forms::setMousePointer(forms::Pointer::Default);
    FMServer().Lock().start();
}

void ShowAccessError(const forms::ShownError& error, const QString& operation)
{
    const QString text = u"Vorgang: "_s + operation + u".\r\n\r\nFehler: "_s + QString::number(error.number) +
                         u"\r\n"_s + error.description + u"\r\n\r\n"_s;
    forms::MsgBox(text, forms::Buttons::OkOnly, forms::Icon::Exclamation, u"Caché Zugriffsfehler"_s);
    EndServerAccess(true);
}

void CloseServerObject(objfactory::ServerObject& object)
{
    try {
        object.SYS_Close();
    } catch (const std::exception&) {
        // Closing is best effort: the object may be empty already or the connection gone.
    }
    object = objfactory::ServerObject();
}

void WaitHundredths(std::int32_t n, std::int32_t& elapsed)
{
    const float duration = static_cast<float>(n) / 100.0f;
    const float start = timeOfDay();
    while (timeOfDay() < start + duration && timeOfDay() + 0.01f > start) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::msleep(5); // keep the windows responsive without spinning a core
    }
    elapsed = static_cast<std::int32_t>(std::nearbyint(timeOfDay() - start));
}

void ShutdownProgram(int exitStatus)
{
    const QList<QWidget*> windows = forms::loadedWindows();
    for (qsizetype i = windows.size() - 1; i >= 0; --i)
        forms::unloadWindow(windows.at(i));
    forms::endProgram(exitStatus);
}

void SelectAllText(QLineEdit& box, bool hasFocus)
{
    box.setSelection(0, static_cast<int>(box.text().size()));
    if (!hasFocus)
        box.setFocus();
}

QString ValueText(const objfactory::Value& value)
{
    if (!value)
        throw forms::Error(94, u"Unzulässige Verwendung von Null"_s);
    return *value;
}

void Lock_Timer()
{
    forms::logEntry(lcSession(), u"Leerlauf: Verbindung getrennt, die Lizenz ist frei"_s,
                    Session().ConnectString);
    DisconnectServer();
}

} // namespace session
