#pragma once

#include "budget.h"
#include "fiber.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace veldor {

// Runs command lines in slices of time, so that one long line shares the event loop with every
// other client instead of holding it. A line runs on a fiber; after each slice it waits for its
// next turn while the event loop serves whoever else is waiting. Lines that wait take turns in
// order. While other clients are being served, long lines together get at most their share of
// the time (after a slice of d, the next waits d * (100 / share - 1)); with nobody else about
// they run on at once. Each line also has a budget of work and of time; past either it ends
// with <BUDGET>. Work that cannot be cut in slices takes its turns in the same order and share.
class Scheduler final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Scheduler)

public:
    using Clock = std::chrono::steady_clock;
    struct Limits
    {
        std::uint64_t work = m::Budget::Unlimited; // units, as the interpreter charges them
        std::chrono::milliseconds time{1000};      // running time, turns waited not counted
        std::chrono::milliseconds slice{5};
        int share = 25; // percent of the time long lines get while others are served
    };
    class Task;

    explicit Scheduler(Limits limits, QObject* parent = nullptr);
    ~Scheduler() override; // cancels what still runs

    // Runs job with a fresh budget, its first slice at once. Returns null when the job finished
    // within it; otherwise the waiting task, whose done is called from the event loop once the
    // job has returned. Exceptions the job lets out reach the caller of run() or the event loop.
    Task* run(std::function<void(m::Budget&)> job, std::function<void()> done);
    // Runs work that cannot be cut in slices (decoding a large request) at its turn among the lines,
    // never at once, and counts the time it took in their share. Returns the waiting task.
    Task* runInTurn(std::function<void()> work);
    // Ends a task early: its budget throws <BUDGET> into the job at once, and done is not called;
    // work that has not had its turn does not run.
    void cancel(Task* task);

    // A count that grows whenever another client is served: whether long lines must leave room.
    void setActivity(std::function<std::uint64_t()> activity) { m_activity = std::move(activity); }

    const Limits& limits() const { return m_limits; }
    int waiting() const { return static_cast<int>(m_queue.size()); }
    // How long work that took d keeps its client waiting while others are served.
    Clock::duration restAfter(Clock::duration d) const { return d * (100 - m_limits.share) / m_limits.share; }

private:
    void checkpoint(Task& task);
    void runSlice(Task& task);
    void sliceEnded(const Task& task);
    void nextTurn();
    std::unique_ptr<Fiber> takeFiber();
    void keepFiber(std::unique_ptr<Fiber> fiber);

    std::uint64_t activity() const { return m_activity ? m_activity() : 0; }

    Limits m_limits;
    std::function<std::uint64_t()> m_activity;
    std::deque<std::unique_ptr<Task>> m_queue;
    // The last slice of any line, and how busy the others were when it ended.
    Clock::time_point m_lastSliceEnd;
    Clock::duration m_lastSlice{};
    std::uint64_t m_activityAtSliceEnd = 0;
    bool m_rested = true;
    std::vector<std::unique_ptr<Fiber>> m_idleFibers;
    QTimer m_turn;

    static constexpr std::size_t IdleFibersKept = 4;
};

} // namespace veldor
