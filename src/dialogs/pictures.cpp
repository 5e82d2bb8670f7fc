#include "dialogs/pictures.h"

#include "platform/forms/app_title.h"

#include <QBitmap>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <cmath>
#include <initializer_list>
#include <numbers>

using namespace Qt::Literals::StringLiterals;

namespace pictures {
namespace {

// Each picture is drawn once on its own design grid and scaled to the size asked for.
using Drawing = void (*)(QPainter&);

constexpr qreal ButtonGrid = 16.0;
constexpr qreal IconGrid = 32.0;
constexpr QSizeF LogoGrid{217.0, 53.0};
constexpr QSizeF ProductGrid{162.0, 245.0};

constexpr QRgb TealLight = 0x2a8a94;
constexpr QRgb TealDark = 0x165159;
constexpr QRgb Board = 0xe8eef0;
constexpr QRgb Kraft = 0xd9a066;
constexpr QRgb KraftTape = 0xa8703a;
constexpr QRgb Gold = 0xf5c542;
constexpr QRgb GoldEdge = 0x9c7010;
constexpr QRgb Slate = 0x263845;
constexpr QRgb SlateLight = 0x6b7c88;
constexpr QRgb Orange = 0xe8863a;

QPixmap render(QSize pixels, QSizeF grid, Drawing draw)
{
    if (pixels.isEmpty())
        return {};
    QPixmap pixmap(pixels);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(pixels.width() / grid.width(), pixels.height() / grid.height());
    draw(painter);
    return pixmap;
}

QIcon squareIcon(qreal grid, Drawing draw, std::initializer_list<int> sizes)
{
    QIcon icon;
    for (const int size : sizes)
        icon.addPixmap(render({size, size}, {grid, grid}, draw));
    return icon;
}

QIcon button(Drawing draw)
{
    return squareIcon(ButtonGrid, draw, {16, 32});
}

QPolygonF star(QPointF centre, qreal outer, qreal inner)
{
    QPolygonF points;
    for (int k = 0; k < 10; ++k) {
        const qreal angle = (-90.0 + 36.0 * k) * std::numbers::pi / 180.0;
        const qreal radius = k % 2 == 0 ? outer : inner;
        points << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    return points;
}

void crate(QPainter& painter, const QRectF& box)
{
    painter.setBrush(QColor(Kraft));
    painter.drawRect(box);
    painter.setBrush(QColor(KraftTape));
    painter.drawRect(QRectF(box.center().x() - 0.75, box.top(), 1.5, box.height() * 0.45));
}

// Two shelf boards with crates and the bonus star, on the 32 grid without a background.
void drawShelf(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(Board));
    painter.drawRect(QRectF(5, 14.5, 22, 1.8));
    painter.drawRect(QRectF(5, 25, 22, 1.8));
    crate(painter, QRectF(7, 18, 8, 7));
    crate(painter, QRectF(16, 20, 7, 5));
    crate(painter, QRectF(7, 8.5, 7, 6));
    painter.setPen(QPen(QColor(GoldEdge), 0.8));
    painter.setBrush(QColor(Gold));
    painter.drawPolygon(star(QPointF(22, 8.5), 6.0, 2.5));
}

void drawProgramIcon(QPainter& painter)
{
    QLinearGradient tile(0, 0, 0, IconGrid);
    tile.setColorAt(0, QColor(TealLight));
    tile.setColorAt(1, QColor(TealDark));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    drawShelf(painter);
}

void drawMakerLogo(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(Slate));
    painter.drawRoundedRect(QRectF(2, 6, 41, 41), 8, 8);
    painter.setBrush(QColor(Orange));
    painter.drawRect(QRectF(10, 30, 6, 9));
    painter.drawRect(QRectF(19, 23, 6, 16));
    painter.drawRect(QRectF(28, 15, 6, 24));

    QFont name;
    name.setPixelSize(22);
    name.setBold(true);
    painter.setFont(name);
    painter.setPen(QColor(Slate));
    painter.drawText(QRectF(52, 4, 165, 28), Qt::AlignLeft | Qt::AlignVCenter, u"Brennholt"_s);

    QFont line;
    line.setPixelSize(13);
    line.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    painter.setFont(line);
    painter.setPen(QColor(SlateLight));
    painter.drawText(QRectF(53, 30, 164, 18), Qt::AlignLeft | Qt::AlignVCenter, u"SOFTWARE"_s);
}

void drawProductPicture(QPainter& painter)
{
    const QRectF area(QPointF(0, 0), ProductGrid);
    QLinearGradient background(0, 0, 0, area.height());
    background.setColorAt(0, QColor(TealLight));
    background.setColorAt(1, QColor(0x123f46));
    painter.fillRect(area, background);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 28));
    painter.drawPolygon(star(QPointF(125, 45), 62, 25));

    painter.save();
    painter.translate(9, 28);
    painter.scale(4.5, 4.5);
    drawShelf(painter);
    painter.restore();

    QFont title;
    title.setPixelSize(26);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 176, area.width(), 34), Qt::AlignCenter, forms::ApplicationTitle.toString());

    QFont subtitle;
    subtitle.setPixelSize(11);
    painter.setFont(subtitle);
    painter.setPen(QColor(255, 255, 255, 200));
    painter.drawText(QRectF(0, 210, area.width(), 18), Qt::AlignCenter, u"Bonusartikel \u00b7 Lagerstand"_s);
}

void drawLogin(QPainter& painter)
{
    QPainterPath key;
    key.addEllipse(QPointF(5, 7.5), 4, 4);
    QPainterPath bit;
    bit.addRect(QRectF(8.5, 6.3, 6.5, 2.4));
    bit.addRect(QRectF(12.4, 8.7, 1.7, 3));
    bit.addRect(QRectF(10, 8.7, 1.7, 2.2));
    QPainterPath hole;
    hole.addEllipse(QPointF(4, 7.5), 1.4, 1.4);
    painter.setPen(QPen(QColor(GoldEdge), 0.9));
    painter.setBrush(QColor(0xe0a82e));
    painter.drawPath(key.united(bit).subtracted(hole));
}

void drawServer(QPainter& painter)
{
    QLinearGradient body(0, 0, ButtonGrid, 0);
    body.setColorAt(0, QColor(0xdde3e8));
    body.setColorAt(1, QColor(0x9aa5ae));
    painter.setPen(QPen(QColor(0x4a5560), 0.9));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(3, 1, 10, 14), 1.2, 1.2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x4a5560));
    painter.drawRect(QRectF(4.8, 3.5, 6.4, 1.4));
    painter.drawRect(QRectF(4.8, 6.3, 6.4, 1.4));
    painter.setBrush(QColor(0x3fbf4a));
    painter.drawEllipse(QPointF(10.5, 12.3), 1.0, 1.0);
}

void drawCancel(QPainter& painter)
{
    painter.setPen(QPen(QColor(0xc62828), 2.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(4, 4), QPointF(12, 12));
    painter.drawLine(QPointF(12, 4), QPointF(4, 12));
}

void drawEdit(QPainter& painter)
{
    // A pencil along the x axis, then turned so that its tip points down to the left.
    painter.translate(8, 8);
    painter.rotate(135);
    painter.setPen(QPen(QColor(0x8a6a14), 0.7));
    painter.setBrush(QColor(0xf2c94c));
    painter.drawRect(QRectF(-4.5, -1.6, 7.5, 3.2));
    painter.setBrush(QColor(0xe88a9a));
    painter.drawRect(QRectF(-6.5, -1.6, 2, 3.2));
    painter.setBrush(QColor(0xf0d9b5));
    painter.drawPolygon(QPolygonF({QPointF(3, -1.6), QPointF(6.3, 0), QPointF(3, 1.6)}));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x333333));
    painter.drawPolygon(QPolygonF({QPointF(5.2, -0.55), QPointF(6.3, 0), QPointF(5.2, 0.55)}));
}

void drawBack(QPainter& painter)
{
    const QColor blue(0x1e5fa8);
    QPainterPath bend;
    bend.moveTo(12.5, 13);
    bend.cubicTo(12.5, 7.5, 10.5, 6, 6, 6);
    painter.setPen(QPen(blue, 2, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(bend);
    painter.setPen(Qt::NoPen);
    painter.setBrush(blue);
    painter.drawPolygon(QPolygonF({QPointF(2, 6), QPointF(6.5, 2), QPointF(6.5, 10)}));
}

// Record navigation, drawn pixel by pixel on the 16 x 16 grid as the classic pictures were: black on a
// light grey mask colour (192, 192, 192) that shows as button face, triangles 5 pixels wide and 9 high.
enum class Pointing
{
    Left,
    Right
};

// The tip is the single pixel of the middle row; the base, 9 pixels high, lies 4 columns away.
void triangle(QImage& image, int tipX, Pointing pointing)
{
    constexpr int Top = 4;
    for (int row = 0; row < 9; ++row) {
        const int width = 5 - std::abs(4 - row);
        for (int k = 0; k < width; ++k) {
            const int fromBase = 4 - k;
            image.setPixel(pointing == Pointing::Left ? tipX + fromBase : tipX - fromBase, Top + row,
                           qRgb(0, 0, 0));
        }
    }
}

void bar(QImage& image, int x)
{
    for (int y = 4; y < 13; ++y) {
        image.setPixel(x, y, qRgb(0, 0, 0));
        image.setPixel(x + 1, y, qRgb(0, 0, 0));
    }
}

QIcon navigation(void (*draw)(QImage&))
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(192, 192, 192));
    draw(image);
    // The mask colour is the button face: transparent.
    const QImage masked = QPixmap::fromImage(image).createMaskFromColor(QColor(192, 192, 192)).toImage();
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(QBitmap::fromImage(masked));
    QIcon icon;
    icon.addPixmap(pixmap);
    icon.addPixmap(pixmap.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    return icon;
}

void drawFirst(QImage& image)
{
    bar(image, 4);
    triangle(image, 7, Pointing::Left);
}

void drawPrevious(QImage& image)
{
    triangle(image, 6, Pointing::Left);
}

void drawNext(QImage& image)
{
    triangle(image, 9, Pointing::Right);
}

void drawLast(QImage& image)
{
    triangle(image, 8, Pointing::Right);
    bar(image, 10);
}

} // namespace

QIcon programIcon()
{
    return squareIcon(IconGrid, drawProgramIcon, {16, 24, 32, 48});
}

QPixmap programIconPixmap(int size)
{
    return render({size, size}, {IconGrid, IconGrid}, drawProgramIcon);
}

QPixmap makerLogo(QSize size)
{
    return render(size, LogoGrid, drawMakerLogo);
}

QPixmap productPicture(QSize size)
{
    return render(size, ProductGrid, drawProductPicture);
}

QIcon buttonLogin()
{
    return button(drawLogin);
}

QIcon buttonServer()
{
    return button(drawServer);
}

QIcon buttonCancel()
{
    return button(drawCancel);
}

QIcon buttonEdit()
{
    return button(drawEdit);
}

QIcon buttonBack()
{
    return button(drawBack);
}

QIcon navFirst()
{
    return navigation(drawFirst);
}

QIcon navPrevious()
{
    return navigation(drawPrevious);
}

QIcon navNext()
{
    return navigation(drawNext);
}

QIcon navLast()
{
    return navigation(drawLast);
}

} // namespace pictures
