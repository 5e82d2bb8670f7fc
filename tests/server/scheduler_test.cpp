#include "merror.h"
#include "scheduler.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using veldor::Scheduler;

namespace {

// Runs the event loop until done() or the timeout.
template <typename Done> bool serveUntil(Done done, int timeoutMs = 10000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// A job that takes about its slices' worth of time per step and notes whose turn it was.
struct Worker
{
    Worker(std::string workerName, std::vector<std::string>& allTurns, int workerSteps = 40)
        : name(std::move(workerName)), turns(allTurns), steps(workerSteps)
    {}

    std::string name;
    std::vector<std::string>& turns;
    int steps;
    std::string outcome;
    bool done = false;

    std::function<void(veldor::m::Budget&)> job()
    {
        return [this](veldor::m::Budget& budget) {
            try {
                for (int i = 0; i < steps; ++i) {
                    if (turns.empty() || turns.back() != name)
                        turns.push_back(name);
                    std::this_thread::sleep_for(200us);
                    budget.charge(veldor::m::Budget::CheckpointUnits);
                }
                outcome = "finished";
            } catch (const veldor::m::MError& error) {
                outcome = error.description();
            }
        };
    }
};

Scheduler::Limits limits(std::chrono::milliseconds time = 10s)
{
    Scheduler::Limits l;
    l.time = time;
    l.slice = 1ms;
    return l;
}

} // namespace

TEST(SchedulerTest, LongJobsTakeTurns)
{
    Scheduler scheduler(limits());
    std::vector<std::string> turns;
    Worker a{"a", turns};
    Worker b{"b", turns};
    int doneCalls = 0;
    Scheduler::Task* first = scheduler.run(a.job(), [&] {
        a.done = true;
        ++doneCalls;
    });
    Scheduler::Task* second = scheduler.run(b.job(), [&] {
        b.done = true;
        ++doneCalls;
    });
    ASSERT_NE(first, nullptr) << "a job of many slices waits for more turns";
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(scheduler.waiting(), 2);
    ASSERT_TRUE(serveUntil([&] { return a.done && b.done; }));
    EXPECT_EQ(a.outcome, "finished");
    EXPECT_EQ(b.outcome, "finished");
    EXPECT_EQ(doneCalls, 2);
    EXPECT_GE(turns.size(), 6U) << "a, b, a, b, ...: neither ran to its end in one go";
    EXPECT_EQ(scheduler.waiting(), 0);
}

TEST(SchedulerTest, LongJobsLeaveOthersTheirShare)
{
    Scheduler::Limits l = limits();
    l.share = 25;
    Scheduler scheduler(l);
    std::uint64_t served = 0;
    scheduler.setActivity([&served] { return ++served; }); // others are served all the time

    // Runs between two pauses, and the pauses that followed them.
    std::vector<std::pair<Scheduler::Clock::duration, Scheduler::Clock::duration>> runs;
    bool done = false;
    auto job = [&runs](veldor::m::Budget& budget) {
        auto runStart = Scheduler::Clock::now();
        auto last = runStart;
        for (int i = 0; i < 60; ++i) {
            std::this_thread::sleep_for(200us);
            budget.charge(veldor::m::Budget::CheckpointUnits);
            const auto now = Scheduler::Clock::now();
            if (now - last > 1500us) { // a pause: the slice before it ended at last
                runs.emplace_back(last - runStart, now - last);
                runStart = now;
            }
            last = now;
        }
    };
    ASSERT_NE(scheduler.run(job, [&done] { done = true; }), nullptr);
    ASSERT_TRUE(serveUntil([&done] { return done; }));
    ASSERT_GE(runs.size(), 3U);
    for (const auto& [ran, paused] : runs)
        EXPECT_GE(paused, ran * 5 / 2) << "a quarter of the time for the long job";
}

TEST(SchedulerTest, AShortJobFinishesAtOnce)
{
    Scheduler scheduler(limits());
    int value = 0;
    bool doneCalled = false;
    EXPECT_EQ(scheduler.run(
                  [&value](veldor::m::Budget& budget) {
                      budget.charge(10);
                      value = 42;
                  },
                  [&doneCalled] { doneCalled = true; }),
              nullptr);
    EXPECT_EQ(value, 42);
    EXPECT_FALSE(doneCalled) << "the caller has the result already";
}

TEST(SchedulerTest, BudgetsOfTimeAndWorkEndJobs)
{
    std::vector<std::string> turns;
    Scheduler byTime(limits(20ms));
    Worker endless{"e", turns, 1000000};
    ASSERT_NE(byTime.run(endless.job(), [&] { endless.done = true; }), nullptr);
    ASSERT_TRUE(serveUntil([&] { return endless.done; }));
    EXPECT_EQ(endless.outcome, "<BUDGET> more than 20 ms of work");

    Scheduler::Limits few = limits();
    few.work = 5 * veldor::m::Budget::CheckpointUnits;
    Scheduler byWork(few);
    Worker counted{"c", turns, 1000000};
    Scheduler::Task* task = byWork.run(counted.job(), [&] { counted.done = true; });
    if (task) {
        ASSERT_TRUE(serveUntil([&] { return counted.done; }));
    }
    EXPECT_EQ(counted.outcome, "<BUDGET> more than " + std::to_string(few.work) + " units of work");
}

TEST(SchedulerTest, CancelledJobsUnwindWithoutReply)
{
    std::vector<std::string> turns;
    Scheduler scheduler(limits());
    Worker worker{"w", turns, 1000000};
    Scheduler::Task* task = scheduler.run(worker.job(), [&] { worker.done = true; });
    ASSERT_NE(task, nullptr);
    scheduler.cancel(task);
    EXPECT_EQ(worker.outcome, "<BUDGET> the session ended while the line ran");
    EXPECT_EQ(scheduler.waiting(), 0);
    serveUntil([] { return false; }, 50);
    EXPECT_FALSE(worker.done);

    Worker left{"l", turns, 1000000};
    {
        Scheduler ending(limits());
        ASSERT_NE(ending.run(left.job(), [&] { left.done = true; }), nullptr);
    }
    EXPECT_EQ(left.outcome, "<BUDGET> the session ended while the line ran")
        << "a scheduler ends what it runs";
}

TEST(SchedulerTest, OtherExceptionsReachTheCaller)
{
    Scheduler scheduler(limits());
    EXPECT_THROW(scheduler.run([](veldor::m::Budget&) { throw std::runtime_error("broken"); }, [] {}),
                 std::runtime_error);
    int value = 0;
    EXPECT_EQ(scheduler.run([&value](veldor::m::Budget&) { value = 1; }, [] {}), nullptr) << "and it runs on";
    EXPECT_EQ(value, 1);
}

TEST(SchedulerTest, WorkInTurnWaitsItsTurnAmongTheLines)
{
    Scheduler scheduler(limits());
    std::vector<std::string> turns;
    Worker line{"line", turns};
    bool lineDone = false;
    ASSERT_NE(scheduler.run(line.job(), [&lineDone] { lineDone = true; }), nullptr);
    bool ran = false;
    scheduler.runInTurn([&] {
        turns.push_back("work");
        ran = true;
    });
    EXPECT_FALSE(ran) << "never at once";
    EXPECT_EQ(scheduler.waiting(), 2);
    ASSERT_TRUE(serveUntil([&] { return ran && lineDone; }));
    ASSERT_GE(turns.size(), 3U);
    EXPECT_EQ(turns[0], "line");
    EXPECT_EQ(turns[1], "work") << "in the order they came: the line was waiting already";
    EXPECT_EQ(turns[2], "line");

    bool cancelledRan = false;
    Scheduler::Task* waiting = scheduler.runInTurn([&cancelledRan] { cancelledRan = true; });
    scheduler.cancel(waiting);
    EXPECT_EQ(scheduler.waiting(), 0);
    serveUntil([] { return false; }, 50);
    EXPECT_FALSE(cancelledRan);
}

TEST(SchedulerTest, WorkInTurnCountsInTheShareOfTheLines)
{
    Scheduler::Limits l = limits();
    l.share = 25;
    Scheduler scheduler(l);
    std::uint64_t served = 0;
    scheduler.setActivity([&served] { return ++served; }); // others are served all the time

    std::vector<std::pair<Scheduler::Clock::time_point, Scheduler::Clock::time_point>> runs;
    const auto work = [&runs] {
        const auto start = Scheduler::Clock::now();
        std::this_thread::sleep_for(2ms);
        runs.emplace_back(start, Scheduler::Clock::now());
    };
    for (int i = 0; i < 4; ++i)
        scheduler.runInTurn(work);
    ASSERT_TRUE(serveUntil([&runs] { return runs.size() == 4; }));
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const auto ran = runs[i - 1].second - runs[i - 1].first;
        EXPECT_GE(runs[i].first - runs[i - 1].second, ran * 5 / 2) << "a quarter of the time, work " << i;
    }
}
