// The list as text: rows copied from the grid, and the CSV a German spreadsheet program opens.

#include "ado_test_support.h"
#include "platform/ado/ado_connection.h"
#include "platform/ado/ado_data_grid.h"
#include "platform/ado/ado_list_text.h"
#include "platform/ado/ado_recordset.h"
#include "platform/ado/ado_recordset_model.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QTableView>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;
using ado::test::Article;
using ado::test::OdbcSandbox;

namespace {

// Takes the first `room` bytes, then refuses, as a full disk does.
class FullDevice final : public QIODevice
{
public:
    explicit FullDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }
    QByteArray written;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override
    {
        const qint64 n = qMin(len, room_ - written.size());
        if (n <= 0)
            return -1;
        written.append(data, n);
        return n;
    }

private:
    qint64 room_;
};

} // namespace

class ListTextTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!OdbcSandbox::driverAvailable())
            QSKIP("SQLite ODBC driver not installed: " PLENVARO_SQLITE_ODBC_DRIVER);
    }

    void init()
    {
        const QString db = OdbcSandbox::instance().databasePath();
        Article quoted = ado::test::validArticle(u"4711000001"_s, 12.5);
        quoted.name = u"Käse; \"alt\"\nlose"_s;
        Article formula = ado::test::validArticle(u"4711000002"_s, -3.99);
        formula.name = u"=HYPERLINK(\"x\")"_s;
        formula.name2 = QVariant();
        Article tab = ado::test::validArticle(u"4711000003"_s, 1000);
        tab.name = u"Tee\tgrün"_s;
        tab.points = 1500;
        ado::test::writeArticles(db, {quoted, formula, tab});
        connection = std::make_shared<ado::Connection>();
        connection->open(QString::fromUtf16(ado::test::kConnectionString));
        rs = std::make_unique<ado::Recordset>();
        rs->open(u"select * from kk_artikel order by num_artikel"_s, connection);
    }
    void cleanup()
    {
        rs.reset();
        connection.reset();
    }

    void csvHoldsEveryRowAsShownQuotedAndGuarded()
    {
        rs->sort(rs->fieldIndex(u"num_artikel"), true); // shown newest number first
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        qsizetype progressed = 0;
        QVERIFY(ado::CsvWriter(*rs).write(out, [&](qsizetype rows) {
            progressed = rows;
            return true;
        }));
        QCOMPARE(progressed, 3);
        const QByteArray csv = out.data();
        QVERIFY(csv.startsWith("\xEF\xBB\xBFnum_artikel;nam_artikel;nam_artikel_2;"));
        QVERIFY(csv.endsWith("\r\n"));
        const QString text = QString::fromUtf8(csv.mid(3));
        QVERIFY2(text.contains(u"\r\n4711000003;Tee\tgrün;"_s), qPrintable(text));
        QVERIFY2(text.contains(u"\r\n4711000002;\"'=HYPERLINK(\"\"x\"\")\";;"_s), qPrintable(text)); // NULL empty
        QVERIFY2(text.contains(u"\r\n4711000001;\"Käse; \"\"alt\"\"\nlose\";"_s), qPrintable(text));
        QVERIFY(text.indexOf(u"4711000003"_s) < text.indexOf(u"4711000001"_s));

        // Every number and date field exactly as the grid shows it: -3,99 stays a number, no guard.
        for (qsizetype row = 0; row < rs->recordCount(); ++row) {
            for (int field = 0; field < rs->fieldCount(); ++field) {
                if (rs->fieldType(field) == ado::FieldType::Text)
                    continue;
                const QString shown = ado::displayText(*rs, row, field);
                QVERIFY2(text.contains(u';' + shown + u';') || text.contains(u';' + shown + u"\r\n"_s),
                         qPrintable(shown));
            }
        }
        QVERIFY(text.contains(u";-3,99"_s));
    }

    void aWriteTheDeviceRefusesStopsTheCsv()
    {
        FullDevice full(40);
        QVERIFY(!ado::CsvWriter(*rs).write(full));
        QCOMPARE(full.written.size(), 40);

        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QVERIFY2(!ado::CsvWriter(*rs).write(out, [](qsizetype) { return false; }), "cancelled");
    }

    void strgCCopiesTheSelectedRowsWithHeadingsNotOneCell()
    {
        ado::DataGrid grid;
        grid.resize(800, 300);
        grid.setDataSource(rs.get());
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        rs->moveFirst();
        QTableView* view = grid.view();
        const QRect third = view->visualRect(view->model()->index(2, 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, third.center());
        QCOMPARE(grid.selectedRows(), (QList<qsizetype>{0, 1, 2}));
        QApplication::clipboard()->clear();
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        const QStringList lines = QApplication::clipboard()->text().split(u'\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines.at(0).startsWith(u"num_artikel\tnam_artikel\t"_s));
        QVERIFY2(lines.at(1).startsWith(u"4711000001\tKäse; \"alt\" lose\t"_s), qPrintable(lines.at(1)));
        QVERIFY2(lines.at(3).startsWith(u"4711000003\tTee grün\t"_s), qPrintable(lines.at(3)));
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(lines.at(i).count(u'\t'), lines.at(0).count(u'\t'));
        QVERIFY(lines.at(1).contains(u"\t12,50"_s));

        rs->moveFirst(); // a move selects its row alone again
        QCOMPARE(grid.selectedRows(), QList<qsizetype>{0});
    }

private:
    std::shared_ptr<ado::Connection> connection;
    std::unique_ptr<ado::Recordset> rs;
};

QTEST_MAIN(ListTextTest)
#include "ado_list_text_test.moc"
