#include "dialogs/frm_about.h"

#include "dialogs/form_support.h"
#include "dialogs/pictures.h"
#include "platform/forms/app_title.h"
#include "platform/forms/connect_handler.h"
#include "platform/forms/design_font.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/twips.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QtEndian>
#include <QUrl>
#include <QVersionNumber>

#include <array>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

// The maker shown by the two hyperlinks.
constexpr QStringView MakerName = u"Brennholt Software";
constexpr QStringView MakerMail = u"info@brennholt.example";
constexpr QStringView MakerWeb = u"www.brennholt.example";

// Query value, set value, create subkey, enumerate subkeys, notify, create link and read control.
constexpr DWORD ReadControl = 0x00020000u;
constexpr REGSAM SysInfoKeyAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
                                    KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK | ReadControl;
static_assert(SysInfoKeyAccess == 0x2003Fu);
constexpr DWORD ValueBufferSize = 1024;

frmAbout::UrlOpener& urlOpener()
{
    static frmAbout::UrlOpener opener;
    return opener;
}

void openUrl(const QUrl& url)
{
    if (const frmAbout::UrlOpener& opener = urlOpener())
        opener(url);
    else
        QDesktopServices::openUrl(url);
}

// Shows text linked to target in a label placed as a link; activating it opens the target.
void showLink(QLabel& link, QStringView text, const QUrl& target)
{
    link.setText(u"<a href=\"%1\">%2</a>"_s.arg(target.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                                                text.toString().toHtmlEscaped()));
    link.setToolTip(target.toString());
    QObject::connect(&link, &QLabel::linkActivated, &link, [](const QString& href) { openUrl(QUrl(href)); });
}

} // namespace

frmAbout::frmAbout()
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint)
{
    setObjectName(u"frmAbout"_s);
    setWindowTitle(u"Info zur Anwendung"_s);
    setModal(false);
    // Unloading deletes the box, so the next opening loads it afresh.
    setAttribute(Qt::WA_DeleteOnClose);
    // The layout is fixed in twips and was drawn for the design font.
    setFont(forms::designFont());
    setFixedSize(forms::twipsToPixelsX(8250), forms::twipsToPixelsY(3795));

    using dialogs::ControlFlag;
    using dialogs::ControlKind;
    // clang-format off
    dialogs::placeControls(*this, {
        // name               kind                         text                 left  top   width height tab max picture flags
        {u"picIcon",        ControlKind::Picture,        {},                  240,  240,  540,  540},
        {u"Producktname",   ControlKind::Label,          u"Produktname",      1080, 240,  1155, 255},
        {u"lblTitle",       ControlKind::Label,          {},                  2290, 240,  3135, 255},
        {u"Version",        ControlKind::Label,          u"Version ",         1080, 840,  1155, 255},
        {u"lblVersion",     ControlKind::Label,          {},                  2290, 840,  3135, 255},
        {u"Copyright",      ControlKind::Label,          u"Copyright",        1080, 1200, 1155, 255},
        {u"ctHyperLink1",   ControlKind::Link,           {},                  2280, 1200, 3135, 255,  2},
        {u"Description",    ControlKind::Label,          u"Beschreibung",     1080, 1560, 1155, 255},
        // Two lines of room, in case the description does not fit on one.
        {u"lblDescription", ControlKind::Label,          u"Lagerstandsabfrage aktuelle Bonusartikel",
                                                                              2290, 1560, 3135, 555,  -1, 0,  nullptr, ControlFlag::WordWrap},
        {u"Erstellt",       ControlKind::Label,          u"Erstellt am 11.03.'03 Letzte Korrektur 11.03.'03",
                                                                              1080, 2160, 4455, 255},
        // Etched: a thin grey line just above a white one of double width.
        {u"Line1",          ControlKind::Bar,            u"#808080",          90,   2445, 5564, 15},
        {u"Line1",          ControlKind::Bar,            u"white",            105,  2460, 5549, 30},
        {u"Image1",         ControlKind::Picture,        {},                  480,  2640, 3255, 795,  -1, 0,  nullptr, ControlFlag::FillBox},
        {u"ctHyperLink2",   ControlKind::Link,           {},                  480,  3480, 3255, 255,  3},
        {u"Image2",         ControlKind::Picture,        {},                  5760, 0,    2430, 3675, -1, 0,  nullptr, ControlFlag::FillBox},
        {u"cmdOK",          ControlKind::DefaultButton,  u"OK",               4245, 2760, 1260, 345,  0},
        {u"cmdSysInfo",     ControlKind::PushButton,     u"&Systeminfo...",   4260, 3240, 1245, 345,  1},
    });
    // clang-format on
    m_lblTitle = &dialogs::placed<QLabel>(*this, u"lblTitle");
    m_lblVersion = &dialogs::placed<QLabel>(*this, u"lblVersion");

    auto& picIcon = dialogs::placed<QLabel>(*this, u"picIcon");
    picIcon.setPixmap(pictures::programIcon().pixmap(32, 32));
    auto& image1 = dialogs::placed<QLabel>(*this, u"Image1");
    image1.setPixmap(pictures::makerLogo(image1.size()));
    auto& image2 = dialogs::placed<QLabel>(*this, u"Image2");
    image2.setPixmap(pictures::productPicture(image2.size()));
    showLink(dialogs::placed<QLabel>(*this, u"ctHyperLink1"), MakerName,
             QUrl(u"mailto:"_s + MakerMail.toString()));
    showLink(dialogs::placed<QLabel>(*this, u"ctHyperLink2"), MakerWeb,
             QUrl(u"https://"_s + MakerWeb.toString()));

    auto& cmdOK = dialogs::placed<QPushButton>(*this, u"cmdOK");
    forms::connectHandler(&cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    forms::connectHandler(&dialogs::placed<QPushButton>(*this, u"cmdSysInfo"), &QPushButton::clicked, this,
                          &frmAbout::cmdSysInfo_Click);
    cmdOK.setFocus();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // Unloading deletes it (WA_DeleteOnClose); a box never unloaded goes with the program's windows.
    forms::registerWindow(this);

    Form_Load();
}

void frmAbout::showOwnedBy(QWidget* owner)
{
    QWidget* const ownerWindow = owner != nullptr ? owner->window() : nullptr;
    if (parentWidget() != ownerWindow) {
        setParent(ownerWindow, windowFlags()); // stays a window of its own, now kept above the owner
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void frmAbout::setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

void frmAbout::Form_Load()
{
    setWindowTitle(u"Info zu "_s + forms::ApplicationTitle.toString());
    const QVersionNumber version = QVersionNumber::fromString(QLatin1StringView(PLENVARO_VERSION));
    m_lblVersion->setText(
        u"%1.%2.%3"_s.arg(version.majorVersion()).arg(version.minorVersion()).arg(version.microVersion()));
    m_lblTitle->setText(forms::ApplicationTitle.toString());
}

void frmAbout::cmdOK_Click()
{
    // A box that is no longer listed (tests forget the list) goes all the same.
    if (!forms::unloadWindow(this)) {
        hide();
        deleteLater();
    }
}

void frmAbout::reject()
{
    cmdOK_Click();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    QString sysInfoPath;
    const bool found = [&sysInfoPath] {
        if (GetKeyValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"_s, u"PATH"_s,
                        sysInfoPath))
            return true;
        QString folder;
        if (!GetKeyValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Shared Tools Location"_s, u"MSINFO"_s,
                         folder))
            return false;
        sysInfoPath = folder + QDir::separator() + u"MSINFO32.EXE"_s;
        return QFileInfo(sysInfoPath).isFile();
    }();
    // The tool opens its own window; the program does not wait for it.
    if (found && QProcess::startDetached(sysInfoPath, {}))
        return;
    forms::MsgBox(u"Systeminformationen sind momentan nicht verfügbar"_s, forms::Buttons::OkOnly,
                  forms::Icon::None);
}

bool frmAbout::GetKeyValue(HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(KeyRoot, KeyName.toLocal8Bit().constData(), 0, SysInfoKeyAccess, &key) !=
        ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    const auto closeKey = qScopeGuard([key] { RegCloseKey(key); });

    std::array<BYTE, ValueBufferSize> buffer{};
    DWORD type = REG_NONE;
    DWORD size = ValueBufferSize;
    if (RegQueryValueExA(key, SubKeyRef.toLocal8Bit().constData(), nullptr, &type, buffer.data(), &size) !=
        ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }

    switch (type) {
    case REG_SZ: {
        QByteArrayView text(buffer.data(), static_cast<qsizetype>(size));
        if (text.endsWith('\0'))
            text.chop(1);
        KeyVal = QString::fromLocal8Bit(text);
        break;
    }
    case REG_DWORD: {
        // Stored little-endian; a shorter value finds the rest of the zeroed buffer.
        const quint32 number = qFromLittleEndian<quint32>(buffer.data());
        KeyVal = u"&h"_s + QString::number(number, 16).toUpper();
        break;
    }
    default:
        break;
    }
    return true;
}
