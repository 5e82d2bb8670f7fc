#include "app/article_query.h"
#include "app/key_table.h"
#include "app/stock_lookup.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using app::KeyAction;

TEST(ArticleQuery, ReadsTheDateForEachLiteral)
{
    int asked = 0;
    const QString query = app::ArticleQuery([&] {
        ++asked;
        return QDate(2026, 1, 5);
    });
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(
        query,
        u"select num_artikel,nam_artikel,nam_artikel_2,nam_artikel_lang,anz_punkte,gueltig_ab,gueltig_bis,"
        u"statt_preis from kk_artikel where kk_artikel.gueltig_ab <= {d'2026-01-05'} AND "
        u"kk_artikel.dat_loesch >= {d'2026-01-05'} AND kk_artikel.gueltig_bis >= {d'2026-01-05'}"_s);
}

TEST(KeyTable, MapsKeysAndExactlyCtrl)
{
    EXPECT_EQ(app::keyAction(Qt::Key_Escape, 7), KeyAction::Close);
    EXPECT_EQ(app::keyAction(Qt::Key_End, 1), KeyAction::Last);
    EXPECT_EQ(app::keyAction(Qt::Key_Home, 0), KeyAction::First);
    EXPECT_EQ(app::keyAction(Qt::Key_Up, 2), KeyAction::First);
    EXPECT_EQ(app::keyAction(Qt::Key_PageUp, 0), KeyAction::Previous);
    EXPECT_EQ(app::keyAction(Qt::Key_Up, 3), KeyAction::Previous);
    EXPECT_EQ(app::keyAction(Qt::Key_Down, 2), KeyAction::Last);
    EXPECT_EQ(app::keyAction(Qt::Key_Down, 3), KeyAction::Next) << "Ctrl+Shift is not exactly Ctrl";
    EXPECT_EQ(app::keyAction(Qt::Key_PageDown, 1), KeyAction::Next);
    EXPECT_EQ(app::keyAction(Qt::Key_F1, 0), KeyAction::None);
    EXPECT_EQ(app::keyAction(Qt::Key_A, 2), KeyAction::None);
    EXPECT_EQ(app::shiftState(Qt::ShiftModifier | Qt::ControlModifier | Qt::KeypadModifier), 3);
    EXPECT_EQ(app::shiftState(Qt::AltModifier), 4);
}

TEST(StockLookupRules, KeyIdAndLine)
{
    EXPECT_EQ(app::ArticleKey(u"900012AB34"_s), u"12AB34"_s);
    EXPECT_EQ(app::ArticleKey(u"9000123456789"_s), u"123456"_s) << "only characters 5 to 10";
    EXPECT_EQ(app::ArticleKey(u"9000"_s), QString());
    EXPECT_EQ(app::ArticleKey(u"90001"_s), u"1"_s);
    EXPECT_EQ(app::StockObjectId(u"1"_s, u"12AB34"_s, u"0"_s), u"1||12AB34||0"_s);
    EXPECT_EQ(app::StockObjectId(u"1"_s, QString(), u"0"_s), u"1||||0"_s);
    EXPECT_EQ(app::TodayStockLine(u"1"_s, u"123456"_s, QDate(2003, 3, 11)),
              u"S P0=$P(^TOVI(1,3,1,1030311,123456),\"'\",1)"_s);
    EXPECT_EQ(app::TodayStockLine(u"1"_s, u"12AB34"_s, QDate(2003, 3, 11)),
              u"S P0=$P(^TOVI(1,3,1,1030311,\"12AB34\"),\"'\",1)"_s)
        << "grid content never becomes server code";
    EXPECT_EQ(app::TodayStockLine(u"1"_s, QString(), QDate(2003, 3, 11)),
              u"S P0=$P(^TOVI(1,3,1,1030311,),\"'\",1)"_s);
}
