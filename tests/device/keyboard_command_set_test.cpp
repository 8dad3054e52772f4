#include "device/keyboard_command_set.h"

#include <gtest/gtest.h>

#include <condition_variable>

#include "device/hid_discovery.h"
#include "support/sim_world.h"

namespace keyrig::device {
namespace {

using test::Bytes;

class KeyboardCommandSetTest : public test::SimWorldTest {
  protected:
    KeyboardCommandSetTest() { device.Open(world->KeyboardCommandPath()); }

    std::vector<uint8_t> LastFeature() {
        const auto sent = world->Received("kbd.set_feature");
        return sent.empty() ? std::vector<uint8_t>() : sent.back();
    }

    HidDevice device;
    LightingStore lighting;
    SideLightStore sideLight;
    KeyboardCommandSet commands{device, lighting, sideLight};
};

TEST_F(KeyboardCommandSetTest, LightingReports) {
    lighting.slots[14] = {3, 1, 1, 2};
    commands.ApplyLightingEffect(14);
    EXPECT_EQ(LastFeature(), Bytes({0x07, 0xFF, 0xFF, 0x0E, 0x03, 0x01, 0x01, 0x00}));
    commands.SendStartupLightingEffect(0, 14, nullptr, 0);
    EXPECT_EQ(LastFeature(), Bytes({0x07, 0xFF, 0xFF, 0x0E, 0x03, 0x01, 0x01, 0x02}));

    lighting.slots[0] = {5, 2, 0, 0};  // the option after a factory reset
    commands.ApplyLightingEffect(0);
    EXPECT_EQ(LastFeature(), Bytes({0x07, 0xFF, 0xFF, 0x00, 0x05, 0x02, 0x00, 0x00}));
    lighting.slots[0].option = 3;
    commands.ApplyLightingEffect(0);
    EXPECT_EQ(LastFeature(), Bytes({0x07, 0xFF, 0xFF, 0x00, 0x05, 0x02, 0x02, 0x00}));

    sideLight.levels[5] = 7;
    commands.ApplySideLight(5);
    EXPECT_EQ(LastFeature(), Bytes({0x07, 0xFF, 0xFF, 0x20, 0x00, 0x00, 0x75, 0x00}));
    EXPECT_EQ(world->KeyboardLighting().sideMode, 5);
    EXPECT_EQ(world->KeyboardLighting().sideLevel, 7);
}

TEST_F(KeyboardCommandSetTest, OutOfRangeSendsNothingAndDoesNotWait) {
    lighting.selection = -1;
    sideLight.selection = 12;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 5; ++round) {
        commands.ApplyLightingEffect(20);
        commands.ApplyLightingEffect(-1);
        commands.ApplySideLight(12);
        commands.ApplySideLight(-1);
        commands.SendStartupLightingEffect(0, LightingStore::kNoEffect, nullptr, 0);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_TRUE(world->Log().empty());
    EXPECT_EQ(commands.lastCommandTime, 0u);
}

TEST_F(KeyboardCommandSetTest, PacedCommandsLeaveAtLeast100MsApart) {
    commands.ResetPacing();
    commands.ApplyLightingEffect(1);
    commands.ApplySideLight(2);
    commands.ApplyLightingEffect(3);
    const auto log = world->Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_GE(log[1].ms - log[0].ms, 99u);  // whole milliseconds of the log's clock
    EXPECT_GE(log[2].ms - log[1].ms, 99u);
    // The start-up report is not paced.
    const uint64_t before = world->Now();
    commands.SendStartupLightingEffect(0, 1, nullptr, 0);
    EXPECT_LT(world->Now() - before, 90u);  // paced, it would wait 100 ms
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
    commands.ApplyLightingEffect(2);

    EXPECT_EQ(commands.SendFactoryReset(), 8);
    EXPECT_EQ(world->Received("kbd.write").back(), Bytes({0x07, 0xF0, 0xAA, 0, 0, 0, 0, 0}));
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
