#include "platform/forms/twips.h"

#include <QGuiApplication>
#include <QScreen>

namespace forms {
namespace {

constexpr double FallbackDpi = 96.0;

double dpiX()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInchX() : FallbackDpi;
}

double dpiY()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInchY() : FallbackDpi;
}

int scaled(int value, double numerator, double denominator)
{
    return qRound(value * numerator / denominator);
}

} // namespace

int twipsToPixelsX(int twips)
{
    return scaled(twips, dpiX(), TwipsPerInch);
}

int twipsToPixelsY(int twips)
{
    return scaled(twips, dpiY(), TwipsPerInch);
}

int pixelsToTwipsX(int pixels)
{
    return scaled(pixels, TwipsPerInch, dpiX());
}

int pixelsToTwipsY(int pixels)
{
    return scaled(pixels, TwipsPerInch, dpiY());
}

QRect twipsRect(int left, int top, int width, int height)
{
    return {twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width), twipsToPixelsY(height)};
}

} // namespace forms
