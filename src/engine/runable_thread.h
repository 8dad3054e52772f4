// RunableThread<0>: a small scheduler. A timer thread decides when posted tasks are due and hands
// a copy of each due task to a worker thread, which runs it. Tasks are owned by the scheduler;
// destroying it deletes the tasks still queued without running them.
//
// The threads sleep until something is due or posted, never on a fixed tick.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace keyrig::engine {

class BaseRunable {
  public:
    virtual ~BaseRunable() = default;
    virtual bool IsValid() const = 0;
    virtual std::unique_ptr<BaseRunable> Clone() const = 0;
    virtual int32_t Run(int32_t first, int32_t second, const void* data, size_t size) = 0;

    int32_t first = 0;
    int32_t second = 0;
    std::vector<uint8_t> data;  // a copy of the caller's data
    uint32_t interval = 0;      // ms from when the scheduler first sees the task to its run
    int32_t repeat = 1;         // runs left; 0 and 1 run once, -1 runs until the scheduler ends
    bool exclusive = false;     // the timer looks at no later task in the same sweep
    std::optional<std::chrono::steady_clock::time_point>
        started;  // when the current interval began
};

// A task that calls a member function of T.
template <class T>
class ThreadRunable final : public BaseRunable {
  public:
    using Member = int32_t (T::*)(int32_t first, int32_t second, const void* data, size_t size);

    ThreadRunable(T* object, Member member) : object_(object), member_(member) {}
    bool IsValid() const override { return object_ != nullptr && member_ != nullptr; }
    std::unique_ptr<BaseRunable> Clone() const override {
        return std::make_unique<ThreadRunable>(*this);
    }
    int32_t Run(int32_t first, int32_t second, const void* data, size_t size) override {
        return IsValid() ? (object_->*member_)(first, second, data, size) : 0;
    }

  private:
    T* object_;
    Member member_;
};

class IRunableThread {
  public:
    virtual ~IRunableThread() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // Takes the task; queues it at the front or the back of the timer's list. 0.
    virtual int32_t Post(std::unique_ptr<BaseRunable> task, bool atFront) = 0;
};

template <int Variant = 0>
class RunableThread;

template <>
class RunableThread<0> final : public IRunableThread {
  public:
    RunableThread() = default;
    // Stops both threads, joins them, and deletes every task still queued, unrun.
    ~RunableThread() override;
    RunableThread(const RunableThread&) = delete;
    RunableThread& operator=(const RunableThread&) = delete;

    // 0, or 1 when a thread could not be made. Threads already running are kept.
    int Start(void* argument);

    void Lock() override { userLock_.lock(); }
    void Unlock() override { userLock_.unlock(); }
    int32_t Post(std::unique_ptr<BaseRunable> task, bool atFront) override;

    // For tests: how many tasks wait in each list.
    size_t TimerCount() const;
    size_t ReadyCount() const;

  private:
    void Timer();
    void Worker();

    void* argument_ = nullptr;
    std::mutex userLock_;
    mutable std::mutex queueLock_;
    std::condition_variable queueChanged_;
    bool stopping_ = false;                              // by queueLock_
    std::list<std::unique_ptr<BaseRunable>> timerList_;  // by queueLock_
    std::list<std::unique_ptr<BaseRunable>> readyList_;  // by queueLock_
    std::thread timerThread_;   // started by Start, joined by the destructor
    std::thread workerThread_;  // started by Start, joined by the destructor
};

}  // namespace keyrig::engine
