// The whole road on the simulated world: a key reported by the filter driver, the dispatcher,
// the player, and the reports the virtual keyboard receives.
#include "engine/remap_engine.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/reports.h"
#include "support/sim_world.h"
#include "support/temp_dir.h"

namespace keyrig::engine {
namespace {

using test::Consumer;
using test::Keys;

constexpr KeyCode kA = 0x00070004;
constexpr KeyCode kB = 0x00070005;
constexpr KeyCode kC = 0x00070006;
constexpr KeyCode kF1 = 0x0007003A;
constexpr KeyCode kF2 = 0x0007003B;
constexpr KeyCode kLeftControl = 0x000700E0;

KeyAssignment Single(KeyCode key, KeyCode target) {
    return {key, KindSingleKey, PlaySingleKey, 1, "", "", {{target, 0, 0, ""}}};
}

KeyAssignment Macro(KeyCode key, int32_t play, int32_t repeat, std::vector<MacroStep> steps) {
    return {key, KindMacro, play, repeat, "", "", std::move(steps)};
}

// Tapping a key down and up makes one macro step pair.
std::vector<MacroStep> TapSteps(KeyCode key, uint32_t downDelay, uint32_t upDelay) {
    return {{key, 1, downDelay, ""}, {key, 0, upDelay, ""}};
}

class RemapEngineTest : public test::SimWorldTest {
  protected:
    RemapEngineTest() {
        vhidev.Open();
        engine = std::make_unique<RemapEngine>(store, vhidev);
        engine->Bind(channel);
        channel.OpenDevice();
        channel.StartListener();
    }

    void Assign(std::vector<KeyAssignment> assignments) {
        for (const KeyAssignment& each : assignments) {
            store.Put(each);
        }
        channel.SetKeyList(store);
        world->ClearLog();
    }
    // Loads record.xml content as it is, duplicates included.
    void AssignFromFile(const std::string& records) {
        test::TempDir dir;
        store.Load(dir.Write("record.xml", records));
        channel.SetKeyList(store);
        world->ClearLog();
    }

    void Event(KeyCode key, bool pressed) {
        if (pressed) {
            world->PressKey(key);
        } else {
            world->ReleaseKey(key);
        }
        ASSERT_TRUE(world->WaitUntilKeysHandled(std::chrono::seconds(5)));
        ASSERT_TRUE(
            engine->WaitForMacroStart(std::chrono::seconds(5)));  // a macro it started is underway
    }
    void Press(KeyCode key) { Event(key, true); }
    void Release(KeyCode key) { Event(key, false); }
    void Tap(KeyCode key) {
        Press(key);
        Release(key);
    }
    void WaitForMacroEnd() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (engine->MacroPlaying() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_FALSE(engine->MacroPlaying());
    }
    static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    std::vector<std::string> Reports() { return test::VirtualReports(*world); }

    KeyAssignmentStore store;
    device::VHidev vhidev;
    device::FilterChannel channel;
    std::unique_ptr<RemapEngine> engine;
};

TEST_F(RemapEngineTest, SingleAndMediaKeysFollowThePhysicalKey) {
    Assign({Single(kA, kB),
            Single(kB, 0x000C00E9),
            {kC, KindSingleKey, PlaySingleKey, 1, "", "", {}}});
    Tap(kA);
    Tap(kB);
    Tap(kC);  // a single key without a step does nothing
    EXPECT_EQ(Reports(),
              (std::vector<std::string>{Keys({5}), Keys({}), Consumer(0xE9), Consumer(0)}));
}

TEST_F(RemapEngineTest, CountedMacrosPlayTheirPassesThenReleaseTheirKeys) {
    struct Case {
        const char* name;
        KeyAssignment assignment;
        std::vector<std::string> reports;
    };
    const Case cases[] = {
        {"three passes",
         Macro(kF1, PlayCount, 3, TapSteps(kA, 10, 0)),
         {Keys({4}), Keys({}), Keys({4}), Keys({}), Keys({4}), Keys({}), Keys({})}},
        {"no pass", Macro(kF1, PlayCount, 0, TapSteps(kA, 10, 0)), {}},
        {"a last step that is down",
         Macro(kF1, PlayCount, 1, {{kA, 1, 5, ""}}),
         {Keys({4}), Keys({})}},
        {"mode 8 counts like a count",
         Macro(kF1, PlayUnbounded, 2, TapSteps(kA, 1, 1)),
         {Keys({4}), Keys({}), Keys({4}), Keys({}), Keys({})}},
        {"modes that do nothing", Macro(kF1, 7, 3, TapSteps(kA, 1, 1)), {}},
        {"a key combination",
         {kF1,
          KindFunction,
          PlayCount,
          1,
          "",
          "",
          {{kLeftControl, 1, 1, ""}, {kC, 1, 1, ""}, {kLeftControl, 0, 0, ""}, {kC, 0, 0, ""}}},
         {Keys({0xE0}), Keys({0xE0, 6}), Keys({6}), Keys({}), Keys({}), Keys({})}},
    };
    for (const Case& c : cases) {
        store.Clear();
        Assign({c.assignment});
        Tap(kF1);
        Pause(30);
        WaitForMacroEnd();
        EXPECT_EQ(Reports(), c.reports) << c.name;
    }
}

TEST_F(RemapEngineTest, WhileHeldPlaysUntilTheRelease) {
    Assign({Macro(kF1, PlayWhileHeld, 1, TapSteps(kA, 5, 5))});
    Press(kF1);
    Pause(60);
    EXPECT_TRUE(engine->MacroPlaying());
    Release(kF1);
    EXPECT_FALSE(engine->MacroPlaying());
    const auto reports = Reports();
    ASSERT_GE(reports.size(), 4u);
    EXPECT_EQ(reports[0], Keys({4}));
    EXPECT_EQ(reports[1], Keys({}));
    EXPECT_EQ(reports.back(), Keys({}));
    EXPECT_TRUE(world->VirtualKeyboard().keysDown.empty());
}

TEST_F(RemapEngineTest, ToggleStartsAndStopsOnPresses) {
    Assign({Macro(kF1, PlayToggle, 1, TapSteps(kA, 5, 5))});
    Tap(kF1);
    Pause(30);
    EXPECT_TRUE(engine->MacroPlaying());  // the release did not stop it
    Press(kF1);
    EXPECT_FALSE(engine->MacroPlaying());
    Pause(30);
    EXPECT_FALSE(engine->MacroPlaying());  // and the stopping press did not start it again
    Release(kF1);
    EXPECT_TRUE(world->VirtualKeyboard().keysDown.empty());
}

TEST_F(RemapEngineTest, UntilOtherKeyIgnoresItsOwnKeyAndSwallowsTheStoppingPress) {
    Assign({Macro(kF1, PlayUntilOtherKey, 1, TapSteps(kA, 5, 5)), Single(kF2, kB)});
    Tap(kF1);
    Tap(kF1);  // its own key again: still playing
    EXPECT_TRUE(engine->MacroPlaying());
    Press(kF2);  // stops it, and does nothing else
    EXPECT_FALSE(engine->MacroPlaying());
    EXPECT_TRUE(world->VirtualKeyboard().keysDown.empty());
    world->ClearLog();
    Release(kF2);  // the release still goes through F2's own assignment
    EXPECT_EQ(Reports(), std::vector<std::string>{Keys({})});
    Tap(kF2);  // and now F2 works as usual
    EXPECT_EQ(Reports(), (std::vector<std::string>{Keys({}), Keys({5}), Keys({})}));
}

TEST_F(RemapEngineTest, UntilAnyKeyStopsOnItsOwnKeyToo) {
    Assign({Macro(kF1, PlayUntilAnyKey, 1, TapSteps(kA, 5, 5))});
    Tap(kF1);
    Pause(20);
    Press(kF1);
    EXPECT_FALSE(engine->MacroPlaying());
    Pause(20);
    EXPECT_FALSE(engine->MacroPlaying());
}

TEST_F(RemapEngineTest, AnotherMacroKeyTakesOverOrOnlyStops) {
    struct Case {
        int32_t firstMode;
        bool secondStarts;
    };
    for (const Case& c : {Case{PlayCount, true}, Case{PlayWhileHeld, true}, Case{PlayToggle, true},
                          Case{PlayUntilOtherKey, false}, Case{PlayUntilAnyKey, false}}) {
        store.Clear();
        Assign({Macro(kF1, c.firstMode, 1000, {{kA, 1, 500, ""}, {kA, 0, 1, ""}}),
                Macro(kF2, PlayCount, 1, {{kB, 1, 500, ""}, {kB, 0, 1, ""}})});
        Press(kF1);
        Pause(20);
        Press(kF2);
        Pause(20);
        const auto state = world->VirtualKeyboard();
        EXPECT_EQ(state.keysDown.count(4), 0u) << c.firstMode;  // the first macro's key is released
        EXPECT_EQ(state.keysDown.count(5), c.secondStarts ? 1u : 0u) << c.firstMode;
        engine->StopMacro();
        Release(kF1);
        Release(kF2);
    }
}

TEST_F(RemapEngineTest, EveryAssignmentOfAKeyActsInStoredOrder) {
    AssignFromFile(
        "<record code='70004' play='1'><item code='70005'/></record>"
        "<record code='70004' play='1'><item code='70006'/></record>");
    Tap(kA);
    EXPECT_EQ(Reports(), (std::vector<std::string>{Keys({5}), Keys({5, 6}), Keys({6}), Keys({})}));
}

TEST_F(RemapEngineTest, AMacroWithoutStepsWaitsForItsStop) {
    Assign({Macro(kF1, PlayWhileHeld, 1, {})});
    Press(kF1);
    Pause(20);
    EXPECT_TRUE(engine->MacroPlaying());
    Release(kF1);
    EXPECT_FALSE(engine->MacroPlaying());
    EXPECT_TRUE(Reports().empty());
}

TEST_F(RemapEngineTest, TheEngineLeavesNoKeyDown) {
    Assign({Macro(kF1, PlayWhileHeld, 1, {{kA, 1, 1000, ""}, {kA, 0, 1, ""}}), Single(kB, kC)});
    Press(kB);
    Press(kF1);
    Pause(20);
    EXPECT_EQ(world->VirtualKeyboard().keysDown, (std::set<uint8_t>{4, 6}));
    engine.reset();
    EXPECT_TRUE(world->VirtualKeyboard().keysDown.empty());
}

TEST(PassCount, ByPlayMode) {
    struct Case {
        int32_t play;
        int32_t repeat;
        int32_t passes;
    };
    for (const Case& c : {Case{2, 3, 3}, Case{2, 0, 0}, Case{2, -1, -1}, Case{8, 4, 4},
                          Case{3, 9, -1}, Case{4, 0, -1}, Case{5, 1, -1}, Case{6, 1, -1},
                          Case{1, 5, 0}, Case{0, 5, 0}, Case{7, 5, 0}}) {
        EXPECT_EQ(PassCount(c.play, c.repeat), c.passes) << c.play << " " << c.repeat;
    }
}

TEST(MakeKeyAssignment, EachTabOfTheEditor) {
    MacroLibrary library;
    library.groups = {{"Макрос 0", TapSteps(kA, 120, 10)}};
    library.repeat = 3;
    library.playMode = PlayToggle;
    library.skcode = kB;
    const std::vector<FunKeyItem> media{{"Volume Up", 0x000C00E9, "", ""}};
    const std::vector<CombKeyItem> combinations{
        {"Copy", {{static_cast<int32_t>(kLeftControl), 0}, {static_cast<int32_t>(kC), 5}}},
        {"Empty", {}},
        {"Negative", {{static_cast<int32_t>(kA), -5}}}};
    const auto make = [&](int32_t type, int32_t index) {
        library.type = type;
        library.group = library.media = library.function = index;
        return MakeKeyAssignment(kF1, library, media, combinations);
    };

    EXPECT_EQ(make(KindMacro, 0),
              (KeyAssignment{kF1, 0, PlayToggle, 3, "F1", "Макрос 0", TapSteps(kA, 120, 10)}));
    EXPECT_EQ(make(KindSingleKey, 0),
              (KeyAssignment{kF1, 1, PlaySingleKey, 1, "F1", "B", {{kB, 0, 0, "B"}}}));
    EXPECT_EQ(make(KindMedia, 0),
              (KeyAssignment{
                  kF1, 2, PlaySingleKey, 1, "F1", "Volume Up", {{0x000C00E9, 0, 0, "Volume Up"}}}));
    EXPECT_EQ(make(KindFunction, 0), (KeyAssignment{kF1,
                                                    3,
                                                    PlayCount,
                                                    1,
                                                    "F1",
                                                    "Copy",
                                                    {{kLeftControl, 1, 1, "Left Control"},
                                                     {kC, 1, 6, "C"},
                                                     {kLeftControl, 0, 0, "Left Control"},
                                                     {kC, 0, 5, "C"}}}));
    EXPECT_EQ(make(KindFunction, 2)->steps,
              (std::vector<MacroStep>{{kA, 1, 1, "A"}, {kA, 0, 0, "A"}}));
    for (const auto& [type, index] : std::vector<std::pair<int32_t, int32_t>>{{KindMacro, 1},
                                                                              {KindMacro, -1},
                                                                              {KindMedia, 1},
                                                                              {KindFunction, 1},
                                                                              {KindFunction, 3},
                                                                              {4, 0}}) {
        EXPECT_EQ(make(type, index), std::nullopt) << type << " " << index;
    }
}

}  // namespace
}  // namespace keyrig::engine
