#include "dialogs/frm_about.h"

#include "dialogs/pictures.h"
#include "platform/forms/app_title.h"
#include "platform/forms/connect_handler.h"
#include "platform/forms/design_font.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/twips.h"

#include <QColor>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
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

QLabel* label(QWidget* parent, const QString& name, const QString& text, const QRect& geometry)
{
    auto* result = new QLabel(parent);
    result->setObjectName(name);
    result->setTextFormat(Qt::PlainText);
    result->setText(text);
    result->setGeometry(geometry);
    return result;
}

QLabel* hyperLink(QWidget* parent, const QString& name, QStringView text, const QUrl& target,
                  const QRect& geometry)
{
    auto* link = new QLabel(parent);
    link->setObjectName(name);
    link->setTextFormat(Qt::RichText);
    link->setText(u"<a href=\"%1\">%2</a>"_s.arg(target.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                                                 text.toString().toHtmlEscaped()));
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setOpenExternalLinks(false);
    link->setToolTip(target.toString());
    link->setGeometry(geometry);
    QObject::connect(link, &QLabel::linkActivated, link, [](const QString& href) { openUrl(QUrl(href)); });
    return link;
}

QLabel* picture(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* result = new QLabel(parent);
    result->setObjectName(name);
    result->setGeometry(geometry);
    return result;
}

// One of the two lines of the etched separator, running from x = left to x = right (twips).
void separatorLine(QWidget* parent, int left, int right, int top, int thickness, const QColor& colour)
{
    auto* line = new QFrame(parent);
    line->setObjectName(u"Line1"_s);
    const int x = forms::twipsToPixelsX(left);
    line->setGeometry(x, forms::twipsToPixelsY(top), forms::twipsToPixelsX(right) - x, thickness);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setAutoFillBackground(true);
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text, const QRect& geometry)
{
    auto* result = new QPushButton(text, parent);
    result->setObjectName(name);
    result->setGeometry(geometry);
    return result;
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

    auto* picIcon = picture(this, u"picIcon"_s, forms::twipsRect(240, 240, 540, 540));
    picIcon->setAlignment(Qt::AlignCenter);
    picIcon->setPixmap(pictures::programIcon().pixmap(32, 32));

    label(this, u"Producktname"_s, u"Produktname"_s, forms::twipsRect(1080, 240, 1155, 255));
    m_lblTitle = label(this, u"lblTitle"_s, {}, forms::twipsRect(2290, 240, 3135, 255));
    label(this, u"Version"_s, u"Version "_s, forms::twipsRect(1080, 840, 1155, 255));
    m_lblVersion = label(this, u"lblVersion"_s, {}, forms::twipsRect(2290, 840, 3135, 255));
    label(this, u"Copyright"_s, u"Copyright"_s, forms::twipsRect(1080, 1200, 1155, 255));
    auto* mailLink = hyperLink(this, u"ctHyperLink1"_s, MakerName, QUrl(u"mailto:"_s + MakerMail.toString()),
                               forms::twipsRect(2280, 1200, 3135, 255));
    label(this, u"Description"_s, u"Beschreibung"_s, forms::twipsRect(1080, 1560, 1155, 255));
    // Two lines of room, in case the description does not fit on one.
    auto* lblDescription = label(this, u"lblDescription"_s, u"Lagerstandsabfrage aktuelle Bonusartikel"_s,
                                 forms::twipsRect(2290, 1560, 3135, 555));
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription->setWordWrap(true);
    label(this, u"Erstellt"_s, u"Erstellt am 11.03.'03 Letzte Korrektur 11.03.'03"_s,
          forms::twipsRect(1080, 2160, 4455, 255));

    // Etched: a thin grey line just above a white one of double width.
    separatorLine(this, 90, 5654, 2445, 1, QColor(0x80, 0x80, 0x80));
    separatorLine(this, 105, 5654, 2460, 2, Qt::white);

    const QRect logoBox = forms::twipsRect(480, 2640, 3255, 795);
    auto* image1 = picture(this, u"Image1"_s, logoBox);
    image1->setScaledContents(true);
    image1->setPixmap(pictures::makerLogo(logoBox.size()));
    auto* webLink = hyperLink(this, u"ctHyperLink2"_s, MakerWeb, QUrl(u"https://"_s + MakerWeb.toString()),
                              forms::twipsRect(480, 3480, 3255, 255));
    const QRect productBox = forms::twipsRect(5760, 0, 2430, 3675);
    auto* image2 = picture(this, u"Image2"_s, productBox);
    image2->setScaledContents(true);
    image2->setPixmap(pictures::productPicture(productBox.size()));

    auto* cmdOK = button(this, u"cmdOK"_s, u"OK"_s, forms::twipsRect(4245, 2760, 1260, 345));
    cmdOK->setDefault(true);
    forms::connectHandler(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    auto* cmdSysInfo =
        button(this, u"cmdSysInfo"_s, u"&Systeminfo..."_s, forms::twipsRect(4260, 3240, 1245, 345));
    forms::connectHandler(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    setTabOrder(cmdOK, cmdSysInfo);
    setTabOrder(cmdSysInfo, mailLink);
    setTabOrder(mailLink, webLink);
    cmdOK->setFocus();

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
