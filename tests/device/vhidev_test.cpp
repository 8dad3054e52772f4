#include "device/vhidev.h"

#include <gtest/gtest.h>

#include "support/sim_world.h"

namespace keyrig::device {
namespace {

using test::VirtualReport;

class VHidevTest : public test::SimWorldTest {
  protected:
    VHidev vhidev;
};

TEST_F(VHidevTest, SlotsGoOutAsSixtyFourByteReports) {
    ASSERT_TRUE(vhidev.Open());
    vhidev.keyboardSlot.data[1 + (4 >> 3)] |= 1 << (4 & 7);
    EXPECT_TRUE(vhidev.keyboardSlot.Send());
    vhidev.consumerSlot.data = {0xE9, 0x00};
    EXPECT_TRUE(vhidev.consumerSlot.Send());
    vhidev.pointerSlot.data = {0x01, 0x05, 0xFB, 0x01};
    EXPECT_TRUE(vhidev.pointerSlot.Send());
    vhidev.systemSlot.data = {0x82, 0x00};
    EXPECT_TRUE(vhidev.systemSlot.Send());

    const auto sent = world->Received("vkbd");
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], VirtualReport({0x05, 0x01, 0x00, 0x10}));
    EXPECT_EQ(sent[1], VirtualReport({0x05, 0x03, 0xE9, 0x00}));
    EXPECT_EQ(sent[2], VirtualReport({0x05, 0x02, 0x01, 0x05, 0xFB, 0x01}));
    EXPECT_EQ(sent[3], VirtualReport({0x05, 0x04, 0x82, 0x00}));
    const auto state = world->VirtualKeyboard();
    EXPECT_EQ(state.keysDown, std::set<uint8_t>{4});
    EXPECT_EQ(state.consumerUsage, 0xE9);
    EXPECT_EQ(state.systemUsage, 0x82);
    EXPECT_EQ(state.pointer, (std::array<uint8_t, 4>{0x01, 0x05, 0xFB, 0x01}));
}

TEST_F(VHidevTest, ReleaseAllClearsTheFourReportsInOrder) {
    ASSERT_TRUE(vhidev.Open());
    vhidev.keyboardSlot.data[5] = 0xFF;
    vhidev.consumerSlot.data = {0xCD, 0};
    vhidev.releaseAll();
    const auto sent = world->Received("vkbd");
    ASSERT_EQ(sent.size(), 4u);
    for (int id = 1; id <= 4; ++id) {
        EXPECT_EQ(sent[id - 1], VirtualReport({0x05, id}));
    }
    EXPECT_EQ(world->VirtualKeyboard(), platform::sim::VirtualKeyboardState{});
}

TEST_F(VHidevTest, OnlyTheVendorCollectionOfOurDeviceIsTaken) {
    // The baseline has our device with a keyboard collection and the vendor collection; add a
    // second device of the same vendor and product whose collection is not ours.
    world->AddHidInterface({R"(\\?\hid#vhidev&col03#1#{4d1e55b2-f16f-11cf-88cb-001111000030})",
                            {0xDEED, 0xFEED, 1},
                            {0x0002, 0x0001, 0, 64, 0},
                            platform::sim::Role::VirtualKeyboard,
                            false,
                            true});
    std::unique_ptr<platform::Device> found;
    ASSERT_TRUE(findVirtualKeyboard(platform::kHidInterfaceClass, &found));
    EXPECT_EQ(found->GetCaps()->usagePage, 0xFF00);
    EXPECT_FALSE(findVirtualKeyboard(platform::kHidInterfaceClass, nullptr));

    world->SetVirtualKeyboardPresent(false);
    EXPECT_FALSE(findVirtualKeyboard(platform::kHidInterfaceClass, &found));
    EXPECT_EQ(found, nullptr);
}

TEST_F(VHidevTest, WithoutTheDeviceEverySendFails) {
    world->SetVirtualKeyboardPresent(false);
    EXPECT_FALSE(vhidev.Open());
    EXPECT_FALSE(vhidev.keyboardSlot.Send());
    vhidev.releaseAll();
    EXPECT_TRUE(world->Received("vkbd").empty());

    world->RemoveAllHidInterfaces();
    EXPECT_FALSE(vhidev.Open());
}

}  // namespace
}  // namespace keyrig::device
