#pragma once

#include <QDate>
#include <QString>

namespace app {

// The article key: characters 5 to 10 of the grid's selected text.
QString ArticleKey(const QString& selectedText);
// Company||article||branch.
QString StockObjectId(const QString& company, const QString& article, const QString& branch);
// S P0=$P(^TOVI(C,3,1,1T,A),"'",1), with company and article put in as digits or quoted strings.
QString TodayStockLine(const QString& company, const QString& article, const QDate& today);

} // namespace app
