#include "dialogs/fm_server.h"

#include "dialogs/fm_pass.h"
#include "dialogs/form_support.h"
#include "dialogs/pictures.h"
#include "dialogs/program_windows.h"
#include "platform/forms/connect_handler.h"
#include "platform/forms/error_handling.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/twips.h"
#include "session/connect_server.h"
#include "session/login_settings.h"
#include "session/server_access.h"
#include "session/session_settings.h"

#include <QCloseEvent>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace dialogs {
namespace {

const QString ConnectTitle = u"Anmeldung an Caché"_s;

} // namespace

FMServer::FMServer() : QDialog(nullptr, Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"FMServer"_s);
    setWindowTitle(u"VELDOR Server"_s);
    setWindowIcon(pictures::programIcon());
    resize(forms::twipsToPixelsX(3720), forms::twipsToPixelsY(1815));

    const QString server = session::siteDefaultServer();
    // clang-format off
    placeControls(*this, {
        // name           kind                          text         left  top   width height tab max picture
        {u"Label4",     ControlKind::Label,           u"ServerIP:",  360,  165,  615,  255},
        {u"BSERVERIP",  ControlKind::LockedTextBox,   server,        1080, 120,  1455, 285,   1},
        {u"Label6",     ControlKind::Label,           u"Port:",      2640, 165,  615,  255},
        {u"BPORT",      ControlKind::LockedTextBox,   u"1973",       3120, 120,  495,  285,   2},
        {u"Label1",     ControlKind::Label,           u"Firma:",     600,  525,  495,  255},
        {u"BFIRMA",     ControlKind::LockedTextBox,   u"1",          1080, 480,  375,  285,   3},
        {u"Label2",     ControlKind::Label,           u"Filiale:",   1680, 525,  495,  255},
        {u"BFIL",       ControlKind::LockedTextBox,   u"0",          2160, 480,  375,  285,   4},
        {u"Label3",     ControlKind::SizedLabel,      u"Namespace:", 120,  885,  900,  195},
        {u"BNAMESPACE", ControlKind::LockedTextBox,   u"VELDOR",     1080, 840,  1455, 285,   5},
        {u"BUEdit",     ControlKind::TwoStateButton,  u"Ändern",     120,  1320, 1695, 375,   0,  0,  pictures::buttonEdit},
        {u"BUZurück",   ControlKind::DefaultButton,   u"Zurück",     1920, 1320, 1695, 375,   6,  0,  pictures::buttonBack},
    });
    // clang-format on

    m_lock.setObjectName(u"Lock"_s);
    m_lock.setInterval(session::IdleDisconnectMs);
    forms::connectHandler(&m_lock, &QTimer::timeout, this, &FMServer::Lock_Timer);
    forms::connectHandler(&BUEdit(), &QPushButton::clicked, this, &FMServer::BUEdit_Click);
    forms::connectHandler(&placed<QPushButton>(*this, u"BUZurück"), &QPushButton::clicked, this,
                          &FMServer::BUZurueck_Click);

    forms::registerWindow(this, [this] { hide(); });
}

FMServer::~FMServer() = default;

void FMServer::showModalOwnedBy(QWidget* owner)
{
    setOwner(*this, owner);
    setWindowModality(Qt::ApplicationModal);
    exec();
}

void FMServer::setBoxesEnabled(bool enabled)
{
    for (QLineEdit* b : {&BPORT(), &BSERVERIP(), &BFIRMA(), &BFIL(), &BNAMESPACE()})
        b->setEnabled(enabled);
}

void FMServer::BUEdit_Click()
{
    if (BUEdit().isChecked()) {
        setBoxesEnabled(false);
        if (forms::MsgBox(u"Änderungen sichern?"_s, forms::Buttons::YesNo, forms::Icon::None, ConnectTitle) ==
            forms::Button::Yes) {
            session::EndServerAccess(false);
            session::DisconnectServer();
            // Nothing saved: the edits stay in the boxes instead of being overwritten by the store's values.
            if (forms::runReported([] { windows::fmPass().Sichern(); }, forms::Icon::Exclamation))
                session::LoadSettings();
        }
    } else {
        if (forms::MsgBox(u"Änderungen erlauben?"_s, forms::Buttons::YesNo, forms::Icon::None,
                          ConnectTitle) == forms::Button::Yes)
            setBoxesEnabled(true);
        else
            BUEdit().setChecked(true);
    }
}

void FMServer::BUZurueck_Click()
{
    hide();
}

void FMServer::Lock_Timer()
{
    session::Lock_Timer();
}

void FMServer::closeEvent(QCloseEvent* e)
{
    // The boxes and the idle timer must stay for the whole run: the close box only hides.
    hide();
    e->accept();
}

} // namespace dialogs
