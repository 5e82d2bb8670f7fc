#pragma once

#include <QRect>

namespace forms {

// Old layouts are in twips: 1440 per logical inch, converted with the primary screen's logical DPI
// (96 when there is no screen) and rounded to the nearest pixel.
inline constexpr int TwipsPerInch = 1440;

int twipsToPixelsX(int twips);
int twipsToPixelsY(int twips);
int pixelsToTwipsX(int pixels);
int pixelsToTwipsY(int pixels);

// Each value converted on its own, as the old layout set them one by one.
QRect twipsRect(int left, int top, int width, int height);

} // namespace forms
