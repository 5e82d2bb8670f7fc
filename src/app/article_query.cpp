#include "app/article_query.h"

#include "platform/ado/ado_error.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

QString QueryDate(const QDate& day)
{
    return day.toString(u"yyyy-MM-dd"_s) + u"'}"_s;
}

QString ArticleQuery(const std::function<QDate()>& today)
{
    return u"select num_artikel,nam_artikel,nam_artikel_2,nam_artikel_lang,anz_punkte,gueltig_ab,gueltig_bis,statt_preis "_s +
           u"from kk_artikel "_s + u"where kk_artikel.gueltig_ab <= {d'"_s + QueryDate(today()) +
           u" AND kk_artikel.dat_loesch >= {d'"_s + QueryDate(today()) +
           u" AND kk_artikel.gueltig_bis >= {d'"_s + QueryDate(today());
}

void ReadingArticles(const std::function<void()>& read)
{
    try {
        read();
    } catch (const ado::Error& error) {
        // IM002: the driver manager knows no data source of that name.
        if (error.sqlState() == u"IM002"_s)
            throw ado::Error(error.number(),
                             u"Die ODBC-Datenquelle %1 ist nicht eingerichtet. Bitte richten Sie sie ein "
                             u"(unter Windows mit der "
                             u"ODBC-Datenquellen-Verwaltung, sonst in odbc.ini) oder lassen Sie sie von "
                             u"Ihrem Administrator "
                             u"einrichten; sie führt zur Artikeldatenbank tovi.\n%2"_s
                                 .arg(QLatin1StringView(ArticleDataSource))
                                 .arg(error.description()),
                             error.sqlState(), error.nativeError());
        if (error.number() == ado::adErrOperationCancelled)
            throw ado::Error(error.number(),
                             u"Lesen der Artikelliste abgebrochen (ODBC-Datenquelle %1)."_s.arg(
                                 QLatin1StringView(ArticleDataSource)));
        if (!error.waitedTooLong())
            throw;
        throw ado::Error(
            error.number(),
            u"Die Artikeldatenbank (ODBC-Datenquelle %1) ist gesperrt oder antwortet nicht; nach %2 "
            u"Sekunden aufgegeben.\n%3"_s.arg(QLatin1StringView(ArticleDataSource))
                .arg(ArticleReadTimeoutSeconds)
                .arg(error.description()),
            error.sqlState(), error.nativeError());
    }
}

} // namespace app
