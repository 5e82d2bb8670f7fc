#include "ado_test_support.h"
#include "app/fm_start.h"
#include "dialogs/fm_pass.h"
#include "dialogs/fm_server.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_programmverlauf.h"
#include "dialogs/frm_suchen.h"
#include "dialogs/program_windows.h"
#include "modal_driver.h"
#include "platform/forms/beep.h"
#include "platform/forms/end_program.h"
#include "platform/forms/error_handling.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/test_reset.h"
#include "platform/forms/twips.h"
#include "platform/winreg/registry_api.h"
#include "server_process.h"
#include "session/session_settings.h"
#include "session/settings_store.h"
#include "session/text_routines.h"
#include "suites.h"

#include <QDate>
#include <QHeaderView>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <optional>

using namespace Qt::Literals::StringLiterals;
using ado::test::Article;
using forms::Button;
using forms::MessageBoxes::queueAnswer;
using testsupport::child;

namespace {

QString today()
{
    return QDate::currentDate().toString(u"yyMMdd"_s);
}

Article article(const QString& number)
{
    return ado::test::validArticle(number);
}

Article named(const QString& number, const QString& name, const QString& name2, const QString& longName)
{
    Article a = ado::test::validArticle(number);
    a.name = name;
    a.name2 = name2;
    a.longName = longName;
    return a;
}

QString followSetting(const QString& section)
{
    return session::GetSetting(u"Cache Login"_s, section, u"LagerstandMitfuehren"_s);
}

void storeSetting(const char* key, const QString& value)
{
    session::SaveSetting(u"Cache Login"_s, u"Login"_s, QString::fromLatin1(key), value);
}

// Made as the program makes it: held with the program's other windows.
app::FMStart& adopt(const QString& commandLine)
{
    auto owned = std::make_unique<app::FMStart>(commandLine);
    app::FMStart& window = *owned;
    dialogs::windows::adoptMainWindow(std::move(owned));
    return window;
}

// Everything one main window needs: articles, a server (started by init()), a settings store, fresh windows.
class Environment
{
public:
    Environment()
    {
        ado::test::OdbcSandbox::instance(); // the private ODBC setup, before any ODBC call
        forms::resetForTests();
        forms::MessageBoxes::setFailIfUnanswered(true);
        forms::setEndProgramHandler([](int code) { throw forms::ProgramEnded(code); });
        session::resetSession();
        dialogs::windows::destroyAll();
        dialogs::windows::install();
        qputenv("PLENVARO_REGISTRY", store.filePath(u"registry.sqlite3"_s).toUtf8());
        plenvaroRegistryReset();
        setArticles({article(u"9000123456"_s), article(u"9000654321"_s), article(u"9000777777"_s)});
    }

    ~Environment()
    {
        dialogs::windows::destroyAll();
        session::resetSession();
        plenvaroRegistryReset();
        forms::resetForTests();
    }

    void setArticles(const std::vector<Article>& articles)
    {
        ado::test::writeArticles(ado::test::OdbcSandbox::instance().databasePath(), articles);
    }

    QString credentials() const { return u"1 0 K17 geheim 127.0.0.1 %1"_s.arg(server.port()); }

    app::FMStart& start(const QString& commandLine)
    {
        window = &adopt(commandLine);
        window->Form_Load();
        window->show();
        return *window;
    }
    app::FMStart& start() { return start(credentials()); }

    QString status() const { return child<QLabel>(*window, u"lblStatus"_s).text(); }
    QString stock() const { return child<QLineEdit>(*window, u"txt_Lagerstand"_s).text(); }
    QString todays() const { return child<QLineEdit>(*window, u"txt_LagerHeute"_s).text(); }

    void clickRow(int row)
    {
        QTableView* view = window->grdDataGrid().view();
        const QRect cell = view->visualRect(view->model()->index(row, 2));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    }

    // Types the text into the find dialog and presses Enter, as the user searches.
    void search(const QString& text)
    {
        frmSuchen& dialog = dialogs::windows::suchen();
        dialog.txtSuchen().setText(text);
        QTest::keyClick(&dialog.txtSuchen(), Qt::Key_Return);
    }
    QString found() const { return window->grdDataGrid().selectedText(); }
    qsizetype lookups() const { return server.logCount(u"open VD.ArtLagerFilInfo"_s); }

    QTemporaryDir store;
    testsupport::ServerProcess server;
    app::FMStart* window = nullptr; // held by dialogs::windows
};

// This test binary run again as one of the child scenarios below.
struct ChildRun
{
    bool finished = false;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    int exitCode = -1;
    QString out;
    QString err;

    // What a failed check shows: everything the child said.
    QString report() const { return u"exit code %1\nstdout:\n%2\nstderr:\n%3"_s.arg(exitCode).arg(out, err); }
};

ChildRun runChild(const QString& scenario, QProcessEnvironment environment)
{
    environment.insert(u"PLENVARO_APP_TEST_CHILD"_s, scenario);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationFilePath(), {});
    ChildRun run;
    run.finished = process.waitForFinished(30000);
    run.exitStatus = process.exitStatus();
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

class MainWindowTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        env.emplace();
        QVERIFY2(env->server.start(testsupport::ServerProcess::standardData()),
                 qPrintable(env->server.error()));
    }
    void cleanup() { env.reset(); }

    void startsAfterARejectedAttemptWithTheCaptionAndTheList()
    {
        storeSetting("Server", u"127.0.0.1"_s);
        storeSetting("Port", QString::number(env->server.port()));
        storeSetting("Name", u"K17"_s);
        storeSetting("Passwort", session::ScramblePassword(u"falsch"_s));
        testsupport::ModalDriver driver;
        driver.on(u"FMPass"_s, [](QWidget& pass, int) {
            child<QLineEdit>(pass, u"BPASSWORT"_s).setText(u"geheim"_s);
            child<QPushButton>(pass, u"BUSpeich"_s).click();
        });
        queueAnswer(Button::Ok); // the rejection

        app::FMStart& fm = env->start(QString());
        QCOMPARE(driver.showings(u"FMPass"_s), 1);
        QCOMPARE(fm.windowTitle(),
                 u"VELDOR Muster              Firma: 1     Filiale: 0     Benutzer: K17|Maier"_s);
        QCOMPARE(fm.adoPrimaryRS().recordCount(), 3);
        QCOMPARE(fm.grdDataGrid().view()->model()->columnCount(), 8);
        QCOMPARE(fm.grdDataGrid().view()->model()->headerData(0, Qt::Horizontal).toString(),
                 u"num_artikel"_s);
        QCOMPARE(env->status(), u"Record: 1"_s);
        QCOMPARE(env->stock(), u"Text1"_s);
        QCOMPARE(env->todays(), u"Text2"_s);
        QVERIFY(!session::Session().LoginServerError);
    }

    void listsTheArticlesValidToday()
    {
        const QDate day = QDate::currentDate();
        Article noDeletion = article(u"9000000001"_s);
        noDeletion.deleted = QVariant();
        Article expired = article(u"9000000002"_s);
        expired.validTo = day.addDays(-1).toString(Qt::ISODate);
        Article tomorrow = article(u"9000000003"_s);
        tomorrow.validFrom = day.addDays(1).toString(Qt::ISODate);
        Article fromToday = article(u"9000000004"_s);
        fromToday.validFrom = day.toString(Qt::ISODate);
        Article untilToday = article(u"9000000005"_s);
        untilToday.validTo = day.toString(Qt::ISODate);
        Article deletedToday = article(u"9000000006"_s);
        deletedToday.deleted = day.toString(Qt::ISODate);
        env->setArticles({noDeletion, expired, tomorrow, fromToday, untilToday, deletedToday});

        app::FMStart& fm = env->start();
        QStringList listed;
        for (qsizetype row = 0; row < fm.adoPrimaryRS().recordCount(); ++row)
            listed << fm.adoPrimaryRS().text(row, 0);
        QCOMPARE(listed, (QStringList{u"9000000004"_s, u"9000000005"_s, u"9000000006"_s}));
    }

    void navigatesWithStatusAndBeeps()
    {
        app::FMStart& fm = env->start();
        fm.cmdLast_Click();
        QCOMPARE(env->status(), u"Record: 3"_s);
        fm.cmdNext_Click();
        QCOMPARE(forms::beepCount(), 1);
        QCOMPARE(env->status(), u"Record: 3"_s);
        fm.cmdFirst_Click();
        QCOMPARE(env->status(), u"Record: 1"_s);
        fm.cmdPrevious_Click();
        QCOMPARE(forms::beepCount(), 2);
        QCOMPARE(env->status(), u"Record: 1"_s);
        fm.cmdNext_Click();
        QCOMPARE(env->status(), u"Record: 2"_s);
        QCOMPARE(fm.grdDataGrid().view()->currentIndex().row(), 1); // the grid follows the recordset
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }

    void navigatesOneAndNoRecords()
    {
        env->setArticles({article(u"9000123456"_s)});
        app::FMStart& fm = env->start();
        fm.cmdNext_Click();
        fm.cmdPrevious_Click();
        QCOMPARE(forms::beepCount(), 2);
        QCOMPARE(env->status(), u"Record: 1"_s);

        env->setArticles({});
        fm.cmdRefresh_Click();
        QCOMPARE(fm.adoPrimaryRS().recordCount(), 0);
        forms::resetBeepCount();
        fm.cmdNext_Click();
        fm.cmdPrevious_Click();
        QCOMPARE(forms::beepCount(), 0);
        QVERIFY2(forms::MessageBoxes::log().isEmpty(), "Next and Previous do nothing on an empty list");
        queueAnswer(Button::Ok);
        queueAnswer(Button::Ok);
        fm.cmdFirst_Click();
        fm.cmdLast_Click();
        const auto shown = forms::MessageBoxes::log();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown.at(0).text.contains(u"current record"_s), qPrintable(shown.at(0).text));
        QCOMPARE(shown.at(0).title, u"Plenvaro"_s);
        QCOMPARE(shown.at(0).buttons, forms::Buttons::OkOnly);
    }

    void rereadRunsTheSameQueryAgain()
    {
        app::FMStart& fm = env->start();
        env->setArticles({article(u"9000123456"_s), article(u"9000654321"_s), article(u"9000777777"_s),
                          article(u"9000111111"_s)});
        fm.cmdRefresh_Click();
        QCOMPARE(fm.adoPrimaryRS().recordCount(), 4);
        QCOMPARE(fm.grdDataGrid().view()->model()->rowCount(), 4);
        QCOMPARE(env->status(), u"Record: 1"_s);
    }

    void aClickShowsTheStockFromTheServer()
    {
        env->start();
        env->clickRow(0);
        QCOMPARE(env->stock(), u"42"_s);
        QCOMPARE(env->todays(), u"7"_s);
        QVERIFY(env->server.waitForLog(u"xecute S P0=$P(^TOVI(1,3,1,1%1,123456),\"'\",1)\n"_s.arg(today())));
        QVERIFY(env->server.log().contains(u"open VD.ArtLagerFilInfo 1||123456||0"_s));

        env->clickRow(2); // a stock record, but no figure for today
        QCOMPARE(env->stock(), u"5"_s);
        QCOMPARE(env->todays(), QString());
        QVERIFY2(forms::MessageBoxes::log().isEmpty(), "errors of the lookup are silent");
        QCOMPARE(env->status(), u"Record: 3"_s);

        // The log says what each lookup found, and why a figure is missing.
        auto* list = dialogs::windows::programmverlauf().findChild<QTreeWidget*>(u"Verlauf"_s);
        QVERIFY(list != nullptr);
        QVERIFY(list->topLevelItemCount() >= 3);
        const QTreeWidgetItem* newest = list->topLevelItem(0);
        const int part = frmProgrammverlauf::PartColumn;
        const int parameter = frmProgrammverlauf::ParameterColumn;
        QCOMPARE(newest->text(part), u"Lagerstand"_s);
        QVERIFY2(newest->text(parameter).startsWith(u"Artikel 777777: Lagerstand 5, heute ("_s),
                 qPrintable(newest->text(parameter)));
        QCOMPARE(list->topLevelItem(1)->text(parameter), u"Artikel 123456: Lagerstand 42, heute 7"_s);
        QCOMPARE(list->topLevelItem(2)->text(part), u"Artikelliste"_s);
        QVERIFY(list->topLevelItem(2)->text(parameter).startsWith(u"3 Artikel in "_s));
    }

    void theStockBoxesEmptyWheneverTheRecordMovesWithoutALookup()
    {
        app::FMStart& window = env->start();
        const auto lookedUp = [&] {
            env->clickRow(0);
            return env->stock() == u"42"_s && env->todays() == u"7"_s;
        };
        const auto empty = [&] { return env->stock().isEmpty() && env->todays().isEmpty(); };
        QVERIFY(lookedUp());
        window.cmdNext_Click();
        QVERIFY2(empty(), "a navigation button");
        QVERIFY(lookedUp());
        QTest::keyClick(window.grdDataGrid().view(), Qt::Key_Down);
        QVERIFY2(empty(), "an arrow key");
        QVERIFY(lookedUp());
        QVERIFY(window.FindArticle(u"654321"_s));
        QVERIFY2(empty(), "a search");
        QVERIFY(lookedUp());
        window.adoPrimaryRS().sort(window.adoPrimaryRS().fieldIndex(u"num_artikel"_s), true);
        QVERIFY2(empty(), "a sort");
        window.adoPrimaryRS().sort(-1, false);
        QVERIFY(lookedUp());
        window.cmdRefresh_Click();
        QVERIFY2(empty(), "a re-read");
    }

    void theFindDialogMovesOffTheRowItFound()
    {
        app::FMStart& window = env->start();
        window.mSuchen_Click();
        frmSuchen& dialog = dialogs::windows::suchen();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTableView* view = window.grdDataGrid().view();
        const auto rowOnScreen = [view](int row) {
            const QRect cell = view->visualRect(view->model()->index(row, 0));
            return QRect(view->viewport()->mapToGlobal(QPoint(0, cell.top())),
                         QSize(view->viewport()->width(), cell.height()));
        };
        // Put it where the row it will find is.
        dialog.move(rowOnScreen(2).topLeft());
        QTRY_VERIFY(dialog.frameGeometry().intersects(rowOnScreen(2)));
        env->search(u"777777"_s);
        QCOMPARE(window.adoPrimaryRS().absolutePosition(), 3);
        QTRY_VERIFY2(!dialog.frameGeometry().intersects(rowOnScreen(2)),
                     qPrintable(u"dialog %1,%2 %3x%4"_s.arg(dialog.x())
                                    .arg(dialog.y())
                                    .arg(dialog.width())
                                    .arg(dialog.height())));
    }

    void theWindowKeepsItsControlsUsableAndFitsTheScreen()
    {
        app::FMStart& window = env->start();
        const QRect area = window.screen()->availableGeometry();
        QVERIFY(window.width() <= area.width() && window.height() <= area.height());
        window.resize(300, 200);
        QTRY_VERIFY(window.width() >= window.minimumWidth());
        const auto& today = child<QLineEdit>(window, u"txt_LagerHeute"_s);
        const QPoint corner = today.mapTo(&window, QPoint(today.width(), today.height()));
        QVERIFY2(corner.x() <= window.width() && corner.y() <= window.height(),
                 qPrintable(u"stock box ends at %1,%2 in a window of %3x%4"_s.arg(corner.x())
                                .arg(corner.y())
                                .arg(window.width())
                                .arg(window.height())));
        QVERIFY(window.grdDataGrid().height() > 0);
    }

    void shortOrNoSelectedTextLooksUpNothingOrFailsSilently()
    {
        env->setArticles({article(u"9000"_s)});
        app::FMStart& fm = env->start();
        env->clickRow(0);
        QCOMPARE(env->stock(), QString());
        QCOMPARE(env->todays(), QString());
        QVERIFY(env->server.waitForLog(u"open VD.ArtLagerFilInfo 1||||0"_s));
        QVERIFY(forms::MessageBoxes::log().isEmpty());

        env->setArticles({});
        fm.cmdRefresh_Click();
        child<QLineEdit>(fm, u"txt_Lagerstand"_s).setText(u"alt"_s);
        const qsizetype opened = env->server.logCount(u"open VD.ArtLagerFilInfo"_s);
        fm.grdDataGrid_Click();
        QCOMPARE(env->stock(), QString()); // the boxes are emptied
        QTest::qWait(50);
        QCOMPARE(env->server.logCount(u"open VD.ArtLagerFilInfo"_s), opened); // and nothing is asked
    }

    void aClickAfterTheIdleDisconnectReconnects()
    {
        env->start();
        session::FMServer().Lock().setInterval(200);
        QTRY_VERIFY_WITH_TIMEOUT(!session::FMServer().Lock().isActive(), 5000);
        QVERIFY(env->server.waitForLog(u"closed (licences in use 0 of 5)"_s));
        env->clickRow(1);
        QCOMPARE(env->stock(), u"0"_s);
        QCOMPARE(env->todays(), u"0"_s);
        QVERIFY(env->server.waitForLogCount(u"opened from"_s, 2));
        QVERIFY2(env->server.waitForLogCount(u"xecute D ^%XTT"_s, 2), "the context is set again");
    }

    void theFindDialogFindsByNumberAndNamesAsGermanReadsThem()
    {
        env->setArticles({named(u"9000123456"_s, u"Straßenbesen"_s, u"Zusatz"_s, u"Besen für draußen"_s),
                          named(u"9000654321"_s, u"Kaffee"_s, u"Müller"_s, u"Röstkaffee"_s),
                          named(u"9000777777"_s, u"Tee"_s, u"Zusatz"_s, u"ÄPFEL-TEE MIT ZIMT"_s)});
        app::FMStart& fm = env->start();
        QVERIFY(dialogs::windows::existingSuchen() == nullptr);
        fm.findChild<QAction*>(u"mSuchen"_s)->trigger();
        frmSuchen& dialog = dialogs::windows::suchen();
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.windowTitle(), u"Suchen"_s);
        QVERIFY(dialog.cmdWeitersuchen().isDefault());

        env->search(u"654321"_s); // part of the number
        QCOMPARE(env->status(), u"Record: 2"_s);
        QCOMPARE(fm.grdDataGrid().view()->currentIndex().row(), 1); // the grid follows, as after any move
        env->search(u"MÜLLER"_s); // the second name, any case: the current record is searched last
        QCOMPARE(env->status(), u"Record: 2"_s);
        env->search(u"mueller"_s);
        QCOMPARE(env->found(), u"9000654321"_s);
        env->search(u"strasse"_s); // from record 2 on, round past the end
        QCOMPARE(env->found(), u"9000123456"_s);
        env->search(u"DRAUSSEN"_s); // the long name
        QCOMPARE(env->found(), u"9000123456"_s);
        env->search(u"äpfel-tee"_s);
        QCOMPARE(env->found(), u"9000777777"_s);
        env->search(u"kaffee"_s); // name and long name of the same record: found once, then on
        QCOMPARE(env->found(), u"9000654321"_s);

        // From the current record on: "e" is in every record, so each search moves one on, round the end.
        env->search(u"e"_s);
        QCOMPARE(env->status(), u"Record: 3"_s);
        child<QPushButton>(dialog, u"cmdWeitersuchen"_s).click();
        QCOMPARE(env->status(), u"Record: 1"_s);
        fm.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&fm));
        QTest::keyClick(fm.grdDataGrid().view(), Qt::Key_F3); // again, from the main window
        QCOMPARE(env->status(), u"Record: 2"_s);
        QCOMPARE(forms::beepCount(), 0);
        QVERIFY(dialog.lblMeldung().text().isEmpty());
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }

    void theFindDialogSaysWhenNothingIsFoundAndEscapeClosesOnlyIt()
    {
        app::FMStart& fm = env->start();
        fm.mSuchen_Click();
        frmSuchen& dialog = dialogs::windows::suchen();
        env->search(u"654321"_s);
        QCOMPARE(env->status(), u"Record: 2"_s);

        env->search(u"Zitrone"_s);
        QCOMPARE(forms::beepCount(), 1);
        QCOMPARE(dialog.lblMeldung().text(), u"Kein Artikel gefunden."_s);
        QCOMPARE(env->status(), u"Record: 2"_s);
        QCOMPARE(env->found(), u"9000654321"_s);
        QTest::keyClicks(&dialog.txtSuchen(), u"x"_s); // a new text: the old outcome goes
        QVERIFY(dialog.lblMeldung().text().isEmpty());

        env->search(u"   "_s); // nothing to look for is said, not searched
        QCOMPARE(dialog.lblMeldung().text(), u"Bitte einen Suchbegriff eingeben."_s);
        QCOMPARE(env->status(), u"Record: 2"_s);
        QCOMPARE(forms::beepCount(), 1);

        dialog.txtSuchen().setText(u"777777"_s);
        QTest::keyClick(&dialog.txtSuchen(), Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QVERIFY(fm.isVisible());
        QVERIFY(forms::isLoaded(&fm));
        QCOMPARE(env->server.logCount(u"closed (licences"_s), 0);
        QCOMPARE(env->status(), u"Record: 2"_s);

        // F3 with the dialog closed searches on with its text; Ctrl+F opens it again, the text kept.
        fm.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&fm));
        QTest::keyClick(fm.grdDataGrid().view(), Qt::Key_F3);
        QCOMPARE(env->status(), u"Record: 3"_s);
        QTest::keyClick(fm.grdDataGrid().view(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.txtSuchen().text(), u"777777"_s);
        child<QPushButton>(dialog, u"cmdSchließen"_s).click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(fm.isVisible());

        env->setArticles({});
        fm.cmdRefresh_Click();
        fm.mSuchen_Click();
        env->search(u"777777"_s);
        QCOMPARE(dialog.lblMeldung().text(), u"Kein Artikel gefunden."_s);
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }

    void theStockFollowsTheRowOnlyWhenAskedAndOnceTheRecordStays()
    {
        app::FMStart& fm = env->start();
        QTableView* grid = fm.grdDataGrid().view();
        QVERIFY(!fm.mLagerstandMitfuehren().isChecked());
        QTest::keyClick(grid, Qt::Key_Down);
        fm.cmdNext_Click();
        QTest::qWait(400);
        QCOMPARE(env->lookups(), 0);
        QCOMPARE(env->stock(), u"Text1"_s); // nor emptied

        fm.cmdFirst_Click();
        fm.mLagerstandMitfuehren().trigger();
        QVERIFY(fm.mLagerstandMitfuehren().isChecked());
        QCOMPARE(followSetting(u"Plenvaro"_s), u"1"_s);
        QCOMPARE(followSetting(u"Login"_s), QString()); // not among the login keys
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Down}) {
            QTest::keyClick(grid, key);
            QTest::qWait(50);
        }
        QCOMPARE(env->lookups(), 0);
        QTRY_COMPARE(env->stock(), u"5"_s);
        QVERIFY(env->server.waitForLog(u"open VD.ArtLagerFilInfo 1||777777||0"_s));
        QTest::qWait(400);
        QCOMPARE(env->lookups(), 1);
        QCOMPARE(env->status(), u"Record: 3"_s);

        fm.cmdPrevious_Click(); // a button, as a key
        QTRY_COMPARE(env->stock(), u"0"_s);
        QVERIFY(env->server.waitForLogCount(u"open VD.ArtLagerFilInfo"_s, 2));
        QVERIFY(env->server.waitForLog(u"open VD.ArtLagerFilInfo 1||654321||0"_s));

        env->clickRow(0); // a click asks at once, and the move it makes asks no second time
        QCOMPARE(env->stock(), u"42"_s);
        QVERIFY(env->server.waitForLogCount(u"open VD.ArtLagerFilInfo"_s, 3));
        QTest::qWait(400);
        QCOMPARE(env->lookups(), 3);

        fm.mLagerstandMitfuehren().trigger();
        QCOMPARE(followSetting(u"Plenvaro"_s), u"0"_s);
        fm.cmdNext_Click();
        QTest::qWait(400);
        QCOMPARE(env->lookups(), 3);
        QCOMPARE(env->stock(), QString()); // 123456's figures do not stay beside the next article
    }

    void theStockFollowingSettingSurvivesARestart()
    {
        app::FMStart& first = env->start();
        first.mLagerstandMitfuehren().trigger();
        first.hide();
        app::FMStart& second = env->start();
        QVERIFY(&second != &first);
        QVERIFY(second.mLagerstandMitfuehren().isChecked());
        second.cmdLast_Click();
        QTRY_COMPARE(env->stock(), u"5"_s);
        QVERIFY(env->server.waitForLog(u"open VD.ArtLagerFilInfo 1||777777||0"_s));
    }

    void aHeadingClickSortsKeepingTheRecordAndRereadKeepsTheOrder()
    {
        env->setArticles({named(u"9000123456"_s, u"Birne"_s, u"Zusatz"_s, u"b"_s),
                          named(u"9000654321"_s, u"apfel"_s, u"Zusatz"_s, u"a"_s),
                          named(u"9000777777"_s, u"Zitrone"_s, u"Zusatz"_s, u"z"_s)});
        app::FMStart& fm = env->start();
        QTableView* grid = fm.grdDataGrid().view();
        QHeaderView* headings = grid->horizontalHeader();
        const int name = fm.adoPrimaryRS().fieldIndex(u"nam_artikel");
        const auto clickHeading = [&](int column) {
            QTest::mouseClick(
                headings->viewport(), Qt::LeftButton, {},
                QPoint(headings->sectionViewportPosition(column) + headings->sectionSize(column) / 2,
                       headings->height() / 2));
        };
        const auto shown = [&] {
            QStringList names;
            for (int row = 0; row < grid->model()->rowCount(); ++row)
                names << grid->model()->index(row, name).data().toString();
            return names;
        };
        clickHeading(name);
        QCOMPARE(shown(), (QStringList{u"apfel"_s, u"Birne"_s, u"Zitrone"_s}));
        QCOMPARE(headings->sortIndicatorSection(), name);
        QCOMPARE(headings->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(env->found(), u"9000123456"_s); // still the same article
        QCOMPARE(env->status(), u"Record: 2"_s); // at its place in the shown order
        QCOMPARE(grid->currentIndex().row(), 1);

        clickHeading(name);
        QCOMPARE(shown(), (QStringList{u"Zitrone"_s, u"Birne"_s, u"apfel"_s}));
        QCOMPARE(headings->sortIndicatorOrder(), Qt::DescendingOrder);
        fm.cmdFirst_Click();
        QCOMPARE(env->found(), u"9000777777"_s);

        fm.cmdRefresh_Click();
        QCOMPARE(shown(), (QStringList{u"Zitrone"_s, u"Birne"_s, u"apfel"_s}));
        QCOMPARE(headings->sortIndicatorSection(), name);
        QCOMPARE(headings->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(env->status(), u"Record: 1"_s);
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }

    void resizeKeepsTheGridAndStripsFitted()
    {
        app::FMStart& fm = env->start();
        QWidget* client = fm.centralWidget();
        const int chrome = fm.height() - client->height();
        fm.resize(fm.width(), forms::twipsToPixelsY(6180) + chrome);
        QApplication::processEvents();
        QCOMPARE(forms::pixelsToTwipsY(client->height()), 6180);
        QCOMPARE(forms::pixelsToTwipsY(fm.grdDataGrid().height()), 5550);
        // Positions follow the outer width, which converts to twips through whole pixels.
        const int outer = forms::pixelsToTwipsX(fm.frameGeometry().width());
        const int statusWidth = forms::pixelsToTwipsX(child<QLabel>(fm, u"lblStatus"_s).width());
        QVERIFY2(qAbs(statusWidth - (outer - 1500)) <= 15,
                 qPrintable(u"status %1 twips wide in a window %2 wide"_s.arg(statusWidth).arg(outer)));
        const int nextX = forms::pixelsToTwipsX(child<QPushButton>(fm, u"cmdNext"_s).x());
        QVERIFY2(qAbs(nextX - (outer - 800)) <= 30,
                 qPrintable(u"cmdNext at %1 twips in a window %2 wide"_s.arg(nextX).arg(outer)));
        const int lastX = forms::pixelsToTwipsX(child<QPushButton>(fm, u"cmdLast"_s).x());
        QVERIFY2(qAbs(lastX - (outer - 460)) <= 45,
                 qPrintable(u"cmdLast at %1 twips in a window %2 wide"_s.arg(lastX).arg(outer)));
        QCOMPARE(child<QWidget>(fm, u"picStatBox"_s).geometry().bottom(), client->height() - 1);

        fm.resize(fm.width(), chrome + 10); // too low for the grid: nothing complains
        QApplication::processEvents();
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }

    void theWindowSeesItsKeysBeforeTheGrid()
    {
        app::FMStart& fm = env->start();
        QTableView* grid = fm.grdDataGrid().view();
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(env->status(), u"Record: 3"_s);
        QTest::keyClick(grid, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(env->status(), u"Record: 1"_s);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(env->status(), u"Record: 2"_s); // one move, not the grid's as well
        QTest::keyClick(grid, Qt::Key_Home);
        QTest::keyClick(grid, Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(env->status(), u"Record: 2"_s); // Ctrl+Shift+Down moves one record
        QTest::keyClick(grid, Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(env->status(), u"Record: 3"_s);
        QTest::keyClick(grid, Qt::Key_PageUp);
        QCOMPARE(env->status(), u"Record: 2"_s);
    }

    void escapeEndsTheProgramAndUnloadsEveryWindow()
    {
        app::FMStart& fm = env->start();
        fm.HilfeUeber_Click();
        fm.mProgrammverlauf_Click();
        QVERIFY(dialogs::windows::existingAbout() != nullptr);
        QVERIFY_THROWS_EXCEPTION(forms::ProgramEnded, fm.Form_KeyDown(Qt::Key_Escape, 0));
        QVERIFY(forms::loadedWindows().isEmpty() || !fm.isVisible());
        QVERIFY(!fm.isVisible());
        QVERIFY(dialogs::windows::existingAbout() == nullptr ||
                !dialogs::windows::existingAbout()->isVisible());
        QVERIFY2(env->server.waitForLog(u"closed (licences in use 0 of 5)"_s), "the session was ended");
        QVERIFY2(forms::MessageBoxes::log().isEmpty(), "no question asked");
    }

    void beendenEndsTheProgram()
    {
        app::FMStart& fm = env->start();
        QVERIFY_THROWS_EXCEPTION(forms::ProgramEnded, fm.Beenden_Click());
        QVERIFY(!fm.isVisible());
    }

    // The ODBC configuration is read once per process, so this runs in a child with its own.
    void aMissingDataSourceShowsTheDriversMessageAndEnds()
    {
        QTemporaryDir odbc;
        QFile ini(odbc.filePath(u"odbc.ini"_s));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"PLENVARO_APP_TEST_LOGIN"_s, env->credentials());
        environment.insert(u"ODBCINI"_s, ini.fileName());
        environment.insert(u"ODBCSYSINI"_s, odbc.path());
        const ChildRun run = runChild(u"nodsn"_s, environment);
        QVERIFY2(run.finished, qPrintable(run.report()));
        QVERIFY2(run.exitCode == 1, qPrintable(run.report()));
        QVERIFY2(run.out.contains(u"message: "_s), qPrintable(run.report()));
        QVERIFY2(run.out.contains(u"Data source name not found"_s, Qt::CaseInsensitive) ||
                     run.out.contains(u"IM002"_s),
                 qPrintable(run.report()));
        QVERIFY2(run.out.contains(u"title: Plenvaro\n"_s), qPrintable(run.report()));
        QVERIFY2(run.out.contains(u"Die ODBC-Datenquelle tovi_net ist nicht eingerichtet"_s),
                 qPrintable(run.report()));
        QVERIFY2(!run.out.contains(u"list shown"_s), qPrintable(run.report()));
    }

    void aNewLoginFromTheMenuRetitlesTheWindow()
    {
        storeSetting("Server", u"127.0.0.1"_s);
        storeSetting("Port", QString::number(env->server.port()));
        storeSetting("Name", u"K17"_s);
        storeSetting("Passwort", session::ScramblePassword(u"geheim"_s));
        app::FMStart& fm = env->start(QString());
        fm.mLogin_Click();
        dialogs::FMPass& pass = dialogs::windows::fmPass();
        QVERIFY(pass.isVisible());
        pass.BUSER().setText(u"K21"_s);
        pass.BPASSWORT().setText(u"kasse"_s);
        pass.BUSpeich_Click();
        QCOMPARE(fm.windowTitle(),
                 u"VELDOR Korrespondenz              Firma: 1     Filiale: 0     Benutzer: Yilmaz"_s);
        QVERIFY(!pass.isVisible());
        QVERIFY(env->server.waitForLog(u"PERSONAL=\"K21|Yilmaz\""_s));
        QCOMPARE(fm.adoPrimaryRS().recordCount(), 3); // the list is not read again
    }

    void theCloseBoxEndsTheProgramAndUnloadsEveryWindow()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"PLENVARO_APP_TEST_LOGIN"_s, env->credentials());
        const ChildRun run = runChild(u"closebox"_s, environment);
        QVERIFY2(run.finished, qPrintable(run.report()));
        QVERIFY2(run.exitStatus == QProcess::NormalExit, qPrintable(run.report()));
        QVERIFY2(run.exitCode == 0, qPrintable(run.report()));
        QVERIFY2(run.out.contains(u"list shown\n"_s), qPrintable(run.report()));
        QVERIFY2(run.out.contains(u"extra window unloaded\n"_s), qPrintable(run.report()));
        QVERIFY2(!run.out.contains(u"close returned"_s), qPrintable(run.report()));
        QVERIFY(env->server.waitForLog(u"closed (licences in use 0 of 5)"_s));
    }

    // The windows go while the application object lives, so the process ends with status 0, not in a crash.
    void everyWindowKindEndsTheProgramWithStatusZero_data()
    {
        QTest::addColumn<QString>("kind");
        for (const QString& kind : {u"FMStart"_s, u"FMPass"_s, u"FMPass cancelled"_s, u"FMServer"_s,
                                    u"frmAbout"_s, u"frmProgrammverlauf"_s, u"all"_s})
            QTest::newRow(qPrintable(kind)) << kind;
    }

    void everyWindowKindEndsTheProgramWithStatusZero()
    {
        QFETCH(QString, kind);
        const ChildRun run = runChild(u"end:"_s + kind, QProcessEnvironment::systemEnvironment());
        QVERIFY2(run.finished, qPrintable(run.report()));
        QVERIFY2(run.exitStatus == QProcess::NormalExit, qPrintable(run.report()));
        QVERIFY2(run.exitCode == 0, qPrintable(run.report()));
        QVERIFY2(run.out.contains(u"shown\n"_s), qPrintable(run.report()));
        QVERIFY2(!run.out.contains(u"returned"_s), qPrintable(run.report()));
    }

private:
    std::optional<Environment> env;
};

int runMainWindowTests(int argc, char** argv)
{
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

namespace {

// Shows the windows named by kind, then ends the program the way a user does.
[[noreturn]] void endScenario(const QString& kind)
{
    const bool all = kind == u"all"_s;
    app::FMStart& fm = adopt(QString());
    fm.show();
    if (all || kind == u"FMPass"_s)
        fm.mLogin_Click();
    if (all || kind == u"FMServer"_s)
        dialogs::windows::fmServer().show();
    if (all || kind == u"frmAbout"_s)
        fm.HilfeUeber_Click();
    if (all || kind == u"frmProgrammverlauf"_s) {
        fm.mProgrammverlauf_Click();
        dialogs::windows::programmverlauf().StatusText(u"Test"_s, u"Ende"_s, kind);
    }
    QApplication::processEvents();
    std::printf("shown\n");
    if (kind == u"FMPass cancelled"_s) {
        // "Abbruch" in the login dialog shown modally, as during a login attempt.
        QTimer::singleShot(0, [] { child<QPushButton>(dialogs::windows::fmPass(), u"BUAusst"_s).click(); });
        dialogs::windows::fmPass().showModal();
        std::printf("dialog returned\n");
    }
    fm.Beenden_Click();
}

} // namespace

int runChildScenario(const QString& name)
{
    dialogs::windows::install();
    if (name.startsWith(u"end:"_s))
        endScenario(name.mid(4));
    app::FMStart& fm = adopt(QString::fromUtf8(qgetenv("PLENVARO_APP_TEST_LOGIN")));
    if (name == u"nodsn"_s) {
        forms::MessageBoxes::queueAnswer(Button::Ok);
        forms::setEndProgramHandler([](int code) {
            for (const forms::ShownMessage& m : forms::MessageBoxes::log())
                std::printf("message: %s\ntitle: %s\n", qPrintable(m.text), qPrintable(m.title));
            std::fflush(stdout);
            std::exit(code);
        });
        forms::runUnhandled([&] { fm.Form_Load(); });
        std::printf("list shown\n");
        return 3;
    }
    if (name != u"closebox"_s)
        return 2;
    fm.Form_Load();
    fm.show();
    std::printf("list shown\n");
    QWidget extra;
    forms::registerWindow(&extra, [] { std::printf("extra window unloaded\n"); });
    fm.HilfeUeber_Click();
    QApplication::processEvents();
    QCloseEvent closeBox;
    QApplication::sendEvent(&fm, &closeBox);
    std::printf("close returned\n");
    return 3;
}

#include "tst_fm_start.moc"
