#include "fixture.h"
#include "suites.h"

#include "platform/forms/blocking_wait.h"
#include "platform/forms/connect_handler.h"

#include <QApplication>
#include <QCursor>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

// A step that blocks until released or until it is told to stop, as a server round trip does.
struct HeldStep
{
    std::atomic<bool> release{false};
    std::atomic<bool> stop{false};
    std::atomic<bool> ended{false};

    std::function<void()> step()
    {
        return [this] {
            while (!release && !stop)
                std::this_thread::sleep_for(2ms);
            ended = true;
            if (stop)
                throw std::runtime_error("stopped");
        };
    }
};

QWidget* waitNote()
{
    return QApplication::activeModalWidget() != nullptr &&
                   QApplication::activeModalWidget()->objectName() == u"frmWarten"_s
               ? QApplication::activeModalWidget()
               : nullptr;
}

} // namespace

class BlockingWaitTest final : public formstest::Suite
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        Suite::init();
        // The note of the test before lingers a moment.
        QTRY_COMPARE(waitNote(), nullptr);
    }

    void quickStepRunsOffTheWindowThreadAndRaisesItsError()
    {
        Qt::HANDLE ranOn = nullptr;
        QVERIFY(forms::awaitStep(u"x"_s, [&] { ranOn = QThread::currentThreadId(); }));
        QVERIFY(ranOn != nullptr);
        QVERIFY(ranOn != QThread::currentThreadId());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 forms::awaitStep(u"x"_s, [] { throw std::runtime_error("kaputt"); }));
        QVERIFY(!forms::awaitingStep());
    }

    void windowsStayAliveAndThePointerShowsBusy()
    {
        forms::setAwaitTimings({20, 60000, 60000});
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        HeldStep held;
        int ticks = 0;
        bool busyMeanwhile = false;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] {
            ++ticks;
            busyMeanwhile = busyMeanwhile || (QGuiApplication::overrideCursor() != nullptr &&
                                              QGuiApplication::overrideCursor()->shape() == Qt::BusyCursor);
            if (ticks == 10)
                held.release = true;
        });
        ticker.start(15);
        QVERIFY(forms::awaitStep(u"Warte"_s, held.step()));
        QCOMPARE(ticks, 10); // the window thread went on while the step blocked
        QVERIFY(busyMeanwhile);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(waitNote(), nullptr); // not yet due
    }

    void handlersThatFireMeanwhileRunAfterwardsInOrder()
    {
        HeldStep held;
        QStringList ran;
        QTimer first;
        QTimer second;
        first.setSingleShot(true);
        second.setSingleShot(true);
        QObject form;
        forms::connectHandler(&first, &QTimer::timeout, &form, [&](QObject*) { ran << u"first"_s; });
        forms::connectHandler(&second, &QTimer::timeout, &form, [&](QObject*) { ran << u"second"_s; });
        first.start(10);
        second.start(30);
        QTimer::singleShot(80, [&] { held.release = true; });
        QVERIFY(forms::awaitStep(u"Warte"_s, held.step()));
        QVERIFY(ran.isEmpty()); // nothing ran in the middle of the waiting handler
        QTRY_COMPARE(ran, (QStringList{u"first"_s, u"second"_s}));
    }

    void abbrechenCancelsTheStepWhichEndsWithItsOwnError()
    {
        forms::setAwaitTimings({10, 30, 30});
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        HeldStep held;
        QString shown;
        QTimer::singleShot(200, [&] {
            if (QWidget* note = waitNote()) {
                shown = note->findChild<QWidget*>(u"lblWarten"_s)->property("text").toString();
                QTest::mouseClick(note->findChild<QPushButton*>(u"cmdAbbrechen"_s), Qt::LeftButton);
            }
        });
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 forms::awaitStep(u"Warte auf den Server 10.1.2.3:1972 ..."_s, held.step(),
                                                  [&] { held.stop = true; }));
        QCOMPARE(shown, u"Warte auf den Server 10.1.2.3:1972 ..."_s);
        QVERIFY(held.ended);
        QTRY_COMPARE(waitNote(), nullptr); // the note goes once nothing is awaited
    }

    void withoutCancelTheStepIsAbandonedAndRunsOn()
    {
        forms::setAwaitTimings({10, 30, 30});
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto held = std::make_shared<HeldStep>();
        QTimer::singleShot(200, [&] {
            if (QWidget* note = waitNote())
                QTest::keyClick(note, Qt::Key_Escape);
        });
        QVERIFY(!forms::awaitStep(u"Lese Artikelliste ..."_s, [held] { held->step()(); }));
        QVERIFY(!held->ended);
        // The worker finishes the abandoned step before it takes the next.
        held->release = true;
        bool next = false;
        QVERIFY(forms::awaitStep(u"x"_s, [&] { next = held->ended; }));
        QVERIFY(next);
    }

    void theNoteComesEarlyWhileNoWindowIsOnScreen()
    {
        forms::setAwaitTimings({10, 60000, 0});
        HeldStep held;
        bool noteSeen = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            noteSeen = noteSeen || waitNote() != nullptr;
            if (noteSeen)
                held.release = true;
        });
        poll.start(5);
        QTimer::singleShot(3000, [&] { held.release = true; });
        QVERIFY(forms::awaitStep(u"Warte auf den Server 127.0.0.1:1972 ..."_s, held.step()));
        QVERIFY(noteSeen);
    }
};

int runBlockingWaitTests(int argc, char** argv)
{
    BlockingWaitTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_blocking_wait.moc"
