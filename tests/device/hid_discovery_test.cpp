#include "device/hid_discovery.h"

#include <gtest/gtest.h>

#include "support/sim_world.h"

namespace keyrig::device {
namespace {

constexpr const char* kSuffix = "#8&2f0a&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030}";

TEST(ParseHidDevicePath, ReadsTheNumbersOutOfThePath) {
    struct Case {
        std::string path;
        std::optional<HidIds> ids;
    };
    const Case cases[] = {
        {std::string(R"(\\?\hid#vid_1a2b&pid_3c4d&mi_01&col02)") + kSuffix,
         HidIds{0x1A2B, 0x3C4D, 1, 2}},
        {std::string(R"(\\?\HID#VID_1A2B&PID_3C4D&MI_01&COL02)") + kSuffix,
         HidIds{0x1A2B, 0x3C4D, 1, 2}},
        {std::string(R"(\\?\hid#vid_1a2b&pid_3c4d)") + kSuffix, HidIds{0x1A2B, 0x3C4D, -1, -1}},
        {std::string(R"(\\?\hid#vid_1a2b&pid_3c4d&mi_10)") + kSuffix,
         HidIds{0x1A2B, 0x3C4D, 16, -1}},
        {std::string(R"(\\?\hid#vid_1a2b&pid_3c4d&col0a)") + kSuffix,
         HidIds{0x1A2B, 0x3C4D, -1, 10}},
        {std::string(R"(\\?\hid#vid_1a2b&pid_3c4d&rev_0105&mi_02)") + kSuffix,
         HidIds{0x1A2B, 0x3C4D, 2, -1}},
        // The pattern admits letters beyond F; reading stops at the first of them.
        {std::string(R"(\\?\hid#vid_1azz&pid_zzzz&mi_0g)") + kSuffix, HidIds{0x1A, 0, 0, -1}},
        {std::string(R"(\\?\USB#VID_1A2B&PID_3C4D)") + kSuffix, std::nullopt},
        {"", std::nullopt},
        {R"(\\.\vhidflt)", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseHidDevicePath(c.path), c.ids) << c.path;
    }
}

TEST(IsConfiguredKeyboard, APathPartThatIsAbsentMatchesAnything) {
    const KeyboardIdentity configured{0x1A2B, 0x3C4D, 1, 2};
    struct Case {
        HidIds ids;
        bool keyboard;
    };
    for (const Case& c : {Case{{0x1A2B, 0x3C4D, 1, 2}, true}, Case{{0x1A2B, 0x3C4D, -1, -1}, true},
                          Case{{0x1A2B, 0x3C4D, 0, 2}, false}, Case{{0x1A2B, 0x3C4D, 1, 3}, false},
                          Case{{0, 0, 1, 2}, true}, Case{{0x1111, 0x3C4D, -1, -1}, false},
                          Case{{0x1A2B, 0x2222, -1, -1}, false}}) {
        EXPECT_EQ(isConfiguredKeyboard(c.ids, configured), c.keyboard)
            << std::hex << c.ids.vid << " " << c.ids.pid << " " << c.ids.interfaceNumber << " "
            << c.ids.collectionNumber;
    }
}

class FindHidDevicesTest : public test::SimWorldTest {};

TEST_F(FindHidDevicesTest, FiltersByTheConfiguredNumbers) {
    struct Case {
        int32_t vid;
        std::vector<int32_t> pids;
        int32_t interfaceNumber;
        int32_t collectionNumber;
        std::vector<std::string> pathParts;  // of the results, in order
    };
    const Case cases[] = {
        {0x1A2B, {0x3C4D}, 1, 2, {"mi_01&col02"}},
        {0x1A2B, {}, 1, -1, {"mi_01&col01", "mi_01&col02", "mi_01&col03"}},
        {0, {0x3C4D}, 0, -1, {"mi_00"}},
        {0x1A2B, {0x3C4D}, 0, 0, {}},  // mi_00 has no collection part: -1 never equals 0
        {0x1A2B, {0x3C4D}, -2, -1, {}},
        {0x1A2B, {0x9999, 0x3C4D}, 1, 2, {"mi_01&col02"}},
        {0x1111, {}, -1, -1, {"vid_1111"}},
        {0, {}, -1, -1, {}},  // any vendor and any product: nothing is enumerated
    };
    for (const Case& c : cases) {
        const auto found = findHidDevices(c.vid, c.pids, c.interfaceNumber, c.collectionNumber);
        ASSERT_EQ(found.size(), c.pathParts.size())
            << std::hex << c.vid << " " << c.interfaceNumber;
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_NE(found[i].path.find(c.pathParts[i]), std::string::npos) << found[i].path;
        }
    }
}

TEST_F(FindHidDevicesTest, RecordsCarryWhatTheDeviceSays) {
    const std::vector<int32_t> pids{0x3C4D};
    auto found = findHidDevices(0x1A2B, pids, 1, 2);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].version, 0x0105);
    EXPECT_EQ(found[0].usagePage, 0xFF02);
    EXPECT_EQ(found[0].usage, 0x0002);
    EXPECT_EQ(found[0].interfaceClassGuid, platform::kHidInterfaceClass);

    // A device that does not open stays in the list, with zeros.
    world->FailOpens("mi_01&col02");
    found = findHidDevices(0x1A2B, pids, 1, 2);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].version, 0);
    EXPECT_EQ(found[0].usagePage, 0);
}

TEST_F(FindHidDevicesTest, ArrivalAndRemovalNoticesCarryThePath) {
    struct Sink : platform::DeviceChangeSink {
        void OnDeviceArrival(const std::string& path) override { seen.push_back("+" + path); }
        void OnDeviceRemoval(const std::string& path) override { seen.push_back("-" + path); }
        std::vector<std::string> seen;
    } sink;
    {
        const auto watch = registerHidNotifications(sink);
        world->SetKeyboardPresent(false);
        world->SetKeyboardPresent(true);
    }
    world->SetKeyboardPresent(false);  // after the watch ended: not seen
    ASSERT_EQ(sink.seen.size(), 8u);
    EXPECT_EQ(sink.seen[2], "-" + world->KeyboardCommandPath());
    EXPECT_EQ(sink.seen[6], "+" + world->KeyboardCommandPath());
    EXPECT_EQ(parseHidDevicePath(sink.seen[2].substr(1)), (HidIds{0x1A2B, 0x3C4D, 1, 2}));
}

}  // namespace
}  // namespace keyrig::device
