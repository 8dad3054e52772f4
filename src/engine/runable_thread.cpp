#include "engine/runable_thread.h"

#include <algorithm>
#include <system_error>

namespace keyrig::engine {

RunableThread<0>::~RunableThread() {
    {
        std::lock_guard lock(queueLock_);
        stopping_ = true;
    }
    queueChanged_.notify_all();
    if (timerThread_.joinable()) {
        timerThread_.join();
    }
    if (workerThread_.joinable()) {
        workerThread_.join();
    }
    std::lock_guard lock(queueLock_);
    timerList_.clear();
    readyList_.clear();
}

int RunableThread<0>::Start(void* argument) {
    argument_ = argument;
    try {
        if (!timerThread_.joinable()) {
            timerThread_ = std::thread(&RunableThread::Timer, this);
        }
        if (!workerThread_.joinable()) {
            workerThread_ = std::thread(&RunableThread::Worker, this);
        }
    } catch (const std::system_error&) {
        return 1;
    }
    return 0;
}

int32_t RunableThread<0>::Post(std::unique_ptr<BaseRunable> task, bool atFront) {
    if (!task) {
        return 0;
    }
    task->started.reset();
    {
        std::lock_guard lock(queueLock_);
        if (atFront) {
            timerList_.push_front(std::move(task));
        } else {
            timerList_.push_back(std::move(task));
        }
    }
    queueChanged_.notify_all();
    return 0;
}

size_t RunableThread<0>::TimerCount() const {
    std::lock_guard lock(queueLock_);
    return timerList_.size();
}

size_t RunableThread<0>::ReadyCount() const {
    std::lock_guard lock(queueLock_);
    return readyList_.size();
}

void RunableThread<0>::Timer() {
    std::unique_lock lock(queueLock_);
    while (!stopping_) {
        // One sweep: start the intervals of newly seen tasks, hand out the due ones, and note
        // when the next one falls due.
        const auto now = std::chrono::steady_clock::now();
        std::optional<std::chrono::steady_clock::time_point> next;
        bool handedOut = false;
        for (auto each = timerList_.begin(); each != timerList_.end();) {
            BaseRunable& task = **each;
            if (!task.started) {
                task.started = now;
            }
            const auto due = *task.started + std::chrono::milliseconds(task.interval);
            bool removed = false;
            if (now >= due) {
                task.started = now;  // the next interval, if it repeats, begins now
                if (task.repeat != 0 && task.repeat != -1) {
                    --task.repeat;
                }
                readyList_.push_back(task.Clone());
                handedOut = true;
                if (task.repeat == 0) {
                    const bool exclusive = task.exclusive;
                    each = timerList_.erase(each);
                    removed = true;
                    if (exclusive) {
                        break;
                    }
                } else {
                    // Its next interval starts now; a task that repeats without a pause still
                    // waits a millisecond between runs rather than spinning.
                    const auto again = now + std::max(std::chrono::milliseconds(task.interval),
                                                      std::chrono::milliseconds(1));
                    next = next ? std::min(*next, again) : again;
                }
            } else {
                next = next ? std::min(*next, due) : due;
            }
            if (!removed) {
                if (task.exclusive) {
                    break;
                }
                ++each;
            }
        }
        if (handedOut) {
            queueChanged_.notify_all();
        }
        if (next && *next > now) {
            queueChanged_.wait_until(lock, *next);
        } else if (!next) {
            queueChanged_.wait(lock);
        }
    }
}

void RunableThread<0>::Worker() {
    std::unique_lock lock(queueLock_);
    while (!stopping_) {
        if (readyList_.empty()) {
            queueChanged_.wait(lock);
            continue;
        }
        std::unique_ptr<BaseRunable> task = std::move(readyList_.front());
        readyList_.pop_front();
        lock.unlock();
        if (task->IsValid()) {
            task->Run(task->first, task->second, task->data.data(), task->data.size());
        }
        task.reset();
        lock.lock();
    }
}

}  // namespace keyrig::engine
