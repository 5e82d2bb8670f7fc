#include "scheduler.h"

#include "merror.h"

#include <algorithm>
#include <string>
#include <utility>

namespace veldor {

class Scheduler::Task final
{
public:
    Task(std::uint64_t units, std::function<void()> onDone, Scheduler& scheduler)
        : budget(units, [this, &scheduler] { scheduler.checkpoint(*this); }), done(std::move(onDone))
    {}

    m::Budget budget;
    std::function<void()> done;
    std::function<void()> work; // instead of a job on a fiber
    std::unique_ptr<Fiber> fiber;
    Clock::duration spent{};
    Clock::time_point sliceStart;
    bool cancelled = false;
};

Scheduler::Scheduler(Limits limits, QObject* parent) : QObject(parent), m_limits(limits)
{
    m_turn.setSingleShot(true);
    m_turn.setInterval(0);
    m_turn.setTimerType(Qt::PreciseTimer);
    connect(&m_turn, &QTimer::timeout, this, &Scheduler::nextTurn);
}

Scheduler::~Scheduler()
{
    while (!m_queue.empty())
        cancel(m_queue.front().get());
}

Scheduler::Task* Scheduler::run(std::function<void(m::Budget&)> job, std::function<void()> done)
{
    auto task = std::make_unique<Task>(m_limits.work, std::move(done), *this);
    task->fiber = takeFiber();
    task->sliceStart = Clock::now();
    Task* const raw = task.get();
    task->fiber->start([raw, job = std::move(job)] { job(raw->budget); });
    if (!task->fiber->suspended()) {
        keepFiber(std::move(task->fiber));
        return nullptr;
    }
    sliceEnded(*task);
    m_queue.push_back(std::move(task));
    if (!m_turn.isActive())
        m_turn.start(0);
    return raw;
}

Scheduler::Task* Scheduler::runInTurn(std::function<void()> work)
{
    auto task = std::make_unique<Task>(m_limits.work, std::function<void()>(), *this);
    task->work = std::move(work);
    Task* const raw = task.get();
    m_queue.push_back(std::move(task));
    if (!m_turn.isActive())
        m_turn.start(0);
    return raw;
}

void Scheduler::checkpoint(Task& task)
{
    const auto now = Clock::now();
    const auto sliceUsed = now - task.sliceStart;
    if (!task.cancelled && task.spent + sliceUsed > m_limits.time) {
        throw m::MError(m::ErrorKind::Budget, 0,
                        "more than " + std::to_string(m_limits.time.count()) + " ms of work");
    }
    if (!task.cancelled && sliceUsed >= m_limits.slice) {
        task.spent += sliceUsed;
        Fiber::suspend();
    }
    if (task.cancelled)
        throw m::MError(m::ErrorKind::Budget, 0, "the session ended while the line ran");
}

void Scheduler::runSlice(Task& task)
{
    task.sliceStart = Clock::now();
    if (task.work)
        std::exchange(task.work, nullptr)();
    else
        task.fiber->resume();
    sliceEnded(task);
}

void Scheduler::sliceEnded(const Task& task)
{
    m_lastSliceEnd = Clock::now();
    m_lastSlice = m_lastSliceEnd - task.sliceStart;
    m_activityAtSliceEnd = activity();
    m_rested = false;
}

void Scheduler::nextTurn()
{
    if (m_queue.empty())
        return;
    // This turn comes after the event loop has looked at every socket once; if it served anyone,
    // they get the rest of their share before the next slice.
    if (!m_rested && activity() != m_activityAtSliceEnd) {
        m_rested = true;
        const auto wait = m_lastSliceEnd + restAfter(m_lastSlice) - Clock::now();
        if (wait > Clock::duration::zero()) {
            m_turn.start(std::chrono::ceil<std::chrono::milliseconds>(wait));
            return;
        }
    }
    std::unique_ptr<Task> task = std::move(m_queue.front());
    m_queue.pop_front();
    try {
        runSlice(*task);
    } catch (...) {
        keepFiber(std::move(task->fiber));
        if (!m_queue.empty())
            m_turn.start(0);
        throw;
    }
    if (task->fiber && task->fiber->suspended()) {
        m_queue.push_back(std::move(task));
    } else {
        keepFiber(std::move(task->fiber));
    }
    if (!m_queue.empty())
        m_turn.start(0);
    // Last: done may start the client's next line, which may join the queue.
    if (task && task->done)
        task->done();
}

void Scheduler::cancel(Task* task)
{
    const auto it = std::find_if(m_queue.begin(), m_queue.end(),
                                 [task](const std::unique_ptr<Task>& t) { return t.get() == task; });
    if (it == m_queue.end())
        return;
    std::unique_ptr<Task> owned = std::move(*it);
    m_queue.erase(it);
    if (!owned->fiber)
        return; // work that has not had its turn
    owned->cancelled = true;
    try {
        // The job meets the cancellation at its next checkpoint and unwinds.
        while (owned->fiber->suspended())
            runSlice(*owned);
    } catch (...) {
        // Whatever the job let out, nobody waits for it any more.
    }
    keepFiber(std::move(owned->fiber));
}

std::unique_ptr<Fiber> Scheduler::takeFiber()
{
    if (m_idleFibers.empty())
        return std::make_unique<Fiber>();
    std::unique_ptr<Fiber> fiber = std::move(m_idleFibers.back());
    m_idleFibers.pop_back();
    return fiber;
}

void Scheduler::keepFiber(std::unique_ptr<Fiber> fiber)
{
    if (fiber && !fiber->suspended() && m_idleFibers.size() < IdleFibersKept)
        m_idleFibers.push_back(std::move(fiber));
}

} // namespace veldor
