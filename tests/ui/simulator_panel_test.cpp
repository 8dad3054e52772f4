#include "ui/simulator_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBlock>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/hid_device.h"
#include "device/keyboard_command_set.h"
#include "support/sim_world.h"
#include "ui/coord_button_image.h"
#include "ui/framework/resources.h"

namespace keyrig::ui {
namespace {

using platform::sim::Entry;
using platform::sim::LogEntry;
using test::VirtualReport;

constexpr int kA = 0x04;  // usage ids of keys on the picture
constexpr int kS = 0x16;

std::string Down(KeyCode code) {
    char line[48];
    std::snprintf(line, sizeof line, "key.passthrough %x down", static_cast<unsigned>(code));
    return line;
}

std::string Up(KeyCode code) {
    char line[48];
    std::snprintf(line, sizeof line, "key.passthrough %x up", static_cast<unsigned>(code));
    return line;
}

using Lines = std::vector<std::string>;

class SimulatorPanelTest : public test::SimWorldTest {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(ResourceIndex::Current().Load(KEYRIG_UIRES_DIR)); }

    SimulatorPanelTest() { NewPanel(); }

    void NewPanel() {
        panel.reset();
        panel.reset(CreateSimulatorPanel(*system().simulator(), nullptr));
        world->ClearLog();
    }

    // The key events the world passed on to the system, as its log shows them.
    Lines KeyEvents() const {
        Lines events;
        for (const LogEntry& entry : world->Log()) {
            if (entry.kind == "key.passthrough") {
                events.push_back(platform::sim::DescribeEntry(entry));
            }
        }
        return events;
    }

    template <class Widget>
    Widget& Find(const char* name) const {
        auto* widget = panel->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }

    CoordButtonImage& Keyboard() const { return Find<CoordButtonImage>("sim_keyboard"); }
    QPoint Centre(int usageId) const { return Keyboard().FindRegion(usageId)->Rect().center(); }
    bool Pressed(int usageId) const { return Keyboard().FindRegion(usageId)->pressed; }
    bool Checked(int usageId) const { return Keyboard().FindRegion(usageId)->checked; }

    void Mouse(QEvent::Type type, QPoint at, Qt::KeyboardModifiers modifiers = {}) const {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, Keyboard().mapToGlobal(at), button, buttons, modifiers);
        QCoreApplication::sendEvent(&Keyboard(), &event);
    }

    void Click(int usageId, Qt::KeyboardModifiers modifiers = {}) const {
        Mouse(QEvent::MouseButtonPress, Centre(usageId), modifiers);
        Mouse(QEvent::MouseButtonRelease, Centre(usageId), modifiers);
    }

    void Key(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = {},
             bool autoRepeat = false) const {
        QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
        QCoreApplication::sendEvent(&Find<QLabel>("sim_typing"), &event);
    }

    std::unique_ptr<QWidget> panel;
};

TEST_F(SimulatorPanelTest, ReleasingTheMouseAnywhereReleasesTheKeyItPressed) {
    struct Case {
        const char* where;
        QPoint releasedAt;
    };
    for (const Case& c : {Case{"on the key", Centre(kA)}, Case{"on another key", Centre(kS)},
                          Case{"off the picture", QPoint(-30, -30)}}) {
        SCOPED_TRACE(c.where);
        world->ClearLog();
        Mouse(QEvent::MouseButtonPress, Centre(kA));
        EXPECT_EQ(KeyEvents(), Lines{Down(0x70004)});
        EXPECT_TRUE(Pressed(kA));

        Mouse(QEvent::MouseMove, c.releasedAt);
        Mouse(QEvent::MouseButtonRelease, c.releasedAt);
        EXPECT_EQ(KeyEvents(), (Lines{Down(0x70004), Up(0x70004)}));
        EXPECT_FALSE(Pressed(kA));
        EXPECT_FALSE(Pressed(kS));
    }
}

TEST_F(SimulatorPanelTest, ALatchedKeyStaysDownUntilClickedAgain) {
    struct Case {
        const char* how;
        Qt::KeyboardModifiers modifiers;
        bool holdChecked;
    };
    for (const Case& c :
         {Case{"shift-click", Qt::ShiftModifier, false}, Case{"hold box", Qt::NoModifier, true}}) {
        SCOPED_TRACE(c.how);
        world->ClearLog();
        Find<QCheckBox>("sim_hold").setChecked(c.holdChecked);
        Click(kA, c.modifiers);
        EXPECT_EQ(KeyEvents(), Lines{Down(0x70004)});
        EXPECT_TRUE(Checked(kA));
        EXPECT_FALSE(Pressed(kA));

        Click(kA);
        EXPECT_EQ(KeyEvents(), (Lines{Down(0x70004), Up(0x70004)}));
        EXPECT_FALSE(Checked(kA));
    }
}

TEST_F(SimulatorPanelTest, LatchedKeysGoUpWhenThePanelGoes) {
    Click(kA, Qt::ShiftModifier);
    Click(kS, Qt::ShiftModifier);
    panel.reset();
    const Lines events = KeyEvents();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(std::count(events.begin(), events.end(), Up(0x70004)), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), Up(0x70016)), 1);

    // Nothing is left to hear what the devices receive now.
    world->Record(Entry("lighting", {}, "1 2 3 4 5"));
    QCoreApplication::processEvents();
}

TEST_F(SimulatorPanelTest, AKeyHeldTwoWaysGoesUpWhenBothLetGo) {
    Click(kA, Qt::ShiftModifier);
    Key(QEvent::KeyPress, Qt::Key_A);
    Key(QEvent::KeyRelease, Qt::Key_A);
    EXPECT_EQ(KeyEvents(), Lines{Down(0x70004)});
    Click(kA);
    EXPECT_EQ(KeyEvents(), (Lines{Down(0x70004), Up(0x70004)}));
}

TEST_F(SimulatorPanelTest, TypedKeysPressTheirUsages) {
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        KeyCode code;
    };
    for (const Case& c : {
             Case{Qt::Key_A, {}, 0x70004},
             Case{Qt::Key_Z, {}, 0x7001D},
             Case{Qt::Key_0, {}, 0x70027},
             Case{Qt::Key_Exclam, Qt::ShiftModifier, 0x7001E},  // the key Shift+1 is on
             Case{Qt::Key_Question, Qt::ShiftModifier, 0x70038},
             Case{Qt::Key_Semicolon, {}, 0x70033},
             Case{Qt::Key_QuoteLeft, {}, 0x70035},
             Case{Qt::Key_F1, {}, 0x7003A},
             Case{Qt::Key_F12, {}, 0x70045},
             Case{Qt::Key_Return, {}, 0x70028},
             Case{Qt::Key_Escape, {}, 0x70029},
             Case{Qt::Key_Tab, {}, 0x7002B},
             Case{Qt::Key_Space, {}, 0x7002C},
             Case{Qt::Key_Delete, {}, 0x7004C},
             Case{Qt::Key_Up, {}, 0x70052},
             Case{Qt::Key_Shift, Qt::ShiftModifier, 0x700E1},
             Case{Qt::Key_Control, Qt::ControlModifier, 0x700E0},
         }) {
        SCOPED_TRACE(c.key);
        world->ClearLog();
        Key(QEvent::KeyPress, c.key, c.modifiers);
        Key(QEvent::KeyRelease, c.key, c.modifiers);
        EXPECT_EQ(KeyEvents(), (Lines{Down(c.code), Up(c.code)}));
    }
}

TEST_F(SimulatorPanelTest, TypingIgnoresRepeatsAndUnknownKeysAndLetsGoWithTheFocus) {
    Key(QEvent::KeyPress, Qt::Key_A);
    Key(QEvent::KeyRelease, Qt::Key_A, {}, true);
    Key(QEvent::KeyPress, Qt::Key_A, {}, true);
    Key(QEvent::KeyPress, Qt::Key_VolumeUp);
    Key(QEvent::KeyRelease, Qt::Key_VolumeUp);
    // Shift went down after 1: the release names the shifted character.
    Key(QEvent::KeyPress, Qt::Key_1);
    Key(QEvent::KeyRelease, Qt::Key_Exclam, Qt::ShiftModifier);
    EXPECT_EQ(KeyEvents(), (Lines{Down(0x70004), Down(0x7001E), Up(0x7001E)}));

    QFocusEvent focusOut(QEvent::FocusOut);
    QCoreApplication::sendEvent(&Find<QLabel>("sim_typing"), &focusOut);
    EXPECT_EQ(KeyEvents(), (Lines{Down(0x70004), Down(0x7001E), Up(0x7001E), Up(0x70004)}));
}

TEST_F(SimulatorPanelTest, ThePlugButtonUnplugsAndPlugsTheKeyboard) {
    auto& plug = Find<QPushButton>("sim_plug");
    EXPECT_EQ(plug.text(), "Unplug keyboard");
    Click(kA, Qt::ShiftModifier);
    Mouse(QEvent::MouseButtonPress, Centre(kS));

    plug.click();
    EXPECT_FALSE(world->KeyboardOnBus());
    EXPECT_EQ(plug.text(), "Plug keyboard in");
    // An unplugged keyboard holds no keys down, and none looks held.
    Lines events = KeyEvents();
    std::sort(events.begin(), events.end());
    EXPECT_EQ(events, (Lines{Down(0x70004), Up(0x70004), Down(0x70016), Up(0x70016)}));
    EXPECT_FALSE(Checked(kA));
    EXPECT_FALSE(Pressed(kS));
    Mouse(QEvent::MouseButtonRelease, Centre(kS));
    EXPECT_EQ(KeyEvents().size(), 4u);

    plug.click();
    EXPECT_TRUE(world->KeyboardOnBus());
    EXPECT_EQ(plug.text(), "Unplug keyboard");
}

TEST_F(SimulatorPanelTest, TheFirmwareVersionIsWhatTheKeyboardAnswers) {
    Find<QSpinBox>("sim_firmware_major").setValue(2);
    Find<QSpinBox>("sim_firmware_minor").setValue(133);
    Find<QPushButton>("sim_firmware_set").click();

    device::HidDevice keyboard;
    ASSERT_EQ(keyboard.Open(world->KeyboardCommandPath()), 1);
    LightingStore lighting;
    SideLightStore sideLight;
    device::KeyboardCommandSet commands(keyboard, lighting, sideLight);
    commands.QueryFirmwareVersion();
    EXPECT_EQ(commands.firmwareVersion, 0x0285);
}

TEST_F(SimulatorPanelTest, WhatTheDevicesReceiveIsShownDecoded) {
    const auto keys = [](std::initializer_list<int> usages) {
        std::vector<uint8_t> report = VirtualReport({0x05, 0x01});
        for (const int usage : usages) {
            report[3 + usage / 8] |= static_cast<uint8_t>(1 << (usage % 8));
        }
        return Entry("vkbd", report);
    };
    const QString none = "Virtual keyboard: keys down: none";
    struct Case {
        std::vector<LogEntry> received;
        const char* label;
        QString text;
    };
    const std::vector<Case> cases = {
        {{Entry("lighting", {}, "14 3 0 0 0")},
         "sim_lighting",
         "Keyboard lighting: effect 14, brightness 3, speed 0, direction 0, option 0"},
        {{Entry("sidelight", {}, "5 7")}, "sim_side_light", "Side light: mode 5, level 7"},
        {{keys({0x04, 0xE1})},
         "sim_virtual_keyboard",
         "Virtual keyboard: keys down: Left Shift, A"},
        {{keys({0x04, 0xE1}), keys({})}, "sim_virtual_keyboard", none},
        {{keys({0x1E}), Entry("vkbd", VirtualReport({0x05, 0x03, 0x23, 0x02}))},
         "sim_virtual_keyboard",
         "Virtual keyboard: keys down: 1; media key: WWW Home"},
        {{Entry("vkbd", VirtualReport({0x05, 0x04, 0x82}))},
         "sim_virtual_keyboard",
         none + "; system key: System Sleep"},
        {{Entry("vkbd", VirtualReport({0x05, 0x02, 0x02, 0x30, 0xFF, 0x00}))},
         "sim_virtual_keyboard",
         none + "; mouse: buttons 1, x 48, y -1, wheel 0"},
        {{Entry("vkbd", VirtualReport({0x05, 0x03, 0xE9})),
          Entry("vkbd", VirtualReport({0x05, 0x03}))},
         "sim_virtual_keyboard",
         none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        NewPanel();
        // The devices receive on threads of their own.
        std::thread([&] {
            for (const LogEntry& entry : c.received) {
                world->Record(entry);
            }
        }).join();
        QCoreApplication::processEvents();
        EXPECT_EQ(Find<QLabel>(c.label).text(), c.text);
        const QTextDocument& log = *Find<QPlainTextEdit>("sim_log").document();
        EXPECT_EQ(log.lastBlock().text().toStdString(),
                  platform::sim::DescribeEntry(c.received.back()));
    }
}

TEST_F(SimulatorPanelTest, TheLogKeepsTheNewestLines) {
    for (int effect = 0; effect < 600; ++effect) {
        world->Record(Entry("lighting", {}, std::to_string(effect) + " 3 0 0 0"));
    }
    QCoreApplication::processEvents();
    const QTextDocument& log = *Find<QPlainTextEdit>("sim_log").document();
    EXPECT_LE(log.blockCount(), 500);
    EXPECT_EQ(log.lastBlock().text(), "lighting 599 3 0 0 0");
}

}  // namespace
}  // namespace keyrig::ui

int main(int argc, char** argv) {
    // The panel is a window: it is shown nowhere.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
