// Writes the program icon for the desktop's icon theme, from the same drawing the program shows:
// DIR/SIZExSIZE/apps/NAME.png for each SIZE.
#include "dialogs/pictures.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "plenvaro_render_icon: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments().mid(1);
    if (args.size() < 3)
        return fail(u"usage: plenvaro_render_icon DIR NAME SIZE..."_s);
    const QString dir = args.at(0);
    const QString name = args.at(1);
    const QIcon windowIcon = pictures::programIcon();
    for (const QString& sizeText : args.mid(2)) {
        bool ok = false;
        const int size = sizeText.toInt(&ok);
        if (!ok || size < 1 || size > 1024)
            return fail(u"not a size from 1 to 1024: %1"_s.arg(sizeText));
        const QPixmap pixmap = pictures::programIconPixmap(size);
        if (pixmap.size() != QSize(size, size))
            return fail(u"the icon came out %1 x %2 instead of %3"_s.arg(pixmap.width())
                            .arg(pixmap.height())
                            .arg(size));
        // Where the window icon has this size, the desktop must show the very same picture.
        if (windowIcon.availableSizes().contains(QSize(size, size)) &&
            windowIcon.pixmap(size).toImage() != pixmap.toImage())
            return fail(u"the %1 pixel icon differs from the program's window icon"_s.arg(size));
        const QString folder = u"%1/%2x%2/apps"_s.arg(dir).arg(size);
        if (!QDir().mkpath(folder))
            return fail(u"cannot create %1"_s.arg(folder));
        const QString file = u"%1/%2.png"_s.arg(folder, name);
        if (!pixmap.save(file, "PNG"))
            return fail(u"cannot write %1"_s.arg(file));
    }
    return 0;
}
