// The data grid and its model over a recordset read from SQLite.

#include "ado_test_support.h"
#include "platform/ado/ado_connection.h"
#include "platform/ado/ado_data_grid.h"
#include "platform/ado/ado_recordset.h"
#include "platform/ado/ado_recordset_model.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;
using ado::test::Article;
using ado::test::OdbcSandbox;

class GridTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!OdbcSandbox::driverAvailable())
            QSKIP("SQLite ODBC driver not installed: " PLENVARO_SQLITE_ODBC_DRIVER);
    }

    // Three articles, read in order and shown in an 800 x 300 grid named by the article number.
    void init()
    {
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
        rs = std::make_unique<ado::Recordset>();
        rs->open(u"select * from kk_artikel order by num_artikel"_s, connection);
        grid = std::make_unique<ado::DataGrid>();
        grid->resize(800, 300);
        grid->setSelectedTextField(u"NUM_ARTIKEL"_s);
        grid->setDataSource(rs.get());
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
    }

    void cleanup()
    {
        grid.reset();
        rs.reset();
        connection.reset();
    }

    void showsFieldsAsColumnsAndValuesAsAGermanUserReadsThem()
    {
        QCOMPARE(model()->columnCount(), 9);
        QCOMPARE(model()->rowCount(), 3);
        QCOMPARE(model()->headerData(0, Qt::Horizontal).toString(), u"num_artikel"_s);
        QCOMPARE(model()->headerData(7, Qt::Horizontal).toString(), u"statt_preis"_s);
        QCOMPARE(cell(0, 0), u"4711000001"_s);
        QCOMPARE(cell(0, 5), QDate::currentDate().addDays(-1).toString(u"dd.MM.yyyy"_s));
        QCOMPARE(cell(0, 7), u"12,50"_s); // the column's decimals, German comma
        QCOMPARE(cell(1, 7), u"3,99"_s);
        QCOMPARE(cell(2, 7), u"1000,00"_s); // no grouping
        QCOMPARE(cell(2, 4), u"1500"_s);
        QCOMPARE(cell(1, 2), QString()); // NULL
        QCOMPARE(cell(0, 8), u"31.12.2099"_s);
        QVERIFY(model()->index(0, 7).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
        QVERIFY(model()->index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
        QVERIFY(!(model()->flags(model()->index(0, 0)) & Qt::ItemIsEditable));
    }

    void timestampsShowDateAndTime()
    {
        ado::test::execSql(db, u"DROP TABLE IF EXISTS d; CREATE TABLE d (ts TIMESTAMP);"
                               u"INSERT INTO d VALUES ('2026-03-11 07:05:09');"_s);
        ado::Recordset other;
        other.open(u"select ts from d"_s, connection);
        QCOMPARE(other.fieldType(0), ado::FieldType::DateTime);
        QCOMPARE(ado::displayText(other, 0, 0), u"11.03.2026 07:05:09"_s);
    }

    void recordsetMovesSelectTheRow()
    {
        QCOMPARE(selectedRow(), 0);
        QCOMPARE(grid->selectedText(), u"4711000001"_s);
        rs->moveLast();
        QCOMPARE(selectedRow(), 2);
        QCOMPARE(grid->selectedText(), u"4711000003"_s);
        rs->moveNext(); // EOF: no current row
        QCOMPARE(selectedRow(), -1);
        QCOMPARE(grid->selectedText(), QString());
        rs->moveFirst();
        QCOMPARE(selectedRow(), 0);
    }

    void clickingACellMovesTheRecordsetAndNamesThatRowsArticle()
    {
        QSignalSpy clicks(grid.get(), &ado::DataGrid::clicked);
        QSignalSpy moves(rs.get(), &ado::Recordset::moveComplete);
        click(1, 3); // a name column, not the article number
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(rs->absolutePosition(), 2);
        QCOMPARE(moves.count(), 1);
        QCOMPARE(selectedRow(), 1);
        QCOMPARE(grid->selectedText(), u"4711000002"_s);

        click(1, 5); // same row again: a click, no move
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(moves.count(), 1);

        QTest::keyClick(grid->view(), Qt::Key_Down);
        QCOMPARE(rs->absolutePosition(), 3);
        QCOMPARE(clicks.count(), 2); // keys are no clicks
    }

    void clicksBesideTheRowsAndCtrlClicksKeepTheHighlight()
    {
        QSignalSpy clicks(grid.get(), &ado::DataGrid::clicked);
        click(1, 0);
        QWidget* viewport = grid->view()->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {},
                          QPoint(10, viewport->height() - 5)); // below the last row
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(selectedRow(), 1);
        QCOMPARE(rs->absolutePosition(), 2);
        QCOMPARE(grid->selectedText(), u"4711000002"_s);

        const QRect rect = grid->view()->visualRect(model()->index(1, 2));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, rect.center());
        QCOMPARE(clicks.count(), 3);
        QCOMPARE(selectedRow(), 1);
        QCOMPARE(rs->absolutePosition(), 2);
    }

    void tabLeavesTheGridWithoutMovingTheRecord()
    {
        QWidget window;
        grid->setParent(&window);
        // Back to a top-level window even when a check fails, so the window does not delete the grid.
        const auto release = qScopeGuard([this] { grid->setParent(nullptr); });
        auto* after = new QPushButton(u"next"_s, &window);
        after->move(0, 310);
        window.resize(800, 350);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        grid->view()->setFocus();
        QTest::keyClick(grid->view(), Qt::Key_Tab);
        QVERIFY(after->hasFocus());
        QCOMPARE(rs->absolutePosition(), 1);
        QCOMPARE(grid->view()->currentIndex().column(), 0);
    }

    void selectedTextFallsBackToTheCurrentCell()
    {
        ado::Recordset other;
        other.open(u"select nam_artikel, anz_punkte from kk_artikel order by num_artikel"_s, connection);
        grid->setDataSource(&other);
        click(2, 1);
        QCOMPARE(grid->selectedText(), u"1500"_s);
        click(0, 0);
        QCOMPARE(grid->selectedText(), u"Artikel 4711000001"_s);
    }

    void detachEmptiesAndReattachRebuilds()
    {
        grid->setDataSource(nullptr);
        QCOMPARE(model()->rowCount(), 0);
        QCOMPARE(model()->columnCount(), 0);
        QCOMPARE(grid->selectedText(), QString());
        QSignalSpy clicks(grid.get(), &ado::DataGrid::clicked);
        QTest::mouseClick(grid->view()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(clicks.count(), 1); // a click into the grid, with nothing selected

        // A detached grid does not follow the recordset.
        rs->moveLast();
        ado::test::execSql(db, u"INSERT INTO kk_artikel (num_artikel) VALUES ('4711000004')"_s);
        rs->requery();
        grid->setDataSource(rs.get());
        QCOMPARE(model()->rowCount(), 4);
        QCOMPARE(model()->columnCount(), 9);
        QCOMPARE(selectedRow(), 0);
        QCOMPARE(cell(3, 0), u"4711000004"_s);
    }

    void followsRequeryAndCloseWhileAttached()
    {
        ado::test::execSql(db, u"DELETE FROM kk_artikel WHERE num_artikel > '4711000001'"_s);
        rs->moveLast();
        rs->requery();
        QCOMPARE(model()->rowCount(), 1);
        QCOMPARE(selectedRow(), 0);
        rs->close();
        QCOMPARE(model()->rowCount(), 0);
        QCOMPARE(grid->selectedText(), QString());
    }

    void aWidthTheUserChoseStaysThroughRequeryAndSort()
    {
        QHeaderView* header = grid->view()->horizontalHeader();
        const int fitted = header->sectionSize(2);
        header->resizeSection(1, 333);
        rs->requery();
        QCOMPARE(header->sectionSize(1), 333);
        rs->sort(0, true);
        QCOMPARE(header->sectionSize(1), 333);
        QCOMPARE(header->sectionSize(2), fitted); // the others are fitted as before
    }

    // Its own grid, never shown, and its own recordset; the ones init() made stay as they are.
    void recordsetDestroyedWhileAttachedLeavesAnEmptyGrid()
    {
        ado::test::writeArticles(db, {ado::test::validArticle(u"1"_s)});
        ado::DataGrid ownGrid;
        {
            auto ownConnection = std::make_shared<ado::Connection>();
            ownConnection->open(QString::fromUtf16(ado::test::kConnectionString));
            ado::Recordset ownRecordset;
            ownRecordset.open(ado::test::articleQuery(), ownConnection);
            ownGrid.setDataSource(&ownRecordset);
            QCOMPARE(ownGrid.view()->model()->rowCount(), 1);
        }
        QCOMPARE(ownGrid.dataSource(), nullptr);
        QCOMPARE(ownGrid.view()->model()->rowCount(), 0);
        // The view must have been told: it would otherwise keep the old header sections.
        QCOMPARE(ownGrid.view()->horizontalHeader()->count(), 0);
        QCOMPARE(ownGrid.view()->verticalHeader()->count(), 0);
        QCOMPARE(ownGrid.selectedText(), QString());
        ownGrid.resize(400, 200);
        QVERIFY(!ownGrid.grab().isNull());
    }

    void anEarlierRecordsetDyingLeavesTheCurrentOneShown()
    {
        {
            ado::Recordset earlier;
            earlier.open(u"select num_artikel from kk_artikel"_s, connection);
            grid->setDataSource(&earlier);
            grid->setDataSource(rs.get());
        }
        QCOMPARE(grid->dataSource(), rs.get());
        QCOMPARE(model()->rowCount(), 3);
        QCOMPARE(grid->view()->horizontalHeader()->count(), 9);
    }

private:
    QAbstractItemModel* model() const { return grid->view()->model(); }
    QString cell(int row, int column) const { return model()->index(row, column).data().toString(); }
    int selectedRow() const
    {
        const QModelIndexList rows = grid->view()->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.front().row() : -1;
    }
    void click(int row, int column)
    {
        // Fonts differ by platform: a far column may lie beyond the view's right edge until scrolled to.
        grid->view()->scrollTo(model()->index(row, column));
        const QRect rect = grid->view()->visualRect(model()->index(row, column));
        QTest::mouseClick(grid->view()->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QString db;
    std::shared_ptr<ado::Connection> connection;
    std::unique_ptr<ado::Recordset> rs;
    std::unique_ptr<ado::DataGrid> grid;
};

QTEST_MAIN(GridTest)
#include "ado_grid_test.moc"
