#include "dialogs/frm_about.h"

#include "dialogs/program_windows.h"
#include "platform/forms/forms.h"
#include "platform/winreg/registry_api.h"

#include "registry_sandbox.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>
#include <QTextDocument>
#include <QUrl>
#include <QWindow>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString SysInfoKey = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"_s;
const QString LocationKey = u"SOFTWARE\\Microsoft\\Shared Tools Location"_s;
const QString NotAvailable = u"Systeminformationen sind momentan nicht verfügbar"_s;

bool setValue(const QString& key, const QString& name, DWORD type, const QByteArray& data)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.toLocal8Bit().constData(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const LSTATUS status =
        RegSetValueExA(handle, name.toLocal8Bit().constData(), 0, type,
                       reinterpret_cast<const BYTE*>(data.constData()), static_cast<DWORD>(data.size()));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

// A string value as a program written against the Win32 API stores it: with its terminating NUL.
QByteArray sz(const QString& text)
{
    QByteArray bytes = text.toLocal8Bit();
    bytes.append('\0');
    return bytes;
}

QByteArray dword(quint32 number)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(number, bytes.data());
    return bytes;
}

template <typename Widget> Widget* child(frmAbout& about, const QString& name)
{
    return about.findChild<Widget*>(name);
}

// The next control Tab reaches: the focus chain without the controls that take no focus by Tab.
QWidget* nextTabStop(QWidget* from)
{
    QWidget* next = from->nextInFocusChain();
    while (next != from && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

// What the window system sends for the close box, the system menu or Alt+F4.
void closeByUser(QWidget& window)
{
    QCloseEvent event;
    QCoreApplication::sendEvent(window.windowHandle(), &event);
}

void processDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Where the system information tool is registered, and what the about box should start.
enum class ToolPath
{
    Absent,
    Probe,
    Missing,
};
enum class ToolFolder
{
    Absent,
    Empty,
    WithTool,
};
enum class Started
{
    Nothing,
    Probe,
    CopyInFolder,
};

} // namespace

Q_DECLARE_METATYPE(ToolPath)
Q_DECLARE_METATYPE(ToolFolder)
Q_DECLARE_METATYPE(Started)

// As the main window's menu shows it, here without an owner.
frmAbout& showAbout()
{
    frmAbout& about = dialogs::windows::about();
    about.showOwnedBy(nullptr);
    return about;
}

class AboutTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_registry.reset(); // one at a time: the old one's end would undo the new one's
        m_registry = std::make_unique<testsupport::RegistrySandbox>();
        QVERIFY2(m_registry->isValid(), qPrintable(m_registry->error()));
        qputenv("PLENVARO_PROBE_FILE", QFile::encodeName(probeReport()));
        forms::resetForTests();
        forms::MessageBoxes::setFailIfUnanswered(true);
    }

    void cleanup()
    {
        delete dialogs::windows::existingAbout();
        processDeletions();
        frmAbout::setUrlOpener({});
        forms::resetForTests();
        m_registry.reset();
    }

    // The caption is rebuilt on every load, and each opening is a new load.
    void everyOpeningLoadsAfresh()
    {
        for (int opening = 1; opening <= 2; ++opening) {
            frmAbout& about = showAbout();
            QCOMPARE(about.windowTitle(), u"Info zu Plenvaro"_s);
            QCOMPARE(child<QLabel>(about, u"lblTitle"_s)->text(), u"Plenvaro"_s);
            QCOMPARE(child<QLabel>(about, u"lblVersion"_s)->text(), QLatin1StringView(PLENVARO_VERSION));
            QVERIFY(about.isVisible());
            QCOMPARE(about.parentWidget(), nullptr);
            QCOMPARE(about.minimumSize(), about.maximumSize());
            QCOMPARE(forms::loadedWindows(), QList<QWidget*>{&about});

            const QPointer<frmAbout> alive(&about);
            QTest::mouseClick(child<QPushButton>(about, u"cmdOK"_s), Qt::LeftButton);
            QVERIFY(forms::loadedWindows().isEmpty());
            QCOMPARE(dialogs::windows::existingAbout(), nullptr);
            processDeletions();
            QVERIFY(alive.isNull());
        }
    }

    void openTwiceShowsTheSameBox()
    {
        frmAbout& first = showAbout();
        first.hide();
        QCOMPARE(&showAbout(), &first);
        QVERIFY(first.isVisible());
        QCOMPARE(forms::loadedWindows().size(), 1);
    }

    void unloadedByEscEnterAndCloseBox_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Esc: OK is the cancel button") << 0;
        QTest::newRow("Enter: OK is the default button") << 1;
        QTest::newRow("close box") << 2;
    }

    void unloadedByEscEnterAndCloseBox()
    {
        QFETCH(int, way);
        frmAbout& about = showAbout();
        const QPointer<frmAbout> alive(&about);
        switch (way) {
        case 0:
            QTest::keyClick(&about, Qt::Key_Escape);
            break;
        case 1:
            QTest::keyClick(&about, Qt::Key_Return);
            break;
        default:
            closeByUser(about);
            break;
        }
        QVERIFY(!about.isVisible());
        QVERIFY(forms::loadedWindows().isEmpty());
        processDeletions();
        QVERIFY(alive.isNull());
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }

    void hyperlinksOpenMailAndWeb()
    {
        QList<QUrl> opened;
        frmAbout::setUrlOpener([&opened](const QUrl& url) {
            opened.append(url);
            return true;
        });
        frmAbout& about = showAbout();
        for (const QString& name : {u"ctHyperLink1"_s, u"ctHyperLink2"_s}) {
            auto* link = child<QLabel>(about, name);
            QVERIFY2(link != nullptr, qPrintable(name));
            QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, link->height() / 2));
        }
        QCOMPARE(opened.size(), 2);

        QCOMPARE(opened[0].scheme(), u"mailto"_s);
        QVERIFY(opened[0].path().contains(u'@'));
        QVERIFY(opened[1].scheme().startsWith(u"http"_s));
        // The web link shows the address it opens.
        QTextDocument shown;
        shown.setHtml(child<QLabel>(about, u"ctHyperLink2"_s)->text());
        QCOMPARE(opened[1].host(), shown.toPlainText());
    }

    // Tab runs from OK over the system information button to the two links.
    void tabOrderAndContents()
    {
        frmAbout& about = showAbout();
        QWidget* const order[] = {
            child<QPushButton>(about, u"cmdOK"_s), child<QPushButton>(about, u"cmdSysInfo"_s),
            child<QLabel>(about, u"ctHyperLink1"_s), child<QLabel>(about, u"ctHyperLink2"_s)};
        for (QWidget* control : order) {
            QVERIFY(control != nullptr);
            QVERIFY(control->focusPolicy() & Qt::TabFocus);
        }
        QCOMPARE(about.focusWidget(), order[0]);
        for (std::size_t i = 1; i < std::size(order); ++i)
            QCOMPARE(nextTabStop(order[i - 1]), order[i]);

        QVERIFY(child<QLabel>(about, u"lblDescription"_s)->wordWrap());
        for (const QString& name : {u"picIcon"_s, u"Image1"_s, u"Image2"_s})
            QVERIFY2(!child<QLabel>(about, name)->pixmap().isNull(), qPrintable(name));
        // The etched separator: grey above white.
        const QList<QWidget*> lines = about.findChildren<QWidget*>(u"Line1"_s);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0]->y() < lines[1]->y());
        QCOMPARE(lines[0]->palette().color(QPalette::Window), QColor(0x80, 0x80, 0x80));
        QCOMPARE(lines[1]->palette().color(QPalette::Window), QColor(Qt::white));
    }

    void getKeyValue_data()
    {
        QTest::addColumn<QString>("valueName");
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("keyVal");

        const QString before = u"vorher"_s;
        QTest::newRow("string without its NUL")
            << u"PATH"_s << uint{REG_SZ} << sz(u"C:\\Tools\\info.exe"_s) << true << u"C:\\Tools\\info.exe"_s;
        QTest::newRow("empty string") << u"PATH"_s << uint{REG_SZ} << sz({}) << true << QString();
        QTest::newRow("string filling the buffer")
            << u"PATH"_s << uint{REG_SZ} << sz(QString(1023, u'x')) << true << QString(1023, u'x');
        QTest::newRow("string too long for the buffer")
            << u"PATH"_s << uint{REG_SZ} << sz(QString(1024, u'x')) << false << QString();
        QTest::newRow("number as hex")
            << u"PATH"_s << uint{REG_DWORD} << dword(0x1F2AB) << true << u"&h1F2AB"_s;
        QTest::newRow("other types leave the text")
            << u"PATH"_s << uint{REG_BINARY} << QByteArray("\x01\x02", 2) << true << before;
        QTest::newRow("missing value") << u"OTHER"_s << uint{REG_SZ} << sz(u"x"_s) << false << QString();
        QTest::newRow("missing key") << QString() << uint{REG_SZ} << QByteArray() << false << QString();
    }

    void getKeyValue()
    {
        QFETCH(QString, valueName);
        QFETCH(uint, type);
        QFETCH(QByteArray, data);
        QFETCH(bool, result);
        QFETCH(QString, keyVal);
        if (!valueName.isNull())
            QVERIFY(setValue(SysInfoKey, valueName, type, data));

        QString value = u"vorher"_s;
        QCOMPARE(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, SysInfoKey, u"PATH"_s, value), result);
        QCOMPARE(value, keyVal);
    }

    void startSysInfo_data()
    {
        QTest::addColumn<ToolPath>("path");
        QTest::addColumn<ToolFolder>("folder");
        QTest::addColumn<Started>("started");
        QTest::newRow("path from the first value") << ToolPath::Probe << ToolFolder::Absent << Started::Probe;
        QTest::newRow("first value wins") << ToolPath::Probe << ToolFolder::WithTool << Started::Probe;
        QTest::newRow("first value names a missing file")
            << ToolPath::Missing << ToolFolder::WithTool << Started::Nothing;
        QTest::newRow("folder from the second value")
            << ToolPath::Absent << ToolFolder::WithTool << Started::CopyInFolder;
        QTest::newRow("second value, no tool in the folder")
            << ToolPath::Absent << ToolFolder::Empty << Started::Nothing;
        QTest::newRow("neither value") << ToolPath::Absent << ToolFolder::Absent << Started::Nothing;
    }

    void startSysInfo()
    {
        QFETCH(ToolPath, path);
        QFETCH(ToolFolder, folder);
        QFETCH(Started, started);
        const QString probe =
            QCoreApplication::applicationDirPath() + u'/' + QLatin1StringView(SYSINFO_PROBE_NAME);
        const QString tools = m_dir->filePath(u"tools"_s);
        const QString copy = tools + u"/MSINFO32.EXE"_s;
        QVERIFY(QDir().mkpath(tools));

        if (path == ToolPath::Probe)
            QVERIFY(setValue(SysInfoKey, u"PATH"_s, REG_SZ, sz(QDir::toNativeSeparators(probe))));
        else if (path == ToolPath::Missing)
            QVERIFY(setValue(SysInfoKey, u"PATH"_s, REG_SZ,
                             sz(QDir::toNativeSeparators(tools + u"/fehlt.exe"_s))));
        if (folder != ToolFolder::Absent)
            QVERIFY(setValue(LocationKey, u"MSINFO"_s, REG_SZ, sz(QDir::toNativeSeparators(tools))));
        if (folder == ToolFolder::WithTool) {
            QVERIFY(QFile::copy(probe, copy));
            QVERIFY(QFile::setPermissions(copy, QFile::permissions(probe)));
        }

        if (started == Started::Nothing)
            forms::MessageBoxes::queueAnswer(forms::Button::Ok);
        frmAbout& about = showAbout();
        QTest::mouseClick(child<QPushButton>(about, u"cmdSysInfo"_s), Qt::LeftButton);
        QVERIFY(about.isVisible());

        if (started == Started::Nothing) {
            const QList<forms::ShownMessage> shown = forms::MessageBoxes::log();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text, NotAvailable);
            QCOMPARE(shown[0].title, u"Plenvaro"_s);
            QCOMPARE(shown[0].buttons, forms::Buttons::OkOnly);
            QCOMPARE(shown[0].icon, forms::Icon::None);
            return;
        }
        QVERIFY(forms::MessageBoxes::log().isEmpty());
        // The tool runs on its own; wait for its report, however long starting it takes.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(probeReport()), 60000);
        QFile report(probeReport());
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLocal8Bit(report.readAll()).split(u'\n', Qt::SkipEmptyParts);
        // As registered: the program starts the path it read.
        const QString expected = QDir::toNativeSeparators(started == Started::Probe ? probe : copy);
        QCOMPARE(lines, QStringList{expected});
    }

private:
    QString probeReport() const { return m_dir->filePath(u"probe-report.txt"_s); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<testsupport::RegistrySandbox> m_registry;
};

QTEST_MAIN(AboutTest)
#include "tst_frm_about.moc"
