#include "device/keyboard_command_set.h"

#include <algorithm>

namespace keyrig::device {
namespace {

// The window's option choice 1..3 goes out as 0..2; anything else as it is.
uint8_t OptionByte(uint8_t option) {
    return option >= 1 && option <= 3 ? static_cast<uint8_t>(option - 1) : option;
}

}  // namespace

std::optional<Report> LightingEffectReport(const LightingStore& lighting, int index) {
    if (index == -1) {
        index = lighting.selection;
    }
    if (index < 0 || index >= LightingStore::kEffectCount) {
        return std::nullopt;
    }
    const LightingSlot& slot = lighting.slots[static_cast<size_t>(index)];
    return Report{0x07,
                  0xFF,
                  0xFF,
                  static_cast<uint8_t>(index),
                  slot.brightness,
                  slot.speed,
                  OptionByte(slot.option),
                  0x00};
}

std::optional<Report> StartupLightingEffectReport(const LightingStore& lighting, int index) {
    if (index < 0 || index >= LightingStore::kEffectCount) {
        return std::nullopt;
    }
    const LightingSlot& slot = lighting.slots[static_cast<size_t>(index)];
    return Report{
        0x07,       0xFF,           0xFF,       static_cast<uint8_t>(index), slot.brightness,
        slot.speed, slot.direction, slot.option};
}

std::optional<Report> SideLightReport(const SideLightStore& sideLight, int index) {
    if (index == -1) {
        index = sideLight.selection;
    }
    if (index < 0 || index >= SideLightStore::kModeCount) {
        return std::nullopt;
    }
    const uint8_t level = sideLight.levels[static_cast<size_t>(index)];
    return Report{
        0x07, 0xFF, 0xFF, 0x20, 0x00, 0x00, static_cast<uint8_t>((level << 4) | (index & 0x0F)),
        0x00};
}

KeyboardCommandSet::KeyboardCommandSet(HidDevice& device, LightingStore& lighting,
                                       SideLightStore& sideLight, platform::System& system)
    : device_(device), lighting_(lighting), sideLight_(sideLight), system_(system) {}

KeyboardCommandSet::~KeyboardCommandSet() {
    {
        std::lock_guard lock(pacingLock_);
        stopping_ = true;
    }
    pacerWake_.notify_one();
    if (pacer_.joinable()) {
        pacer_.join();
    }
}

void KeyboardCommandSet::ResetPacing() {
    std::lock_guard lock(pacingLock_);
    // Nothing not yet on its way leaves sooner than kPacingMs from now: a report that was due
    // at once waits again, unless a newer one of its kind already does. The pacer, asleep until
    // the old time, checks again when it wakes.
    if (departing_) {
        if (PendingOfKind(departing_->kind) == pending_.end()) {
            pending_.push_front(*departing_);
        }
        departing_.reset();
    }
    lastCommand_ = Clock::now();
    lastCommandTick_ = system_.TickMilliseconds();
}

uint64_t KeyboardCommandSet::lastCommandTime() const {
    std::lock_guard lock(pacingLock_);
    return lastCommandTick_;
}

bool KeyboardCommandSet::IdleLocked() const {
    return !departing_ && pending_.empty() && !sending_;
}

bool KeyboardCommandSet::Idle() const {
    std::lock_guard lock(pacingLock_);
    return IdleLocked();
}

bool KeyboardCommandSet::WaitUntilSent(std::chrono::milliseconds limit) {
    std::unique_lock lock(pacingLock_);
    return allSent_.wait_for(lock, limit, [this] { return IdleLocked(); });
}

std::deque<KeyboardCommandSet::Pending>::iterator KeyboardCommandSet::PendingOfKind(Kind kind) {
    return std::find_if(pending_.begin(), pending_.end(),
                        [kind](const Pending& each) { return each.kind == kind; });
}

void KeyboardCommandSet::Queue(Kind kind, const Report& report) {
    bool wake = false;
    {
        std::lock_guard lock(pacingLock_);
        // Started with the first report, so that a window that never sends one (no keyboard at
        // start-up) starts no thread.
        if (!pacer_.joinable()) {
            pacer_ = std::thread([this] { Pace(); });
        }
        if (!departing_ && !sending_ && pending_.empty() &&
            Clock::now() >= lastCommand_ + std::chrono::milliseconds(kPacingMs)) {
            // Due at once: it goes however late the pacer wakes, so that the first step of a
            // drag reaches the keyboard even when the rest of it follows before then.
            departing_ = Pending{kind, report};
            wake = true;
        } else if (const auto same = PendingOfKind(kind); same != pending_.end()) {
            same->report = report;  // keeps its place: the older one is never sent
        } else {
            // With something already waiting the pacer is asleep until that one's time, which
            // a newcomer behind it does not change: only the first needs to wake it.
            wake = pending_.empty();
            pending_.push_back({kind, report});
        }
    }
    if (wake) {
        pacerWake_.notify_one();
    }
}

void KeyboardCommandSet::Pace() {
    std::unique_lock lock(pacingLock_);
    for (;;) {
        Report report{};
        if (departing_) {
            report = departing_->report;
            departing_.reset();
        } else if (pending_.empty()) {
            if (stopping_) {
                return;
            }
            // No timeout: an idle pacer must cost nothing.
            pacerWake_.wait(lock, [this] { return departing_ || !pending_.empty() || stopping_; });
            continue;
        } else {
            // Stopping does not shorten this wait: the keyboard is to end on the newest value,
            // and a report's time is never more than kPacingMs away.
            const Clock::time_point due = lastCommand_ + std::chrono::milliseconds(kPacingMs);
            if (Clock::now() < due) {
                pacerWake_.wait_until(lock, due);
                continue;  // the pacing may have been reset meanwhile
            }
            report = pending_.front().report;
            pending_.pop_front();
        }
        sending_ = true;
        lock.unlock();
        device_.SetFeature(report.data());  // a closed device or a failed send drops it
        const Clock::time_point sent = Clock::now();
        const uint64_t sentTick = system_.TickMilliseconds();
        lock.lock();
        sending_ = false;
        lastCommand_ = sent;
        lastCommandTick_ = sentTick;
        if (IdleLocked()) {
            allSent_.notify_all();
        }
    }
}

void KeyboardCommandSet::ApplyLightingEffect(int index) {
    if (const auto report = LightingEffectReport(lighting_, index)) {
        Queue(Kind::LightingEffect, *report);
    }
}

int KeyboardCommandSet::SendStartupLightingEffect(int /*first*/, int second, const void* /*data*/,
                                                  size_t /*size*/) {
    if (const auto report = StartupLightingEffectReport(lighting_, second)) {
        device_.SetFeature(report->data());
    }
    return 0;
}

void KeyboardCommandSet::ApplySideLight(int index) {
    if (const auto report = SideLightReport(sideLight_, index)) {
        Queue(Kind::SideLight, *report);
    }
}

void KeyboardCommandSet::QueryFirmwareVersion() {
    if (!device_.isOpen()) {
        return;
    }
    Report buffer = kVersionRequest;
    if (device_.SetFeature(buffer.data()) && device_.GetFeature(buffer.data())) {
        firmwareVersion = (buffer[1] << 8) | buffer[2];
    }
}

std::optional<std::string> KeyboardCommandSet::FirmwareVersionText(
    const std::function<std::string(std::string_view)>& translate) const {
    if (firmwareVersion == -1) {
        return std::nullopt;
    }
    if (firmwareVersion == 0) {
        return translate("Firmware") + translate(": ") + translate("Early version");
    }
    return translate("Firmware") + ": v" + std::to_string((firmwareVersion >> 8) & 0xFF) + "." +
           std::to_string(firmwareVersion & 0xFF);
}

int KeyboardCommandSet::SendFactoryReset() {
    // The keyboard leaves the bus on this report, so it must be the last one it gets: whatever
    // is waiting goes first, and the lock stays held so that nothing paced can follow it.
    std::unique_lock lock(pacingLock_);
    allSent_.wait(lock, [this] { return IdleLocked(); });
    Report report = kFactoryResetReport;
    return device_.Write(report.data());
}

}  // namespace keyrig::device
