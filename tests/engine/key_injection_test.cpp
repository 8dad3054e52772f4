#include "engine/key_injection.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/reports.h"
#include "support/sim_world.h"

namespace keyrig::engine {
namespace {

using test::Consumer;
using test::Keys;
using test::Pointer;
using test::System;

class KeyInjectionTest : public test::SimWorldTest {
  protected:
    KeyInjectionTest() { vhidev.Open(); }
    device::VHidev vhidev;
};

TEST_F(KeyInjectionTest, EachPageGoesToItsSlot) {
    struct Step {
        uint16_t page;
        uint16_t id;
        bool pressed;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> reports;
    };
    const Case cases[] = {
        {"A down and up", {{7, 0x04, true}, {7, 0x04, false}}, {Keys({4}), Keys({})}},
        {"Left Control beside A", {{7, 0x04, true}, {7, 0xE0, true}}, {Keys({4}), Keys({4, 0xE0})}},
        {"B stays when A goes",
         {{7, 0x04, true}, {7, 0x05, true}, {7, 0x04, false}},
         {Keys({4}), Keys({4, 5}), Keys({5})}},
        {"consumer keys replace each other",
         {{0x0C, 0xE9, true}, {0x0C, 0xE2, true}, {0x0C, 0xE9, false}},
         {Consumer(0xE9), Consumer(0xE2), Consumer(0)}},
        {"a long consumer usage", {{0x0C, 0x223, true}}, {Consumer(0x223)}},
        {"System Power", {{1, 0x81, true}, {1, 0x81, false}}, {System(0x81), System(0)}},
        {"buttons, and a button beyond eight",
         {{5, 0, true}, {5, 9, true}, {5, 0, false}},
         {Pointer(1, 0, 0, 0), Pointer(1, 0, 0, 0), Pointer(0, 0, 0, 0)}},
        {"X, Y and wheel keep their value",
         {{5, 1, true}, {1, 0x30, true}, {1, 0x31, false}, {1, 0x38, true}},
         {Pointer(2, 0, 0, 0), Pointer(2, 0x30, 0, 0), Pointer(2, 0x30, 0x31, 0),
          Pointer(2, 0x30, 0x31, 0x38)}},
        {"Mouse Left of the key table goes nowhere", {{1, 0x01, true}}, {}},
        {"another page goes nowhere", {{2, 0x04, true}}, {}},
    };
    for (const Case& c : cases) {
        vhidev.releaseAll();
        world->ClearLog();
        for (const Step& step : c.steps) {
            InjectKey(vhidev, step.page, step.id, step.pressed);
        }
        EXPECT_EQ(test::VirtualReports(*world), c.reports) << c.name;
    }
}

TEST_F(KeyInjectionTest, TheResultSaysWhetherTheDeviceTookIt) {
    EXPECT_EQ(InjectKey(vhidev, 7, 4, true), 1);
    EXPECT_EQ(InjectKey(vhidev, 2, 4, true), 0);
    world->SetVirtualKeyboardPresent(false);
    EXPECT_EQ(InjectKey(vhidev, 7, 4, false), 0);
}

TEST_F(KeyInjectionTest, ReleaseAllClearsTheAxesToo) {
    InjectKey(vhidev, 1, 0x30, true);
    InjectKey(vhidev, 7, 0x04, true);
    vhidev.releaseAll();
    EXPECT_EQ(world->VirtualKeyboard(), platform::sim::VirtualKeyboardState{});
    EXPECT_EQ(vhidev.pointerSlot.data, (std::array<uint8_t, 4>{}));
}

// Two threads pressing different keys of one slot never lose each other's keys.
TEST_F(KeyInjectionTest, ConcurrentInjectionsKeepEveryKey) {
    const auto press = [this](int first) {
        for (int usage = first; usage < first + 40; ++usage) {
            InjectKey(vhidev, 7, static_cast<uint16_t>(usage), true);
        }
    };
    std::thread one(press, 0x04);
    std::thread two(press, 0x50);
    one.join();
    two.join();
    EXPECT_EQ(world->VirtualKeyboard().keysDown.size(), 80u);
}

}  // namespace
}  // namespace keyrig::engine
