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

// Locked at first, on the button-face colour.
QLineEdit* box(QWidget* parent, const QString& name, const QString& text, int left, int top, int width,
               int height)
{
    QLineEdit* b = addTextBox(parent, name, left, top, width, height);
    b->setText(text);
    b->setEnabled(false);
    QPalette palette = b->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Button));
    b->setPalette(palette);
    return b;
}

} // namespace

FMServer::FMServer() : QDialog(nullptr, Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"FMServer"_s);
    setWindowTitle(u"VELDOR Server"_s);
    setWindowIcon(pictures::programIcon());
    resize(forms::twipsToPixelsX(3720), forms::twipsToPixelsY(1815));

    addLabel(this, u"Label4"_s, u"ServerIP:"_s, 360, 165, 615, 255, false);
    m_address = box(this, u"BSERVERIP"_s, session::siteDefaultServer(), 1080, 120, 1455, 285);
    addLabel(this, u"Label6"_s, u"Port:"_s, 2640, 165, 615, 255, false);
    m_port = box(this, u"BPORT"_s, u"1973"_s, 3120, 120, 495, 285);
    addLabel(this, u"Label1"_s, u"Firma:"_s, 600, 525, 495, 255, false);
    m_company = box(this, u"BFIRMA"_s, u"1"_s, 1080, 480, 375, 285);
    addLabel(this, u"Label2"_s, u"Filiale:"_s, 1680, 525, 495, 255, false);
    m_branch = box(this, u"BFIL"_s, u"0"_s, 2160, 480, 375, 285);
    addLabel(this, u"Label3"_s, u"Namespace:"_s, 120, 885, 900, 195, true);
    m_namespace = box(this, u"BNAMESPACE"_s, u"VELDOR"_s, 1080, 840, 1455, 285);
    m_edit = addPushButton(this, u"BUEdit"_s, u"Ändern"_s, pictures::buttonEdit(), 120, 1320, 1695, 375);
    m_edit->setCheckable(true);
    m_edit->setChecked(true); // latched: locked
    m_back = addPushButton(this, u"BUZurück"_s, u"Zurück"_s, pictures::buttonBack(), 1920, 1320, 1695, 375);
    m_back->setDefault(true);

    setTabOrder(m_edit, m_address);
    setTabOrder(m_address, m_port);
    setTabOrder(m_port, m_company);
    setTabOrder(m_company, m_branch);
    setTabOrder(m_branch, m_namespace);
    setTabOrder(m_namespace, m_back);

    m_lock.setObjectName(u"Lock"_s);
    m_lock.setInterval(session::IdleDisconnectMs);
    forms::connectHandler(&m_lock, &QTimer::timeout, this, &FMServer::Lock_Timer);
    forms::connectHandler(m_edit, &QPushButton::clicked, this, &FMServer::BUEdit_Click);
    forms::connectHandler(m_back, &QPushButton::clicked, this, &FMServer::BUZurueck_Click);

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
    for (QLineEdit* b : {m_port, m_address, m_company, m_branch, m_namespace})
        b->setEnabled(enabled);
}

void FMServer::BUEdit_Click()
{
    if (m_edit->isChecked()) {
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
            m_edit->setChecked(true);
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
