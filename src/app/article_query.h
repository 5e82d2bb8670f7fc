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
inline constexpr auto ArticleDataSource = "tovi_net";
// How long reading the list may wait for a database another program holds locked.
inline constexpr int ArticleReadTimeoutSeconds = 10;

// Runs read; a read that gave up waiting for the database is raised again with a German description
// naming the data source, the driver's text below it, and so is one the user stopped waiting for.
// Every other error passes unchanged.
void ReadingArticles(const std::function<void()>& read);

} // namespace app
