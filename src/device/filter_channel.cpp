#include "device/filter_channel.h"

#include <system_error>

#include "device/trace.h"

namespace keyrig::device {
namespace {

// After a failed key request the listener tries again this much later.
constexpr std::chrono::milliseconds kRetryPause{10};

}  // namespace

KeyEvent KeyEvent::FromBytes(std::span<const uint8_t, 4> bytes) {
    return {static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)), bytes[2], bytes[3]};
}

std::array<uint8_t, kKeyListEntries * 4> BuildKeyList(const KeyAssignments& assignments) {
    std::array<uint8_t, kKeyListEntries * 4> list{};
    size_t entry = 0;
    for (const KeyAssignment& assignment : assignments) {
        if (entry == kKeyListEntries) {
            break;
        }
        // The driver's list holds both numbers cut to 8 bits.
        uint8_t* bytes = &list[entry++ * 4];
        bytes[0] = static_cast<uint8_t>(assignment.code & 0xFF);
        bytes[1] = 0;
        bytes[2] = static_cast<uint8_t>((assignment.code >> 16) & 0xFF);
        bytes[3] = 2;
    }
    return list;
}

FilterChannel::FilterChannel(platform::System& system)
    : system_(system), stopEvent_(system.NewEvent(true)) {}

FilterChannel::~FilterChannel() {
    StopListener();
    const std::array<uint8_t, kKeyListEntries> cleared{};
    Request(IOCTL_VHIDFLT_SET_KEYS, cleared);
    {
        std::lock_guard lock(listenerLock_);
        listeners_.clear();
    }
    CloseDevice();
}

bool FilterChannel::OpenDevice() {
    CloseDevice();
    const uint32_t access = platform::kGenericRead | platform::kGenericWrite;
    const uint32_t share = platform::kShareRead | platform::kShareWrite;
    auto read = system_.OpenDevice(kFilterDeviceName, platform::kGenericRead, share, true);
    auto write = system_.OpenDevice(kFilterDeviceName, platform::kGenericWrite, share, true);
    auto control = system_.OpenDevice(kFilterDeviceName, access, share, true);
    const bool opened = control != nullptr;
    {
        std::unique_lock lock(deviceLock_);
        read_ = std::move(read);
        write_ = std::move(write);
        control_ = std::move(control);
    }
    WakeListener();
    return opened;
}

void FilterChannel::CloseDevice() {
    // End whatever waits on the devices first, so the exclusive hold below does not wait for a
    // key that may never come.
    {
        std::shared_lock lock(deviceLock_);
        for (platform::Device* device : {read_.get(), write_.get(), control_.get()}) {
            if (device != nullptr) {
                device->Shutdown();
            }
        }
    }
    std::unique_lock lock(deviceLock_);
    read_.reset();
    write_.reset();
    control_.reset();
}

bool FilterChannel::isOpen() const {
    std::shared_lock lock(deviceLock_);
    return control_ != nullptr;
}

void FilterChannel::Request(uint32_t code, std::span<const uint8_t> input,
                            std::span<uint8_t> output) {
    std::shared_lock lock(deviceLock_);
    if (control_) {
        control_->Control(code, input, output, nullptr);
    }
}

bool FilterChannel::StartListener() {
    StopListener();
    Request(IOCTL_VHIDFLT_802);
    Request(IOCTL_VHIDFLT_803);
    const uint64_t id = ++lastListenerId_;
    listenerThreadId_ = id;
    try {
        listenerThread_ = std::thread(&FilterChannel::Listen, this, id);
    } catch (const std::system_error& error) {
        Trace("listener thread not created: %s\n", error.what());
        listenerThreadId_ = 0;
        return false;
    }
    return true;
}

void FilterChannel::StopListener() {
    if (!listenerThread_.joinable()) {
        return;
    }
    listenerThreadId_ = 0;
    stopEvent_->Set();
    WakeListener();
    listenerThread_.join();
    stopEvent_->Reset();
}

void FilterChannel::SetKeyList(const KeyAssignmentStore& store) {
    const auto list = BuildKeyList(*store.Snapshot());
    Request(IOCTL_VHIDFLT_SET_KEYS, list);
}

void FilterChannel::WakeListener() {
    {
        std::lock_guard lock(wakeLock_);
        ++changes_;
    }
    wake_.notify_all();
}

uint64_t FilterChannel::ChangeCount() {
    std::lock_guard lock(wakeLock_);
    return changes_;
}

void FilterChannel::WaitForChange(uint64_t id, uint64_t seen, std::chrono::milliseconds limit) {
    std::unique_lock lock(wakeLock_);
    wake_.wait_for(lock, limit, [&] { return changes_ != seen || listenerThreadId_ != id; });
}

void FilterChannel::Listen(uint64_t id) {
    while (listenerThreadId_ == id) {
        // Read before looking, so a change made while we look still wakes us below.
        const uint64_t seen = ChangeCount();
        bool haveListeners;
        {
            std::lock_guard lock(listenerLock_);
            haveListeners = !listeners_.empty();
        }
        std::array<uint8_t, 4> event{};
        platform::ControlOutcome outcome;
        bool haveDevice;
        {
            std::shared_lock lock(deviceLock_);
            haveDevice = control_ != nullptr;
            if (haveDevice && haveListeners) {
                // Pending until the driver reports a key, the listener is stopped, or the device
                // is closed under it.
                outcome = control_->Control(IOCTL_VHIDFLT_GET_KEY, {}, event, stopEvent_.get());
            }
        }
        if (!haveDevice || !haveListeners) {
            // Nothing to listen for: sleep until something changes, not on a timer.
            WaitForChange(id, seen, std::chrono::hours(24));
            continue;
        }
        if (outcome.status == platform::ControlOutcome::Status::Aborted) {
            continue;
        }
        if (outcome.status != platform::ControlOutcome::Status::Completed || outcome.bytes < 4) {
            WaitForChange(id, seen, kRetryPause);
            continue;
        }
        const KeyEvent key = KeyEvent::FromBytes(event);
        std::lock_guard lock(listenerLock_);
        for (const auto& listener : listeners_) {
            if (listener->OnKey(key.usagePage, key.usageId, key.pressed() ? 1 : 0) != 0) {
                break;
            }
        }
    }
}

}  // namespace keyrig::device
