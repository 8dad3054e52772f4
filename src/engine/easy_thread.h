// EasyThread: one thread that calls a loop callback over and over until it is told to stop.
//
// A stop is a request, not an interruption: Stop() clears the running id and signals the stop
// event, the loop sees either at its next check or wakes from WaitForStop at once, and Stop()
// joins the thread. The owner that starts a thread is the one that stops and joins it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace keyrig::engine {

// A manual-reset event for the engine's own threads.
class StopEvent {
  public:
    void Set();
    void Reset();
    // Waits until set or `timeout` has passed; true when set. A negative timeout waits forever.
    bool WaitFor(std::chrono::milliseconds timeout);
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;  // by mutex_
};

inline constexpr std::chrono::milliseconds kForever{-1};

class IEasyThread {
  public:
    virtual ~IEasyThread() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // Waits up to `timeout` (kForever: without limit) for a stop; true when a stop came.
    virtual bool WaitForStop(std::chrono::milliseconds timeout) = 0;
    // Waits until `deadline` for a stop; true when a stop came.
    virtual bool WaitForStopUntil(std::chrono::steady_clock::time_point deadline) = 0;
    // True unless called on the running thread before a stop was asked for.
    virtual bool IsStopRequested() const = 0;
    virtual void SetUserData(void* pointer, intptr_t value) = 0;
};

class EasyThread final : public IEasyThread {
  public:
    template <class Thread>
    class ICallback {
      public:
        virtual ~ICallback() = default;
        // 0 keeps the thread going; anything else stops it; -1 also skips the end callback.
        virtual int32_t Invoke(Thread* thread, void* argument) = 0;
    };

    template <class Thread, class T>
    class Callback final : public ICallback<Thread> {
      public:
        using Member = int32_t (T::*)(Thread* thread, void* argument);
        Callback(T* object, Member member) : object_(object), member_(member) {}
        int32_t Invoke(Thread* thread, void* argument) override {
            return (object_->*member_)(thread, argument);
        }

      private:
        T* object_;
        Member member_;
    };

    EasyThread() = default;
    // Stops and joins the thread.
    ~EasyThread() override;
    EasyThread(const EasyThread&) = delete;
    EasyThread& operator=(const EasyThread&) = delete;

    // 0 on success, 1 when no thread could be made. A running thread only takes the new argument.
    int Start(void* argument);
    // Asks the thread to stop and waits until it has ended. 0.
    int Stop();
    bool IsRunning() const;

    template <class T>
    void SetLoopCallback(T* object, typename Callback<IEasyThread, T>::Member member) {
        SetSlot(loopCallback_, object, member);
    }
    template <class T>
    void SetStartCallback(T* object, typename Callback<IEasyThread, T>::Member member) {
        SetSlot(startCallback_, object, member);
    }
    template <class T>
    void SetEndCallback(T* object, typename Callback<IEasyThread, T>::Member member) {
        SetSlot(endCallback_, object, member);
    }

    void* GetUserData() const { return userData_; }

    void Lock() override { userLock_.lock(); }
    void Unlock() override { userLock_.unlock(); }
    bool WaitForStop(std::chrono::milliseconds timeout) override {
        return stopEvent_.WaitFor(timeout);
    }
    bool WaitForStopUntil(std::chrono::steady_clock::time_point deadline) override {
        return stopEvent_.WaitUntil(deadline);
    }
    bool IsStopRequested() const override;
    void SetUserData(void* pointer, intptr_t value) override {
        userData_ = pointer;
        userValue_ = value;
    }

  private:
    using Slot = std::unique_ptr<ICallback<IEasyThread>>;

    template <class T>
    void SetSlot(Slot& slot, T* object, typename Callback<IEasyThread, T>::Member member) {
        std::lock_guard lock(callbackLock_);
        slot.reset(member != nullptr ? new Callback<IEasyThread, T>(object, member) : nullptr);
    }
    int32_t InvokeSlot(Slot& slot, bool& present);
    void Body(uint64_t id);

    void* userData_ = nullptr;
    intptr_t userValue_ = 0;
    std::atomic<void*> argument_{nullptr};
    std::mutex userLock_;
    std::mutex callbackLock_;  // held while a slot is replaced or called
    // The run allowed to go on; 0 asks it to stop. Set before its thread starts.
    std::atomic<uint64_t> runningThreadId_{0};
    uint64_t lastId_ = 0;
    std::thread thread_;  // started and joined by the owner's Start/Stop
    std::atomic<bool> ended_{true};
    Slot loopCallback_;   // by callbackLock_
    Slot startCallback_;  // by callbackLock_
    Slot endCallback_;    // by callbackLock_
    StopEvent stopEvent_;
};

}  // namespace keyrig::engine
