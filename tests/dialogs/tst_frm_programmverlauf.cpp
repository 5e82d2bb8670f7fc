#include "dialogs/frm_programmverlauf.h"

#include "dialogs/program_windows.h"
#include "platform/forms/forms.h"
#include "platform/forms/program_log.h"

#include "registry_sandbox.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <QWindow>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

QTreeWidget* verlauf(frmProgrammverlauf& window)
{
    return window.findChild<QTreeWidget*>(u"Verlauf"_s);
}

// The visible columns of every row after the time, top row first.
QList<QStringList> rows(frmProgrammverlauf& window)
{
    QList<QStringList> result;
    const QTreeWidget* list = verlauf(window);
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QStringList columns;
        for (int column = frmProgrammverlauf::PartColumn; column < list->columnCount(); ++column)
            columns << list->topLevelItem(row)->text(column);
        result << columns;
    }
    return result;
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

// What a rich-text tooltip reads as.
QString shownText(const QString& toolTip)
{
    return QTextDocumentFragment::fromHtml(toolTip).toPlainText();
}

} // namespace

class ProgrammverlaufTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_registry.reset(); // one at a time: the old one's end would undo the new one's
        m_registry = std::make_unique<testsupport::RegistrySandbox>();
        QVERIFY2(m_registry->isValid(), qPrintable(m_registry->error()));
        forms::resetForTests();
        forms::MessageBoxes::setFailIfUnanswered(true);
        dialogs::windows::destroyAll();
    }

    void cleanup()
    {
        dialogs::windows::destroyAll();
        forms::resetForTests();
        m_registry.reset();
    }

    void statusTextBeforeShowingLoadsTheWindowHidden()
    {
        QVERIFY(forms::loadedWindows().isEmpty());
        dialogs::windows::programmverlauf().StatusText(u"Login"_s, u"Anmeldung"_s, u"K17"_s);

        const QList<QWidget*> loaded = forms::loadedWindows();
        QCOMPARE(loaded.size(), 1);
        auto* window = qobject_cast<frmProgrammverlauf*>(loaded.first());
        QVERIFY(window != nullptr);
        QVERIFY(!window->isVisible());
        QCOMPARE(&dialogs::windows::programmverlauf(), window);
        QCOMPARE(rows(*window), (QList<QStringList>{{u"Login"_s, u"Anmeldung"_s, u"K17"_s}}));
    }

    void newestOnTopSplitAtSemicolons()
    {
        frmProgrammverlauf& window = dialogs::windows::programmverlauf();
        window.StatusText(u"A"_s, u"eins"_s, u"1"_s);
        window.StatusText(u"B"_s, u"zwei"_s, {});
        // A ";" inside an argument moves the rest on; what falls off the last column is not shown.
        window.StatusText(u"C;D"_s, u"drei"_s, u"3"_s);
        QCOMPARE(rows(window), (QList<QStringList>{{u"C"_s, u"D"_s, u"drei"_s},
                                                   {u"B"_s, u"zwei"_s, QString()},
                                                   {u"A"_s, u"eins"_s, u"1"_s}}));
    }

    void hundredRowsThenTheOldestGoes()
    {
        frmProgrammverlauf& window = dialogs::windows::programmverlauf();
        const QTreeWidget* list = verlauf(window);
        for (int entry = 1; entry <= frmProgrammverlauf::MaxRows; ++entry) {
            window.StatusText(u"Teil"_s, QString::number(entry), {});
            QCOMPARE(list->topLevelItemCount(), entry);
            QCOMPARE(list->topLevelItem(entry - 1)->text(frmProgrammverlauf::TextColumn), u"1"_s);
        }

        window.StatusText(u"Teil"_s, u"101"_s, {});
        QCOMPARE(list->topLevelItemCount(), frmProgrammverlauf::MaxRows);
        QCOMPARE(list->topLevelItem(0)->text(frmProgrammverlauf::TextColumn), u"101"_s);
        QCOMPARE(list->topLevelItem(1)->text(frmProgrammverlauf::TextColumn), u"100"_s);
        QCOMPARE(list->topLevelItem(frmProgrammverlauf::MaxRows - 1)->text(frmProgrammverlauf::TextColumn),
                 u"2"_s);
    }

    void captionColumnsAndFixedList()
    {
        frmProgrammverlauf& window = dialogs::windows::programmverlauf();
        QCOMPARE(window.windowTitle(), u"Programmverlauf"_s);
        QVERIFY(
            !window.windowFlags().testAnyFlags(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        QTreeWidget* list = verlauf(window);
        QVERIFY(list != nullptr);
        const QTreeWidgetItem* header = list->headerItem();
        QCOMPARE(list->columnCount(), 4);
        QCOMPARE((QStringList{header->text(0), header->text(1), header->text(2), header->text(3)}),
                 (QStringList{u"Zeit"_s, u"Programmteil"_s, u"Text"_s, u"Parameter"_s}));
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);

        window.show();
        const QRect laidOut = list->geometry();
        window.resize(window.width() / 2, window.height() * 2);
        QCOMPARE(list->geometry(), laidOut);
    }

    // Each row starts with the time it came; its tooltip adds the day, for a log kept over midnight.
    void eachEntryTellsItsTime()
    {
        frmProgrammverlauf& window = dialogs::windows::programmverlauf();
        const QDateTime before = QDateTime::currentDateTime();
        window.StatusText(u"Sitzung"_s, u"Anmeldung erfolgreich"_s, u"K17"_s);
        const QDateTime after = QDateTime::currentDateTime();
        if (before.date() != after.date())
            QSKIP("the day changed during the test");
        const QTreeWidgetItem* row = verlauf(window)->topLevelItem(0);
        const QTime shown = QTime::fromString(row->text(frmProgrammverlauf::TimeColumn), u"hh:mm:ss"_s);
        QVERIFY2(shown.isValid(), qPrintable(row->text(frmProgrammverlauf::TimeColumn)));
        QVERIFY(shown >= before.time().addMSecs(-before.time().msec()) && shown <= after.time());
        const QDateTime day =
            QDateTime::fromString(row->toolTip(frmProgrammverlauf::TimeColumn), u"dd.MM.yyyy hh:mm:ss"_s);
        QCOMPARE(day.date(), before.date());
        QCOMPARE(day.time(), shown);
    }

    // German names for the program's parts; an area without one keeps its own.
    void partsByTheirGermanNames_data()
    {
        QTest::addColumn<QByteArray>("category");
        QTest::addColumn<QString>("part");
        QTest::newRow("session") << QByteArray("plenvaro.session") << u"Sitzung"_s;
        QTest::newRow("articles") << QByteArray("plenvaro.articles") << u"Artikelliste"_s;
        QTest::newRow("stock") << QByteArray("plenvaro.stock") << u"Lagerstand"_s;
        QTest::newRow("messages") << QByteArray(forms::messagesArea().categoryName()) << u"Meldungen"_s;
        QTest::newRow("no German name") << QByteArray("plenvaro.suche") << u"suche"_s;
    }

    void partsByTheirGermanNames()
    {
        QFETCH(QByteArray, category);
        QFETCH(QString, part);
        dialogs::windows::install();
        const QLoggingCategory area(category.constData());
        forms::logEntry(area, u"Eintrag"_s, u"P1"_s);
        QCOMPARE(rows(dialogs::windows::programmverlauf()),
                 (QList<QStringList>{{part, u"Eintrag"_s, u"P1"_s}}));
    }

    // Nothing of a long text is cut off: it wraps, inside a word where it has to, again whenever its
    // column changes its width, and its tooltip holds all of it, shown as written.
    void longTextsWrapAndAreShownWhole()
    {
        frmProgrammverlauf& window = dialogs::windows::programmverlauf();
        const QString sentence =
            u"Server nicht erreicht! Bitte überprüfen Sie die Verbindungseinstellungen. "_s
            u"Wenn die Verbindungseinstellung korrekt ist, sind wahrscheinlich keine "_s
            u"Lizenzen frei. <b>Ursache</b>: Verbindung abgelehnt & mehr"_s;
        const QString oneWord = u"cn_iptcp:127.0.0.1[1972]:VELDOR/"_s.repeated(4);
        window.StatusText(u"Sitzung"_s, u"Verbindungsversuch 1: verbunden"_s, oneWord);
        window.StatusText(u"Kurz"_s, u"kurz"_s, u"1"_s);
        window.StatusText(u"Meldungen"_s, sentence, u"Anmeldung an Caché"_s);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTreeWidget* list = verlauf(window);
        const QTreeWidgetItem* longRow = list->topLevelItem(0);
        const QTreeWidgetItem* shortRow = list->topLevelItem(1);
        const QTreeWidgetItem* wordRow = list->topLevelItem(2);
        const int oneLine = list->visualItemRect(shortRow).height();
        const int lineHeight = list->fontMetrics().lineSpacing();

        // A single word wider than its column wraps too.
        QVERIFY(list->fontMetrics().horizontalAdvance(oneWord) > 2 * list->columnWidth(3));
        QVERIFY(list->visualItemRect(wordRow).height() >= oneLine + 2 * lineHeight);

        const int tall = list->visualItemRect(longRow).height();
        QVERIFY2(tall >= oneLine + 3 * lineHeight, qPrintable(u"%1 %2"_s.arg(tall).arg(oneLine)));
        list->header()->resizeSection(frmProgrammverlauf::TextColumn, list->columnWidth(2) * 3);
        const int wider = list->visualItemRect(longRow).height();
        QVERIFY2(wider < tall, qPrintable(u"%1 %2"_s.arg(wider).arg(tall)));
        QCOMPARE(list->visualItemRect(shortRow).height(), oneLine);

        QCOMPARE(shownText(longRow->toolTip(frmProgrammverlauf::TextColumn)), sentence);
        QCOMPARE(shownText(wordRow->toolTip(frmProgrammverlauf::ParameterColumn)), oneWord);
        QCOMPARE(shownText(longRow->toolTip(frmProgrammverlauf::PartColumn)), u"Meldungen"_s);
    }

    // Ctrl+C and the context menu's "Kopieren" copy whole rows, each cell as spreadsheets read it.
    void ctrlCCopiesTheSelectedRows()
    {
        frmProgrammverlauf& window = dialogs::windows::programmverlauf();
        window.StatusText(u"A"_s, u"eins"_s, u"1"_s);
        window.StatusText(u"B"_s, u"zwei"_s, {});
        window.StatusText(u"C"_s, u"drei\tmit Tab"_s, u"\"zitiert\" am Anfang"_s);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTreeWidget* list = verlauf(window);
        const auto time = [&](int row) {
            return list->topLevelItem(row)->text(frmProgrammverlauf::TimeColumn);
        };

        QGuiApplication::clipboard()->setText(u"vorher"_s);
        list->clearSelection();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"vorher"_s); // nothing selected, nothing copied

        list->selectionModel()->select(list->model()->index(2, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->selectionModel()->select(list->model()->index(0, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        const QString expected = time(0) + u"\tC\t\"drei\tmit Tab\"\t\"\"\"zitiert\"\" am Anfang\"\n"_s +
                                 time(2) + u"\tA\teins\t1\n"_s;
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);

        QGuiApplication::clipboard()->clear();
        QCOMPARE(list->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(list->actions().size(), 1);
        QCOMPARE(list->actions().first()->text(), u"Kopieren"_s);
        list->actions().first()->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    }

    // The menu shows it owned by the main window; the close box and hiding keep the same window and rows.
    void closeBoxOnlyHides()
    {
        QWidget mainWindow;
        mainWindow.show();
        frmProgrammverlauf& window = dialogs::windows::programmverlauf();
        window.StatusText(u"A"_s, u"eins"_s, {});
        window.StatusText(u"B"_s, u"zwei"_s, {});
        const QList<QStringList> before = rows(window);
        const QPointer<frmProgrammverlauf> alive(&window);

        window.showOwnedBy(&mainWindow);
        QVERIFY(window.isVisible());
        QVERIFY(window.isWindow());
        QCOMPARE(window.parentWidget(), &mainWindow);

        closeByUser(window);
        processDeletions();
        QVERIFY(!alive.isNull());
        QVERIFY(!window.isVisible());
        QVERIFY(forms::isLoaded(&window));

        dialogs::windows::programmverlauf().showOwnedBy(&mainWindow);
        QCOMPARE(&dialogs::windows::programmverlauf(), alive.data());
        QVERIFY(window.isVisible());
        window.hide();
        window.show();
        QCOMPARE(rows(window), before);
    }

    void unloadedByTheProgram_data()
    {
        QTest::addColumn<bool>("byClose");
        QTest::newRow("program end unloads every window") << false;
        QTest::newRow("closed from code") << true;
    }

    void unloadedByTheProgram()
    {
        QFETCH(bool, byClose);
        frmProgrammverlauf& window = dialogs::windows::programmverlauf();
        window.StatusText(u"A"_s, u"eins"_s, {});
        window.show();
        const QPointer<frmProgrammverlauf> alive(&window);

        if (byClose)
            QVERIFY(window.close());
        else
            QVERIFY(forms::unloadWindow(&window));
        processDeletions();
        QVERIFY(alive.isNull());
        QVERIFY(forms::loadedWindows().isEmpty());

        // The next use loads a new, empty log.
        QVERIFY(rows(dialogs::windows::programmverlauf()).isEmpty());
        QCOMPARE(forms::loadedWindows().size(), 1);
    }

private:
    std::unique_ptr<testsupport::RegistrySandbox> m_registry;
};

QTEST_MAIN(ProgrammverlaufTest)
#include "tst_frm_programmverlauf.moc"
