// Writes the program icon from the same drawing the program shows:
//   plenvaro_render_icon DIR NAME SIZE...    DIR/SIZExSIZE/apps/NAME.png for each SIZE, for the desktop's
//                                            icon theme
//   plenvaro_render_icon --ico FILE SIZE...  FILE, a Windows icon holding each SIZE (at most 256), for the
//                                            program file, its shortcut and its uninstall entry
#include "dialogs/pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QDataStream>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QSaveFile>
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

struct Picture
{
    int size = 0;
    QPixmap pixmap;
};

// One picture of a Windows icon below 256 pixels: a 32-bit bitmap without its file header, colour with
// alpha bottom-up in B, G, R, A order, then the 1-bit mask (set where the picture is fully transparent),
// each mask row padded to 4 bytes. The header's height counts both together.
QByteArray iconBitmap(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(size) << qint32(2 * size) << quint16(1) << quint16(32) << quint32(0)
        << quint32(0) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const QRgb pixel = image.pixel(x, y);
            out << quint8(qBlue(pixel)) << quint8(qGreen(pixel)) << quint8(qRed(pixel))
                << quint8(qAlpha(pixel));
        }
    }
    const int maskRowBytes = (size + 31) / 32 * 4;
    for (int y = size - 1; y >= 0; --y) {
        QByteArray row(maskRowBytes, '\0');
        for (int x = 0; x < size; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = char(row.at(x / 8) | (0x80 >> (x % 8)));
        }
        out.writeRawData(row.constData(), int(row.size()));
    }
    return data;
}

// A Windows icon file: its header, one directory entry per picture, then the pictures. Below 256 pixels
// they are bitmaps, which every Windows reads; the 256 pixel one is PNG-compressed, the form Windows
// reads for that size since Vista (as a bitmap it would take 256 KiB).
QByteArray windowsIcon(const QList<Picture>& pictures, QString* error)
{
    QList<QByteArray> images;
    for (const Picture& picture : pictures) {
        if (picture.size < 256) {
            images << iconBitmap(picture.pixmap.toImage());
            continue;
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.pixmap.save(&buffer, "PNG")) {
            *error = u"cannot compress the %1 pixel picture as PNG"_s.arg(picture.size);
            return {};
        }
        images << png;
    }
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(pictures.size());
    quint32 offset = 6 + 16 * quint32(pictures.size());
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        const quint8 side = pictures.at(i).size == 256 ? 0 : quint8(pictures.at(i).size); // 0 means 256
        out << side << side << quint8(0) << quint8(0) << quint16(1) << quint16(32)
            << quint32(images.at(i).size()) << offset;
        offset += quint32(images.at(i).size());
    }
    for (const QByteArray& image : images)
        out.writeRawData(image.constData(), int(image.size()));
    return data;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments().mid(1);
    if (args.size() < 3)
        return fail(u"usage: plenvaro_render_icon DIR NAME SIZE... | --ico FILE SIZE..."_s);
    const bool windowsIconFile = args.at(0) == "--ico"_L1;
    const int maxSize = windowsIconFile ? 256 : 1024;
    const QIcon windowIcon = pictures::programIcon();
    QList<Picture> pictures;
    for (const QString& sizeText : args.mid(2)) {
        bool ok = false;
        const int size = sizeText.toInt(&ok);
        if (!ok || size < 1 || size > maxSize)
            return fail(u"not a size from 1 to %1: %2"_s.arg(maxSize).arg(sizeText));
        const QPixmap pixmap = pictures::programIconPixmap(size);
        if (pixmap.size() != QSize(size, size))
            return fail(u"the icon came out %1 x %2 instead of %3"_s.arg(pixmap.width())
                            .arg(pixmap.height())
                            .arg(size));
        // Where the window icon has this size, the desktop must show the very same picture.
        if (windowIcon.availableSizes().contains(QSize(size, size)) &&
            windowIcon.pixmap(size).toImage() != pixmap.toImage())
            return fail(u"the %1 pixel icon differs from the program's window icon"_s.arg(size));
        pictures << Picture{size, pixmap};
    }

    if (windowsIconFile) {
        const QString fileName = args.at(1);
        QString error;
        const QByteArray data = windowsIcon(pictures, &error);
        if (data.isEmpty())
            return fail(error);
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
            return fail(u"cannot write %1: %2"_s.arg(fileName, file.errorString()));
        return 0;
    }

    const QString dir = args.at(0);
    const QString name = args.at(1);
    for (const Picture& picture : pictures) {
        const QString folder = u"%1/%2x%2/apps"_s.arg(dir).arg(picture.size);
        if (!QDir().mkpath(folder))
            return fail(u"cannot create %1"_s.arg(folder));
        const QString file = u"%1/%2.png"_s.arg(folder, name);
        if (!picture.pixmap.save(file, "PNG"))
            return fail(u"cannot write %1"_s.arg(file));
    }
    return 0;
}
