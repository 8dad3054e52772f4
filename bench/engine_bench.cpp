// Measures the remapping engine on the simulated world, each figure beside its goal.
//
//   latency  from the filter's key request completing to the virtual keyboard's report being
//            written, for a single-key assignment among 256
//   timing   how late each step of a 1000-step macro leaves against its planned time, and how
//            much longer than planned the whole macro takes
//   idle     wake-ups of the process's threads while nothing plays, no key is pressed and no
//            lighting report waits
#include <algorithm>
#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/filter_channel.h"
#include "device/hid_device.h"
#include "device/keyboard_command_set.h"
#include "device/trace.h"
#include "device/vhidev.h"
#include "engine/remap_engine.h"
#include "engine/runable_thread.h"
#include "measure.h"
#include "platform/sim/sim_system.h"

namespace keyrig::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Microseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

// Collects the virtual keyboard's reports with their precise times.
class ReportClock {
  public:
    explicit ReportClock(platform::sim::World& world) : world_(world) {
        world.SetLogListener([this](const platform::sim::LogEntry& entry) {
            if (entry.kind == "vkbd") {
                std::lock_guard lock(mutex_);
                times_.push_back(entry.when);
                changed_.notify_all();
            }
        });
    }
    ~ReportClock() { world_.SetLogListener(nullptr); }
    ReportClock(const ReportClock&) = delete;
    ReportClock& operator=(const ReportClock&) = delete;

    std::vector<Clock::time_point> WaitFor(size_t count, std::chrono::seconds limit) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, limit, [&] { return times_.size() >= count; });
        return times_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        times_.clear();
    }

  private:
    platform::sim::World& world_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Clock::time_point> times_;
};

struct Rig {
    Rig() {
        device::SetTraceEnabled(false);
        auto simulated = std::make_unique<platform::sim::SimulatedSystem>();
        world = &simulated->world();
        platform::Install(std::move(simulated));
        vhidev = std::make_unique<device::VHidev>();
        vhidev->Open();
        channel = std::make_unique<device::FilterChannel>();
        engine = std::make_unique<engine::RemapEngine>(store, *vhidev);
        engine->Bind(*channel);
        channel->OpenDevice();
        channel->StartListener();
    }
    ~Rig() {
        engine.reset();
        channel.reset();
        vhidev.reset();
    }
    void Assign() {
        channel->SetKeyList(store);
        world->WaitForKeyRequest(std::chrono::seconds(5));
    }

    platform::sim::World* world;
    KeyAssignmentStore store;
    std::unique_ptr<device::VHidev> vhidev;
    std::unique_ptr<device::FilterChannel> channel;
    std::unique_ptr<engine::RemapEngine> engine;
};

bool Latency() {
    Rig rig;
    // 256 assignments; the measured key is the last, so the whole list is walked.
    for (uint32_t i = 0; i < 255; ++i) {
        rig.store.Put(
            {0x00090000 + i, KindSingleKey, PlaySingleKey, 1, "", "", {{0x00070005, 0, 0, ""}}});
    }
    rig.store.Put({0x00070004, KindSingleKey, PlaySingleKey, 1, "", "", {{0x00070005, 0, 0, ""}}});
    rig.Assign();
    ReportClock reports(*rig.world);

    std::vector<double> latencies;
    constexpr int kEvents = 20000;
    for (int i = 0; i < kEvents; ++i) {
        reports.Clear();
        if (i % 2 == 0) {
            rig.world->PressKey(0x00070004);
        } else {
            rig.world->ReleaseKey(0x00070004);
        }
        const auto times = reports.WaitFor(1, std::chrono::seconds(5));
        rig.world->WaitUntilKeysHandled(std::chrono::seconds(5));
        if (times.empty()) {
            std::printf("latency: a report went missing\n");
            return false;
        }
        if (i >= 1000) {  // the first ones warm the caches
            latencies.push_back(Microseconds(times.front() - rig.world->LastKeyTaken()));
        }
    }
    const double median = Percentile(latencies, 0.5);
    const double p99 = Percentile(latencies, 0.99);
    Report("single-key latency, median", median, "us", "<= 10 us", median <= 10);
    Report("single-key latency, 99th percentile", p99, "us", "<= 50 us", p99 <= 50);
    return median <= 10 && p99 <= 50;
}

bool MacroTiming() {
    Rig rig;
    constexpr int kSteps = 1000;
    std::vector<MacroStep> steps;
    uint64_t plannedMs = 0;
    std::vector<uint64_t> planned;  // ms after the first step
    for (int i = 0; i < kSteps; ++i) {
        const uint32_t delay = 1 + static_cast<uint32_t>(i % 3);  // 1, 2, 3 ms
        planned.push_back(plannedMs);
        steps.push_back({0x00070004, static_cast<uint32_t>(i % 2 == 0 ? 1 : 0), delay, ""});
        plannedMs += delay;
    }
    rig.store.Put({0x0007003A, KindMacro, PlayCount, 1, "", "", steps});
    rig.Assign();
    ReportClock reports(*rig.world);
    rig.world->PressKey(0x0007003A);
    // Each step sends one report, and the end releases the one down step key once more per down
    // step.
    const auto times = reports.WaitFor(kSteps + kSteps / 2, std::chrono::seconds(30));
    if (times.size() < static_cast<size_t>(kSteps)) {
        std::printf("timing: only %zu reports\n", times.size());
        return false;
    }
    std::vector<double> lateness;
    for (int i = 0; i < kSteps; ++i) {
        const auto due = times.front() + std::chrono::milliseconds(planned[static_cast<size_t>(i)]);
        lateness.push_back(Microseconds(times[static_cast<size_t>(i)] - due) / 1000.0);
    }
    // The macro ends when the last step's delay has passed: the release reports follow then.
    const double length = Microseconds(times[kSteps] - times.front()) / 1000.0;
    const double over = length - static_cast<double>(plannedMs);
    const double p99 = Percentile(lateness, 0.99);
    Report("macro step lateness, 99th percentile", p99, "ms", "<= 1 ms", p99 <= 1.0);
    Report("1000-step macro, beyond its planned length", over, "ms", "<= 2 ms", over <= 2.0);
    return p99 <= 1.0 && over <= 2.0;
}

bool Idle() {
    Rig rig;
    rig.store.Put({0x0007003A,
                   KindMacro,
                   PlayCount,
                   1,
                   "",
                   "",
                   {{0x00070004, 1, 1, ""}, {0x00070004, 0, 1, ""}}});
    rig.Assign();
    // A macro has played and finished, a task waits far in the future: everything is in place.
    rig.world->PressKey(0x0007003A);
    rig.world->ReleaseKey(0x0007003A);
    rig.world->WaitUntilKeysHandled(std::chrono::seconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    engine::RunableThread<0> tasks;
    struct Nothing {
        int32_t Run(int32_t, int32_t, const void*, size_t) { return 0; }
    } nothing;
    auto task = std::make_unique<engine::ThreadRunable<Nothing>>(&nothing, &Nothing::Run);
    task->interval = 3600 * 1000;
    tasks.Post(std::move(task), false);
    tasks.Start(nullptr);
    // The lighting pacer has sent a report and has nothing more to do.
    device::HidDevice keyboard;
    keyboard.Open(rig.world->KeyboardCommandPath());
    LightingStore lighting;
    SideLightStore sideLight;
    device::KeyboardCommandSet commands(keyboard, lighting, sideLight);
    commands.ApplyLightingEffect(0);
    if (!commands.WaitUntilSent(std::chrono::seconds(5))) {
        std::printf("idle: the lighting report was not sent\n");
        return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    constexpr auto kWindow = std::chrono::seconds(2);
    const uint64_t before = ContextSwitches();
    std::this_thread::sleep_for(kWindow);
    // This thread's own sleep counts one switch in and out.
    const uint64_t wakeups = ContextSwitches() - before - 1;
    Report("idle wake-ups in 2 s (all threads)", static_cast<double>(wakeups), "", "0",
           wakeups == 0);
    return wakeups == 0;
}

}  // namespace
}  // namespace keyrig::bench

int main() {
    using namespace keyrig::bench;
    std::printf("Keyrig engine on the simulated world\n");
    const bool latency = Latency();
    const bool timing = MacroTiming();
    const bool idle = Idle();
    return latency && timing && idle ? 0 : 1;
}
