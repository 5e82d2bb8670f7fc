#include "app/fm_start.h"
#include "app/information_request.h"
#include "dialogs/pictures.h"
#include "dialogs/program_windows.h"
#include "platform/forms/console.h"
#include "platform/forms/design_font.h"
#include "platform/forms/error_handling.h"
#include "session/command_line.h"

#include <QApplication>
#include <QScopeGuard>

#include <cstdio>
#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    if (app::isInformationRequest(argc, argv))
        forms::writeToParentConsole();
    if (const std::optional<int> status = app::answerInformationRequest(argc, argv, stdout))
        return *status;
    // The arguments are the program's own: taken before the toolkit could remove what it reads as its
    // options ("-reverse", "-style X", ...), which keep working through its environment variables.
    const QString commandLine = session::ProgramCommandLine(argc, argv);
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    QApplication::setApplicationName(u"Plenvaro"_s);
    QApplication::setApplicationVersion(QStringLiteral(PLENVARO_VERSION));
    QApplication::setWindowIcon(pictures::programIcon());
    // Lets a Wayland desktop match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(PLENVARO_APP_ID));
    forms::installDesignFont();
    forms::installGermanToolkitTexts();
    dialogs::windows::install();
    const auto destroyWindows = qScopeGuard([] { dialogs::windows::destroyAll(); });

    // Loading the main window is the program's start; an error in it ends the program.
    auto owned = std::make_unique<app::FMStart>(commandLine);
    app::FMStart& window = *owned;
    dialogs::windows::adoptMainWindow(std::move(owned));
    forms::runUnhandled([&] { window.Form_Load(); });
    window.show();
    return QApplication::exec();
}
