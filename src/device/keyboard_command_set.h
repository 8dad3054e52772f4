// The keyboard's commands: 8-byte reports with report ID 7 that set the lighting and the side
// light, ask for the firmware version, and reset the keyboard to its factory settings.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "device/hid_device.h"
#include "platform/platform.h"
#include "store/lighting_store.h"

namespace keyrig::device {

using Report = std::array<uint8_t, 8>;

// The reports, as the keyboard takes them.
std::optional<Report> LightingEffectReport(const LightingStore& lighting, int index);
std::optional<Report> StartupLightingEffectReport(const LightingStore& lighting, int index);
std::optional<Report> SideLightReport(const SideLightStore& sideLight, int index);
inline constexpr Report kVersionRequest{0x07, 0xF1, 0, 0, 0, 0, 0, 0};
inline constexpr Report kFactoryResetReport{0x07, 0xF0, 0xAA, 0, 0, 0, 0, 0};

// Lighting and side-light reports are built on the caller's thread, so that only it ever reads
// the stores, and left to a pacing thread of this object's own, so that a slider dragged across
// its range never makes the window wait. Of each kind only the newest report waits to be sent:
// the keyboard always ends on the latest value without being sent every step on the way.
class KeyboardCommandSet final {
  public:
    // Lighting and side-light commands leave at least this far apart.
    static constexpr uint64_t kPacingMs = 100;

    // The pacing thread starts with the first paced report.
    KeyboardCommandSet(HidDevice& device, LightingStore& lighting, SideLightStore& sideLight,
                       platform::System& system = platform::Current());
    // Sends what is still waiting, each at its paced time, then joins the pacing thread.
    ~KeyboardCommandSet();
    KeyboardCommandSet(const KeyboardCommandSet&) = delete;
    KeyboardCommandSet& operator=(const KeyboardCommandSet&) = delete;

    // Effect `index` 0..19 (-1: the stored selection) as the lighting-effect report. Paced;
    // returns at once.
    void ApplyLightingEffect(int index);
    // The start-up task's routine: effect `second` in the start-up layout. Not paced. Returns 0.
    int SendStartupLightingEffect(int first, int second, const void* data, size_t size);
    // Side-light mode `index` 0..11 (-1: the stored selection). Paced; returns at once.
    void ApplySideLight(int index);
    // Asks the keyboard for its version; `firmwareVersion` keeps its value when that fails.
    void QueryFirmwareVersion();
    // The text for the window's version control, through `translate`; nothing for -1.
    std::optional<std::string> FirmwareVersionText(
        const std::function<std::string(std::string_view)>& translate) const;
    // The factory-reset output report, after every paced report still waiting; the bytes
    // written.
    int SendFactoryReset();

    // Starts the pacing afresh: at initialisation and at each arrival of the keyboard.
    void ResetPacing();

    // Waits until no paced report is waiting or being sent; false when `limit` passed first.
    bool WaitUntilSent(std::chrono::milliseconds limit);
    // True when no paced report is waiting or being sent.
    bool Idle() const;
    // When the last paced command left, or pacing was last reset, in ms of the system's tick;
    // 0 before either.
    uint64_t lastCommandTime() const;

    int32_t firmwareVersion = -1;  // major in bits 15..8, minor in 7..0; -1 for none read

  private:
    using Clock = std::chrono::steady_clock;
    enum class Kind { LightingEffect, SideLight };
    struct Pending {
        Kind kind;
        Report report;
    };

    void Queue(Kind kind, const Report& report);
    std::deque<Pending>::iterator PendingOfKind(Kind kind);  // with pacingLock_ held
    void Pace();
    bool IdleLocked() const;

    HidDevice& device_;
    LightingStore& lighting_;
    SideLightStore& sideLight_;
    platform::System& system_;

    // Shared between the callers and the pacing thread.
    mutable std::mutex pacingLock_;
    std::condition_variable pacerWake_;  // something to send, or stop; with pacingLock_
    std::condition_variable allSent_;    // nothing left waiting or being sent; with pacingLock_
    // A report whose time had come when it was queued: it has left as far as the caller is
    // concerned, so nothing replaces it.
    std::optional<Pending> departing_;  // by pacingLock_
    // At most one report per kind, in the order the kinds were first queued.
    std::deque<Pending> pending_;  // by pacingLock_
    bool sending_ = false;         // by pacingLock_; a report taken from the above is on its way
    bool stopping_ = false;        // by pacingLock_
    // The pacing runs on the precise clock, so that a gap is never a tick short of kPacingMs;
    // the tick is what callers are given to read.
    Clock::time_point lastCommand_{};  // by pacingLock_
    uint64_t lastCommandTick_ = 0;     // by pacingLock_

    // Started by the first paced report (under pacingLock_), joined by the destructor.
    std::thread pacer_;
};

}  // namespace keyrig::device
