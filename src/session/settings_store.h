#pragma once

#include <QList>
#include <QString>

#include <utility>

namespace session {

// The per-user application settings store: values by application, section and key, kept as
// REG_SZ values under HKCU\Software\<application>\<section>.
//
// A missing key gives the default. A store that cannot be read at all raises an error (rather
// than pretending to be empty, which would ask the user for everything and then fail to save).
// A store that can be read but not written (full disk, read-only medium) is still read.
QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& def = {});
// Raises an error when the value cannot be written; nothing is written then.
void SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value);

// Key and value.
using Setting = std::pair<QString, QString>;
// Saves several values of one section as one change: all of them, or, when one cannot be saved (a
// full disk above all), none, and the error says which and why.
void SaveSettings(const QString& application, const QString& section, const QList<Setting>& settings);

inline constexpr auto SettingsApplication = "Cache Login";
inline constexpr auto SettingsSection = "Login";

} // namespace session
