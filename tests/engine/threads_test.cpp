#include <gtest/gtest.h>

#include <atomic>

#include "engine/easy_thread.h"
#include "engine/runable_thread.h"

namespace keyrig::engine {
namespace {

// A loop owner that counts its calls and returns what it is told to.
struct Looper {
    int32_t Loop(IEasyThread* thread, void*) {
        ++loops;
        stopSeen = thread->IsStopRequested();
        return result.load();
    }
    int32_t End(IEasyThread*, void*) {
        ++ends;
        return 0;
    }
    std::atomic<int> loops = 0;
    std::atomic<int> ends = 0;
    std::atomic<int32_t> result = 0;
    std::atomic<bool> stopSeen = true;
};

template <class Predicate>
bool Eventually(Predicate predicate) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(EasyThread, StartsOnceStopsOnceAndJoins) {
    Looper looper;
    EasyThread thread;
    thread.SetLoopCallback(&looper, &Looper::Loop);
    thread.SetEndCallback(&looper, &Looper::End);
    EXPECT_EQ(thread.Stop(), 0);  // not running: returns at once
    ASSERT_EQ(thread.Start(nullptr), 0);
    ASSERT_EQ(thread.Start(nullptr), 0);  // running: no second thread
    ASSERT_TRUE(Eventually([&] { return looper.loops > 2; }));
    EXPECT_FALSE(looper.stopSeen);
    EXPECT_TRUE(thread.IsStopRequested());  // asked from another thread
    EXPECT_EQ(thread.Stop(), 0);
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(looper.ends, 1);
}

TEST(EasyThread, ALoopResultEndsTheThread) {
    struct Case {
        int32_t result;
        int ends;
    };
    for (const Case& c : {Case{1, 1}, Case{-1, 0}}) {
        Looper looper;
        looper.result = c.result;
        EasyThread thread;
        thread.SetLoopCallback(&looper, &Looper::Loop);
        thread.SetEndCallback(&looper, &Looper::End);
        ASSERT_EQ(thread.Start(nullptr), 0);
        ASSERT_TRUE(Eventually([&] { return !thread.IsRunning(); }));
        EXPECT_EQ(looper.loops, 1);
        EXPECT_EQ(looper.ends, c.ends) << c.result;
        // A thread that ended on its own can be started again.
        looper.result = 0;
        ASSERT_EQ(thread.Start(nullptr), 0);
        EXPECT_TRUE(Eventually([&] { return looper.loops > 1; }));
    }
}

TEST(EasyThread, WaitForStopEndsAtTheStop) {
    struct Sleeper {
        int32_t Loop(IEasyThread* thread, void*) {
            woken = thread->WaitForStop(kForever);
            return 0;
        }
        std::atomic<bool> woken = false;
    } sleeper;
    EasyThread thread;
    thread.SetLoopCallback(&sleeper, &Sleeper::Loop);
    thread.Start(nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    thread.Stop();
    EXPECT_TRUE(sleeper.woken);
}

struct Counter {
    int32_t Run(int32_t first, int32_t second, const void* data, size_t size) {
        runs.push_back({first, second, static_cast<int32_t>(size),
                        size ? *static_cast<const uint8_t*>(data) : -1});
        at.push_back(std::chrono::steady_clock::now());
        return 0;
    }
    std::vector<std::array<int32_t, 4>> runs;  // by the worker; read after it is joined or idle
    std::vector<std::chrono::steady_clock::time_point> at;
};

std::unique_ptr<ThreadRunable<Counter>> Task(Counter& counter, uint32_t interval, int32_t repeat) {
    auto task = std::make_unique<ThreadRunable<Counter>>(&counter, &Counter::Run);
    task->first = 1;
    task->second = 20;
    task->data = {7};
    task->interval = interval;
    task->repeat = repeat;
    return task;
}

TEST(RunableThread, RunsADelayedTaskOnceAndForgetsIt) {
    Counter counter;
    const auto posted = std::chrono::steady_clock::now();
    {
        RunableThread<0> scheduler;
        scheduler.Post(Task(counter, 200, 1), false);
        ASSERT_EQ(scheduler.Start(nullptr), 0);
        ASSERT_TRUE(
            Eventually([&] { return scheduler.TimerCount() == 0 && scheduler.ReadyCount() == 0; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(counter.runs.size(), 1u);
    EXPECT_EQ(counter.runs[0], (std::array<int32_t, 4>{1, 20, 1, 7}));
    EXPECT_GE(counter.at[0] - posted, std::chrono::milliseconds(200));
}

TEST(RunableThread, CountsRepeatsAndSkipsInvalidTasks) {
    Counter counter;
    {
        RunableThread<0> scheduler;
        scheduler.Start(nullptr);
        scheduler.Post(Task(counter, 0, 3), false);
        scheduler.Post(std::make_unique<ThreadRunable<Counter>>(nullptr, &Counter::Run), false);
        scheduler.Post(nullptr, false);
        ASSERT_TRUE(
            Eventually([&] { return scheduler.TimerCount() == 0 && scheduler.ReadyCount() == 0; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(counter.runs.size(), 3u);
}

TEST(RunableThread, DestroyingItDropsQueuedTasksUnrun) {
    Counter counter;
    {
        RunableThread<0> scheduler;
        scheduler.Post(Task(counter, 60000, 1), false);
        scheduler.Post(Task(counter, 0, -1), true);  // not started: never runs
        EXPECT_EQ(scheduler.TimerCount(), 2u);
    }
    {
        RunableThread<0> scheduler;
        scheduler.Start(nullptr);
        scheduler.Post(Task(counter, 60000, 1), false);
    }
    EXPECT_TRUE(counter.runs.empty());
}

}  // namespace
}  // namespace keyrig::engine
