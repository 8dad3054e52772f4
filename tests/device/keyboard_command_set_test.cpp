#include "device/keyboard_command_set.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/hid_discovery.h"
#include "support/sim_world.h"

namespace keyrig::device {
namespace {

using test::Bytes;
using Clock = std::chrono::steady_clock;

// Long enough for any paced report on a loaded machine; reached only when one is lost.
constexpr auto kSendLimit = std::chrono::seconds(5);
constexpr auto kPacing = std::chrono::milliseconds(KeyboardCommandSet::kPacingMs);

class KeyboardCommandSetTest : public test::SimWorldTest {
  protected:
    KeyboardCommandSetTest() { device.Open(world->KeyboardCommandPath()); }

    std::vector<uint8_t> LastFeature() {
        const auto sent = world->Received("kbd.set_feature");
        return sent.empty() ? std::vector<uint8_t>() : sent.back();
    }
    // The feature reports the keyboard received, with their times.
    std::vector<platform::sim::LogEntry> Features() {
        std::vector<platform::sim::LogEntry> features;
        for (platform::sim::LogEntry& entry : world->Log()) {
            if (entry.kind == "kbd.set_feature") {
                features.push_back(std::move(entry));
            }
        }
        return features;
    }
    // The last feature report once the paced ones have all gone.
    std::vector<uint8_t> SentFeature() {
        EXPECT_TRUE(commands.WaitUntilSent(kSendLimit));
        return LastFeature();
    }

    HidDevice device;
    LightingStore lighting;
    SideLightStore sideLight;
    KeyboardCommandSet commands{device, lighting, sideLight};
};

std::vector<uint8_t> AsBytes(const std::optional<Report>& report) {
    return report ? std::vector<uint8_t>(report->begin(), report->end()) : std::vector<uint8_t>();
}

TEST_F(KeyboardCommandSetTest, LightingReports) {
    lighting.slots[14] = {3, 1, 1, 2};
    commands.ApplyLightingEffect(14);
    EXPECT_EQ(SentFeature(), Bytes({0x07, 0xFF, 0xFF, 0x0E, 0x03, 0x01, 0x01, 0x00}));
    commands.SendStartupLightingEffect(0, 14, nullptr, 0);
    EXPECT_EQ(LastFeature(), Bytes({0x07, 0xFF, 0xFF, 0x0E, 0x03, 0x01, 0x01, 0x02}));

    lighting.slots[0] = {5, 2, 0, 0};  // the option after a factory reset
    commands.ApplyLightingEffect(0);
    EXPECT_EQ(SentFeature(), Bytes({0x07, 0xFF, 0xFF, 0x00, 0x05, 0x02, 0x00, 0x00}));
    lighting.slots[0].option = 3;
    commands.ApplyLightingEffect(0);
    EXPECT_EQ(SentFeature(), Bytes({0x07, 0xFF, 0xFF, 0x00, 0x05, 0x02, 0x02, 0x00}));

    sideLight.levels[5] = 7;
    commands.ApplySideLight(5);
    EXPECT_EQ(SentFeature(), Bytes({0x07, 0xFF, 0xFF, 0x20, 0x00, 0x00, 0x75, 0x00}));
    EXPECT_EQ(world->KeyboardLighting().sideMode, 5);
    EXPECT_EQ(world->KeyboardLighting().sideLevel, 7);
}

TEST_F(KeyboardCommandSetTest, OutOfRangeSendsNothingAndDoesNotWait) {
    lighting.selection = -1;
    sideLight.selection = 12;
    const auto start = Clock::now();
    for (int round = 0; round < 5; ++round) {
        commands.ApplyLightingEffect(20);
        commands.ApplyLightingEffect(-1);
        commands.ApplySideLight(12);
        commands.ApplySideLight(-1);
        commands.SendStartupLightingEffect(0, LightingStore::kNoEffect, nullptr, 0);
    }
    EXPECT_LT(Clock::now() - start, kPacing);
    EXPECT_TRUE(commands.Idle());
    EXPECT_TRUE(world->Log().empty());
    EXPECT_EQ(commands.lastCommandTime(), 0u);
}

TEST_F(KeyboardCommandSetTest, PacedCommandsLeaveAtLeast100MsApart) {
    const auto reset = Clock::now();
    commands.ResetPacing();
    commands.ApplyLightingEffect(1);
    ASSERT_TRUE(commands.WaitUntilSent(kSendLimit));
    commands.ApplySideLight(2);
    ASSERT_TRUE(commands.WaitUntilSent(kSendLimit));
    commands.ApplyLightingEffect(3);
    ASSERT_TRUE(commands.WaitUntilSent(kSendLimit));
    const auto log = Features();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_GE(log[0].when - reset, kPacing);
    EXPECT_GE(log[1].when - log[0].when, kPacing);
    EXPECT_GE(log[2].when - log[1].when, kPacing);
    // The start-up report is not paced: it leaves sooner than a paced one could.
    commands.SendStartupLightingEffect(0, 1, nullptr, 0);
    const auto after = Features();
    ASSERT_EQ(after.size(), 4u);
    EXPECT_LT(after[3].when - after[2].when, kPacing);
}

// A slider dragged in one go: the calls return at once; the first step goes straight out when
// its time has come, and after it only the newest.
TEST_F(KeyboardCommandSetTest, ABurstReturnsAtOnceAndEndsOnTheNewestValue) {
    constexpr int kBurst = 60;
    const auto lightingStep = [&](KeyboardCommandSet& set, int i) {
        lighting.slots[4].brightness = static_cast<uint8_t>(i % 6);
        lighting.slots[4].speed = static_cast<uint8_t>(i / 6 % 3);
        set.ApplyLightingEffect(4);
        return AsBytes(LightingEffectReport(lighting, 4));
    };
    const auto sideStep = [&](KeyboardCommandSet& set, int i) {
        sideLight.levels[static_cast<size_t>(i % 12)] = static_cast<uint8_t>(i / 12);
        set.ApplySideLight(i % 12);
        return AsBytes(SideLightReport(sideLight, i % 12));
    };
    struct Case {
        const char* name;
        // Applies step `i` of the burst; the report it stands for.
        std::function<std::vector<uint8_t>(KeyboardCommandSet&, int)> step;
        bool firstIsDue;  // false: the pacing was just reset, so the first step must wait
    };
    const Case cases[] = {
        {"lighting effect", lightingStep, true},
        {"side light", sideStep, true},
        {"lighting effect, pacing just reset", lightingStep, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        world->ClearLog();
        KeyboardCommandSet fresh(device, lighting, sideLight);
        if (!c.firstIsDue) {
            fresh.ResetPacing();
        }
        std::vector<std::vector<uint8_t>> steps;
        for (int i = 0; i < kBurst; ++i) {
            steps.push_back(c.step(fresh, i));
        }
        // Sent on the caller's thread, the burst would be in the log by now.
        EXPECT_LE(world->Received("kbd.set_feature").size(), 1u);
        ASSERT_TRUE(fresh.WaitUntilSent(kSendLimit));
        const auto expected = c.firstIsDue
                                  ? std::vector<std::vector<uint8_t>>{steps.front(), steps.back()}
                                  : std::vector<std::vector<uint8_t>>{steps.back()};
        EXPECT_EQ(world->Received("kbd.set_feature"), expected);
    }
}

TEST_F(KeyboardCommandSetTest, BothKindsArriveInTheOrderTheyWereFirstQueued) {
    lighting.slots[6] = {2, 1, 0, 1};
    sideLight.levels[3] = 5;
    const auto lightingReport = AsBytes(LightingEffectReport(lighting, 6));
    const auto sideReport = AsBytes(SideLightReport(sideLight, 3));
    struct Case {
        const char* name;
        std::vector<std::function<void()>> calls;
        std::vector<std::vector<uint8_t>> received;
    };
    const auto applyLighting = [&] { commands.ApplyLightingEffect(6); };
    const auto applySide = [&] { commands.ApplySideLight(3); };
    // The last call of each case replaces a waiting report of its kind, which keeps its place.
    const Case cases[] = {
        {"lighting first", {applyLighting, applySide, applyLighting}, {lightingReport, sideReport}},
        {"side light first", {applySide, applyLighting, applySide}, {sideReport, lightingReport}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(commands.WaitUntilSent(kSendLimit));
        world->ClearLog();
        commands.ResetPacing();  // holds everything back until the calls are all in
        for (const auto& call : c.calls) {
            call();
        }
        ASSERT_TRUE(commands.WaitUntilSent(kSendLimit));
        const auto log = Features();
        EXPECT_EQ(world->Received("kbd.set_feature"), c.received);
        ASSERT_EQ(log.size(), 2u);
        EXPECT_GE(log[1].when - log[0].when, kPacing);
    }
}

TEST_F(KeyboardCommandSetTest, DestroyingTheCommandSetStillSendsWhatWaits) {
    {
        KeyboardCommandSet closing(device, lighting, sideLight);
        closing.ResetPacing();  // so that both are still waiting at the end of the scope
        lighting.slots[9] = {1, 2, 1, 3};
        closing.ApplyLightingEffect(9);
        sideLight.levels[7] = 2;
        closing.ApplySideLight(7);
        EXPECT_FALSE(closing.Idle());
    }
    EXPECT_EQ(world->Received("kbd.set_feature"),
              (std::vector{AsBytes(LightingEffectReport(lighting, 9)),
                           AsBytes(SideLightReport(sideLight, 7))}));
}

// A report that cannot be delivered is dropped: it neither holds up what follows nor comes back
// once the keyboard answers again.
TEST_F(KeyboardCommandSetTest, AReportThatFailsIsDropped) {
    struct Case {
        const char* name;
        std::function<void(bool)> fail;
    };
    const Case cases[] = {
        {"device closed",
         [&](bool fail) {
             if (fail) {
                 device.Close();
             } else {
                 device.Open(world->KeyboardCommandPath());
             }
         }},
        {"request refused", [&](bool fail) { world->FailFeatureRequests(fail); }},
    };
    lighting.slots[1] = {4, 0, 0, 1};
    sideLight.levels[2] = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(commands.WaitUntilSent(kSendLimit));
        world->ClearLog();
        c.fail(true);
        commands.ApplyLightingEffect(1);
        ASSERT_TRUE(commands.WaitUntilSent(kSendLimit));
        c.fail(false);
        commands.ApplySideLight(2);
        ASSERT_TRUE(commands.WaitUntilSent(kSendLimit));
        EXPECT_EQ(world->Received("kbd.set_feature"),
                  std::vector<std::vector<uint8_t>>{AsBytes(SideLightReport(sideLight, 2))});
    }
}

TEST_F(KeyboardCommandSetTest, FirmwareVersionAndItsText) {
    const auto translate = [](std::string_view text) { return "[" + std::string(text) + "]"; };
    EXPECT_EQ(commands.FirmwareVersionText(translate), std::nullopt);
    struct Case {
        uint16_t version;
        const char* text;
    };
    for (const Case& c :
         {Case{0x0100, "[Firmware]: v1.0"}, Case{0x0000, "[Firmware][: ][Early version]"},
          Case{0x0285, "[Firmware]: v2.133"}}) {
        world->SetFirmwareVersion(c.version);
        commands.QueryFirmwareVersion();
        EXPECT_EQ(commands.firmwareVersion, c.version);
        EXPECT_EQ(commands.FirmwareVersionText(translate), c.text);
    }
    world->FailFeatureRequests(true);
    world->SetFirmwareVersion(0x0300);
    commands.QueryFirmwareVersion();
    EXPECT_EQ(commands.firmwareVersion, 0x0285);
    device.Close();
    world->FailFeatureRequests(false);
    commands.QueryFirmwareVersion();
    EXPECT_EQ(commands.firmwareVersion, 0x0285);
}

TEST_F(KeyboardCommandSetTest, FactoryResetSendsTheOutputReportAndTheKeyboardComesBack) {
    struct Sink : platform::DeviceChangeSink {
        void OnDeviceArrival(const std::string& path) override { Note("+" + path); }
        void OnDeviceRemoval(const std::string& path) override { Note("-" + path); }
        void Note(const std::string& line) {
            std::lock_guard lock(mutex);
            seen.push_back(line);
            changed.notify_all();
        }
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<std::string> seen;
    } sink;
    const auto watch = registerHidNotifications(sink);
    world->SetResetReturnDelay(std::chrono::milliseconds(100));
    lighting.slots[2] = {1, 1, 1, 1};
    commands.ResetPacing();  // the report still waits when the reset is asked for
    commands.ApplyLightingEffect(2);

    EXPECT_EQ(commands.SendFactoryReset(), 8);
    EXPECT_TRUE(commands.Idle());
    std::vector<std::string> received;
    for (const platform::sim::LogEntry& entry : world->Log()) {
        if (entry.kind == "kbd.set_feature" || entry.kind == "kbd.write") {
            received.push_back(entry.kind + " " + platform::sim::HexBytes(entry.bytes));
        }
    }
    EXPECT_EQ(received, (std::vector<std::string>{"kbd.set_feature 07 FF FF 02 01 01 00 00",
                                                  "kbd.write 07 F0 AA 00 00 00 00 00"}));
    std::unique_lock lock(sink.mutex);
    ASSERT_TRUE(sink.changed.wait_for(lock, std::chrono::seconds(5),
                                      [&] { return sink.seen.size() == 8; }));
    EXPECT_EQ(sink.seen[2], "-" + world->KeyboardCommandPath());
    EXPECT_EQ(sink.seen[6], "+" + world->KeyboardCommandPath());
    EXPECT_EQ(world->KeyboardLighting().effect, 0);
    EXPECT_EQ(world->KeyboardLighting().brightness, 5);
}

}  // namespace
}  // namespace keyrig::device
