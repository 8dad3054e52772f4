#include "device/hid_device.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/sim_world.h"

namespace keyrig::device {
namespace {

using test::Bytes;

class HidDeviceTest : public test::SimWorldTest {
  protected:
    HidDevice device;
    std::array<uint8_t, 8> version{0x07, 0xF1, 0, 0, 0, 0, 0, 0};
};

TEST_F(HidDeviceTest, OpensTheCommandChannelAndReadsItsCaps) {
    ASSERT_EQ(device.Open(world->KeyboardCommandPath()), 1);
    EXPECT_TRUE(device.isOpen());
    EXPECT_EQ(device.caps().featureReportLength, 8);
    EXPECT_EQ(device.caps().usagePage, 0xFF02);
    ASSERT_EQ(device.SetFeature(version.data()), 1);
    ASSERT_EQ(device.GetFeature(version.data()), 1);
    EXPECT_EQ(version[1], 0x01);
    EXPECT_EQ(version[2], 0x00);
}

TEST_F(HidDeviceTest, OpenWithoutAPathChangesNothing) {
    EXPECT_EQ(device.Open(""), 0);
    EXPECT_EQ(device.state(), HidDevice::State::NeverOpened);
    ASSERT_EQ(device.Open(world->KeyboardCommandPath()), 1);
    EXPECT_EQ(device.Open(""), 0);
    EXPECT_TRUE(device.isOpen());
}

TEST_F(HidDeviceTest, NeverOpenedOrFailedChannelsRefuseEveryRequest) {
    EXPECT_EQ(device.GetFeature(version.data()), 0);
    EXPECT_EQ(device.Write(version.data()), 0);
    EXPECT_EQ(device.Open(R"(\\?\hid#vid_9999&pid_9999#1#{4d1e55b2-f16f-11cf-88cb-001111000030})"),
              0);
    EXPECT_EQ(device.state(), HidDevice::State::OpenFailed);
    EXPECT_EQ(device.GetFeature(version.data()), 0);
    EXPECT_EQ(device.SetFeature(version.data()), 0);
    EXPECT_EQ(device.GetFeature(nullptr), 0);
    EXPECT_TRUE(world->Log().empty());
}

TEST_F(HidDeviceTest, OpeningAgainReplacesTheHandle) {
    ASSERT_EQ(device.Open(world->KeyboardCommandPath()), 1);
    ASSERT_EQ(device.Open(world->KeyboardCommandPath()), 1);
    EXPECT_EQ(device.SetFeature(version.data()), 1);
    device.Close();
    EXPECT_EQ(device.state(), HidDevice::State::Closed);
    EXPECT_EQ(device.SetFeature(version.data()), 0);
}

TEST_F(HidDeviceTest, OpenByIdentifiersThatMatchNothingKeepsTheOpenChannel) {
    ASSERT_EQ(device.Open(world->KeyboardCommandPath()), 1);
    const std::vector<int32_t> pids{0x9999};
    EXPECT_EQ(device.Open(0x1A2B, pids, 1, 2), 0);
    EXPECT_EQ(device.SetFeature(version.data()), 1);

    HidDevice other;
    const std::vector<int32_t> keyboard{0x3C4D};
    EXPECT_EQ(other.Open(0x1A2B, keyboard, 1, 2), 1);
    EXPECT_EQ(other.caps().usagePage, 0xFF02);
}

TEST_F(HidDeviceTest, WriteIsCutToTheOutputReportLength) {
    platform::sim::HidInterfaceDescription shortOutput{
        R"(\\?\hid#vid_1a2b&pid_3c4d&mi_02#1#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        {0x1A2B, 0x3C4D, 1},
        {0x0001, 0xFF02, 8, 4, 8},
        platform::sim::Role::KeyboardCommand};
    world->AddHidInterface(shortOutput);
    ASSERT_EQ(device.Open(shortOutput.path), 1);
    const std::array<uint8_t, 8> report{0x07, 0x10, 0x20, 0x30, 0x40, 0, 0, 0};
    EXPECT_EQ(device.Write(report.data()), 4);
    EXPECT_EQ(world->Received("kbd.write").back(), Bytes({0x07, 0x10, 0x20, 0x30}));
}

TEST_F(HidDeviceTest, AWriteThatNeverCompletesGivesZeroAfterTheTimeout) {
    ASSERT_EQ(device.Open(world->KeyboardCommandPath()), 1);
    world->StallKeyboardWrites(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(device.Write(version.data()), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(HidDevice::kWriteTimeoutMs));
    world->StallKeyboardWrites(false);
    EXPECT_EQ(device.Write(version.data()), 8);
}

TEST_F(HidDeviceTest, FailingFeatureRequestsGiveZero) {
    ASSERT_EQ(device.Open(world->KeyboardCommandPath()), 1);
    world->FailFeatureRequests(true);
    EXPECT_EQ(device.SetFeature(version.data()), 0);
    EXPECT_EQ(device.GetFeature(version.data()), 0);
}

TEST_F(HidDeviceTest, AKeyboardThatLeftTheBusIsGoneForTheOldHandle) {
    ASSERT_EQ(device.Open(world->KeyboardCommandPath()), 1);
    world->SetKeyboardPresent(false);
    EXPECT_EQ(device.SetFeature(version.data()), 0);
    world->SetKeyboardPresent(true);
    EXPECT_EQ(device.SetFeature(version.data()), 0);
    ASSERT_EQ(device.Open(world->KeyboardCommandPath()), 1);
    EXPECT_EQ(device.SetFeature(version.data()), 1);
}

TEST_F(HidDeviceTest, OperationLocksAreReentrantAndShutOutOtherThreads) {
    std::lock_guard held(device.openLock());
    ASSERT_EQ(device.Open(world->KeyboardCommandPath()), 1);  // re-enters the held lock

    std::atomic<bool> opened = false;
    std::thread other([&] {
        HidDevice second;
        second.Open(world->KeyboardCommandPath());
        opened = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(opened);  // "HidDevice::Open" is held here
    device.openLock().unlock();
    other.join();
    device.openLock().lock();
    EXPECT_TRUE(opened);
}

}  // namespace
}  // namespace keyrig::device
