#pragma once

#include <QString>

namespace session {

// The per-user application settings store: values by application, section and key, kept as
// REG_SZ values under HKCU\Software\<application>\<section>.
//
// A missing key gives the default. A store that cannot be read at all raises an error (rather
// than pretending to be empty, which would ask the user for everything and then fail to save).
QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& def = {});
// Raises an error when the value cannot be written; nothing is written then.
void SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value);

inline constexpr auto SettingsApplication = "Cache Login";
inline constexpr auto SettingsSection = "Login";

} // namespace session
