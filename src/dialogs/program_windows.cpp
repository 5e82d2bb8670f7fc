#include "dialogs/program_windows.h"

#include "dialogs/fm_pass.h"
#include "dialogs/fm_server.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_programmverlauf.h"
#include "dialogs/frm_suchen.h"
#include "platform/forms/end_program.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/program_log.h"
#include "session/session_windows.h"

#include <QCoreApplication>
#include <QPointer>
#include <QScopedValueRollback>
#include <QThread>
#include <QWidget>

#include <optional>
#include <utility>
#include <vector>

namespace dialogs::windows {
namespace {

// Guarded pointers only: destroying them at static destruction never touches a widget.
struct Held
{
    QPointer<QWidget> main;
    QPointer<FMPass> pass;
    QPointer<FMServer> server;
    QPointer<frmProgrammverlauf> log;
    QPointer<frmSuchen> search;
    QPointer<frmAbout> about;
    std::vector<QPointer<QWidget>> created; // oldest first
    bool logging = false; // between install() and destroyAll(): never while the process ends
};

Held& held()
{
    static Held instance;
    return instance;
}

template <typename Window> Window& createOnce(QPointer<Window>& slot)
{
    if (slot.isNull()) {
        auto window = std::make_unique<Window>();
        held().created.emplace_back(window.get());
        slot = window.release(); // deleted by destroyAll, or by unloading where the kind says so
    }
    return *slot;
}

QtMessageHandler& previousHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

// Every message goes on to the previous handler (stderr); the program's own log entries also to the log
// window, which is created hidden if need be, so the log is complete when the user opens it.
void toProgramLog(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    static bool inside = false; // the window's own creation may log
    const QCoreApplication* application = QCoreApplication::instance();
    if (held().logging && !inside && application && QThread::currentThread() == application->thread()) {
        if (const std::optional<forms::LogEntry> entry = forms::programLogEntry(context, message)) {
            const QScopedValueRollback guard(inside, true);
            programmverlauf().StatusText(entry->area, entry->text, entry->parameter);
        }
    }
    if (const QtMessageHandler previous = previousHandler())
        previous(type, context, message);
}

} // namespace

void adoptMainWindow(std::unique_ptr<QWidget> window)
{
    held().created.emplace_back(window.get());
    held().main = window.release();
}

QWidget* mainWindow()
{
    return held().main;
}

FMPass& fmPass()
{
    return createOnce(held().pass);
}

FMServer& fmServer()
{
    return createOnce(held().server);
}

frmProgrammverlauf& programmverlauf()
{
    return createOnce(held().log);
}

frmSuchen& suchen()
{
    return createOnce(held().search);
}

frmAbout& about()
{
    // An unloaded box is on its way out (deleted later); the program gets a new one.
    if (QPointer<frmAbout>& slot = held().about; !slot.isNull() && !forms::isLoaded(slot))
        slot = nullptr;
    return createOnce(held().about);
}

FMPass* existingFmPass()
{
    return held().pass;
}

FMServer* existingFmServer()
{
    return held().server;
}

frmProgrammverlauf* existingProgrammverlauf()
{
    return held().log;
}

frmSuchen* existingSuchen()
{
    return held().search;
}

frmAbout* existingAbout()
{
    frmAbout* box = held().about;
    return box != nullptr && forms::isLoaded(box) ? box : nullptr;
}

void install()
{
    session::installWindows({[]() -> session::LoginDialog& { return fmPass(); },
                             []() -> session::ServerDialog& { return fmServer(); }});
    forms::atProgramEnd(destroyAll);
    if (previousHandler() == nullptr)
        previousHandler() = qInstallMessageHandler(toProgramLog);
    held().logging = true;
}

void destroyAll()
{
    const std::vector<QPointer<QWidget>> created = std::exchange(held(), Held{}).created;
    for (auto it = created.rbegin(); it != created.rend(); ++it)
        delete it->data(); // a child of an earlier window may be gone with it already
}

} // namespace dialogs::windows
