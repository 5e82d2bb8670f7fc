#pragma once

#include <QStringView>

namespace forms {

// Title of every message box that does not name its own.
inline constexpr QStringView ApplicationTitle = u"Plenvaro";

} // namespace forms
