#include "engine/easy_thread.h"

#include <system_error>

namespace keyrig::engine {
namespace {

// Which run of which EasyThread the calling thread is; set by the thread body.
thread_local const EasyThread* currentOwner = nullptr;
thread_local uint64_t currentId = 0;

}  // namespace

void StopEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    changed_.notify_all();
}

void StopEvent::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool StopEvent::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (timeout < std::chrono::milliseconds(0)) {
        changed_.wait(lock, [this] { return set_; });
        return true;
    }
    return changed_.wait_for(lock, timeout, [this] { return set_; });
}

bool StopEvent::WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, deadline, [this] { return set_; });
}

EasyThread::~EasyThread() {
    Stop();
}

int EasyThread::Start(void* argument) {
    argument_ = argument;
    if (thread_.joinable()) {
        if (!ended_) {
            return 0;
        }
        thread_.join();  // it ended on its own; collect it before making the next
    }
    stopEvent_.Reset();
    const uint64_t id = ++lastId_;
    runningThreadId_ = id;
    ended_ = false;
    try {
        thread_ = std::thread(&EasyThread::Body, this, id);
    } catch (const std::system_error&) {
        runningThreadId_ = 0;
        ended_ = true;
        return 1;
    }
    return 0;
}

int EasyThread::Stop() {
    runningThreadId_ = 0;
    stopEvent_.Set();
    if (thread_.joinable()) {
        thread_.join();
    }
    return 0;
}

bool EasyThread::IsRunning() const {
    return thread_.joinable() && !ended_;
}

bool EasyThread::IsStopRequested() const {
    return currentOwner != this || currentId != runningThreadId_.load();
}

int32_t EasyThread::InvokeSlot(Slot& slot, bool& present) {
    std::lock_guard lock(callbackLock_);
    present = slot != nullptr;
    return present ? slot->Invoke(this, argument_.load()) : 0;
}

void EasyThread::Body(uint64_t id) {
    currentOwner = this;
    currentId = id;
    bool present = false;
    int32_t result = InvokeSlot(startCallback_, present);
    if (result == 0) {
        while (runningThreadId_ == id) {
            result = InvokeSlot(loopCallback_, present);
            if (result != 0) {
                runningThreadId_.compare_exchange_strong(id, 0);
                break;
            }
            // A callback that returns at once must not spin a core.
            stopEvent_.WaitFor(std::chrono::milliseconds(1));
        }
    }
    if (result != -1) {
        InvokeSlot(endCallback_, present);
    }
    currentOwner = nullptr;
    ended_ = true;
}

}  // namespace keyrig::engine
