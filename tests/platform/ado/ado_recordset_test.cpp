// The connection and the recordset against the SQLite ODBC driver, through a private odbc.ini.

#include "ado_test_support.h"
#include "platform/ado/ado_connection.h"
#include "platform/ado/ado_error.h"
#include "platform/ado/ado_recordset.h"
#include "platform/ado/ado_text_search.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <memory>
#include <tuple>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using ado::test::Article;
using ado::test::OdbcSandbox;

namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

class RecordsetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!OdbcSandbox::driverAvailable())
            GTEST_SKIP() << "SQLite ODBC driver not installed: " << PLENVARO_SQLITE_ODBC_DRIVER;
        db = OdbcSandbox::instance().databasePath();
    }

    std::shared_ptr<ado::Connection> connect()
    {
        auto connection = std::make_shared<ado::Connection>();
        connection->open(QString::fromUtf16(ado::test::kConnectionString));
        return connection;
    }

    // Opens the program's query over a fresh connection, recording every move-complete notification.
    void openArticles(ado::Recordset& rs)
    {
        QObject::connect(&rs, &ado::Recordset::moveComplete, &rs, [this, &rs](ado::EventReason reason) {
            moves.push_back({reason, rs.absolutePosition()});
        });
        rs.open(ado::test::articleQuery(), connect());
    }

    void writeArticles(int count)
    {
        std::vector<Article> articles;
        for (int i = 1; i <= count; ++i)
            articles.push_back(ado::test::validArticle(QString::number(i).rightJustified(10, u'0')));
        ado::test::writeArticles(db, articles);
    }

    struct Move
    {
        ado::EventReason reason;
        qsizetype position;
        bool operator==(const Move&) const = default;
    };
    QString db;
    std::vector<Move> moves;
};

template <typename F> ado::Error expectError(F&& f)
{
    try {
        f();
    } catch (const ado::Error& e) {
        return e;
    }
    ADD_FAILURE() << "no ado::Error thrown";
    return ado::Error(0, {});
}

// --- connection ----------------------------------------------------------------------------------------

TEST_F(RecordsetTest, OpensFromAnyWorkingDirectoryWithoutCreatingFiles)
{
    writeArticles(2);
    QTemporaryDir cwd;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(cwd.path()));
    {
        ado::Recordset rs;
        openArticles(rs);
        EXPECT_EQ(rs.recordCount(), 2);
        rs.requery();
    }
    QDir::setCurrent(before);
    // "database=tovi" must not reach the SQLite driver, which would create ./tovi.
    EXPECT_FALSE(QFileInfo::exists(cwd.filePath(u"tovi"_s)));
    EXPECT_TRUE(QDir(cwd.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

TEST_F(RecordsetTest, ConnectionFailuresCarryTheDriverText)
{
    ado::Connection connection;
    const ado::Error unknown = expectError([&] { connection.open(u"PROVIDER=MSDASQL;dsn=kein_dsn;"_s); });
    EXPECT_EQ(unknown.number(), ado::adErrProviderFailed);
    EXPECT_EQ(s(unknown.sqlState()), "IM002");
    EXPECT_TRUE(unknown.description().contains(u"Data source name not found")) << s(unknown.description());
    EXPECT_FALSE(connection.isOpen());

    const ado::Error noDriver = expectError([&] { connection.open(u"dsn=tovi_missing"_s); });
    EXPECT_FALSE(noDriver.description().isEmpty());
    EXPECT_FALSE(connection.isOpen());

    connection.open(QString::fromUtf16(ado::test::kConnectionString));
    EXPECT_TRUE(connection.isOpen());
    EXPECT_EQ(expectError([&] { connection.open(u"dsn=tovi_net"_s); }).number(), ado::adErrObjectOpen);
    connection.close();
    EXPECT_FALSE(connection.isOpen());
}

// --- reading -------------------------------------------------------------------------------------------

TEST_F(RecordsetTest, ProgramQueryListsTodaysArticlesWithTypedValues)
{
    const QDate today = QDate::currentDate();
    Article umlauts = ado::test::validArticle(u"0000000001"_s, 12.5);
    umlauts.name = u"Äpfel süß"_s;
    umlauts.name2 = QVariant();
    umlauts.points = QVariant();
    Article startsToday = ado::test::validArticle(u"0000000002"_s);
    startsToday.validFrom = today;
    Article endsToday = ado::test::validArticle(u"0000000003"_s);
    endsToday.validTo = today;
    endsToday.deleted = today;
    Article notDeletable = ado::test::validArticle(u"0000000004"_s);
    notDeletable.deleted = QVariant();
    Article expired = ado::test::validArticle(u"0000000005"_s);
    expired.validTo = today.addDays(-1);
    Article future = ado::test::validArticle(u"0000000006"_s);
    future.validFrom = today.addDays(1);
    ado::test::writeArticles(db, {umlauts, startsToday, endsToday, notDeletable, expired, future});

    ado::Recordset rs;
    openArticles(rs);
    ASSERT_EQ(rs.recordCount(), 3);
    ASSERT_EQ(rs.fieldCount(), 8);
    EXPECT_EQ(s(rs.fieldName(3)), "nam_artikel_lang");
    EXPECT_EQ(rs.fieldIndex(u"NUM_ARTIKEL"), 0);
    EXPECT_EQ(rs.fieldIndex(u"dat_loesch"), -1);
    EXPECT_EQ(rs.fieldType(4), ado::FieldType::Integer);
    EXPECT_EQ(rs.fieldType(5), ado::FieldType::Date);
    EXPECT_EQ(rs.fieldType(7), ado::FieldType::Double); // how the SQLite driver reports NUMERIC(10,2)

    EXPECT_EQ(s(rs.value(1).toString()), "Äpfel süß");
    EXPECT_FALSE(rs.value(2).isValid()); // NULL
    EXPECT_FALSE(rs.value(4).isValid());
    EXPECT_EQ(rs.value(5).toDate(), today.addDays(-10));
    EXPECT_DOUBLE_EQ(rs.value(7).toDouble(), 12.5);
    EXPECT_EQ(rs.integer(1, 4), 100);
    EXPECT_EQ(rs.date(1, 5), today);
    EXPECT_EQ(rs.date(2, 6), today);
    EXPECT_EQ(rs.fieldScale(7), 2); // 9.99 needs two decimals

    EXPECT_EQ(expectError([&] { rs.integer(0, 0); }).number(), ado::adErrInvalidArgument);
    EXPECT_EQ(expectError([&] { rs.value(0, 8); }).number(), ado::adErrItemNotFound);
    EXPECT_EQ(expectError([&] { rs.value(3, 0); }).number(), ado::adErrInvalidArgument);
}

TEST_F(RecordsetTest, ManyBlocksArriveCompleteAndInOrder)
{
    writeArticles(2345);
    ado::Recordset rs;
    openArticles(rs);
    ASSERT_EQ(rs.recordCount(), 2345);
    for (qsizetype row = 0; row < rs.recordCount(); ++row) {
        ASSERT_EQ(rs.text(row, 0), QString::number(row + 1).rightJustified(10, u'0')) << row;
        ASSERT_EQ(rs.text(row, 3), u"Langtext zu "_s + rs.text(row, 0)) << row;
    }
}

TEST_F(RecordsetTest, ValuesLongerThanDeclaredComeBackWhole)
{
    const QString huge(20000, u'ü');
    const QString wide = QString(300, u'x') + u"\U0001F600"_s;
    ado::test::execSql(db, u"DROP TABLE IF EXISTS t; CREATE TABLE t (short VARCHAR(5), body TEXT, n INTEGER);"
                           u"INSERT INTO t VALUES ('ok', 'kurz', 1);"
                           u"INSERT INTO t VALUES ('"_s +
                               wide + u"', '"_s + huge + u"', 2);"_s);
    for (const ado::TextTransfer transfer : {ado::TextTransfer::Utf8, ado::TextTransfer::Utf16}) {
        ado::Recordset rs;
        rs.setTextTransfer(transfer);
        rs.open(u"select short, body, n from t order by n"_s, connect());
        ASSERT_EQ(rs.recordCount(), 2);
        EXPECT_EQ(s(rs.text(0, 0)), "ok");
        EXPECT_EQ(rs.text(1, 0), wide);
        EXPECT_EQ(rs.text(1, 1), huge);
        EXPECT_EQ(rs.integer(1, 2), 2);
    }
}

TEST_F(RecordsetTest, Utf16TransferReadsTheSameValues)
{
    Article a = ado::test::validArticle(u"0000000001"_s, 3.5);
    a.longName = u"Grüße €, 😀 and ß"_s;
    ado::test::writeArticles(db, {a, ado::test::validArticle(u"0000000002"_s)});
    ado::Recordset narrow;
    narrow.open(ado::test::articleQuery(), connect());
    ado::Recordset wide;
    wide.setTextTransfer(ado::TextTransfer::Utf16);
    wide.open(ado::test::articleQuery(), connect());
    ASSERT_EQ(wide.recordCount(), narrow.recordCount());
    for (qsizetype row = 0; row < narrow.recordCount(); ++row) {
        for (int f = 0; f < narrow.fieldCount(); ++f)
            EXPECT_EQ(wide.value(row, f), narrow.value(row, f)) << row << "/" << f;
    }
    EXPECT_EQ(s(wide.text(0, 3)), "Grüße €, 😀 and ß");
}

TEST_F(RecordsetTest, UnreadableTypedValuesAreKeptAsText)
{
    Article a = ado::test::validArticle(u"0000000001"_s);
    a.points = u"viele"_s;
    Article b = ado::test::validArticle(u"0000000002"_s);
    b.price = u"auf Anfrage"_s;
    ado::test::writeArticles(db, {ado::test::validArticle(u"0000000000"_s), a, b});
    ado::Recordset rs;
    rs.open(u"select anz_punkte, statt_preis from kk_artikel order by num_artikel"_s, connect());
    ASSERT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.fieldType(0), ado::FieldType::Text);
    EXPECT_EQ(s(rs.text(0, 0)), "100");
    EXPECT_EQ(s(rs.text(1, 0)), "viele");
    EXPECT_EQ(rs.fieldType(1), ado::FieldType::Text);
    EXPECT_EQ(s(rs.text(0, 1)), "9.99");
    EXPECT_EQ(s(rs.text(2, 1)), "auf Anfrage");
}

TEST_F(RecordsetTest, QueryFailuresLeaveTheRecordsetClosed)
{
    ado::Recordset rs;
    const ado::Error noTable = expectError([&] { rs.open(u"select * from gibt_es_nicht"_s, connect()); });
    EXPECT_EQ(noTable.number(), ado::adErrProviderFailed);
    EXPECT_TRUE(noTable.description().contains(u"no such table")) << s(noTable.description());
    EXPECT_FALSE(rs.isOpen());
    EXPECT_EQ(expectError([&] { rs.recordCount(); }).number(), ado::adErrObjectClosed);

    const ado::Error noRows =
        expectError([&] { rs.open(u"create table if not exists leer (x)"_s, connect()); });
    EXPECT_EQ(noRows.number(), ado::adErrObjectClosed);
    EXPECT_FALSE(rs.isOpen());

    EXPECT_EQ(expectError([&] { rs.open(u"select 1"_s, nullptr); }).number(), ado::adErrInvalidConnection);
    auto closed = std::make_shared<ado::Connection>();
    EXPECT_EQ(expectError([&] { rs.open(u"select 1"_s, closed); }).number(), ado::adErrInvalidConnection);
}

// --- navigation ----------------------------------------------------------------------------------------

TEST_F(RecordsetTest, NavigationWalksBothEnds)
{
    writeArticles(3);
    ado::Recordset rs;
    openArticles(rs);
    EXPECT_EQ(rs.absolutePosition(), 1);
    EXPECT_TRUE(!rs.bof() && !rs.eof());
    rs.moveLast();
    EXPECT_EQ(rs.absolutePosition(), 3);
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_FALSE(rs.bof());
    EXPECT_EQ(rs.absolutePosition(), ado::adPosEOF);
    const ado::Error pastEnd = expectError([&] { rs.moveNext(); });
    EXPECT_EQ(pastEnd.number(), ado::adErrNoCurrentRecord);
    EXPECT_EQ(expectError([&] { rs.value(0); }).number(), ado::adErrNoCurrentRecord);
    rs.movePrevious();
    EXPECT_EQ(rs.absolutePosition(), 3);
    rs.moveFirst();
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
    EXPECT_EQ(rs.absolutePosition(), ado::adPosBOF);
    EXPECT_EQ(expectError([&] { rs.movePrevious(); }).number(), ado::adErrNoCurrentRecord);
    rs.moveNext();
    EXPECT_EQ(rs.absolutePosition(), 1);
    rs.setAbsolutePosition(2);
    EXPECT_EQ(s(rs.value(0).toString()), "0000000002");
    EXPECT_EQ(expectError([&] { rs.setAbsolutePosition(4); }).number(), ado::adErrInvalidArgument);
    EXPECT_EQ(expectError([&] { rs.setAbsolutePosition(0); }).number(), ado::adErrInvalidArgument);
    EXPECT_EQ(rs.absolutePosition(), 2);

    using R = ado::EventReason;
    const std::vector<Move> expected = {
        {R::adRsnMove, 1},         {R::adRsnMoveLast, 3},  {R::adRsnMoveNext, ado::adPosEOF},
        {R::adRsnMovePrevious, 3}, {R::adRsnMoveFirst, 1}, {R::adRsnMovePrevious, ado::adPosBOF},
        {R::adRsnMoveNext, 1},     {R::adRsnMove, 2}};
    EXPECT_EQ(moves, expected) << "one notification per successful move, none for a failed one";
}

TEST_F(RecordsetTest, EmptyListHasNoCurrentRecord)
{
    writeArticles(0);
    ado::Recordset rs;
    openArticles(rs);
    EXPECT_TRUE(rs.bof());
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_EQ(rs.absolutePosition(), ado::adPosUnknown);
    EXPECT_EQ(rs.fieldCount(), 8);
    for (auto move : {&ado::Recordset::moveFirst, &ado::Recordset::moveLast, &ado::Recordset::moveNext,
                      &ado::Recordset::movePrevious}) {
        const ado::Error e = expectError([&] { (rs.*move)(); });
        EXPECT_EQ(e.number(), ado::adErrNoCurrentRecord);
        EXPECT_EQ(s(e.description()), "Either BOF or EOF is True, or the current record has been deleted. "
                                      "Requested operation requires a current record.");
    }
    EXPECT_EQ(moves, (std::vector<Move>{{ado::adRsnMove, ado::adPosUnknown}}));
}

// --- requery -------------------------------------------------------------------------------------------

TEST_F(RecordsetTest, RequeryRunsTheSameQueryAgain)
{
    writeArticles(2);
    ado::Recordset rs;
    openArticles(rs);
    rs.moveLast();
    int replaced = 0;
    QObject::connect(&rs, &ado::Recordset::rowsReplaced, &rs, [&] { ++replaced; });
    ado::test::execSql(db, u"INSERT INTO kk_artikel SELECT '0000000099', nam_artikel, nam_artikel_2, "
                           u"nam_artikel_lang, anz_punkte, gueltig_ab, gueltig_bis, statt_preis, dat_loesch "
                           u"FROM kk_artikel LIMIT 1"_s);
    const QString source = rs.source();
    rs.requery();
    EXPECT_EQ(rs.source(), source);
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(moves.back(), (Move{ado::adRsnRequery, 1}));
}

// Only open, requery and close replace the rows; going away is not announced as a replacement.
TEST_F(RecordsetTest, DestroyingAnOpenRecordsetSignalsNothing)
{
    writeArticles(2);
    QObject listener;
    int aboutToBeReplaced = 0;
    int replaced = 0;
    auto rs = std::make_unique<ado::Recordset>();
    QObject::connect(rs.get(), &ado::Recordset::rowsAboutToBeReplaced, &listener,
                     [&] { ++aboutToBeReplaced; });
    QObject::connect(rs.get(), &ado::Recordset::rowsReplaced, &listener, [&] { ++replaced; });
    openArticles(*rs);
    rs->close();
    EXPECT_EQ(aboutToBeReplaced, 2);
    EXPECT_EQ(replaced, 2);

    rs->open(ado::test::articleQuery(), connect());
    ASSERT_EQ(replaced, 3);
    const auto movesBefore = moves.size();
    rs.reset();
    EXPECT_EQ(aboutToBeReplaced, 3);
    EXPECT_EQ(replaced, 3);
    EXPECT_EQ(moves.size(), movesBefore);
}

TEST_F(RecordsetTest, FailedRequeryKeepsTheRowsRead)
{
    writeArticles(3);
    ado::Recordset rs;
    openArticles(rs);
    rs.setAbsolutePosition(2);
    const auto movesBefore = moves.size();
    ado::test::execSql(db, u"DROP TABLE kk_artikel"_s);
    const ado::Error e = expectError([&] { rs.requery(); });
    EXPECT_TRUE(e.description().contains(u"no such table")) << s(e.description());
    EXPECT_TRUE(rs.isOpen());
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.absolutePosition(), 2);
    EXPECT_EQ(moves.size(), movesBefore);

    rs.activeConnection()->close();
    EXPECT_EQ(expectError([&] { rs.requery(); }).number(), ado::adErrInvalidConnection);
    EXPECT_EQ(rs.recordCount(), 3);
    rs.close();
    EXPECT_EQ(expectError([&] { rs.requery(); }).number(), ado::adErrObjectClosed);
}

TEST_F(RecordsetTest, ALockedDatabaseEndsTheReadAsAWaitThatWasTooLong)
{
    writeArticles(3);
    ado::Recordset rs;
    openArticles(rs);
    rs.activeConnection()->setCommandTimeout(1);
    {
        const auto lock = ado::test::lockExclusively(db);
        const ado::Error e = expectError([&] { rs.requery(); });
        EXPECT_TRUE(e.waitedTooLong()) << s(e.description()) << " " << s(e.sqlState());
        EXPECT_EQ(rs.recordCount(), 3) << "the rows read before stay";
    }
    rs.requery();
    EXPECT_EQ(rs.recordCount(), 3);

    ado::test::execSql(db, u"DROP TABLE kk_artikel"_s);
    EXPECT_FALSE(expectError([&] { rs.requery(); }).waitedTooLong()) << "a missing table is no wait";
}

TEST(SearchFolding, FoldsCaseUmlautsAndSharpSAsGermanSpellsThem)
{
    const auto folded = [](const char* utf8) {
        std::string out;
        ado::appendSearchFolded(utf8, out);
        return out;
    };
    EXPECT_EQ(folded("Straße"), "strasse");
    EXPECT_EQ(folded("GROẞ"), "gross");
    EXPECT_EQ(folded("MÜLLER Öl Äpfel"), "mueller oel aepfel");
    EXPECT_EQ(folded("Mu\xCC\x88ller"), "mueller"); // u with a combining diaeresis
    EXPECT_EQ(folded("\xCC\x88x"), "\xCC\x88x");    // a diaeresis on nothing stays
    EXPECT_EQ(folded("CAFÉ Ωμέγα"), "café ωμέγα");
    EXPECT_EQ(folded("a\xFF\xC3z"), "a\xFF\xC3z"); // not UTF-8: passed on, never dropped
    EXPECT_EQ(ado::searchFolded(u"STRASSE"), folded("Straße"));

    ado::FoldedMatcher matcher(u"müller");
    EXPECT_TRUE(matcher.matches("Kaffee MUELLER"));
    EXPECT_TRUE(matcher.matches("Müllerei"));
    EXPECT_FALSE(matcher.matches("Muller"));
    EXPECT_TRUE(ado::FoldedMatcher(u"").empty());
}

TEST_F(RecordsetTest, FindTextSearchesTheGivenFieldsFromTheNextRowRoundTheEnd)
{
    std::vector<Article> articles;
    for (const auto& [number, name, longName] :
         {std::tuple{u"9000000001"_s, u"Straßenbesen"_s, u"Besen für draußen"_s},
          std::tuple{u"9000000002"_s, u"Kaffee"_s, u"Röstkaffee von Müller"_s},
          std::tuple{u"9000000003"_s, u"Tee"_s, u"ÄPFEL-TEE"_s}}) {
        Article a = ado::test::validArticle(number);
        a.name = name;
        a.name2 = QVariant(); // NULL: searched as nothing
        a.longName = longName;
        articles.push_back(a);
    }
    ado::test::writeArticles(db, articles);
    ado::Recordset rs;
    openArticles(rs);
    rs.setAbsolutePosition(2);
    const auto movesBefore = moves.size();
    const int number = rs.fieldIndex(u"num_artikel");
    const int name = rs.fieldIndex(u"nam_artikel");
    const int name2 = rs.fieldIndex(u"nam_artikel_2");
    const int longName = rs.fieldIndex(u"nam_artikel_lang");
    const QList<int> fields{number, name, name2, longName};

    EXPECT_EQ(rs.findText(u"0003", fields, 1), 2);
    EXPECT_EQ(rs.findText(u"strasse", fields, 1), 0); // round the end
    EXPECT_EQ(rs.findText(u"MUELLER", fields, 1), 1); // the row itself comes last
    EXPECT_EQ(rs.findText(u"e", fields, 1), 2);
    EXPECT_EQ(rs.findText(u"e", fields, 2), 0);
    EXPECT_EQ(rs.findText(u"äpfel", fields, -1), 2);
    EXPECT_EQ(rs.findText(u"Zitrone", fields, 0), -1);
    EXPECT_EQ(rs.findText(u"draussen", {number, name}, -1), -1); // only the fields asked for
    EXPECT_EQ(rs.findText(u"draussen", {longName}, 2), 0);
    EXPECT_EQ(rs.absolutePosition(), 2);
    EXPECT_EQ(moves.size(), movesBefore) << "searching moves nothing";

    EXPECT_EQ(expectError([&] { rs.findText(u"", fields, 0); }).number(), ado::adErrInvalidArgument);
    EXPECT_EQ(expectError([&] { rs.findText(u"e", fields, 3); }).number(), ado::adErrInvalidArgument);
    EXPECT_EQ(expectError([&] { rs.findText(u"e", fields, -2); }).number(), ado::adErrInvalidArgument);
    EXPECT_EQ(expectError([&] { rs.findText(u"100", {rs.fieldIndex(u"anz_punkte")}, 0); }).number(),
              ado::adErrInvalidArgument);
    EXPECT_EQ(expectError([&] { rs.findText(u"e", {99}, 0); }).number(), ado::adErrItemNotFound);
    rs.close();
    EXPECT_EQ(expectError([&] { rs.findText(u"e", fields, -1); }).number(), ado::adErrObjectClosed);
}

TEST_F(RecordsetTest, SortOrdersByValueWithEmptiesLastAndKeepsTheRecord)
{
    std::vector<Article> articles;
    const std::vector<std::tuple<const char16_t*, QVariant, QVariant, double>> rows{
        {u"9000000001", u"banane"_s, 20, 10.5},
        {u"9000000002", u"Äpfel"_s, 3, 2.25},
        {u"9000000003", QVariant(), QVariant(), 100.0},
        {u"9000000004", u"Zwiebel"_s, 100, 9.99},
        {u"9000000005", u""_s, 3, 0.5}};
    for (const auto& [number, name, points, price] : rows) {
        Article a = ado::test::validArticle(QString::fromUtf16(number), price);
        a.name = name;
        a.points = points;
        articles.push_back(a);
    }
    ado::test::writeArticles(db, articles);
    ado::Recordset rs;
    openArticles(rs);
    const int number = rs.fieldIndex(u"num_artikel");
    const auto numbers = [&] {
        QString listed;
        for (qsizetype row = 0; row < rs.recordCount(); ++row)
            listed += rs.text(row, number).right(1);
        return s(listed);
    };
    rs.setAbsolutePosition(4); // 9000000004
    const auto movesBefore = moves.size();

    rs.sort(rs.fieldIndex(u"anz_punkte"), false);
    EXPECT_EQ(numbers(), "25143"); // 3, 3 (query order), 20, 100, NULL
    EXPECT_EQ(rs.absolutePosition(), 4);
    EXPECT_EQ(s(rs.value(number).toString()), "9000000004");
    EXPECT_EQ(moves.size(), movesBefore + 1);
    rs.sort(rs.fieldIndex(u"anz_punkte"), true);
    EXPECT_EQ(numbers(), "41253"); // NULL still last
    rs.sort(rs.fieldIndex(u"nam_artikel"), false);
    EXPECT_EQ(numbers(), "21435"); // Äpfel as aepfel, any case; NULL and empty last
    EXPECT_EQ(rs.sortField(), rs.fieldIndex(u"nam_artikel"));
    rs.sort(rs.fieldIndex(u"statt_preis"), true);
    EXPECT_EQ(numbers(), "31425");
    EXPECT_EQ(s(rs.value(number).toString()), "9000000004");
    EXPECT_EQ(rs.absolutePosition(), 3);
    EXPECT_EQ(rs.findText(u"9000", {number}, 0), 1); // positions in the shown order
    EXPECT_EQ(rs.findText(u"0003", {number}, 0), 0); // round the end of the shown order
    EXPECT_EQ(rs.findText(u"0005", {number}, -1), 4);
    EXPECT_EQ(rs.findText(u"zwiebel", {rs.fieldIndex(u"nam_artikel")}, 3), 2);
    EXPECT_EQ(rs.findText(u"0006", {number}, 2), -1);

    ado::test::execSql(db, u"DELETE FROM kk_artikel WHERE num_artikel = '9000000001'"_s);
    rs.requery();
    EXPECT_EQ(numbers(), "3425");
    EXPECT_TRUE(rs.sortDescending());
    rs.sort(-1, false);
    EXPECT_EQ(numbers(), "2345");
    EXPECT_EQ(expectError([&] { rs.sort(42, false); }).number(), ado::adErrItemNotFound);
    EXPECT_EQ(numbers(), "2345");
}

TEST_F(RecordsetTest, SortPutsPricesThatAreNoNumberAfterTheNumbers)
{
    // The driver reads "NaN" as a price like any other double, which compares as neither less nor more.
    std::vector<Article> articles;
    for (int i = 0; i < 60; ++i) {
        Article a = ado::test::validArticle(QString::number(9000000000LL + i), 100.0 - i);
        if (i % 3 == 0)
            a.price = u"NaN"_s;
        articles.push_back(a);
    }
    ado::test::writeArticles(db, articles);
    ado::Recordset rs;
    openArticles(rs);
    const int price = rs.fieldIndex(u"statt_preis");
    ASSERT_EQ(rs.fieldType(price), ado::FieldType::Double);
    rs.sort(price, false);
    std::vector<double> prices;
    for (qsizetype row = 0; row < rs.recordCount(); ++row)
        prices.push_back(rs.real(row, price));
    ASSERT_EQ(prices.size(), 60U);
    EXPECT_TRUE(std::is_sorted(prices.begin(), prices.begin() + 40));
    EXPECT_TRUE(std::all_of(prices.begin(), prices.begin() + 40, [](double p) { return !std::isnan(p); }));
    EXPECT_TRUE(std::all_of(prices.begin() + 40, prices.end(), [](double p) { return std::isnan(p); }));
}

} // namespace
