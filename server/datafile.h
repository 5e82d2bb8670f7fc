#pragma once

#include "database.h"

#include <QDate>
#include <QString>

namespace veldor {

inline constexpr qint64 DefaultMaxDataBytes = 64 << 20;

// Loads the JSON data file into db. On a malformed file returns false and sets error to a text that
// names the line (syntax) or the field (structure) that is wrong; db is then left unusable. A key
// given twice in one object is refused (a JSON reader would keep one and drop the other), and so is
// a file larger than maxBytes. Control characters in names are shown escaped in the error.
// In global references "{today}" stands for the given date as YYMMDD.
bool loadDataFile(const QString& path, const QDate& today, Database& db, QString& error,
                  qint64 maxBytes = DefaultMaxDataBytes);
bool loadData(const QByteArray& json, const QDate& today, Database& db, QString& error);

} // namespace veldor
