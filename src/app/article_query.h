#pragma once

#include <QDate>
#include <QString>

#include <functional>

namespace app {

// Today's bonus articles: begun, not ended, deletion date not before today. The date is asked
// for once per literal, as the query was always built.
QString ArticleQuery(const std::function<QDate()>& today = &QDate::currentDate);

// "YYYY-MM-DD'}": the date and the two characters that close its ODBC literal.
QString QueryDate(const QDate& day);

inline constexpr auto ArticleConnectionString = "PROVIDER=MSDASQL;dsn=tovi_net;uid=;pwd=;database=tovi;";

} // namespace app
