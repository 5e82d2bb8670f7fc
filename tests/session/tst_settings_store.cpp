// The settings store on a disk that is full or read-only: the login dialog saves all its settings or
// none and says why, and the program still logs in with what is stored.
#include "dialogs/fm_pass.h"
#include "dialogs/fm_server.h"
#include "full_disk.h"
#include "platform/forms/error.h"
#include "session/check_login.h"
#include "session/login_settings.h"
#include "session_fixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using forms::Button;
using forms::MessageBoxes::queueAnswer;
using plenvaro::winreg::test::FullDisk;
using session::Session;

namespace {

using MakeDisk = std::unique_ptr<FullDisk> (*)(const std::filesystem::path&);

const char* const loginKeys[] = {"Firma", "Filiale", "Name", "Passwort", "Server", "Port", "Namespace"};

QStringList storedLogin()
{
    QStringList values;
    for (const char* key : loginKeys)
        values << testsupport::storedSetting(key);
    return values;
}

QStringList shownTexts()
{
    QStringList texts;
    for (const forms::ShownMessage& m : forms::MessageBoxes::log())
        texts << m.text;
    return texts;
}

// Types what the user would into both dialogs: every value ends with `suffix`.
void typeLogin(const QString& port, const QString& suffix)
{
    dialogs::FMServer& server = dialogs::windows::fmServer();
    server.BFIRMA().setText(u"1"_s);
    server.BFIL().setText(u"0"_s);
    server.BSERVERIP().setText(u"127.0.0.1"_s);
    server.BPORT().setText(port);
    server.BNAMESPACE().setText(u"VELDOR"_s + suffix);
    dialogs::windows::fmPass().BUSER().setText(u"K17"_s + suffix);
    dialogs::windows::fmPass().BPASSWORT().setText(u"geheim"_s + suffix);
}

} // namespace

Q_DECLARE_METATYPE(MakeDisk)

class SettingsStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { fixture.start(); }
    void cleanup()
    {
        plenvaroRegistryReset(); // the store is closed before its disk goes, and the disk before its folder
        disk.reset();
        fixture.stop();
    }

    void anmeldenOnAFullDiskSavesNoneAndSaysSo_data() { disks(); }
    void anmeldenOnAFullDiskSavesNoneAndSaysSo()
    {
        if (!useDisk())
            return;
        session::LoadSettings();
        typeLogin(u"1972"_s, u"A"_s);
        dialogs::windows::fmPass().Sichern();
        const QStringList before = storedLogin();
        QCOMPARE(before.at(2), u"K17A"_s);

        typeLogin(u"1973"_s, u"B"_s);
        disk->fill();
        queueAnswer(Button::Ok);
        dialogs::windows::fmPass().findChild<QPushButton*>(u"BUSpeich"_s)->click();
        const QStringList texts = shownTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.at(0).startsWith(u"Der Datenträger ist voll: Einstellungsspeicher: "_s),
                 qPrintable(texts.at(0)));
        QCOMPARE(storedLogin(), before);

        disk->clear(); // room again: the same "Anmelden" saves all seven
        dialogs::windows::fmPass().findChild<QPushButton*>(u"BUSpeich"_s)->click();
        QCOMPARE(storedLogin().at(2), u"K17B"_s);
        QCOMPARE(storedLogin().at(5), u"1973"_s);
        QCOMPARE(session::ScramblePassword(storedLogin().at(3)), u"geheimB"_s);
    }

    void theProgramLogsInFromAFullDisk_data() { disks(); }
    void theProgramLogsInFromAFullDisk()
    {
        if (!useDisk())
            return;
        fixture.storeLogin(u"K17"_s, u"geheim"_s);
        plenvaroRegistryReset(); // the program ended; the disk fills before it starts again
        disk->fill();
        plenvaroRegistryReset();
        QVERIFY(session::CheckLogin());
        QCOMPARE(Session().UserCode, u"K17"_s);
        QVERIFY2(shownTexts().isEmpty(), qPrintable(shownTexts().join(u'\n')));
        QVERIFY_THROWS_EXCEPTION(forms::Error, testsupport::storeSetting("Name", u"K18"_s));
        QCOMPARE(testsupport::storedSetting("Name"), u"K17"_s);
    }

    void aReadOnlyMediumIsReadAndSavingSaysSo()
    {
        disk = plenvaro::winreg::test::smallTmpfs(fixture.store->path().toStdString());
        if (!useDisk())
            return;
        testsupport::storeSetting("Name", u"K17"_s);
        plenvaroRegistryReset();
        QVERIFY(disk->makeReadOnly());
        QCOMPARE(testsupport::storedSetting("Name"), u"K17"_s);
        try {
            session::SaveSettings(u"Cache Login"_s, u"Login"_s,
                                  {{u"Name"_s, u"K18"_s}, {u"Firma"_s, u"2"_s}});
            QFAIL("saved on a read-only medium");
        } catch (const forms::Error& e) {
            QVERIFY2(
                e.description().startsWith(u"Der Datenträger ist schreibgeschützt: Einstellungsspeicher: "_s),
                qPrintable(e.description()));
        }
        QCOMPARE(testsupport::storedSetting("Name"), u"K17"_s);
        QCOMPARE(testsupport::storedSetting("Firma"), u"<absent>"_s);
    }

private:
    // Each case on a real small tmpfs (skipped where mounting is not allowed) and with SQLite's writes
    // failing as on a full disk (always).
    void disks()
    {
        QTest::addColumn<MakeDisk>("make");
        QTest::newRow("tmpfs") << &plenvaro::winreg::test::smallTmpfs;
        QTest::newRow("failing writes") << &plenvaro::winreg::test::failingWrites;
    }

    // False when the test is skipped.
    bool useDisk()
    {
        if (!disk) {
            QFETCH(MakeDisk, make);
            disk = make(fixture.store->path().toStdString());
        }
        if (const std::string why = disk->unavailable(); !why.empty()) {
            QTest::qSkip(why.c_str(), __FILE__, __LINE__);
            return false;
        }
        qputenv("PLENVARO_REGISTRY",
                QByteArray::fromStdString((disk->folder() / "registry.sqlite3").string()));
        plenvaroRegistryReset();
        return true;
    }

    testsupport::SessionFixture fixture;
    std::unique_ptr<FullDisk> disk;
};

QTEST_MAIN(SettingsStoreTest)
#include "tst_settings_store.moc"
