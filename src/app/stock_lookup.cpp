#include "app/stock_lookup.h"

#include "session/text_routines.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

QString ArticleKey(const QString& selectedText)
{
    return selectedText.mid(4, 6);
}

QString StockObjectId(const QString& company, const QString& article, const QString& branch)
{
    return company + u"||"_s + article + u"||"_s + branch;
}

QString TodayStockLine(const QString& company, const QString& article, const QDate& today)
{
    // No article key leaves the last subscript empty, which the server refuses: no figure for today.
    const QString key = article.isEmpty() ? QString() : session::MValue(article);
    return u"S P0=$P(^TOVI("_s + session::MValue(company) + u",3,1,1"_s + today.toString(u"yyMMdd"_s) +
           u","_s + key + u"),\"'\",1)"_s;
}

} // namespace app
