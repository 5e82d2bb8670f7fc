#include "platform/forms/blocking_wait.h"

#include "platform/forms/step_worker.h"
#include "platform/forms/wait_note.h"

#include <QApplication>
#include <QCursor>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>

#include <vector>

using namespace std::chrono_literals;

namespace forms {
namespace {

// Most round trips end well within this; awaiting them in the event loop would only cost time.
constexpr auto QuickStep = 3ms;

AwaitTimings& timings()
{
    static AwaitTimings instance;
    return instance;
}

int& waitDepth()
{
    static int depth = 0;
    return depth;
}

std::vector<std::function<void()>>& heldHandlers()
{
    static std::vector<std::function<void()>> handlers;
    return handlers;
}

// The held handlers run from the event loop, after the handler whose step was awaited has returned.
void releaseHeldHandlers()
{
    if (heldHandlers().empty())
        return;
    QTimer::singleShot(0, qApp, [] {
        if (awaitingStep())
            return; // another wait releases them when it ends
        const auto handlers = std::exchange(heldHandlers(), {});
        for (const auto& handler : handlers)
            handler();
    });
}

bool programWindowOnScreen()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return true;
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), [](const QWidget* w) {
        return w->isVisible() && !w->isMinimized() && w != detail::WaitNote::current();
    });
}

// Keeps the windows alive until the job is done or the user gives up on it; false when abandoned.
bool waitKeepingWindowsAlive(const QString& what, detail::StepJob& job, const std::function<void()>& cancel)
{
    const bool gui = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    ++waitDepth();
    bool busyPointer = false;
    bool noteShown = false;
    bool abandoned = false;
    const auto end = qScopeGuard([&] {
        if (busyPointer)
            QGuiApplication::restoreOverrideCursor();
        if (noteShown)
            detail::WaitNote::release();
        if (--waitDepth() == 0)
            releaseHeldHandlers();
    });

    QTimer busy;
    busy.setSingleShot(true);
    QObject::connect(&busy, &QTimer::timeout, [&] {
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
        busyPointer = true;
    });
    QTimer noting;
    noting.setSingleShot(true);
    QObject::connect(&noting, &QTimer::timeout, [&] {
        noteShown = true;
        detail::WaitNote::show(what, [&] {
            if (cancel)
                cancel();
            else
                abandoned = true;
        });
    });
    if (gui) {
        busy.start(timings().busyPointerMs);
        // A note still up from the wait before goes on saying what is awaited now.
        noting.start(detail::WaitNote::current() != nullptr ? 0
                     : programWindowOnScreen()              ? timings().noteMs
                                                            : timings().noteAloneMs);
    }

    while (!job.done() && !abandoned) {
        // Until the note offers a way out, input waits in its queue; the note is modal, so once it is up
        // only it takes input.
        QCoreApplication::processEvents(noteShown ? QEventLoop::WaitForMoreEvents
                                                  : QEventLoop::WaitForMoreEvents |
                                                        QEventLoop::ExcludeUserInputEvents);
    }
    if (abandoned && !job.done()) {
        job.abandon();
        return false;
    }
    return true;
}

} // namespace

bool awaitStep(const QString& what, std::function<void()> step, std::function<void()> cancel)
{
    const QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        step();
        return true;
    }
    auto job =
        std::make_shared<detail::StepJob>(std::move(step), QThread::currentThread()->eventDispatcher());
    detail::StepWorker::instance().post(job);
    if (!job->waitFor(QuickStep) && !waitKeepingWindowsAlive(what, *job, cancel))
        return false;
    job->rethrow();
    return true;
}

bool awaitingStep()
{
    return waitDepth() > 0;
}

void runAfterAwaitedStep(std::function<void()> handler)
{
    heldHandlers().push_back(std::move(handler));
}

void setAwaitTimings(AwaitTimings t)
{
    timings() = t;
}

void resetAwaitTimings()
{
    timings() = AwaitTimings{};
}

} // namespace forms
