#pragma once

#include "database.h"

#include <QDate>
#include <QString>

namespace veldor {

// Loads the JSON data file into db. On a malformed file returns false and sets error to a text that
// names the line (syntax) or the field (structure) that is wrong; db is then left unusable.
// In global references "{today}" stands for the given date as YYMMDD.
bool loadDataFile(const QString& path, const QDate& today, Database& db, QString& error);
bool loadData(const QByteArray& json, const QDate& today, Database& db, QString& error);

} // namespace veldor
