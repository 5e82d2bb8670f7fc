#include "platform/forms/step_worker.h"

namespace forms::detail {

void StepJob::run() noexcept
{
    try {
        m_step();
    } catch (...) {
        m_error = std::current_exception();
    }
    // Whatever the step holds is let go here, on the worker, where its last use was.
    m_step = nullptr;
    const std::lock_guard lock(m_mutex);
    m_done.store(true, std::memory_order_release);
    if (m_waiter != nullptr)
        m_waiter->wakeUp();
    m_finished.notify_all();
}

bool StepJob::waitFor(std::chrono::microseconds time)
{
    // A round trip on loopback ends within a fraction of a millisecond: waiting for it busy costs less
    // than being woken.
    const auto spinUntil = std::chrono::steady_clock::now() + std::min(time, SpinTime);
    while (std::chrono::steady_clock::now() < spinUntil) {
        if (done())
            return true;
        std::this_thread::yield();
    }
    std::unique_lock lock(m_mutex);
    return m_finished.wait_for(lock, time, [this] { return done(); });
}

void StepJob::abandon()
{
    const std::lock_guard lock(m_mutex);
    m_waiter = nullptr;
}

void StepJob::rethrow() const
{
    if (m_error)
        std::rethrow_exception(m_error);
}

StepWorker& StepWorker::instance()
{
    // Never destroyed: see the class comment.
    static StepWorker* worker = new StepWorker;
    return *worker;
}

StepWorker::StepWorker() : m_thread([this] { loop(); })
{
    m_thread.detach();
}

void StepWorker::post(std::shared_ptr<StepJob> job)
{
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(job));
        m_queued.fetch_add(1, std::memory_order_release);
    }
    m_posted.notify_one();
}

void StepWorker::loop()
{
    for (;;) {
        // The steps of one operation (a lookup is six round trips) follow each other closely.
        const auto spinUntil = std::chrono::steady_clock::now() + SpinTime;
        while (m_queued.load(std::memory_order_acquire) == 0 && std::chrono::steady_clock::now() < spinUntil)
            std::this_thread::yield();
        std::shared_ptr<StepJob> job;
        {
            std::unique_lock lock(m_mutex);
            m_posted.wait(lock, [this] { return !m_queue.empty(); });
            m_queued.fetch_sub(1, std::memory_order_relaxed);
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        job->run();
    }
}

} // namespace forms::detail
