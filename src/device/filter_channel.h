// The program's side of the key-event filter driver: the key list that tells the driver which
// keys to report, and a listener thread that keeps one key request pending at all times and hands
// each reported key to the subscribers, most recently added first.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <thread>

#include "platform/platform.h"
#include "store/key_assignment_store.h"

namespace keyrig::device {

// Control requests of the filter driver.
inline constexpr uint32_t IOCTL_VHIDFLT_802 = 0x226008;
inline constexpr uint32_t IOCTL_VHIDFLT_803 = 0x22600C;
inline constexpr uint32_t IOCTL_VHIDFLT_804 = 0x226010;
inline constexpr uint32_t IOCTL_VHIDFLT_GET_KEY = 0x226044;
inline constexpr uint32_t IOCTL_VHIDFLT_SET_KEYS = 0x22A000;

inline constexpr const char* kFilterDeviceName = R"(\\.\vhidflt)";

// One key event as the driver reports it (4 bytes, little-endian).
struct KeyEvent {
    uint16_t usageId = 0;
    uint8_t usagePage = 0;
    uint8_t flags = 0;  // bit 0: the key went down

    static KeyEvent FromBytes(std::span<const uint8_t, 4> bytes);
    bool pressed() const { return (flags & 1) != 0; }
};

// The key list: up to 256 entries of 4 bytes, flags 2 in each, zero after the last.
inline constexpr size_t kKeyListEntries = 256;
std::array<uint8_t, kKeyListEntries * 4> BuildKeyList(const KeyAssignments& assignments);

namespace HidUsbFilter {

class IMonitorProxy {
  public:
    virtual ~IMonitorProxy() = default;
    // Non-zero consumes the event: no later subscriber sees it.
    virtual int OnKey(uint32_t usagePage, uint32_t usageId, uint32_t pressed) = 0;
};

template <class T>
class MonitorProxy final : public IMonitorProxy {
  public:
    using Member = int (T::*)(uint32_t usagePage, uint32_t usageId, uint32_t pressed);

    MonitorProxy(T* target, Member member) : target_(target), member_(member) {}
    int OnKey(uint32_t usagePage, uint32_t usageId, uint32_t pressed) override {
        return (target_->*member_)(usagePage, usageId, pressed);
    }
    bool Is(T* target, Member member) const { return target_ == target && member_ == member; }

  private:
    T* target_;
    Member member_;
};

}  // namespace HidUsbFilter

class FilterChannel final {
  public:
    explicit FilterChannel(platform::System& system = platform::Current());
    // Stops the listener, clears the driver's key list and closes the device.
    ~FilterChannel();
    FilterChannel(const FilterChannel&) = delete;
    FilterChannel& operator=(const FilterChannel&) = delete;

    // Closes the device if open, then opens the control device; true when it opened. The
    // listener takes up the new device on its own.
    bool OpenDevice();
    void CloseDevice();
    bool isOpen() const;

    // Sends a control request and waits for it to complete; a request on a closed device or one
    // that fails is dropped.
    void Request(uint32_t code, std::span<const uint8_t> input = {},
                 std::span<uint8_t> output = {});

    // (Re)starts the listener thread; true when it was created.
    bool StartListener();
    void StopListener();
    bool listening() const { return listenerThread_.joinable(); }

    // Sends the codes of the assignments, in stored order, as the key list.
    void SetKeyList(const KeyAssignmentStore& store);

    template <class T>
    void AddMonitor(T* target, typename HidUsbFilter::MonitorProxy<T>::Member member) {
        std::lock_guard lock(listenerLock_);
        for (const auto& each : listeners_) {
            const auto* proxy = dynamic_cast<const HidUsbFilter::MonitorProxy<T>*>(each.get());
            if (proxy != nullptr && proxy->Is(target, member)) {
                return;
            }
        }
        listeners_.push_front(std::make_unique<HidUsbFilter::MonitorProxy<T>>(target, member));
        WakeListener();
    }

    template <class T>
    void RemoveMonitor(T* target, typename HidUsbFilter::MonitorProxy<T>::Member member) {
        std::lock_guard lock(listenerLock_);
        for (auto each = listeners_.begin(); each != listeners_.end(); ++each) {
            const auto* proxy = dynamic_cast<const HidUsbFilter::MonitorProxy<T>*>(each->get());
            if (proxy != nullptr && proxy->Is(target, member)) {
                listeners_.erase(each);
                return;
            }
        }
    }

  private:
    void Listen(uint64_t id);
    // The listener sleeps until a subscriber comes, the device opens, or it is asked to stop.
    uint64_t ChangeCount();
    void WaitForChange(uint64_t id, uint64_t seen, std::chrono::milliseconds limit);
    void WakeListener();

    platform::System& system_;

    // Subscribers, most recently added first; held while they are called on the listener thread.
    std::mutex listenerLock_;
    std::list<std::unique_ptr<HidUsbFilter::IMonitorProxy>> listeners_;  // by listenerLock_

    // The control device, opened three ways; only `control_` carries requests. Replaced on the
    // UI thread under an exclusive hold of deviceLock_; used by requests under a shared hold.
    mutable std::shared_mutex deviceLock_;
    std::unique_ptr<platform::Device> read_;     // by deviceLock_
    std::unique_ptr<platform::Device> write_;    // by deviceLock_
    std::unique_ptr<platform::Device> control_;  // by deviceLock_

    // The listener. Started and joined by the thread that calls StartListener / StopListener.
    std::thread listenerThread_;
    // The id of the run allowed to listen; 0 asks it to stop. Set before the thread starts, so
    // the thread sees its own id on its first check.
    std::atomic<uint64_t> listenerThreadId_{0};
    uint64_t lastListenerId_ = 0;
    // Set to end the listener's pending request when it is stopped; manual reset, cleared only
    // once the listener has been joined.
    std::unique_ptr<platform::Event> stopEvent_;
    // Wakes an idle listener when a subscriber comes, the device opens, or it is asked to stop.
    std::mutex wakeLock_;
    std::condition_variable wake_;
    uint64_t changes_ = 0;  // by wakeLock_
};

}  // namespace keyrig::device
