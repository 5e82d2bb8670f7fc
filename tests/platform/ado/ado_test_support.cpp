#include "ado_test_support.h"

using namespace Qt::Literals::StringLiterals;

namespace ado::test {

OdbcSandbox& OdbcSandbox::instance()
{
    static OdbcSandbox sandbox;
    return sandbox;
}

Article validArticle(const QString& number, double price)
{
    const QDate today = QDate::currentDate();
    return Article{number,
                   u"Artikel "_s + number,
                   u"Zusatz"_s,
                   u"Langtext zu "_s + number,
                   100,
                   today.addDays(-10),
                   today.addDays(30),
                   price,
                   QDate(2099, 12, 31)};
}

QString articleQuery(QDate day)
{
    const QString d = day.toString(u"yyyy-MM-dd"_s) + u"'}"_s;
    return u"select num_artikel,nam_artikel,nam_artikel_2,nam_artikel_lang,anz_punkte,gueltig_ab,gueltig_bis,"
           u"statt_preis "_s +
           u"from kk_artikel "_s + u"where kk_artikel.gueltig_ab <= {d'"_s + d +
           u" AND kk_artikel.dat_loesch >= {d'"_s + d + u" AND kk_artikel.gueltig_bis >= {d'"_s + d;
}

} // namespace ado::test
