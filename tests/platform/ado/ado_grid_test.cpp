// The data grid and its model over a recordset read from SQLite.

#include "ado_test_support.h"
#include "platform/ado/ado_connection.h"
#include "platform/ado/ado_data_grid.h"
#include "platform/ado/ado_recordset.h"
#include "platform/ado/ado_recordset_model.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;
using ado::test::Article;
using ado::test::OdbcSandbox;

namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

class GridTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!OdbcSandbox::driverAvailable())
            GTEST_SKIP() << "SQLite ODBC driver not installed: " << PLENVARO_SQLITE_ODBC_DRIVER;
        db = OdbcSandbox::instance().databasePath();
        Article first = ado::test::validArticle(u"4711000001"_s, 12.5);
        first.validFrom = QDate::currentDate().addDays(-1);
        Article second = ado::test::validArticle(u"4711000002"_s, 3.99);
        second.name2 = QVariant();
        Article third = ado::test::validArticle(u"4711000003"_s, 1000);
        third.points = 1500;
        ado::test::writeArticles(db, {first, second, third});
        connection = std::make_shared<ado::Connection>();
        connection->open(QString::fromUtf16(ado::test::kConnectionString));
        rs.open(u"select * from kk_artikel order by num_artikel"_s, connection);
        grid.resize(800, 300);
        grid.setSelectedTextField(u"NUM_ARTIKEL"_s);
        grid.setDataSource(&rs);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }

    QAbstractItemModel* model() const { return grid.view()->model(); }
    QString cell(int row, int column) const { return model()->index(row, column).data().toString(); }
    int selectedRow() const
    {
        const QModelIndexList rows = grid.view()->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.front().row() : -1;
    }
    void click(int row, int column)
    {
        const QRect rect = grid.view()->visualRect(model()->index(row, column));
        QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QString db;
    std::shared_ptr<ado::Connection> connection;
    ado::Recordset rs;
    ado::DataGrid grid;
};

TEST_F(GridTest, ShowsFieldsAsColumnsAndValuesAsAGermanUserReadsThem)
{
    ASSERT_EQ(model()->columnCount(), 9);
    ASSERT_EQ(model()->rowCount(), 3);
    EXPECT_EQ(s(model()->headerData(0, Qt::Horizontal).toString()), "num_artikel");
    EXPECT_EQ(s(model()->headerData(7, Qt::Horizontal).toString()), "statt_preis");
    EXPECT_EQ(s(cell(0, 0)), "4711000001");
    EXPECT_EQ(s(cell(0, 5)), QDate::currentDate().addDays(-1).toString(u"dd.MM.yyyy"_s).toStdString());
    EXPECT_EQ(s(cell(0, 7)), "12,50"); // the column's decimals, German comma
    EXPECT_EQ(s(cell(1, 7)), "3,99");
    EXPECT_EQ(s(cell(2, 7)), "1000,00"); // no grouping
    EXPECT_EQ(s(cell(2, 4)), "1500");
    EXPECT_EQ(s(cell(1, 2)), ""); // NULL
    EXPECT_EQ(s(cell(0, 8)), "31.12.2099");
    EXPECT_TRUE(model()->index(0, 7).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_TRUE(model()->index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
    EXPECT_FALSE(model()->flags(model()->index(0, 0)) & Qt::ItemIsEditable);
}

TEST_F(GridTest, TimestampsShowDateAndTime)
{
    ado::test::execSql(db, u"DROP TABLE IF EXISTS d; CREATE TABLE d (ts TIMESTAMP);"
                           u"INSERT INTO d VALUES ('2026-03-11 07:05:09');"_s);
    ado::Recordset other;
    other.open(u"select ts from d"_s, connection);
    ASSERT_EQ(other.fieldType(0), ado::FieldType::DateTime);
    EXPECT_EQ(s(ado::displayText(other, 0, 0)), "11.03.2026 07:05:09");
}

TEST_F(GridTest, RecordsetMovesSelectTheRow)
{
    EXPECT_EQ(selectedRow(), 0);
    EXPECT_EQ(s(grid.selectedText()), "4711000001");
    rs.moveLast();
    EXPECT_EQ(selectedRow(), 2);
    EXPECT_EQ(s(grid.selectedText()), "4711000003");
    rs.moveNext(); // EOF: no current row
    EXPECT_EQ(selectedRow(), -1);
    EXPECT_EQ(s(grid.selectedText()), "");
    rs.moveFirst();
    EXPECT_EQ(selectedRow(), 0);
}

TEST_F(GridTest, ClickingACellMovesTheRecordsetAndNamesThatRowsArticle)
{
    QSignalSpy clicks(&grid, &ado::DataGrid::clicked);
    QSignalSpy moves(&rs, &ado::Recordset::moveComplete);
    click(1, 3); // a name column, not the article number
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(rs.absolutePosition(), 2);
    EXPECT_EQ(moves.count(), 1);
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_EQ(s(grid.selectedText()), "4711000002");

    click(1, 5); // same row again: a click, no move
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(moves.count(), 1);

    QTest::keyClick(grid.view(), Qt::Key_Down);
    EXPECT_EQ(rs.absolutePosition(), 3);
    EXPECT_EQ(clicks.count(), 2); // keys are no clicks
}

TEST_F(GridTest, ClicksBesideTheRowsAndCtrlClicksKeepTheHighlight)
{
    QSignalSpy clicks(&grid, &ado::DataGrid::clicked);
    click(1, 0);
    QWidget* viewport = grid.view()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(10, viewport->height() - 5)); // below the last row
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_EQ(rs.absolutePosition(), 2);
    EXPECT_EQ(s(grid.selectedText()), "4711000002");

    const QRect cell = grid.view()->visualRect(model()->index(1, 2));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, cell.center());
    EXPECT_EQ(clicks.count(), 3);
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_EQ(rs.absolutePosition(), 2);
}

TEST_F(GridTest, TabLeavesTheGridWithoutMovingTheRecord)
{
    QWidget window;
    grid.setParent(&window);
    auto* after = new QPushButton(u"next"_s, &window);
    after->move(0, 310);
    window.resize(800, 350);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    grid.view()->setFocus();
    QTest::keyClick(grid.view(), Qt::Key_Tab);
    EXPECT_TRUE(after->hasFocus());
    EXPECT_EQ(rs.absolutePosition(), 1);
    EXPECT_EQ(grid.view()->currentIndex().column(), 0);
    grid.setParent(nullptr);
}

TEST_F(GridTest, SelectedTextFallsBackToTheCurrentCell)
{
    ado::Recordset other;
    other.open(u"select nam_artikel, anz_punkte from kk_artikel order by num_artikel"_s, connection);
    grid.setDataSource(&other);
    click(2, 1);
    EXPECT_EQ(s(grid.selectedText()), "1500");
    click(0, 0);
    EXPECT_EQ(s(grid.selectedText()), "Artikel 4711000001");
}

TEST_F(GridTest, DetachEmptiesAndReattachRebuilds)
{
    grid.setDataSource(nullptr);
    EXPECT_EQ(model()->rowCount(), 0);
    EXPECT_EQ(model()->columnCount(), 0);
    EXPECT_EQ(s(grid.selectedText()), "");
    QSignalSpy clicks(&grid, &ado::DataGrid::clicked);
    QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(clicks.count(), 1); // a click into the grid, with nothing selected

    // A detached grid does not follow the recordset.
    rs.moveLast();
    ado::test::execSql(db, u"INSERT INTO kk_artikel (num_artikel) VALUES ('4711000004')"_s);
    rs.requery();
    grid.setDataSource(&rs);
    EXPECT_EQ(model()->rowCount(), 4);
    EXPECT_EQ(model()->columnCount(), 9);
    EXPECT_EQ(selectedRow(), 0);
    EXPECT_EQ(s(cell(3, 0)), "4711000004");
}

TEST_F(GridTest, FollowsRequeryAndCloseWhileAttached)
{
    ado::test::execSql(db, u"DELETE FROM kk_artikel WHERE num_artikel > '4711000001'"_s);
    rs.moveLast();
    rs.requery();
    EXPECT_EQ(model()->rowCount(), 1);
    EXPECT_EQ(selectedRow(), 0);
    rs.close();
    EXPECT_EQ(model()->rowCount(), 0);
    EXPECT_EQ(s(grid.selectedText()), "");
}

TEST(GridLifetime, RecordsetDestroyedWhileAttachedLeavesAnEmptyGrid)
{
    if (!OdbcSandbox::driverAvailable())
        GTEST_SKIP() << "SQLite ODBC driver not installed";
    ado::test::writeArticles(OdbcSandbox::instance().databasePath(), {ado::test::validArticle(u"1"_s)});
    ado::DataGrid grid;
    {
        auto connection = std::make_shared<ado::Connection>();
        connection->open(QString::fromUtf16(ado::test::kConnectionString));
        ado::Recordset rs;
        rs.open(ado::test::articleQuery(), connection);
        grid.setDataSource(&rs);
        ASSERT_EQ(grid.view()->model()->rowCount(), 1);
    }
    EXPECT_EQ(grid.dataSource(), nullptr);
    EXPECT_EQ(grid.view()->model()->rowCount(), 0);
    EXPECT_EQ(s(grid.selectedText()), "");
    grid.resize(400, 200);
    EXPECT_FALSE(grid.grab().isNull());
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
