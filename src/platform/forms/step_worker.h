#pragma once

#include <QAbstractEventDispatcher>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace forms::detail {

// How long either side waits busy for the other before it sleeps.
inline constexpr std::chrono::microseconds SpinTime{200};

// One blocking step handed to the worker; the waiter either sees it done or abandons it.
class StepJob final
{
public:
    StepJob(std::function<void()> step, QAbstractEventDispatcher* waiter)
        : m_step(std::move(step)), m_waiter(waiter)
    {}

    // On the worker thread.
    void run() noexcept;

    // On the waiting thread.
    bool done() const { return m_done.load(std::memory_order_acquire); }
    bool waitFor(std::chrono::microseconds time);
    // Nobody waits any more: the worker neither wakes the waiter nor keeps the step's error.
    void abandon();
    // Raises the error the step raised, if any.
    void rethrow() const;

private:
    std::function<void()> m_step;
    std::exception_ptr m_error;
    std::atomic<bool> m_done{false};
    std::mutex m_mutex;
    std::condition_variable m_finished;
    QAbstractEventDispatcher* m_waiter; // guarded by m_mutex; null once abandoned
};

// The program's one thread for blocking steps. Steps run one at a time in the order posted, so a
// connection used by an abandoned step is not touched by the next one before that ends. The thread
// lives as long as the process: ending it while an abandoned step still runs is what it must not do.
class StepWorker final
{
public:
    static StepWorker& instance();
    void post(std::shared_ptr<StepJob> job);

private:
    StepWorker();
    [[noreturn]] void loop();

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::shared_ptr<StepJob>> m_queue;
    std::atomic<int> m_queued{0};
    std::thread m_thread;
};

} // namespace forms::detail
