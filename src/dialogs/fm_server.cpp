#include "dialogs/fm_server.h"

#include "dialogs/fm_pass.h"
#include "dialogs/form_support.h"
#include "dialogs/pictures.h"
#include "dialogs/program_windows.h"
#include "platform/forms/connect_handler.h"
#include "platform/forms/error.h"
#include "platform/forms/error_handling.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/twips.h"
#include "session/connect_server.h"
#include "session/login_settings.h"
#include "session/server_access.h"
#include "session/session_settings.h"

#include <QCloseEvent>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace dialogs {
namespace {

const QString ConnectTitle = u"Anmeldung an Caché"_s;

bool onlyDigits(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool isPort(const QString& text)
{
    bool ok = false;
    const uint port = text.toUInt(&ok);
    return onlyDigits(text) && ok && port >= 1 && port <= 65535;
}

struct Refusal
{
    QLineEdit* box;
    QString reason;
};

// Port, company and branch go into the connect string and the server's object ids, where anything but a
// number shows up only later as a failed connection or a wrong answer. An empty company or branch stays
// allowed: the server takes it.
std::optional<Refusal> firstRefusal(FMServer& dialog)
{
    if (!isPort(dialog.BPORT().text()))
        return Refusal{&dialog.BPORT(), u"\"Port\" muss eine Zahl von 1 bis 65535 sein."_s};
    for (const auto& [box, field] :
         {std::pair{&dialog.BFIRMA(), u"Firma"_s}, std::pair{&dialog.BFIL(), u"Filiale"_s}}) {
        if (!onlyDigits(box->text()))
            return Refusal{box, u"\"%1\" darf nur die Ziffern 0 bis 9 enthalten."_s.arg(field)};
    }
    return std::nullopt;
}

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

void FMServer::checkEntries()
{
    if (const std::optional<Refusal> refusal = firstRefusal(*this))
        throw forms::Error(5, u"Die Einstellungen wurden nicht gespeichert: "_s + refusal->reason);
}

void FMServer::editAgain()
{
    BUEdit().setChecked(false);
    setBoxesEnabled(true);
    if (const std::optional<Refusal> refusal = firstRefusal(*this)) {
        refusal->box->setFocus();
        refusal->box->selectAll();
    }
}

void FMServer::BUEdit_Click()
{
    if (BUEdit().isChecked()) {
        setBoxesEnabled(false);
        if (forms::MsgBox(u"Änderungen sichern?"_s, forms::Buttons::YesNo, forms::Icon::None, ConnectTitle) ==
            forms::Button::Yes) {
            // Refused before the connection is touched; the user corrects the named box.
            if (!forms::runReported([this] { checkEntries(); }, forms::Icon::Exclamation)) {
                editAgain();
                return;
            }
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
