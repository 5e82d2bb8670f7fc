#include "fm_pass.h"
#include "fm_server.h"
#include "install.h"
#include "msgbox.h"
#include "registry_api.h"
#include "session_settings.h"
#include "test_reset.h"
#include "twips.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QTemporaryDir>
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

} // namespace

class FmDialogsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        forms::resetForTests();
        session::resetSession();
        dialogs::destroySessionWindowsForTests();
        dialogs::installSessionWindows();
        qputenv("PLENVARO_REGISTRY", store.filePath(u"registry.sqlite3"_s).toUtf8());
        plenvaroRegistryReset();
    }
    void cleanup() { dialogs::destroySessionWindowsForTests(); }

    void loginDialogLooksAsLaidOut()
    {
        FMPass& pass = FMPass::instance();
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
        FMPass& pass = FMPass::instance();
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
        QVERIFY(FMPass::exists()); // the close box only hides
        QCOMPARE(pass.BUSER().text(), u"K17"_s);
    }

    void serverDialogLooksAsLaidOut()
    {
        FMServer& server = FMServer::instance();
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
        FMServer& server = FMServer::instance();
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
        QVERIFY(FMServer::exists());
    }

private:
    QTemporaryDir store;
};

QTEST_MAIN(FmDialogsTest)
#include "tst_fm_dialogs.moc"
