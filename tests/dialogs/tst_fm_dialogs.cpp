#include "dialogs/ansi_validator.h"
#include "dialogs/fm_pass.h"
#include "dialogs/fm_server.h"
#include "dialogs/program_windows.h"
#include "platform/forms/error.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/test_reset.h"
#include "platform/forms/twips.h"
#include "session/session_settings.h"
#include "session/settings_store.h"
#include "session/text_routines.h"

#include "registry_sandbox.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using dialogs::FMPass;
using dialogs::FMServer;

namespace {

QList<QString> tabChain(QWidget& first, int length)
{
    QList<QString> names;
    QWidget* w = &first;
    for (int i = 0; i < length; ++i) {
        names << w->objectName();
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || !w->isEnabled())
            w = w->nextInFocusChain();
    }
    return names;
}

QString stored(const char* key)
{
    return session::GetSetting(u"Cache Login"_s, u"Login"_s, QString::fromLatin1(key), u"<absent>"_s);
}

// The seven connection settings as stored.
QStringList allStored()
{
    QStringList values;
    for (const char* key : {"Firma", "Filiale", "Name", "Passwort", "Server", "Port", "Namespace"})
        values << stored(key);
    return values;
}

} // namespace

class FmDialogsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        forms::resetForTests();
        session::resetSession();
        dialogs::windows::destroyAll();
        dialogs::windows::install();
        QVERIFY2(registry.isValid(), qPrintable(registry.error()));
    }
    void cleanup() { dialogs::windows::destroyAll(); }

    void loginDialogLooksAsLaidOut()
    {
        FMPass& pass = dialogs::windows::fmPass();
        QCOMPARE(pass.windowTitle(), u"VELDOR Benutzeranmeldung"_s);
        QCOMPARE(pass.size(), QSize(forms::twipsToPixelsX(3975), forms::twipsToPixelsY(1410)));
        QCOMPARE(pass.minimumSize(), pass.maximumSize());
        QVERIFY(!(pass.windowFlags() & Qt::WindowMinMaxButtonsHint));
        QCOMPARE(pass.findChild<QLabel*>(u"Label5"_s)->text(), u"User(WWS Personalcode):"_s);
        QCOMPARE(pass.findChild<QLabel*>(u"Label3"_s)->text(), u"Passwort:"_s);
        QCOMPARE(pass.BPASSWORT().echoMode(), QLineEdit::Password);
        QCOMPARE(pass.BPASSWORT().maxLength(), 20);
        QCOMPARE(pass.BUSER().maxLength(), 20);
        QCOMPARE(pass.BUSER().geometry(), forms::twipsRect(2280, 120, 1455, 285));
        auto* save = pass.findChild<QPushButton*>(u"BUSpeich"_s);
        QVERIFY(save->isDefault());
        QCOMPARE(save->text(), u"Anmelden"_s);
        QCOMPARE(pass.findChild<QPushButton*>(u"BUAusst"_s)->text(), u"Abbruch"_s);
        QCOMPARE(pass.findChild<QPushButton*>(u"BUServer"_s)->text(), u"Server"_s);
        QCOMPARE(tabChain(pass.BPASSWORT(), 5),
                 (QList<QString>{u"BPASSWORT"_s, u"BUSER"_s, u"BUSpeich"_s, u"BUAusst"_s, u"BUServer"_s}));
        QVERIFY(!save->icon().isNull());
    }

    void loginDialogBoxesBehave()
    {
        FMPass& pass = dialogs::windows::fmPass();
        pass.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pass));
        pass.BUSER().setText(u"k17"_s);
        pass.BUSER().setFocus();
        QTRY_VERIFY(pass.BUSER().hasFocus());
        pass.BPASSWORT().setText(u"geheim"_s);
        pass.BPASSWORT().setFocus();
        QTRY_VERIFY(pass.BPASSWORT().hasFocus());
        QCOMPARE(pass.BUSER().text(), u"K17"_s);                // capitals once the focus leaves
        QCOMPARE(pass.BPASSWORT().selectedText(), u"geheim"_s); // entering selects everything
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, u"日"_s);
        QApplication::sendEvent(&pass.BPASSWORT(), &typed);
        QCOMPARE(pass.BPASSWORT().text(), u"geheim"_s); // a character the store cannot keep is refused
        QTest::keyClicks(&pass.BPASSWORT(), u"neu"_s);
        QCOMPARE(pass.BPASSWORT().text(), u"neu"_s); // typing replaces the selection

        QCloseEvent closeBox;
        QApplication::sendEvent(&pass, &closeBox);
        QVERIFY(!pass.isVisible());
        QVERIFY(dialogs::windows::existingFmPass() != nullptr); // the close box only hides
        QCOMPARE(pass.BUSER().text(), u"K17"_s);
    }

    void serverDialogLooksAsLaidOut()
    {
        FMServer& server = dialogs::windows::fmServer();
        QCOMPARE(server.windowTitle(), u"VELDOR Server"_s);
        QCOMPARE(server.size(), QSize(forms::twipsToPixelsX(3720), forms::twipsToPixelsY(1815)));
        QVERIFY(server.windowFlags() & Qt::WindowMinMaxButtonsHint);
        QCOMPARE(server.BSERVERIP().text(), session::siteDefaultServer());
        QCOMPARE(server.BPORT().text(), u"1973"_s);
        QCOMPARE(server.BFIRMA().text(), u"1"_s);
        QCOMPARE(server.BFIL().text(), u"0"_s);
        QCOMPARE(server.BNAMESPACE().text(), u"VELDOR"_s);
        for (QLineEdit* box :
             {&server.BSERVERIP(), &server.BPORT(), &server.BFIRMA(), &server.BFIL(), &server.BNAMESPACE()}) {
            QVERIFY(!box->isEnabled());
            QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Base),
                     box->palette().color(QPalette::Disabled, QPalette::Button));
        }
        QVERIFY(server.BUEdit().isCheckable() && server.BUEdit().isChecked());
        QCOMPARE(server.BUEdit().text(), u"Ändern"_s);
        auto* back = server.findChild<QPushButton*>(u"BUZurück"_s);
        QVERIFY(back && back->isDefault());
        QCOMPARE(server.Lock().interval(), 30000);
        QVERIFY(!server.Lock().isActive());
    }

    void serverDialogKeysAndCloseBox()
    {
        FMServer& server = dialogs::windows::fmServer();
        server.show();
        QVERIFY(QTest::qWaitForWindowExposed(&server));
        QTest::keyClick(&server, Qt::Key_Escape);
        QVERIFY(server.isVisible()); // no cancel button: Esc does nothing
        forms::MessageBoxes::queueAnswer(forms::Button::Yes);
        server.BUEdit().click();
        server.BPORT().setFocus();
        QTest::keyClick(&server.BPORT(), Qt::Key_Return);
        QVERIFY(!server.isVisible());        // Enter presses "Zurück"
        QVERIFY(server.BPORT().isEnabled()); // hiding keeps the mode
        server.show();
        QCloseEvent closeBox;
        QApplication::sendEvent(&server, &closeBox);
        QVERIFY(!server.isVisible());
        QVERIFY(dialogs::windows::existingFmServer() != nullptr);
    }

    // Capitals only where they stay one Windows-1252 character, so the code can always be saved.
    void personnelCodeCapitals_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << u"k17"_s << u"K17"_s;
        QTest::newRow("umlauts") << u"mäöü"_s << u"MÄÖÜ"_s;
        QTest::newRow("y with diaeresis: capital in the code page") << u"ÿ"_s << u"Ÿ"_s;
        QTest::newRow("micro sign: capital outside") << u"kµ"_s << u"Kµ"_s;
        QTest::newRow("florin: capital outside") << u"ƒa"_s << u"ƒA"_s;
        QTest::newRow("sharp s: capital of two letters") << u"straße"_s << u"STRAßE"_s;
    }

    void personnelCodeCapitals()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        FMPass& pass = dialogs::windows::fmPass();
        pass.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pass));
        pass.BUSER().setText(typed);
        pass.BUSER().setFocus();
        QTRY_VERIFY(pass.BUSER().hasFocus());
        pass.BPASSWORT().setFocus();
        QTRY_VERIFY(pass.BPASSWORT().hasFocus());
        QCOMPARE(pass.BUSER().text(), shown);
        QVERIFY(dialogs::isStorableText(pass.BUSER().text()));
    }

    void controlCharactersAreRefusedTypedOrPasted()
    {
        FMPass& pass = dialogs::windows::fmPass();
        pass.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pass));
        pass.BPASSWORT().clear();
        QTest::keyClicks(&pass.BPASSWORT(), u"ab"_s);
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x1F)));
        QApplication::sendEvent(&pass.BPASSWORT(), &typed);
        QCOMPARE(pass.BPASSWORT().text(), u"ab"_s);
        QGuiApplication::clipboard()->setText(u"c\x1f\td"_s);
        pass.BPASSWORT().paste();
        QCOMPARE(pass.BPASSWORT().text(), u"ab"_s);
        QGuiApplication::clipboard()->setText(u"cd€"_s);
        pass.BPASSWORT().paste();
        QCOMPARE(pass.BPASSWORT().text(), u"abcd€"_s);
        QVERIFY(!dialogs::isStorableText(u"a\u0085"_s)); // a C1 control stands for a code page gap
    }

    // A copied spreadsheet cell ends in a line break: the break goes, the cell's text stays.
    void pastedTextLosesItsTrailingLineBreaks_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("after");
        QTest::newRow("windows cell") << QString() << 0 << u"123\r\n"_s << u"123"_s;
        QTest::newRow("unix cell") << QString() << 0 << u"123\n"_s << u"123"_s;
        QTest::newRow("several breaks") << QString() << 0 << u"123\r\n\r\n"_s << u"123"_s;
        QTest::newRow("old mac break") << QString() << 0 << u"123\r"_s << u"123"_s;
        QTest::newRow("into the middle") << u"abcd"_s << 2 << u"12\r\n"_s << u"ab12cd"_s;
        QTest::newRow("in front of a text") << u"ab"_s << 0 << u"12\n"_s << u"12ab"_s;
        QTest::newRow("nothing but a break") << u"ab"_s << 2 << u"\r\n"_s << u"ab"_s;
        QTest::newRow("break inside: refused") << u"ab"_s << 2 << u"1\r\n2"_s << u"ab"_s;
        QTest::newRow("break inside and at the end") << u"ab"_s << 2 << u"1\n2\n"_s << u"ab"_s;
        QTest::newRow("two cells of a row") << u"ab"_s << 2 << u"1\t2\r\n"_s << u"ab"_s;
        QTest::newRow("break at the start") << u"ab"_s << 2 << u"\n12"_s << u"ab"_s;
    }

    void pastedTextLosesItsTrailingLineBreaks()
    {
        QFETCH(QString, before);
        QFETCH(int, cursor);
        QFETCH(QString, clipboard);
        QFETCH(QString, after);
        FMPass& pass = dialogs::windows::fmPass();
        for (QLineEdit* box : {&pass.BUSER(), &pass.BPASSWORT()}) {
            box->setText(before);
            box->setCursorPosition(cursor);
            QGuiApplication::clipboard()->setText(clipboard);
            box->paste();
            QCOMPARE(box->text(), after);
        }
        // The keyboard's paste takes the same way.
        QLineEdit& port = dialogs::windows::fmServer().BPORT();
        port.setEnabled(true);
        port.setText(before);
        port.setCursorPosition(cursor);
        QTest::keyClick(&port, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(port.text(), after);
    }

    // A value that cannot be kept stops the save before the first write; the error is reported and the
    // dialog stays open instead of the program ending.
    void sichernIsAllOrNothing()
    {
        FMPass& pass = dialogs::windows::fmPass();
        FMServer& server = dialogs::windows::fmServer();
        server.BFIRMA().setText(u"7"_s);
        server.BFIL().setText(u"3"_s);
        pass.BUSER().setText(u"K17"_s);
        pass.BPASSWORT().setText(u"geheim\x1f"_s); // set from code, past the box's validator
        pass.show();
        forms::MessageBoxes::setFailIfUnanswered(true);
        forms::MessageBoxes::queueAnswer(forms::Button::Ok);
        pass.BUSpeich_Click();
        QCOMPARE(forms::MessageBoxes::log().size(), 1);
        QVERIFY(forms::MessageBoxes::log().first().text.contains(u"Passwort"_s));
        QVERIFY(pass.isVisible());
        for (const char* key : {"Firma", "Filiale", "Name", "Passwort", "Server", "Port", "Namespace"})
            QCOMPARE(stored(key), u"<absent>"_s);

        server.BNAMESPACE().setText(u"VELDOR\u65e5"_s);
        pass.BPASSWORT().setText(u"geheim"_s);
        QVERIFY_THROWS_EXCEPTION(forms::Error, pass.Sichern());
        QCOMPARE(stored("Firma"), u"<absent>"_s);

        server.BNAMESPACE().setText(u"VELDOR"_s);
        pass.Sichern();
        QCOMPARE(stored("Firma"), u"7"_s);
        QCOMPARE(stored("Filiale"), u"3"_s);
        QCOMPARE(session::ScramblePassword(stored("Passwort")), u"geheim"_s);
        QCOMPARE(stored("Namespace"), u"VELDOR"_s);
    }

    // "Ändern" saves a port from 1 to 65535 and a company and branch of digits only (or none); a refusal
    // names the box, saves nothing, leaves the connection alone and lets the user correct the box.
    void serverDialogRefusesWhatCannotBeRight_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("branch");
        QTest::addColumn<QString>("refused"); // the box named, empty when saved
        QTest::newRow("letters as port") << u"abc"_s << u"1"_s << u"0"_s << u"Port"_s;
        QTest::newRow("port too large") << u"99999"_s << u"1"_s << u"0"_s << u"Port"_s;
        QTest::newRow("port just too large") << u"65536"_s << u"1"_s << u"0"_s << u"Port"_s;
        QTest::newRow("port zero") << u"0"_s << u"1"_s << u"0"_s << u"Port"_s;
        QTest::newRow("no port") << QString() << u"1"_s << u"0"_s << u"Port"_s;
        QTest::newRow("port with a blank") << u" 1972"_s << u"1"_s << u"0"_s << u"Port"_s;
        QTest::newRow("port beyond every integer")
            << u"99999999999999999999972"_s << u"1"_s << u"0"_s << u"Port"_s;
        QTest::newRow("branch as a name") << u"1972"_s << u"1"_s << u"Filiale Nord"_s << u"Filiale"_s;
        QTest::newRow("company with a letter") << u"1972"_s << u"1a"_s << u"0"_s << u"Firma"_s;
        QTest::newRow("negative branch") << u"1972"_s << u"1"_s << u"-3"_s << u"Filiale"_s;
        QTest::newRow("superscript digit") << u"1972"_s << u"1"_s << u"²"_s << u"Filiale"_s;
        QTest::newRow("highest port") << u"65535"_s << u"12"_s << u"0"_s << QString();
        QTest::newRow("lowest port") << u"1"_s << u"007"_s << u"120"_s << QString();
        QTest::newRow("no company, no branch") << u"1972"_s << QString() << QString() << QString();
    }

    void serverDialogRefusesWhatCannotBeRight()
    {
        QFETCH(QString, port);
        QFETCH(QString, company);
        QFETCH(QString, branch);
        QFETCH(QString, refused);
        FMServer& server = dialogs::windows::fmServer();
        server.show();
        QVERIFY(QTest::qWaitForWindowActive(&server));
        forms::MessageBoxes::setFailIfUnanswered(true);
        forms::MessageBoxes::queueAnswer(forms::Button::Yes);
        server.BUEdit().click();
        server.BPORT().setText(port);
        server.BFIRMA().setText(company);
        server.BFIL().setText(branch);
        server.Lock().start(); // the idle timer of an open connection: saving ends the connection
        const QStringList before = allStored();
        forms::MessageBoxes::queueAnswer(forms::Button::Yes); // "Änderungen sichern?"
        forms::MessageBoxes::queueAnswer(forms::Button::Ok);  // the refusal, if any
        server.BUEdit().click();

        const QList<forms::ShownMessage> shown = forms::MessageBoxes::log();
        if (refused.isEmpty()) {
            QCOMPARE(shown.size(), 2);
            QCOMPARE(stored("Port"), port);
            QCOMPARE(stored("Firma"), company);
            QCOMPARE(stored("Filiale"), branch);
            QVERIFY(!server.Lock().isActive());
            QVERIFY(server.BUEdit().isChecked());
            return;
        }
        QCOMPARE(shown.size(), 3);
        QVERIFY2(shown.last().text.startsWith(u"Die Einstellungen wurden nicht gespeichert: \""_s + refused +
                                              u"\" "_s),
                 qPrintable(shown.last().text));
        QCOMPARE(shown.last().icon, forms::Icon::Exclamation);
        QCOMPARE(allStored(), before);
        QVERIFY(server.Lock().isActive()); // the connection was left alone
        // Still editing, the named box ready for the correction.
        QVERIFY(!server.BUEdit().isChecked());
        QVERIFY(server.BPORT().isEnabled() && server.BFIL().isEnabled());
        QLineEdit& named = refused == u"Port"_s    ? server.BPORT()
                           : refused == u"Firma"_s ? server.BFIRMA()
                                                   : server.BFIL();
        QTRY_VERIFY(named.hasFocus());
        QCOMPARE(named.selectedText(), named.text());
        QCOMPARE(server.BPORT().text(), port); // nothing typed is lost
        QCOMPARE(server.BFIL().text(), branch);
    }

    // Edits kept without saving ("Ändern", No) reach the store only through "Anmelden", which refuses
    // them the same way and keeps the login dialog open.
    void anmeldenRefusesThemToo()
    {
        FMPass& pass = dialogs::windows::fmPass();
        FMServer& server = dialogs::windows::fmServer();
        server.BFIL().setText(u"Filiale Nord"_s);
        pass.BUSER().setText(u"K99"_s);
        pass.BPASSWORT().setText(u"geheim"_s);
        pass.show();
        const QStringList before = allStored();
        forms::MessageBoxes::setFailIfUnanswered(true);
        forms::MessageBoxes::queueAnswer(forms::Button::Ok);
        pass.BUSpeich_Click();
        QCOMPARE(forms::MessageBoxes::log().size(), 1);
        QVERIFY(forms::MessageBoxes::log().first().text.contains(u"\"Filiale\""_s));
        QVERIFY(pass.isVisible());
        QCOMPARE(allStored(), before);
    }

    // Enter goes to the focused push button; the default button takes it from the text boxes.
    void enterPressesTheFocusedButton()
    {
        FMPass& pass = dialogs::windows::fmPass();
        FMServer& server = dialogs::windows::fmServer();
        pass.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pass));
        auto* cancel = pass.findChild<QPushButton*>(u"BUAusst"_s);
        auto* serverButton = pass.findChild<QPushButton*>(u"BUServer"_s);
        QSignalSpy cancelled(cancel, &QPushButton::clicked);
        QSignalSpy serverAsked(serverButton, &QPushButton::clicked);
        // Pressed but not run: the handlers end the program or wait for a modal dialog.
        cancel->disconnect(&pass);
        serverButton->disconnect(&pass);
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Return);
        QCOMPARE(cancelled.count(), 1);
        serverButton->setFocus();
        QTest::keyClick(serverButton, Qt::Key_Enter);
        QCOMPARE(serverAsked.count(), 1);
        QCOMPARE(cancelled.count(), 1);

        server.show();
        QVERIFY(QTest::qWaitForWindowExposed(&server));
        forms::MessageBoxes::queueAnswer(forms::Button::No);
        server.BUEdit().setFocus();
        QTest::keyClick(&server.BUEdit(), Qt::Key_Return);
        QVERIFY(server.isVisible());
        QCOMPARE(forms::MessageBoxes::log().size(), 1);
        QCOMPARE(forms::MessageBoxes::log().first().text, u"Änderungen erlauben?"_s);
        QVERIFY(server.BUEdit().isChecked()); // answered No: locked again
    }

private:
    testsupport::RegistrySandbox registry;
};

QTEST_MAIN(FmDialogsTest)
#include "tst_fm_dialogs.moc"
