#pragma once

#include <QFont>
#include <QStringView>

namespace forms {

// The font every window was laid out with. Where it is not installed a font of close metrics stands in
// through a substitution, so the layouts keep their design name and their proportions.
inline constexpr QStringView DesignFontFamily = u"MS Sans Serif";
inline constexpr qreal DesignFontPoints = 8.25;

QFont designFont();

// Registers the stand-ins for the design font (Liberation Sans first, a font with the metrics of the
// classic sans serif) and makes the design font the application's font. Call once the application
// object exists; without any stand-in installed the toolkit's fallback font is used.
void installDesignFont();

// Loads the toolkit's own German texts (message box buttons, context menus, key names), whatever the
// user's locale. False when the translation is not installed; the texts then stay English.
bool installGermanToolkitTexts();

} // namespace forms
