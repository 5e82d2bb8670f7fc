#include "dialogs/fm_pass.h"

#include "dialogs/ansi_validator.h"
#include "dialogs/fm_server.h"
#include "dialogs/form_support.h"
#include "dialogs/pictures.h"
#include "dialogs/program_windows.h"
#include "platform/forms/connect_handler.h"
#include "platform/forms/do_events.h"
#include "platform/forms/error.h"
#include "platform/forms/error_handling.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/twips.h"
#include "session/check_login.h"
#include "session/connect_server.h"
#include "session/server_access.h"
#include "session/session_settings.h"
#include "session/settings_store.h"
#include "session/text_routines.h"

#include <QCloseEvent>
#include <QFocusEvent>

#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace dialogs {

FMPass::FMPass()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"FMPass"_s);
    setWindowTitle(u"VELDOR Benutzeranmeldung"_s);
    setWindowIcon(pictures::programIcon());
    setFixedSize(forms::twipsToPixelsX(3975), forms::twipsToPixelsY(1410));

    // clang-format off
    placeControls(*this, {
        // name          kind                        text                          left  top   width height tab max picture
        {u"Label5",    ControlKind::SizedLabel,    u"User(WWS Personalcode):",   120,  165,  1920, 195},
        {u"BUSER",     ControlKind::TextBox,       {},                           2280, 120,  1455, 285,   1,  20},
        {u"Label3",    ControlKind::SizedLabel,    u"Passwort:",                 1320, 540,  690,  195},
        {u"BPASSWORT", ControlKind::PasswordBox,   {},                           2280, 525,  1455, 285,   0,  20},
        {u"BUServer",  ControlKind::PushButton,    u"Server",                    120,  480,  1095, 375,   4,  0,  pictures::buttonServer},
        {u"BUSpeich",  ControlKind::DefaultButton, u"Anmelden",                  120,  960,  1695, 375,   2,  0,  pictures::buttonLogin},
        {u"BUAusst",   ControlKind::PushButton,    u"Abbruch",                   2160, 960,  1695, 375,   3,  0,  pictures::buttonCancel},
    });
    // clang-format on

    BUSER().installEventFilter(this);
    BPASSWORT().installEventFilter(this);
    forms::connectHandler(&placed<QPushButton>(*this, u"BUSpeich"), &QPushButton::clicked, this,
                          &FMPass::BUSpeich_Click);
    forms::connectHandler(&placed<QPushButton>(*this, u"BUServer"), &QPushButton::clicked, this,
                          &FMPass::BUServer_Click);
    forms::connectHandler(&placed<QPushButton>(*this, u"BUAusst"), &QPushButton::clicked, this,
                          &FMPass::BUAusst_Click);

    forms::registerWindow(this, [this] { hide(); });
}

FMPass::~FMPass() = default;

void FMPass::showModal()
{
    setOwner(*this, nullptr);
    setWindowModality(Qt::ApplicationModal);
    exec();
}

void FMPass::showOwnedBy(QWidget* owner)
{
    if (!isVisible()) {
        setOwner(*this, owner);
        setWindowModality(Qt::NonModal);
    }
    show();
    raise();
    activateWindow();
}

void FMPass::Sichern()
{
    FMServer& server = windows::fmServer();
    server.checkEntries(); // a port, company or branch that cannot be right stops the save here
    const bool withPassword = !session::Session().LoginServerError;
    const std::vector<std::pair<const char*, QString>> values{{"Firma", server.BFIRMA().text()},
                                                              {"Filiale", server.BFIL().text()},
                                                              {"Name", BUSER().text()},
                                                              {"Passwort", BPASSWORT().text()},
                                                              {"Server", server.BSERVERIP().text()},
                                                              {"Port", server.BPORT().text()},
                                                              {"Namespace", server.BNAMESPACE().text()}};
    // All or nothing: every value is checked before the first is written.
    for (const auto& [key, value] : values) {
        if (!isStorableText(value))
            throw forms::Error(5, u"Die Einstellungen wurden nicht gespeichert: \"%1\" enthält ein Zeichen, "
                                  u"das nicht gespeichert werden kann."_s.arg(QLatin1StringView(key)));
    }
    // One change of the store, so a full disk cannot leave it half saved.
    QList<session::Setting> settings;
    for (const auto& [key, value] : values) {
        if (qstrcmp(key, "Passwort") != 0)
            settings.append({QString::fromLatin1(key), value});
        else if (withPassword)
            settings.append({QString::fromLatin1(key), session::ScramblePassword(value)});
    }
    session::SaveSettings(QString::fromLatin1(session::SettingsApplication),
                          QString::fromLatin1(session::SettingsSection), settings);
}

void FMPass::BUSpeich_Click()
{
    // Nothing saved: the dialog stays open for the user to correct the entry.
    if (!forms::runReported([this] { Sichern(); }, forms::Icon::Exclamation))
        return;
    QWidget* main = windows::mainWindow();
    if (main && main->isVisible()) {
        session::DisconnectServer();
        session::CheckLogin();
        const session::SessionSettings& s = session::Session();
        main->setWindowTitle(u"VELDOR Korrespondenz              Firma: "_s + s.CompanyNo +
                             u"     Filiale: "_s + s.BranchNo + u"     Benutzer: "_s + s.UserDisplayName);
    }
    forms::doEvents();
    hide();
}

void FMPass::BUServer_Click()
{
    windows::fmServer().showModalOwnedBy(this);
}

void FMPass::BUAusst_Click()
{
    session::Session().UserIdent.clear();
    session::ShutdownProgram();
}

void FMPass::BUSER_GotFocus()
{
    session::SelectAllText(BUSER(), true);
}

void FMPass::BUSER_LostFocus()
{
    BUSER().setText(upperWithinAnsi(BUSER().text()));
}

void FMPass::BPASSWORT_GotFocus()
{
    session::SelectAllText(BPASSWORT(), true);
}

void FMPass::Form_Activate()
{
    BPASSWORT().setFocus();
}

bool FMPass::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        Form_Activate();
    return QDialog::event(e);
}

bool FMPass::eventFilter(QObject* watched, QEvent* e)
{
    const bool in = e->type() == QEvent::FocusIn;
    if (in || e->type() == QEvent::FocusOut) {
        forms::runUnhandled([&] {
            if (watched == &BUSER())
                in ? BUSER_GotFocus() : BUSER_LostFocus();
            else if (watched == &BPASSWORT() && in)
                BPASSWORT_GotFocus();
        });
    }
    return QDialog::eventFilter(watched, e);
}

void FMPass::closeEvent(QCloseEvent* e)
{
    // The boxes must stay for the whole run: the close box only hides the dialog.
    hide();
    e->accept();
}

void FMPass::reject()
{
    // Esc is the cancel button.
    forms::runUnhandled([this] { BUAusst_Click(); });
}

} // namespace dialogs
