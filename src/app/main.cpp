#include "error_handling.h"
#include "fm_start.h"
#include "install.h"
#include "pictures.h"

#include <QApplication>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Plenvaro"_s);
    QApplication::setApplicationVersion(QStringLiteral(PLENVARO_VERSION));
    QApplication::setWindowIcon(pictures::programIcon());
    dialogs::installSessionWindows();

    // Loading the main window is the program's start; an error in it ends the program.
    app::FMStart window(app.arguments().mid(1).join(u' '));
    forms::runUnhandled([&] { window.Form_Load(); });
    window.show();
    return QApplication::exec();
}
