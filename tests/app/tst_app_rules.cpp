#include "app/article_query.h"
#include "app/key_table.h"
#include "app/stock_lookup.h"
#include "platform/ado/ado_error.h"
#include "suites.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using app::KeyAction;

namespace app {

// Names instead of numbers when a comparison fails.
char* toString(KeyAction action)
{
    switch (action) {
    case KeyAction::None:
        return QTest::toString("None");
    case KeyAction::Close:
        return QTest::toString("Close");
    case KeyAction::First:
        return QTest::toString("First");
    case KeyAction::Previous:
        return QTest::toString("Previous");
    case KeyAction::Next:
        return QTest::toString("Next");
    case KeyAction::Last:
        return QTest::toString("Last");
    }
    return QTest::toString(static_cast<int>(action));
}

} // namespace app

class AppRulesTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void articleQueryReadsTheDateForEachLiteral()
    {
        int asked = 0;
        const QString query = app::ArticleQuery([&] {
            ++asked;
            return QDate(2026, 1, 5);
        });
        QCOMPARE(asked, 3);
        QCOMPARE(
            query,
            u"select num_artikel,nam_artikel,nam_artikel_2,nam_artikel_lang,anz_punkte,gueltig_ab,"
            u"gueltig_bis,statt_preis from kk_artikel where kk_artikel.gueltig_ab <= {d'2026-01-05'} AND "
            u"kk_artikel.dat_loesch >= {d'2026-01-05'} AND kk_artikel.gueltig_bis >= {d'2026-01-05'}"_s);
    }

    void keyActionMapsKeysAndExactlyCtrl_data()
    {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<int>("shift");
        QTest::addColumn<KeyAction>("action");
        QTest::newRow("Esc with any shift state") << Qt::Key_Escape << 7 << KeyAction::Close;
        QTest::newRow("Shift+End") << Qt::Key_End << 1 << KeyAction::Last;
        QTest::newRow("Home") << Qt::Key_Home << 0 << KeyAction::First;
        QTest::newRow("Ctrl+Up") << Qt::Key_Up << 2 << KeyAction::First;
        QTest::newRow("PageUp") << Qt::Key_PageUp << 0 << KeyAction::Previous;
        QTest::newRow("Ctrl+Shift+Up") << Qt::Key_Up << 3 << KeyAction::Previous;
        QTest::newRow("Ctrl+Down") << Qt::Key_Down << 2 << KeyAction::Last;
        QTest::newRow("Ctrl+Shift+Down: Ctrl+Shift is not exactly Ctrl")
            << Qt::Key_Down << 3 << KeyAction::Next;
        QTest::newRow("Shift+PageDown") << Qt::Key_PageDown << 1 << KeyAction::Next;
        QTest::newRow("F1") << Qt::Key_F1 << 0 << KeyAction::None;
        QTest::newRow("Ctrl+A") << Qt::Key_A << 2 << KeyAction::None;
    }

    void aReadThatWaitedTooLongIsToldInGermanNamingTheDataSource()
    {
        const auto raised = [](const ado::Error& error) {
            try {
                app::ReadingArticles([&] { throw error; });
            } catch (const ado::Error& e) {
                return e;
            }
            return ado::Error(0, {});
        };
        const ado::Error locked =
            raised(ado::Error(-2147467259, u"[SQLite]database is locked (5)"_s, u"HY000"_s, 5));
        QVERIFY2(
            locked.description().startsWith(u"Die Artikeldatenbank (ODBC-Datenquelle tovi_net) ist "
                                            u"gesperrt oder antwortet nicht; nach 10 Sekunden aufgegeben."_s),
            qPrintable(locked.description()));
        QVERIFY(locked.description().endsWith(u"\n[SQLite]database is locked (5)"_s));
        QCOMPARE(locked.nativeError(), 5);
        QVERIFY(raised(ado::Error(0, u"timed out"_s, u"HYT00"_s)).description().contains(u"tovi_net"_s));

        const ado::Error other =
            raised(ado::Error(-2147467259, u"no such table: kk_artikel"_s, u"HY000"_s, 1));
        QCOMPARE(other.description(), u"no such table: kk_artikel"_s);
    }

    void keyActionMapsKeysAndExactlyCtrl()
    {
        QFETCH(Qt::Key, key);
        QFETCH(int, shift);
        QFETCH(KeyAction, action);
        QCOMPARE(app::keyAction(key, shift), action);
    }

    void shiftStateCountsShiftCtrlAndAltOnly_data()
    {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("shift");
        QTest::newRow("Shift+Ctrl on the keypad")
            << (Qt::ShiftModifier | Qt::ControlModifier | Qt::KeypadModifier) << 3;
        QTest::newRow("Alt") << Qt::KeyboardModifiers(Qt::AltModifier) << 4;
    }

    void shiftStateCountsShiftCtrlAndAltOnly()
    {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, shift);
        QCOMPARE(app::shiftState(modifiers), shift);
    }

    void articleKeyIsCharactersFiveToTen_data()
    {
        QTest::addColumn<QString>("selectedText");
        QTest::addColumn<QString>("key");
        QTest::newRow("ten characters") << u"900012AB34"_s << u"12AB34"_s;
        QTest::newRow("longer: only characters 5 to 10") << u"9000123456789"_s << u"123456"_s;
        QTest::newRow("four characters") << u"9000"_s << QString();
        QTest::newRow("five characters") << u"90001"_s << u"1"_s;
    }

    void articleKeyIsCharactersFiveToTen()
    {
        QFETCH(QString, selectedText);
        QFETCH(QString, key);
        QCOMPARE(app::ArticleKey(selectedText), key);
    }

    void stockObjectIdJoinsCompanyArticleAndBranch_data()
    {
        QTest::addColumn<QString>("article");
        QTest::addColumn<QString>("id");
        QTest::newRow("article") << u"12AB34"_s << u"1||12AB34||0"_s;
        QTest::newRow("no article") << QString() << u"1||||0"_s;
    }

    void stockObjectIdJoinsCompanyArticleAndBranch()
    {
        QFETCH(QString, article);
        QFETCH(QString, id);
        QCOMPARE(app::StockObjectId(u"1"_s, article, u"0"_s), id);
    }

    void todayStockLineReadsTodaysFigure_data()
    {
        QTest::addColumn<QString>("article");
        QTest::addColumn<QString>("line");
        QTest::newRow("digits") << u"123456"_s << u"S P0=$P(^TOVI(1,3,1,1030311,123456),\"'\",1)"_s;
        QTest::newRow("letters quoted: grid content never becomes server code")
            << u"12AB34"_s << u"S P0=$P(^TOVI(1,3,1,1030311,\"12AB34\"),\"'\",1)"_s;
        QTest::newRow("no article") << QString() << u"S P0=$P(^TOVI(1,3,1,1030311,),\"'\",1)"_s;
    }

    void todayStockLineReadsTodaysFigure()
    {
        QFETCH(QString, article);
        QFETCH(QString, line);
        QCOMPARE(app::TodayStockLine(u"1"_s, article, QDate(2003, 3, 11)), line);
    }
};

int runAppRulesTests(int argc, char** argv)
{
    AppRulesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_rules.moc"
