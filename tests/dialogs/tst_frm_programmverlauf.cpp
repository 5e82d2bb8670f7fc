#include "dialogs/frm_programmverlauf.h"

#include "dialogs/program_windows.h"
#include "platform/forms/forms.h"

#include "registry_sandbox.h"

#include <QCloseEvent>
#include <QPointer>
#include <QTest>
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

// The visible columns of every row, top row first.
QList<QStringList> rows(frmProgrammverlauf& window)
{
    QList<QStringList> result;
    const QTreeWidget* list = verlauf(window);
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QStringList columns;
        for (int column = 0; column < list->columnCount(); ++column)
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
            QCOMPARE(list->topLevelItem(entry - 1)->text(1), u"1"_s);
        }

        window.StatusText(u"Teil"_s, u"101"_s, {});
        QCOMPARE(list->topLevelItemCount(), frmProgrammverlauf::MaxRows);
        QCOMPARE(list->topLevelItem(0)->text(1), u"101"_s);
        QCOMPARE(list->topLevelItem(1)->text(1), u"100"_s);
        QCOMPARE(list->topLevelItem(frmProgrammverlauf::MaxRows - 1)->text(1), u"2"_s);
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
        QCOMPARE(list->columnCount(), 3);
        QCOMPARE((QStringList{header->text(0), header->text(1), header->text(2)}),
                 (QStringList{u"Programmteil"_s, u"Text"_s, u"Parameter"_s}));
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);

        window.show();
        const QRect laidOut = list->geometry();
        window.resize(window.width() / 2, window.height() * 2);
        QCOMPARE(list->geometry(), laidOut);
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
