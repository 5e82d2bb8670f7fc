#include "ado_test_support.h"
#include "app/fm_start.h"
#include "dialogs/fm_pass.h"
#include "dialogs/fm_server.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_programmverlauf.h"
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

#include <QDate>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>

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

// Everything one main window needs: articles, a server, a settings store, fresh windows.
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
        dialogs::windows::destroyAll();
        qputenv("PLENVARO_REGISTRY", store.filePath(u"registry.sqlite3"_s).toUtf8());
        plenvaroRegistryReset();
        if (!server.start(testsupport::ServerProcess::standardData()))
            qFatal("%s", qPrintable(server.error()));
        setArticles({article(u"9000123456"_s), article(u"9000654321"_s), article(u"9000777777"_s)});
    }

    ~Environment()
    {
        dialogs::windows::destroyAll();
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

    QTemporaryDir store;
    testsupport::ServerProcess server;
    app::FMStart* window = nullptr; // held by dialogs::windows
};

class MainWindowTest : public ::testing::Test
{
protected:
    Environment env;
};

template <typename F> bool endsTheProgram(F&& f)
{
    try {
        f();
    } catch (const forms::ProgramEnded&) {
        return true;
    }
    return false;
}

} // namespace

TEST_F(MainWindowTest, StartsAfterARejectedAttemptWithTheCaptionAndTheList)
{
    storeSetting("Server", u"127.0.0.1"_s);
    storeSetting("Port", QString::number(env.server.port()));
    storeSetting("Name", u"K17"_s);
    storeSetting("Passwort", session::ScramblePassword(u"falsch"_s));
    testsupport::ModalDriver driver;
    driver.on(u"FMPass"_s, [](QWidget& pass, int) {
        child<QLineEdit>(pass, u"BPASSWORT"_s).setText(u"geheim"_s);
        child<QPushButton>(pass, u"BUSpeich"_s).click();
    });
    queueAnswer(Button::Ok); // the rejection

    app::FMStart& fm = env.start(QString());
    EXPECT_EQ(driver.showings(u"FMPass"_s), 1);
    EXPECT_EQ(fm.windowTitle(),
              u"VELDOR Muster              Firma: 1     Filiale: 0     Benutzer: K17|Maier"_s);
    EXPECT_EQ(fm.adoPrimaryRS().recordCount(), 3);
    EXPECT_EQ(fm.grdDataGrid().view()->model()->columnCount(), 8);
    EXPECT_EQ(fm.grdDataGrid().view()->model()->headerData(0, Qt::Horizontal).toString(), u"num_artikel"_s);
    EXPECT_EQ(env.status(), u"Record: 1"_s);
    EXPECT_EQ(env.stock(), u"Text1"_s);
    EXPECT_EQ(env.todays(), u"Text2"_s);
    EXPECT_FALSE(session::Session().LoginServerError);
}

TEST_F(MainWindowTest, ListsTheArticlesValidToday)
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
    env.setArticles({noDeletion, expired, tomorrow, fromToday, untilToday, deletedToday});

    app::FMStart& fm = env.start();
    QStringList listed;
    for (qsizetype row = 0; row < fm.adoPrimaryRS().recordCount(); ++row)
        listed << fm.adoPrimaryRS().text(row, 0);
    EXPECT_EQ(listed, (QStringList{u"9000000004"_s, u"9000000005"_s, u"9000000006"_s}));
}

TEST_F(MainWindowTest, NavigatesWithStatusAndBeeps)
{
    app::FMStart& fm = env.start();
    fm.cmdLast_Click();
    EXPECT_EQ(env.status(), u"Record: 3"_s);
    fm.cmdNext_Click();
    EXPECT_EQ(forms::beepCount(), 1);
    EXPECT_EQ(env.status(), u"Record: 3"_s);
    fm.cmdFirst_Click();
    EXPECT_EQ(env.status(), u"Record: 1"_s);
    fm.cmdPrevious_Click();
    EXPECT_EQ(forms::beepCount(), 2);
    EXPECT_EQ(env.status(), u"Record: 1"_s);
    fm.cmdNext_Click();
    EXPECT_EQ(env.status(), u"Record: 2"_s);
    EXPECT_EQ(fm.grdDataGrid().view()->currentIndex().row(), 1) << "the grid follows the recordset";
    EXPECT_TRUE(forms::MessageBoxes::log().isEmpty());
}

TEST_F(MainWindowTest, NavigatesOneAndNoRecords)
{
    env.setArticles({article(u"9000123456"_s)});
    app::FMStart& fm = env.start();
    fm.cmdNext_Click();
    fm.cmdPrevious_Click();
    EXPECT_EQ(forms::beepCount(), 2);
    EXPECT_EQ(env.status(), u"Record: 1"_s);

    env.setArticles({});
    fm.cmdRefresh_Click();
    EXPECT_EQ(fm.adoPrimaryRS().recordCount(), 0);
    forms::resetBeepCount();
    fm.cmdNext_Click();
    fm.cmdPrevious_Click();
    EXPECT_EQ(forms::beepCount(), 0);
    EXPECT_TRUE(forms::MessageBoxes::log().isEmpty()) << "Next and Previous do nothing on an empty list";
    queueAnswer(Button::Ok);
    queueAnswer(Button::Ok);
    fm.cmdFirst_Click();
    fm.cmdLast_Click();
    const auto shown = forms::MessageBoxes::log();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown.at(0).text.contains(u"current record"_s)) << qPrintable(shown.at(0).text);
    EXPECT_EQ(shown.at(0).title, u"Plenvaro"_s);
    EXPECT_EQ(shown.at(0).buttons, forms::Buttons::OkOnly);
}

TEST_F(MainWindowTest, RereadRunsTheSameQueryAgain)
{
    app::FMStart& fm = env.start();
    env.setArticles({article(u"9000123456"_s), article(u"9000654321"_s), article(u"9000777777"_s),
                     article(u"9000111111"_s)});
    fm.cmdRefresh_Click();
    EXPECT_EQ(fm.adoPrimaryRS().recordCount(), 4);
    EXPECT_EQ(fm.grdDataGrid().view()->model()->rowCount(), 4);
    EXPECT_EQ(env.status(), u"Record: 1"_s);
}

TEST_F(MainWindowTest, AClickShowsTheStockFromTheServer)
{
    env.start();
    env.clickRow(0);
    EXPECT_EQ(env.stock(), u"42"_s);
    EXPECT_EQ(env.todays(), u"7"_s);
    ASSERT_TRUE(env.server.waitForLog(u"xecute S P0=$P(^TOVI(1,3,1,1%1,123456),\"'\",1)\n"_s.arg(today())));
    EXPECT_TRUE(env.server.log().contains(u"open VD.ArtLagerFilInfo 1||123456||0"_s));

    env.clickRow(2); // a stock record, but no figure for today
    EXPECT_EQ(env.stock(), u"5"_s);
    EXPECT_EQ(env.todays(), QString());
    EXPECT_TRUE(forms::MessageBoxes::log().isEmpty()) << "errors of the lookup are silent";
    EXPECT_EQ(env.status(), u"Record: 3"_s);
}

TEST_F(MainWindowTest, ShortOrNoSelectedTextLooksUpNothingOrFailsSilently)
{
    env.setArticles({article(u"9000"_s)});
    app::FMStart& fm = env.start();
    env.clickRow(0);
    EXPECT_EQ(env.stock(), QString());
    EXPECT_EQ(env.todays(), QString());
    ASSERT_TRUE(env.server.waitForLog(u"open VD.ArtLagerFilInfo 1||||0"_s));
    EXPECT_TRUE(forms::MessageBoxes::log().isEmpty());

    env.setArticles({});
    fm.cmdRefresh_Click();
    child<QLineEdit>(fm, u"txt_Lagerstand"_s).setText(u"alt"_s);
    const qsizetype opened = env.server.logCount(u"open VD.ArtLagerFilInfo"_s);
    fm.grdDataGrid_Click();
    EXPECT_EQ(env.stock(), QString()) << "the boxes are emptied";
    QTest::qWait(50);
    EXPECT_EQ(env.server.logCount(u"open VD.ArtLagerFilInfo"_s), opened) << "and nothing is asked";
}

TEST_F(MainWindowTest, AClickAfterTheIdleDisconnectReconnects)
{
    env.start();
    session::FMServer().Lock().setInterval(200);
    QTRY_VERIFY_WITH_TIMEOUT(!session::FMServer().Lock().isActive(), 5000);
    ASSERT_TRUE(env.server.waitForLog(u"closed (licences in use 0 of 5)"_s));
    env.clickRow(1);
    EXPECT_EQ(env.stock(), u"0"_s);
    EXPECT_EQ(env.todays(), u"0"_s);
    EXPECT_TRUE(env.server.waitForLogCount(u"opened from"_s, 2));
    EXPECT_TRUE(env.server.waitForLogCount(u"xecute D ^%XTT"_s, 2)) << "the context is set again";
}

TEST_F(MainWindowTest, ResizeKeepsTheGridAndStripsFitted)
{
    app::FMStart& fm = env.start();
    QWidget* client = fm.centralWidget();
    const int chrome = fm.height() - client->height();
    fm.resize(fm.width(), forms::twipsToPixelsY(6180) + chrome);
    QApplication::processEvents();
    ASSERT_EQ(forms::pixelsToTwipsY(client->height()), 6180);
    EXPECT_EQ(forms::pixelsToTwipsY(fm.grdDataGrid().height()), 5550);
    const QLabel& status = child<QLabel>(fm, u"lblStatus"_s);
    const int outer = forms::pixelsToTwipsX(fm.frameGeometry().width());
    EXPECT_NEAR(forms::pixelsToTwipsX(status.width()), outer - 1500, 15);
    EXPECT_NEAR(forms::pixelsToTwipsX(child<QPushButton>(fm, u"cmdNext"_s).x()), outer - 800, 30);
    EXPECT_NEAR(forms::pixelsToTwipsX(child<QPushButton>(fm, u"cmdLast"_s).x()), outer - 460, 45);
    EXPECT_EQ(child<QWidget>(fm, u"picStatBox"_s).geometry().bottom(), client->height() - 1);

    fm.resize(fm.width(), chrome + 10); // too low for the grid: nothing complains
    QApplication::processEvents();
    EXPECT_TRUE(forms::MessageBoxes::log().isEmpty());
}

TEST_F(MainWindowTest, TheWindowSeesItsKeysBeforeTheGrid)
{
    app::FMStart& fm = env.start();
    QTableView* grid = fm.grdDataGrid().view();
    QTest::keyClick(grid, Qt::Key_End);
    EXPECT_EQ(env.status(), u"Record: 3"_s);
    QTest::keyClick(grid, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(env.status(), u"Record: 1"_s);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(env.status(), u"Record: 2"_s) << "one move, not the grid's as well";
    QTest::keyClick(grid, Qt::Key_Home);
    QTest::keyClick(grid, Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(env.status(), u"Record: 2"_s) << "Ctrl+Shift+Down moves one record";
    QTest::keyClick(grid, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(env.status(), u"Record: 3"_s);
    QTest::keyClick(grid, Qt::Key_PageUp);
    EXPECT_EQ(env.status(), u"Record: 2"_s);
}

TEST_F(MainWindowTest, EscapeAndBeendenEndTheProgramAndUnloadEveryWindow)
{
    app::FMStart& fm = env.start();
    fm.HilfeUeber_Click();
    fm.mProgrammverlauf_Click();
    ASSERT_NE(dialogs::windows::existingAbout(), nullptr);
    EXPECT_TRUE(endsTheProgram([&] { fm.Form_KeyDown(Qt::Key_Escape, 0); }));
    EXPECT_TRUE(forms::loadedWindows().isEmpty() || !fm.isVisible());
    EXPECT_FALSE(fm.isVisible());
    EXPECT_TRUE(dialogs::windows::existingAbout() == nullptr ||
                !dialogs::windows::existingAbout()->isVisible());
    EXPECT_TRUE(env.server.waitForLog(u"closed (licences in use 0 of 5)"_s)) << "the session was ended";
    EXPECT_TRUE(forms::MessageBoxes::log().isEmpty()) << "no question asked";
}

TEST_F(MainWindowTest, BeendenEndsTheProgram)
{
    app::FMStart& fm = env.start();
    EXPECT_TRUE(endsTheProgram([&] { fm.Beenden_Click(); }));
    EXPECT_FALSE(fm.isVisible());
}

// The ODBC configuration is read once per process, so this runs in a child with its own.
TEST_F(MainWindowTest, AMissingDataSourceShowsTheDriversMessageAndEnds)
{
    QTemporaryDir odbc;
    QFile ini(odbc.filePath(u"odbc.ini"_s));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.close();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PLENVARO_APP_TEST_CHILD"_s, u"nodsn"_s);
    environment.insert(u"PLENVARO_APP_TEST_LOGIN"_s, env.credentials());
    environment.insert(u"ODBCINI"_s, ini.fileName());
    environment.insert(u"ODBCSYSINI"_s, odbc.path());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(child.waitForFinished(30000));
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_EQ(child.exitCode(), 1) << qPrintable(out);
    EXPECT_TRUE(out.contains(u"message: "_s)) << qPrintable(out);
    EXPECT_TRUE(out.contains(u"Data source name not found"_s, Qt::CaseInsensitive) ||
                out.contains(u"IM002"_s))
        << qPrintable(out);
    EXPECT_TRUE(out.contains(u"title: Plenvaro\n"_s)) << qPrintable(out);
    EXPECT_FALSE(out.contains(u"list shown"_s));
}

TEST_F(MainWindowTest, ANewLoginFromTheMenuRetitlesTheWindow)
{
    storeSetting("Server", u"127.0.0.1"_s);
    storeSetting("Port", QString::number(env.server.port()));
    storeSetting("Name", u"K17"_s);
    storeSetting("Passwort", session::ScramblePassword(u"geheim"_s));
    app::FMStart& fm = env.start(QString());
    fm.mLogin_Click();
    dialogs::FMPass& pass = dialogs::windows::fmPass();
    ASSERT_TRUE(pass.isVisible());
    pass.BUSER().setText(u"K21"_s);
    pass.BPASSWORT().setText(u"kasse"_s);
    pass.BUSpeich_Click();
    EXPECT_EQ(fm.windowTitle(),
              u"VELDOR Korrespondenz              Firma: 1     Filiale: 0     Benutzer: Yilmaz"_s);
    EXPECT_FALSE(pass.isVisible());
    EXPECT_TRUE(env.server.waitForLog(u"PERSONAL=\"K21|Yilmaz\""_s));
    EXPECT_EQ(fm.adoPrimaryRS().recordCount(), 3) << "the list is not read again";
}

TEST_F(MainWindowTest, TheCloseBoxEndsTheProgramInAChildProcess)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PLENVARO_APP_TEST_CHILD"_s, u"closebox"_s);
    environment.insert(u"PLENVARO_APP_TEST_LOGIN"_s, env.credentials());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(child.waitForFinished(30000));
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << qPrintable(out)
                                   << qPrintable(QString::fromUtf8(child.readAllStandardError()));
    EXPECT_TRUE(out.contains(u"list shown\n"_s)) << qPrintable(out);
    EXPECT_TRUE(out.contains(u"extra window unloaded\n"_s)) << qPrintable(out);
    EXPECT_FALSE(out.contains(u"close returned"_s));
    EXPECT_TRUE(env.server.waitForLog(u"closed (licences in use 0 of 5)"_s));
}

// Each window kind shown, then the program ended through its real end in a child process: the windows
// go while the application object lives, so the process ends with status 0 and not in a crash.
TEST(ProgramEnd, EveryWindowKindEndsWithStatusZero)
{
    for (const QString& kind : {u"FMStart"_s, u"FMPass"_s, u"FMPass cancelled"_s, u"FMServer"_s,
                                u"frmAbout"_s, u"frmProgrammverlauf"_s, u"all"_s}) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"PLENVARO_APP_TEST_CHILD"_s, u"end:"_s + kind);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {});
        ASSERT_TRUE(child.waitForFinished(30000)) << qPrintable(kind);
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << qPrintable(kind);
        EXPECT_EQ(child.exitCode(), 0) << qPrintable(kind) << qPrintable(out)
                                       << qPrintable(QString::fromUtf8(child.readAllStandardError()));
        EXPECT_TRUE(out.contains(u"shown\n"_s)) << qPrintable(kind) << qPrintable(out);
        EXPECT_FALSE(out.contains(u"returned"_s)) << qPrintable(kind) << qPrintable(out);
    }
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

// The children: the program as it runs for a user, ended for real.
int childScenario(const QString& name)
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
