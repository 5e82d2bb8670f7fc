// What the main window keeps from one run to the next, and the list copied and exported as a user does it.

#include "ado_test_support.h"
#include "app/fm_start.h"
#include "app/list_export.h"
#include "app/window_memory.h"
#include "dialogs/program_windows.h"
#include "full_disk.h"
#include "modal_driver.h"
#include "platform/forms/end_program.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/test_reset.h"
#include "platform/winreg/registry_api.h"
#include "server_process.h"
#include "session/session_settings.h"
#include "session/settings_store.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenuBar>
#include <QProgressDialog>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>
#include <sys/resource.h>

using namespace Qt::Literals::StringLiterals;
using ado::test::Article;
using forms::Button;

namespace {

Article named(const QString& number, const QString& name, double price)
{
    Article a = ado::test::validArticle(number, price);
    a.name = name;
    return a;
}

QString setting(const QString& section, const QString& key)
{
    return session::GetSetting(u"Cache Login"_s, section, key);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Where a screenshot goes to be looked at; nowhere when PLENVARO_SCREENSHOTS is not set.
void shoot(QWidget& widget, const QString& name)
{
    const QByteArray dir = qgetenv("PLENVARO_SCREENSHOTS");
    if (!dir.isEmpty())
        widget.grab().save(QString::fromLocal8Bit(dir) + u'/' + name + u".png"_s);
}

// Files larger than `bytes` cannot be written by this process while it lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead of killing the process
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
};

class Environment
{
public:
    Environment()
    {
        ado::test::OdbcSandbox::instance();
        forms::resetForTests();
        forms::MessageBoxes::setFailIfUnanswered(true);
        forms::setEndProgramHandler([](int code) { throw forms::ProgramEnded(code); });
        session::resetSession();
        dialogs::windows::destroyAll();
        dialogs::windows::install();
        qputenv("PLENVARO_REGISTRY", store.filePath(u"registry.sqlite3"_s).toUtf8());
        plenvaroRegistryReset();
        ado::test::writeArticles(ado::test::OdbcSandbox::instance().databasePath(),
                                 {named(u"9000123456"_s, u"Birne"_s, 1.5),
                                  named(u"9000654321"_s, u"apfel"_s, 12),
                                  named(u"9000777777"_s, u"Zitrone; \"bio\""_s, 0.99)});
    }
    ~Environment()
    {
        dialogs::windows::destroyAll();
        session::resetSession();
        plenvaroRegistryReset();
        forms::resetForTests();
    }

    app::FMStart& start()
    {
        auto owned = std::make_unique<app::FMStart>(u"1 0 K17 geheim 127.0.0.1 %1"_s.arg(server.port()));
        window = owned.get();
        dialogs::windows::adoptMainWindow(std::move(owned));
        window->Form_Load();
        window->show();
        return *window;
    }

    // "Beenden", as the user ends the program.
    void end() { QVERIFY_THROWS_EXCEPTION(forms::ProgramEnded, window->Beenden_Click()); }

    QTemporaryDir store;
    testsupport::ServerProcess server;
    app::FMStart* window = nullptr;
};

} // namespace

class WindowMemoryExportTest final : public QObject
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

    void sizePlaceColumnsAndOrderComeBackAtTheNextStart()
    {
        app::FMStart& first = env->start();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect wanted(screen.left() + 40, screen.top() + 30, 700, 480);
        first.setGeometry(wanted);
        QHeaderView* headings = first.grdDataGrid().view()->horizontalHeader();
        const int name = first.adoPrimaryRS().fieldIndex(u"nam_artikel");
        headings->setSortIndicator(name, Qt::DescendingOrder); // as two clicks on the heading
        headings->resizeSection(0, 151);
        headings->resizeSection(name, 217);
        env->end();
        QCOMPARE(setting(u"Plenvaro"_s, u"SortierFeld"_s), u"nam_artikel"_s);
        QCOMPARE(setting(u"Login"_s, u"Fenster"_s), QString()); // not among the login keys

        app::FMStart& second = env->start();
        QVERIFY(&second != &first);
        QCOMPARE(second.geometry().size(), wanted.size());
        QCOMPARE(second.geometry().topLeft(), wanted.topLeft());
        headings = second.grdDataGrid().view()->horizontalHeader();
        QCOMPARE(headings->sectionSize(0), 151);
        QCOMPARE(headings->sectionSize(name), 217);
        QCOMPARE(second.adoPrimaryRS().sortField(), name);
        QVERIFY(second.adoPrimaryRS().sortDescending());
        QCOMPARE(headings->sortIndicatorSection(), name);
        QCOMPARE(headings->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(second.adoPrimaryRS().text(0, name), u"Zitrone; \"bio\""_s);
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }

    void aPlaceOnAScreenThatIsGoneOrDamagedValuesStillOpenAUsableWindow()
    {
        session::SaveSetting(u"Cache Login"_s, u"Plenvaro"_s, u"Fenster"_s, u"9000,7000,100000,600"_s);
        session::SaveSetting(u"Cache Login"_s, u"Plenvaro"_s, u"Spaltenbreiten"_s, u"num_artikel=-5;x;=3"_s);
        session::SaveSetting(u"Cache Login"_s, u"Plenvaro"_s, u"SortierFeld"_s, u"gibt_es_nicht"_s);
        app::FMStart& fm = env->start();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(screen.contains(fm.geometry()),
                 qPrintable(u"%1,%2 %3x%4"_s.arg(fm.x()).arg(fm.y()).arg(fm.width()).arg(fm.height())));
        QVERIFY(fm.grdDataGrid().view()->horizontalHeader()->sectionSize(0) >= 8);
        QCOMPARE(fm.adoPrimaryRS().sortField(), -1);
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }

    void fittingIntoScreens()
    {
        const QList<QRect> screens{QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1080)};
        // Mostly on the second screen: stays there, pulled in at its right edge.
        QCOMPARE(app::fitIntoScreens(QRect(2800, 100, 600, 400), screens), QRect(2600, 100, 600, 400));
        // On no screen (a third one unplugged): onto the first, shrunk to it.
        QCOMPARE(app::fitIntoScreens(QRect(5000, -900, 1400, 900), screens), QRect(0, 0, 1280, 800));
        // Across both: the one with the larger part.
        QCOMPARE(app::fitIntoScreens(QRect(1000, 10, 800, 600), screens), QRect(1280, 10, 800, 600));
        QCOMPARE(app::fitIntoScreens(QRect(10, 10, 300, 200), screens), QRect(10, 10, 300, 200));
    }

    void aStoreThatCannotBeWrittenDoesNotKeepTheProgramFromEnding()
    {
        env.reset();
        const QTemporaryDir parent;
        const auto disk = plenvaro::winreg::test::failingWrites(parent.path().toStdString());
        env.emplace();
        QVERIFY2(env->server.start(testsupport::ServerProcess::standardData()),
                 qPrintable(env->server.error()));
        qputenv("PLENVARO_REGISTRY",
                QString::fromStdString((disk->folder() / "registry.sqlite3").string()).toUtf8());
        plenvaroRegistryReset();
        app::FMStart& fm = env->start();
        fm.resize(640, 400);
        disk->fill();
        env->end();
        QVERIFY(!fm.isVisible());
        QVERIFY(env->server.waitForLog(u"closed (licences in use 0 of 5)"_s));
        QVERIFY(forms::MessageBoxes::log().isEmpty());
        disk->clear();
        plenvaroRegistryReset();
        env.reset();
    }

    void strgCCopiesTheSelectedRowsWithTheirHeadings()
    {
        app::FMStart& fm = env->start();
        QTableView* grid = fm.grdDataGrid().view();
        QApplication::clipboard()->clear();
        fm.cmdLast_Click();
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        const QStringList lines = QApplication::clipboard()->text().split(u'\n');
        QCOMPARE(lines.size(), 3); // headings, the row, the final line break
        QVERIFY2(lines.at(0).startsWith(u"num_artikel\tnam_artikel\t"_s), qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).startsWith(u"9000777777\tZitrone; \"bio\"\t"_s), qPrintable(lines.at(1)));
        QVERIFY2(lines.at(1).contains(u"\t0,99"_s), qPrintable(lines.at(1)));
        QCOMPARE(lines.at(1).count(u'\t'), lines.at(0).count(u'\t'));
        QCOMPARE(env->window->findChild<QLabel*>(u"lblStatus"_s)->text(), u"Record: 3"_s); // nothing moved
    }

    void theMenuExportsTheListAsShownForAGermanSpreadsheet()
    {
        app::FMStart& fm = env->start();
        QMenu* datei = fm.menuBar()->findChild<QMenu*>(u"Datei"_s);
        QVERIFY(datei != nullptr);
        QStringList entries;
        for (const QAction* action : datei->actions())
            entries << action->objectName();
        QCOMPARE(entries.indexOf(u"mListeExportieren"_s), entries.indexOf(u"mSuchen"_s) + 1);
        auto* exportieren = fm.findChild<QAction*>(u"mListeExportieren"_s);
        QCOMPARE(exportieren->text().remove(u'&'), u"Liste exportieren..."_s);
        datei->popup(fm.mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(datei));
        shoot(*datei, u"menu_datei"_s);
        datei->hide();

        fm.grdDataGrid().view()->horizontalHeader()->setSortIndicator(
            fm.adoPrimaryRS().fieldIndex(u"nam_artikel"), Qt::AscendingOrder);
        const QTemporaryDir dir;
        const QString path = dir.filePath(u"Artikelliste.csv"_s); // the name offered
        testsupport::ModalDriver driver;
        driver.on(u"dlgListeExportieren"_s, [&](QWidget& dialog, int) {
            shoot(dialog, u"dialog_liste_exportieren"_s);
            QCOMPARE(dialog.windowTitle(), u"Liste exportieren"_s);
            static_cast<QFileDialog&>(dialog).setDirectory(dir.path());
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        exportieren->trigger();
        QCOMPARE(driver.showings(u"dlgListeExportieren"_s), 1);
        const QByteArray csv = readAll(path);
        QVERIFY2(csv.startsWith("\xEF\xBB\xBFnum_artikel;nam_artikel;"), csv.constData());
        const QList<QByteArray> lines = csv.split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines.at(0).endsWith('\r'));
        // In the shown order (by name), the quote doubled and the field with a semicolon quoted.
        QVERIFY2(lines.at(1).startsWith("9000654321;apfel;"), lines.at(1).constData());
        QVERIFY2(lines.at(2).startsWith("9000123456;Birne;"), lines.at(2).constData());
        QVERIFY2(lines.at(3).startsWith("9000777777;\"Zitrone; \"\"bio\"\"\";"), lines.at(3).constData());
        const QString validFrom =
            QDate::currentDate().addDays(-10).toString(u"dd.MM.yyyy"_s); // validArticle's first day
        QVERIFY2(lines.at(1).contains((u";"_s + validFrom + u";"_s).toUtf8()), lines.at(1).constData());
        QVERIFY2(lines.at(1).contains(";12,00\r") || lines.at(1).contains(";12\r"), lines.at(1).constData());
        QVERIFY2(lines.at(3).contains(";0,99\r"), lines.at(3).constData());
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }

    void aFailedWriteSaysSoAndLeavesNoHalfFile()
    {
        app::FMStart& fm = env->start();
        const QTemporaryDir dir;

        forms::MessageBoxes::queueAnswer(Button::Ok);
        QVERIFY(!app::exportList(&fm, fm.adoPrimaryRS(), dir.filePath(u"fehlt/Liste.csv"_s)));
        QCOMPARE(forms::MessageBoxes::log().size(), 1);
        const forms::ShownMessage missing = forms::MessageBoxes::log().constFirst();
        QVERIFY2(missing.text.startsWith(u"Die Liste wurde nicht gespeichert:"_s), qPrintable(missing.text));
        QVERIFY2(missing.text.contains(u"nicht angelegt werden"_s), qPrintable(missing.text));
        QCOMPARE(missing.icon, forms::Icon::Exclamation);

        // A disk that fills while writing: the list there before stays, and no temporary file is left.
        const QString path = dir.filePath(u"Liste.csv"_s);
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("die alte Liste\r\n");
        }
        forms::MessageBoxes::clearLog();
        forms::MessageBoxes::queueAnswer(Button::Ok);
        {
            const FileSizeLimit full(64);
            QVERIFY(!app::exportList(&fm, fm.adoPrimaryRS(), path));
        }
        QCOMPARE(forms::MessageBoxes::log().size(), 1);
        QVERIFY2(forms::MessageBoxes::log().constFirst().text.contains(u"Datenträger voll"_s),
                 qPrintable(forms::MessageBoxes::log().constFirst().text));
        QCOMPARE(readAll(path), QByteArray("die alte Liste\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"Liste.csv"_s});
    }

    void aLongListShowsProgress()
    {
        std::vector<Article> many;
        for (int i = 0; i < 30000; ++i)
            many.push_back(named(QString::number(9100000000LL + i), u"Artikel %1"_s.arg(i), 1.25));
        ado::test::writeArticles(ado::test::OdbcSandbox::instance().databasePath(), many);
        app::FMStart& fm = env->start();
        const QTemporaryDir dir;
        bool seen = false;
        testsupport::ModalDriver driver;
        driver.on(u"dlgExportFortschritt"_s, [&](QWidget& dialog, int) {
            seen = true;
            shoot(dialog, u"dialog_export_fortschritt"_s);
        });
        QVERIFY(app::exportList(&fm, fm.adoPrimaryRS(), dir.filePath(u"lang.csv"_s)));
        QCOMPARE(readAll(dir.filePath(u"lang.csv"_s)).count('\n'), 30001);
        Q_UNUSED(seen); // shown only when writing takes long enough
    }

private:
    std::optional<Environment> env;
};

QTEST_MAIN(WindowMemoryExportTest)
#include "tst_window_memory_export.moc"
