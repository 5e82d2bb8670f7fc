#include "dialogs/fm_pass.h"
#include "dialogs/fm_server.h"
#include "dialogs/frm_programmverlauf.h"
#include "platform/forms/error.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/msgbox.h"
#include "platform/objfactory/factory.h"
#include "platform/wire/wire.h"
#include "session/check_login.h"
#include "session/connect_server.h"
#include "session/login_settings.h"
#include "session/server_access.h"
#include "session_fixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using forms::Button;
using forms::MessageBoxes::queueAnswer;
using session::Session;
using testsupport::child;
using testsupport::ModalDriver;

namespace {

QStringList shownTexts()
{
    QStringList texts;
    for (const forms::ShownMessage& m : forms::MessageBoxes::log())
        texts << m.text;
    return texts;
}

void click(QWidget& window, const QString& button)
{
    child<QPushButton>(window, button).click();
}

} // namespace

// The log window's rows, newest first, each as "part | text | parameter" (without the time).
QStringList programLog()
{
    QStringList rows;
    auto* list = dialogs::windows::programmverlauf().findChild<QTreeWidget*>(u"Verlauf"_s);
    for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        rows << row->text(frmProgrammverlauf::PartColumn) + u" | "_s +
                    row->text(frmProgrammverlauf::TextColumn) + u" | "_s +
                    row->text(frmProgrammverlauf::ParameterColumn);
    }
    return rows;
}

class LoginTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { fixture.start(); }
    void cleanup() { fixture.stop(); }

    void emptyStoreAsksAndLogsIn()
    {
        ModalDriver driver;
        driver.on(u"FMPass"_s, [&](QWidget& pass, int) {
            click(pass, u"BUServer"_s); // the user first points the program at the server
            child<QLineEdit>(pass, u"BUSER"_s).setText(u"K17"_s);
            child<QLineEdit>(pass, u"BPASSWORT"_s).setText(u"geheim"_s);
            click(pass, u"BUSpeich"_s);
        });
        driver.on(u"FMServer"_s, [&](QWidget& server, int) {
            queueAnswer(Button::Yes); // "Änderungen erlauben?"
            click(server, u"BUEdit"_s);
            child<QLineEdit>(server, u"BPORT"_s).setText(QString::number(fixture.server->port()));
            queueAnswer(Button::Yes); // "Änderungen sichern?"
            click(server, u"BUEdit"_s);
            click(server, u"BUZurück"_s);
        });

        QVERIFY(session::CheckLogin());
        QCOMPARE(driver.showings(u"FMPass"_s), 1);
        QCOMPARE(Session().UserIdent, u"K17|Maier"_s);
        QCOMPARE(Session().DepartmentName, u"Einkauf"_s);
        QCOMPARE(Session().UserEmail, u"maier@example.org"_s);
        QCOMPARE(shownTexts(), (QStringList{u"Änderungen erlauben?"_s, u"Änderungen sichern?"_s}));
        QVERIFY(!session::FMPass().form().isVisible());

        QVERIFY(fixture.server->waitForLog(u"PERSONAL=\"K17|Maier\""_s));
        const QString log = fixture.server->log();
        const qsizetype first = log.indexOf(u"xecute S FIRMA=1,FIL=0,PERSONAL=\"K17\"\n"_s);
        const qsizetype second = log.indexOf(u"xecute S FIRMA=1,FIL=0,PERSONAL=\"K17|Maier\"\n"_s);
        QVERIFY2(first >= 0 && second > first, qPrintable(log));
        QVERIFY(log.indexOf(u"xecute D ^%XTT"_s) > first);

        QCOMPARE(testsupport::storedSetting("Name"), u"K17"_s);
        QCOMPARE(testsupport::storedSetting("Port"), QString::number(fixture.server->port()));
        QCOMPARE(session::ScramblePassword(testsupport::storedSetting("Passwort")), u"geheim"_s);
        QVERIFY(testsupport::storedSetting("Passwort") != u"geheim"_s);
    }

    void rejectedCredentials_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("wrong password") << u"K17"_s << u"falsch"_s;
        QTest::newRow("password case") << u"K17"_s << u"Geheim"_s;
        QTest::newRow("active flag j") << u"K22"_s << u"geheim"_s;
        QTest::newRow("inactive") << u"K18"_s << u"geheim"_s;
        QTest::newRow("no password on record") << u"K20"_s << u"x"_s;
    }
    void rejectedCredentials()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        fixture.storeLogin(user, password);
        queueAnswer(Button::Ok);
        QVERIFY(!session::CheckLogin());
        const auto shown = forms::MessageBoxes::log();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.at(0).text, u"Passwort Falsch oder Benutzer nicht Aktiv."_s);
        QCOMPARE(shown.at(0).title, u"Anmeldung an Caché."_s);
        QCOMPARE(shown.at(0).icon, forms::Icon::Information);
        QVERIFY(Session().LoginRejected);
        QVERIFY(!Session().LoginServerError);
        QVERIFY(Session().UserIdent.isEmpty());
        QCOMPARE(session::FMPass().BPASSWORT().selectedText(), password);
        QVERIFY2(session::IsConnected(), "a rejection keeps the connection");

        // The next attempt asks again, since the stored credentials were refused.
        ModalDriver driver;
        driver.on(u"FMPass"_s, [&](QWidget& pass, int) {
            child<QLineEdit>(pass, u"BUSER"_s).setText(u"K17"_s);
            child<QLineEdit>(pass, u"BPASSWORT"_s).setText(u"geheim"_s);
            click(pass, u"BUSpeich"_s);
        });
        QVERIFY(session::CheckLogin());
        QCOMPARE(driver.showings(u"FMPass"_s), 1);
    }

    void serverErrorsAreReportedByStep_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("ident");
        QTest::newRow("unknown user")
            << u"K99"_s << u"Anmeldung mit nicht existierendem Personalcode"_s << QString();
        QTest::newRow("department missing") << u"K19"_s << u"Abteilungsermittlung"_s << u"K19|Schulz"_s;
    }
    void serverErrorsAreReportedByStep()
    {
        QFETCH(QString, user);
        QFETCH(QString, operation);
        QFETCH(QString, ident);
        fixture.storeLogin(user, u"geheim"_s);
        queueAnswer(Button::Ok);
        QVERIFY(!session::CheckLogin());
        const auto shown = forms::MessageBoxes::log();
        QCOMPARE(shown.size(), 1);
        const QString text = shown.at(0).text;
        QVERIFY2(text.startsWith(u"Vorgang: "_s + operation + u".\n\nFehler: "_s), qPrintable(text));
        const QString number = text.section(u'\n', 2, 2).mid(QStringLiteral("Fehler: ").size());
        QVERIFY(number.toInt() < 0);
        QVERIFY(text.endsWith(u"\n\n"_s));
        QCOMPARE(text.count(u'\n'), 5);
        QCOMPARE(shown.at(0).title, u"Caché Zugriffsfehler"_s);
        QCOMPARE(shown.at(0).icon, forms::Icon::Exclamation);
        QVERIFY(Session().LoginRejected && Session().LoginServerError);
        QCOMPARE(Session().UserIdent, ident);
        QCOMPARE(forms::mousePointer(), forms::Pointer::Default);
        QVERIFY2(session::FMServer().Lock().isActive(), "the access was ended");
    }

    void personBaseFailureKeepsTheDepartment()
    {
        testsupport::ServerProcess custom;
        QVERIFY(custom.start(R"json({"objects": {
            "VD.ParPersEdv": {"1||K30": {"Passwort": "p", "AKTIV": "J", "PNAME": "Roth", "ABTNR": "3", "DW": "1",
                                          "BERGRP": "A", "PNR": "999"}},
            "VD.ParPersAbt": {"1||3": {"abtbez": "Einkauf"}}}})json"));
        testsupport::storeSetting("Server", u"127.0.0.1"_s);
        testsupport::storeSetting("Port", QString::number(custom.port()));
        testsupport::storeSetting("Name", u"K30"_s);
        testsupport::storeSetting("Passwort", session::ScramblePassword(u"p"_s));
        queueAnswer(Button::Ok);
        QVERIFY(!session::CheckLogin());
        QVERIFY(forms::MessageBoxes::log().at(0).text.startsWith(u"Vorgang: PersBasis Nummern.\n"_s));
        QCOMPARE(Session().DepartmentName, u"Einkauf"_s);
    }

    void unreachableServerEndsTheProgramAfterThreeAttempts()
    {
        fixture.storeLogin(u"K17"_s, u"geheim"_s);
        fixture.server->stop();
        ModalDriver driver;
        driver.on(u"FMServer"_s, [&](QWidget& server, int) { click(server, u"BUZurück"_s); });
        queueAnswer(Button::Ok);
        queueAnswer(Button::Ok);
        queueAnswer(Button::Ok);
        int exitStatus = -1;
        try {
            session::CheckLogin();
        } catch (const forms::ProgramEnded& end) {
            exitStatus = end.code();
        }
        QCOMPARE(exitStatus, 1); // a failure the program reported, not the user's choice
        QCOMPARE(driver.showings(u"FMServer"_s), 2);
        const QStringList texts = shownTexts();
        QCOMPARE(texts.size(), 3);
        const QString refused =
            u"Ursache: Verbindung abgelehnt, an dieser Adresse und diesem Port antwortet kein Server."_s;
        QVERIFY2(texts.at(0).endsWith(u"Noch 2 Verbindungsversuche bis zum Abbruch.\n"_s + refused),
                 qPrintable(texts.at(0)));
        QVERIFY(texts.at(0).startsWith(
            u"Server nicht erreicht! Bitte überprüfen Sie die Verbindungseinstellungen\n"
            u"Wenn die Verbindungseinstellung korrekt ist sind wahrscheinlich keine Lizenzen frei.\n"_s));
        QVERIFY(texts.at(1).endsWith(u"Noch 1 Verbindungsversuche bis zum Abbruch.\n"_s + refused));
        QCOMPARE(texts.at(2), u"Server nach 3 Versuchen nicht erreichbar!\nAbbruch\n"_s + refused);
        QCOMPARE(forms::MessageBoxes::log().at(2).icon, forms::Icon::Exclamation);
        QCOMPARE(forms::MessageBoxes::log().at(0).icon, forms::Icon::None);
        QCOMPARE(forms::MessageBoxes::log().at(0).title, u"Anmeldung an Caché"_s);
        QVERIFY(Session().UserIdent.isEmpty());
    }

    void serverStartedDuringTheSettingsDialog()
    {
        fixture.storeLogin(u"K17"_s, u"geheim"_s);
        ModalDriver driver;
        serverComesBackDuringTheSettingsDialog(driver);
        QVERIFY(session::CheckLogin());
        QCOMPARE(driver.showings(u"FMServer"_s), 1);
        QCOMPARE(forms::MessageBoxes::log().size(), 1);
        QCOMPARE(Session().UserIdent, u"K17|Maier"_s);
    }

    void idleConnectionIsClosedAndReopened()
    {
        fixture.storeLogin(u"K17"_s, u"geheim"_s);
        session::FMServer().Lock().setInterval(300);
        QVERIFY(session::CheckLogin());
        QVERIFY(session::FMServer().Lock().isActive());
        QTRY_VERIFY(!session::FMServer().Lock().isActive()); // the tick needs the event loop
        QVERIFY(fixture.server->waitForLog(u"closed (licences in use 0 of 5)"_s));
        QVERIFY(!session::IsConnected());

        session::BeginServerAccess(false);
        QVERIFY(session::IsConnected());
        QVERIFY2(!session::FMServer().Lock().isActive(), "stopped during an access");
        session::EndServerAccess(false);
        QVERIFY(fixture.server->waitForLogCount(u"xecute S FIRMA=1,FIL=0,PERSONAL=\"K17\"\n"_s, 2));
        QCOMPARE(fixture.server->logCount(u"opened from"_s), 2);
    }

    // What a support desk reads in the log window: each connection attempt with its address and port and
    // outcome, the login, the idle disconnect and the reconnect; never the password.
    void theProgramLogFollowsTheSession()
    {
        fixture.storeLogin(u"K17"_s, u"geheim"_s);
        ModalDriver driver;
        serverComesBackDuringTheSettingsDialog(driver);
        session::FMServer().Lock().setInterval(300);
        QVERIFY(session::CheckLogin());
        QTRY_VERIFY(!session::FMServer().Lock().isActive()); // the idle disconnect
        session::BeginServerAccess(false);
        session::EndServerAccess(false);

        const QStringList rows = programLog();
        const QString where = u"cn_iptcp:127.0.0.1[%1]:VELDOR"_s.arg(fixture.server->port());
        const auto has = [&](const QString& row) { return rows.contains(row); };
        QVERIFY2(rows.filter(u"Sitzung | Verbindungsversuch 1: nicht erreicht ("_s).size() == 1,
                 qPrintable(rows.join(u'\n')));
        QVERIFY2(rows.filter(where).size() >= 3, qPrintable(rows.join(u'\n')));
        QVERIFY(has(u"Meldungen | Server nicht erreicht! Bitte überprüfen Sie die Verbindungseinstellungen "_s
                    u"Wenn die Verbindungseinstellung korrekt ist sind wahrscheinlich keine Lizenzen frei. "_s
                    u"Noch 2 Verbindungsversuche bis zum Abbruch. Ursache: Verbindung abgelehnt, an dieser "_s
                    u"Adresse und diesem Port antwortet kein Server. | Anmeldung an Caché"_s));
        QVERIFY(has(u"Sitzung | Verbindungsversuch 2: verbunden | "_s + where));
        QVERIFY(has(u"Sitzung | Anmeldung erfolgreich | K17|Maier"_s));
        QVERIFY(has(u"Sitzung | Leerlauf: Verbindung getrennt, die Lizenz ist frei | "_s + where));
        QCOMPARE(rows.filter(u"Verbindungsversuch 1: verbunden"_s).size(), 1); // the reconnect
        QVERIFY2(rows.filter(u"geheim"_s).isEmpty(), "a password in the log");
        // Newest on top: the reconnect is the first row.
        QCOMPARE(rows.first(), u"Sitzung | Verbindungsversuch 1: verbunden | "_s + where);
    }

    void aRejectedLoginIsLoggedWithoutThePassword()
    {
        fixture.storeLogin(u"K17"_s, u"falsch"_s);
        queueAnswer(Button::Ok);
        QVERIFY(!session::CheckLogin());
        const QStringList rows = programLog();
        QVERIFY2(rows.contains(u"Sitzung | Anmeldung abgelehnt | K17"_s), qPrintable(rows.join(u'\n')));
        QVERIFY(
            rows.contains(u"Meldungen | Passwort Falsch oder Benutzer nicht Aktiv. | Anmeldung an Caché."_s));
        QVERIFY(rows.filter(u"falsch"_s).isEmpty());
    }

    void reconnectGoesWhereTheLoginWent()
    {
        fixture.storeLogin(u"K17"_s, u"geheim"_s);
        QVERIFY(session::CheckLogin());
        const QString loginString = Session().ConnectString;
        testsupport::ServerProcess other;
        QVERIFY2(other.start(testsupport::ServerProcess::standardData()), qPrintable(other.error()));

        // Saving another server in the settings dialog closes the connection, as the idle timer would.
        dialogs::FMServer& server = dialogs::windows::fmServer();
        queueAnswer(Button::Yes);
        server.BUEdit().click();
        server.BPORT().setText(QString::number(other.port()));
        queueAnswer(Button::Yes);
        server.BUEdit().click();
        QCOMPARE(testsupport::storedSetting("Port"), QString::number(other.port()));
        QCOMPARE(Session().ServerPort, QString::number(other.port()));
        QVERIFY(!session::IsConnected());

        session::BeginServerAccess(false);
        QVERIFY(session::IsConnected());
        session::EndServerAccess(false);
        QCOMPARE(Session().ConnectString, loginString);
        QVERIFY(fixture.server->waitForLogCount(u"opened from"_s, 2));
        QCOMPARE(other.logCount(u"opened from"_s), 0);
        QCOMPARE(forms::MessageBoxes::log().size(), 2); // the dialog's two questions only
    }

    void laterAttemptsUseTheSettingsSavedBeforeThem()
    {
        fixture.storeLogin(u"K17"_s, u"geheim"_s);
        QVERIFY(session::CheckLogin());
        const QString loginString = Session().ConnectString;
        testsupport::ServerProcess other;
        QVERIFY2(other.start(testsupport::ServerProcess::standardData()), qPrintable(other.error()));
        session::DisconnectServer();
        fixture.server->stop();

        // 127.0.0.2 is loopback too, but nobody listens there: the second attempt fails as well.
        const QStringList addresses{u"127.0.0.2"_s, u"127.0.0.1"_s};
        QStringList usedBefore;
        ModalDriver driver;
        driver.on(u"FMServer"_s, [&](QWidget& server, int showing) {
            usedBefore << Session().ConnectString;
            queueAnswer(Button::Yes);
            click(server, u"BUEdit"_s);
            child<QLineEdit>(server, u"BSERVERIP"_s).setText(addresses.at(showing - 1));
            child<QLineEdit>(server, u"BPORT"_s).setText(QString::number(other.port()));
            queueAnswer(Button::Yes);
            click(server, u"BUEdit"_s);
            queueAnswer(Button::Ok); // the countdown after the next failure, if there is one
            click(server, u"BUZurück"_s);
        });
        queueAnswer(Button::Ok);

        session::BeginServerAccess(false);
        QVERIFY(session::IsConnected());
        session::EndServerAccess(false);
        QCOMPARE(driver.showings(u"FMServer"_s), 2);
        QCOMPARE(usedBefore,
                 (QStringList{loginString, u"cn_iptcp:127.0.0.2[%1]:VELDOR"_s.arg(other.port())}));
        QCOMPARE(Session().ConnectString, other.connectString());
        QVERIFY(other.waitForLog(u"xecute D ^%XTT"_s));
        QCOMPARE(other.logCount(u"opened from"_s), 1);
        const QStringList texts = shownTexts();
        QCOMPARE(texts.count(u"Änderungen sichern?"_s), 2);
        QCOMPARE(texts.filter(u"Verbindungsversuche bis zum Abbruch"_s).size(), 2);
    }

    void emptyCompanyOrBranchIsSentAsEmptyText_data()
    {
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("branch");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("loggedIn");
        QTest::newRow("empty branch") << u"1"_s << u""_s << u"S FIRMA=1,FIL=\"\",PERSONAL=\"K17\""_s << true;
        // No user in company "": refused by the user lookup, not by the context line.
        QTest::newRow("empty company")
            << u""_s << u"0"_s << u"S FIRMA=\"\",FIL=0,PERSONAL=\"K17\""_s << false;
    }
    void emptyCompanyOrBranchIsSentAsEmptyText()
    {
        QFETCH(QString, company);
        QFETCH(QString, branch);
        QFETCH(QString, line);
        QFETCH(bool, loggedIn);
        fixture.storeLogin(u"K17"_s, u"geheim"_s);
        testsupport::storeSetting("Firma", company);
        testsupport::storeSetting("Filiale", branch);
        if (!loggedIn)
            queueAnswer(Button::Ok);
        QCOMPARE(session::CheckLogin(), loggedIn);
        QVERIFY2(fixture.server->waitForLog(u"xecute "_s + line + u'\n'), qPrintable(fixture.server->log()));
        QVERIFY(fixture.server->waitForLog(u"xecute D ^%XTT"_s));
        QVERIFY2(!fixture.server->log().contains(u"SYNTAX"_s), qPrintable(fixture.server->log()));
        if (!loggedIn)
            QVERIFY(forms::MessageBoxes::log().at(0).text.startsWith(
                u"Vorgang: Anmeldung mit nicht existierendem Personalcode.\n"_s));
    }

    void demoUsersBehaveAsDocumented_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("ident");
        QTest::addColumn<QString>("department");
        QTest::addColumn<QString>("message"); // empty: logs in
        QTest::newRow("K17") << u"K17"_s << u"geheim"_s << u"K17|Maier"_s << u"Einkauf"_s << QString();
        QTest::newRow("K21") << u"K21"_s << u"kasse"_s << u"K21|Yilmaz"_s << u"Kasse"_s << QString();
        QTest::newRow("K18") << u"K18"_s << u"geheim"_s << QString() << QString()
                             << u"Passwort Falsch oder Benutzer nicht Aktiv."_s;
        QTest::newRow("K19") << u"K19"_s << u"geheim"_s << u"K19|Schulz"_s << QString()
                             << u"Vorgang: Abteilungsermittlung.\n"_s;
    }
    void demoUsersBehaveAsDocumented()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, ident);
        QFETCH(QString, department);
        QFETCH(QString, message);
        QFile data(QStringLiteral(PLENVARO_DEMO_DATA));
        QVERIFY(data.open(QIODevice::ReadOnly));
        testsupport::ServerProcess demo;
        QVERIFY2(demo.start(data.readAll()), qPrintable(demo.error()));
        testsupport::storeSetting("Server", u"127.0.0.1"_s);
        testsupport::storeSetting("Port", QString::number(demo.port()));
        testsupport::storeSetting("Name", user);
        testsupport::storeSetting("Passwort", session::ScramblePassword(password));
        if (!message.isEmpty())
            queueAnswer(Button::Ok);

        const bool loggedIn = session::CheckLogin();
        const QStringList texts = shownTexts();
        QVERIFY2(loggedIn == message.isEmpty(), qPrintable(texts.join(u'|')));
        QCOMPARE(Session().UserIdent, ident);
        if (loggedIn) {
            QCOMPARE(Session().DepartmentName, department);
            QVERIFY(!Session().UserFax.isEmpty());
            QVERIFY(texts.isEmpty());
        } else {
            QCOMPARE(texts.size(), 1);
            QVERIFY2(texts.at(0).startsWith(message), qPrintable(texts.at(0)));
        }
    }

    void settingsDialogAsksBeforeEditingAndSaving()
    {
        session::LoadSettings();
        dialogs::FMServer& server = dialogs::windows::fmServer();
        QVERIFY(server.BUEdit().isChecked());
        QVERIFY(!server.BFIRMA().isEnabled());

        queueAnswer(Button::No);
        server.BUEdit().click();
        QVERIFY2(server.BUEdit().isChecked(), "No leaves it locked");
        QVERIFY(!server.BFIRMA().isEnabled());

        queueAnswer(Button::Yes);
        server.BUEdit().click();
        QVERIFY(!server.BUEdit().isChecked());
        for (QLineEdit* box :
             {&server.BPORT(), &server.BSERVERIP(), &server.BFIRMA(), &server.BFIL(), &server.BNAMESPACE()})
            QVERIFY(box->isEnabled());
        server.BFIRMA().setText(u"2"_s);
        queueAnswer(Button::No);
        server.BUEdit().click();
        QVERIFY(!server.BFIRMA().isEnabled());
        QCOMPARE(server.BFIRMA().text(), u"2"_s);                     // the edit stays in the locked box
        QCOMPARE(testsupport::storedSetting("Firma"), u"<absent>"_s); // nothing saved on No

        queueAnswer(Button::Yes);
        server.BUEdit().click();
        server.BFIL().setText(u"7"_s);
        session::FMPass().BUSER().setText(u"K21"_s);
        session::FMPass().BPASSWORT().setText(u"kasse"_s);
        queueAnswer(Button::Yes);
        server.BUEdit().click();
        QCOMPARE(testsupport::storedSetting("Firma"), u"2"_s);
        QCOMPARE(testsupport::storedSetting("Filiale"), u"7"_s);
        QCOMPARE(testsupport::storedSetting("Name"), u"K21"_s);
        QCOMPARE(session::ScramblePassword(testsupport::storedSetting("Passwort")), u"kasse"_s);
        QCOMPARE(Session().CompanyNo, u"2"_s);
        QCOMPARE(Session().BranchNo, u"7"_s);
        QVERIFY2(!server.Lock().isActive(), "saving ends the connection and stops the timer");
        QCOMPARE(shownTexts(),
                 (QStringList{u"Änderungen erlauben?"_s, u"Änderungen erlauben?"_s, u"Änderungen sichern?"_s,
                              u"Änderungen erlauben?"_s, u"Änderungen sichern?"_s}));
    }

    void serverErrorKeepsTheStoredPassword()
    {
        testsupport::storeSetting("Passwort", session::ScramblePassword(u"geheim"_s));
        Session().LoginServerError = true;
        session::FMPass().BPASSWORT().setText(u"getippt"_s);
        session::LoadSettings();
        QCOMPARE(Session().Password, u"getippt"_s); // the typed password stays in force
        dialogs::windows::fmPass().Sichern();
        QCOMPARE(session::ScramblePassword(testsupport::storedSetting("Passwort")), u"geheim"_s);
        QCOMPARE(testsupport::storedSetting("Name"), QString());

        Session().LoginServerError = false;
        session::LoadSettings();
        QCOMPARE(Session().Password, u"geheim"_s);
        QCOMPARE(session::FMPass().BPASSWORT().text(), u"geheim"_s);
    }

    void injectionPayloadsLeaveTheServerGlobalsAlone()
    {
        fixture.storeLogin(u"K17\",^X=\"1"_s, u"geheim"_s);
        testsupport::storeSetting("Firma", u"1,^X=1"_s);
        queueAnswer(Button::Ok);
        QVERIFY(!session::CheckLogin());
        QVERIFY(
            fixture.server->waitForLog(u"xecute S FIRMA=\"1,^X=1\",FIL=0,PERSONAL=\"K17\"\",^X=\"\"1\"\n"_s));
        objfactory::Factory probe;
        QString cs = fixture.server->connectString();
        QVERIFY(probe.Connect(cs));
        QCOMPARE(probe.ClassObject(u"VD.Windows"_s).call(u"Xecute"_s, u"S P0=$D(^X)"_s), u"0"_s);
    }

    void refusedCommandLineCredentialsAreNotRetried()
    {
        Session().CommandLine = u"1 0 K17 falsch 127.0.0.1 %1"_s.arg(fixture.server->port());
        queueAnswer(Button::Ok);
        QVERIFY(!session::CheckLogin());
        QVERIFY(Session().CommandLineRefused);
        ModalDriver driver;
        fixture.storeLogin(u"K17"_s, u"geheim"_s);
        driver.on(u"FMPass"_s, [&](QWidget& pass, int) { click(pass, u"BUSpeich"_s); });
        Session().LoginServerError = false;
        QVERIFY2(session::CheckLogin(), "the next attempt asks, and the stored settings apply");
        QCOMPARE(driver.showings(u"FMPass"_s), 1);
    }

    void commandLineCountsOnlyWithANumberFirst()
    {
        for (const QString& line : {u"1 0 K17 geheim"_s, u"&H1 0 K17 geheim"_s, u"1,0 0 K17"_s, u"1e0"_s}) {
            Session().CommandLine = line;
            QVERIFY2(session::CommandLineSupplies(), qPrintable(line));
        }
        for (const QString& line : {u"nan 0 K17 geheim"_s, u"inf 0 K17 geheim"_s, u"-infinity 0 K17"_s,
                                    u" 1 0 K17 geheim"_s, u"K17 geheim"_s, u"0x1 0 K17 geheim"_s}) {
            Session().CommandLine = line;
            QVERIFY2(!session::CommandLineSupplies(), qPrintable(line));
        }
    }

    void commandLineSuppliesEverythingWithoutTheStore()
    {
        testsupport::storeSetting("Server", u"10.0.0.9"_s);
        Session().CommandLine = u"1 0 K17 geheim"_s;
        session::PrepareLogin();
        QCOMPARE(Session().ConnectString, u"cn_iptcp:127.0.0.1[1973]:VELDOR"_s); // defaults, not the store
        QCOMPARE(Session().Password, u"geheim"_s);
        QCOMPARE(session::FMServer().BSERVERIP().text(), u"127.0.0.1"_s);
        Session().CommandLine = u"1 0  K17 geheim"_s;
        session::PrepareLogin();
        QCOMPARE(Session().UserCode, QString());
        QCOMPARE(Session().Password, u"K17"_s);
        QCOMPARE(Session().ServerAddress, u"geheim"_s);
    }

    void aDamagedStoreIsReportedAndKept()
    {
        QFile file(fixture.registryFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray garbage(4096, 'x');
        file.write(garbage);
        file.close();
        plenvaroRegistryReset();
        QVERIFY_THROWS_EXCEPTION(forms::Error, session::LoadSettings());
        try {
            session::LoadSettings();
        } catch (const forms::Error& e) {
            QVERIFY2(e.description().contains(u"Einstellungsspeicher"_s), qPrintable(e.description()));
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), garbage);
    }

private:
    // The server is down at the first attempt and started again while the settings dialog between the
    // attempts is open; its countdown message is answered.
    void serverComesBackDuringTheSettingsDialog(ModalDriver& driver)
    {
        fixture.server->stop();
        driver.on(u"FMServer"_s, [this](QWidget& server, int) {
            QVERIFY(fixture.server->restart());
            click(server, u"BUZurück"_s);
        });
        queueAnswer(Button::Ok);
    }

    testsupport::SessionFixture fixture;
};

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
