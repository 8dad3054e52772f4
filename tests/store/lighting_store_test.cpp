#include "store/lighting_store.h"

#include <gtest/gtest.h>

#include "support/golden.h"
#include "support/temp_dir.h"

namespace keyrig {
namespace {

std::string Items(int count, const std::string& item) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += item;
    }
    return text;
}

class LightingStoreTest : public testing::Test {
  protected:
    test::TempDir dir;
    LightingStore lighting;
    SideLightStore side;
};

TEST_F(LightingStoreTest, MissingFilesGiveTheDefaultsAndAreWritten) {
    EXPECT_FALSE(lighting.Load(dir / "ledeffect.xml"));
    for (const LightingSlot& slot : lighting.slots) {
        EXPECT_EQ(slot, (LightingSlot{5, 0, 0, 0}));
    }
    EXPECT_EQ(lighting.selection, 20);

    EXPECT_FALSE(side.Load(dir / "sidemodel.xml"));
    EXPECT_EQ(side.levels, (std::array<uint8_t, 12>{4, 4, 4, 7, 7, 7, 7, 7, 7, 7, 7, 7}));
    EXPECT_EQ(side.selection, 0);

    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"ledeffect.xml", "sidemodel.xml"}));
    EXPECT_EQ(dir.Read("sidemodel.xml"), test::Golden("sidemodel.xml"));
}

TEST_F(LightingStoreTest, WritesTheFileByteForByte) {
    lighting.Load(dir / "ledeffect.xml");
    lighting.selection = 3;
    lighting.slots[0] = {5, 1, 0, 1};
    ASSERT_TRUE(lighting.Save());
    EXPECT_EQ(dir.Read("ledeffect.xml"), test::Golden("ledeffect.xml"));

    LightingStore reloaded;
    ASSERT_TRUE(reloaded.Load(dir / "ledeffect.xml"));
    EXPECT_EQ(reloaded.slots, lighting.slots);
    EXPECT_EQ(reloaded.selection, 3);
}

TEST_F(LightingStoreTest, SelectionRanges) {
    struct Case {
        const char* sel;
        int32_t lighting;
        int32_t side;
    };
    for (const Case& c : {Case{"25", 0, 0}, Case{"20", 20, 0}, Case{"12", 12, 0},
                          Case{"11", 11, 11}, Case{"-1", 0, 0}, Case{"x", 0, 0}}) {
        dir.Write("l.xml", std::string("<effect sel='") + c.sel + "'/>");
        ASSERT_TRUE(lighting.Load(dir / "l.xml"));
        EXPECT_EQ(lighting.selection, c.lighting) << c.sel;
        ASSERT_TRUE(side.Load(dir / "l.xml"));
        EXPECT_EQ(side.selection, c.side) << c.sel;
    }
}

TEST_F(LightingStoreTest, SlotValuesAreCutAndClamped) {
    struct Case {
        const char* item;
        LightingSlot expected;
    };
    for (const Case& c : {
             Case{"<item speed='7' brightness='9' deriction='3'/>", {5, 2, 0, 1}},
             Case{"<item speed='258' brightness='300' deriction='1' selection='2'/>", {5, 2, 1, 2}},
             Case{"<item speed='1' brightness='3' deriction='257' selection='7'/>", {3, 1, 1, 7}},
             Case{"<item speed='-1' brightness='-1' deriction='-1' selection='-1'/>",
                  {5, 2, 0, 255}},
             Case{"<item/>", {0, 0, 0, 1}},
         }) {
        dir.Write("l.xml", std::string("<effect sel='0'>") + c.item + "</effect>");
        ASSERT_TRUE(lighting.Load(dir / "l.xml"));
        EXPECT_EQ(lighting.slots[0], c.expected) << c.item;
    }
}

TEST_F(LightingStoreTest, SideLevelsKeepFourBitsAndDropEightOrMore) {
    struct Case {
        const char* brightness;
        uint8_t level;
    };
    for (const Case& c :
         {Case{"9", 0}, Case{"23", 7}, Case{"7", 7}, Case{"8", 0}, Case{"16", 0}, Case{"", 0}}) {
        dir.Write("s.xml",
                  std::string("<effect><item brightness='") + c.brightness + "'/></effect>");
        ASSERT_TRUE(side.Load(dir / "s.xml"));
        EXPECT_EQ(side.levels[0], c.level) << c.brightness;
    }
}

TEST_F(LightingStoreTest, ExtraItemsAreIgnoredAndTheNextSaveWritesTheFullSet) {
    dir.Write("ledeffect.xml", "<effect sel='1'>" + Items(25, "<item speed='1'/>") + "</effect>");
    dir.Write("sidemodel.xml",
              "<effect sel='1'>" + Items(15, "<item brightness='2'/>") + "</effect>");
    ASSERT_TRUE(lighting.Load(dir / "ledeffect.xml"));
    ASSERT_TRUE(side.Load(dir / "sidemodel.xml"));
    EXPECT_EQ(lighting.slots[19].speed, 1);
    EXPECT_EQ(side.levels[11], 2);
    lighting.Save();
    side.Save();

    LightingStore reloaded;
    reloaded.Load(dir / "ledeffect.xml");
    EXPECT_EQ(reloaded.slots, lighting.slots);
    const std::string written = dir.Read("ledeffect.xml");
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 23);
    const std::string sideWritten = dir.Read("sidemodel.xml");
    EXPECT_EQ(std::count(sideWritten.begin(), sideWritten.end(), '\n'), 15);
}

TEST_F(LightingStoreTest, ShortFilesLeaveTheRemainingSlotsAtTheirDefaults) {
    dir.Write("ledeffect.xml",
              "<effect sel='2'><item speed='2' brightness='1' selection='3'/></effect>");
    dir.Write("sidemodel.xml", "<effect sel='2'><item brightness='1'/></effect>");
    ASSERT_TRUE(lighting.Load(dir / "ledeffect.xml"));
    ASSERT_TRUE(side.Load(dir / "sidemodel.xml"));
    EXPECT_EQ(lighting.slots[0], (LightingSlot{1, 2, 0, 3}));
    EXPECT_EQ(lighting.slots[1], LightingSlot{});
    EXPECT_EQ(side.levels, (std::array<uint8_t, 12>{1, 4, 4, 7, 7, 7, 7, 7, 7, 7, 7, 7}));
}

TEST_F(LightingStoreTest, AnyNodeInsideEffectCountsAsAnItem) {
    dir.Write(
        "l.xml",
        "<effect sel='0'><item speed='1'/>text<other brightness='2'/><item speed='2'/></effect>");
    ASSERT_TRUE(lighting.Load(dir / "l.xml"));
    EXPECT_EQ(lighting.slots[0].speed, 1);
    EXPECT_EQ(lighting.slots[1], (LightingSlot{0, 0, 0, 1}));  // the text node
    EXPECT_EQ(lighting.slots[2], (LightingSlot{2, 0, 0, 1}));
    EXPECT_EQ(lighting.slots[3].speed, 2);
}

TEST_F(LightingStoreTest, WithoutEffectElementTheSelectionIsZeroAndNothingIsWritten) {
    lighting.slots[4] = {1, 1, 1, 1};
    dir.Write("l.xml", "<other sel='5'/>");
    EXPECT_TRUE(lighting.Load(dir / "l.xml"));
    EXPECT_EQ(lighting.selection, 0);
    EXPECT_EQ(lighting.slots[4], (LightingSlot{1, 1, 1, 1}));
    EXPECT_EQ(dir.Read("l.xml"), "<other sel='5'/>");
}

TEST_F(LightingStoreTest, NoSelectionIsWrittenAsMinusOneAndReadsBackAsZero) {
    lighting.Load(dir / "ledeffect.xml");
    lighting.selection = -1;
    lighting.Save();
    EXPECT_NE(dir.Read("ledeffect.xml").find("<effect sel=\"-1\">"), std::string::npos);
    LightingStore reloaded;
    reloaded.Load(dir / "ledeffect.xml");
    EXPECT_EQ(reloaded.selection, 0);
}

TEST_F(LightingStoreTest, DamagedFilesAreKeptAndReplacedByDefaults) {
    const std::string damaged = "<effect sel='3'><item speed='1'";
    dir.Write("ledeffect.xml", damaged);
    dir.Write("sidemodel.xml", damaged);
    EXPECT_FALSE(lighting.Load(dir / "ledeffect.xml"));
    EXPECT_FALSE(side.Load(dir / "sidemodel.xml"));
    EXPECT_EQ(lighting.selection, 20);
    EXPECT_EQ(dir.Read("ledeffect.xml.bad"), damaged);
    EXPECT_EQ(dir.Read("sidemodel.xml.bad"), damaged);
    EXPECT_EQ(dir.Read("sidemodel.xml"), test::Golden("sidemodel.xml"));

    // A second damaged file does not replace the one kept before.
    dir.Write("ledeffect.xml", "second");
    lighting.Load(dir / "ledeffect.xml");
    EXPECT_EQ(dir.Read("ledeffect.xml.bad"), damaged);
    EXPECT_EQ(dir.Read("ledeffect.xml.bad.2"), "second");
}

TEST_F(LightingStoreTest, DeclarationOnlyFileGivesDefaultsWithoutKeepingIt) {
    dir.Write("ledeffect.xml", "<?xml version=\"1.0\"?>\n");
    EXPECT_FALSE(lighting.Load(dir / "ledeffect.xml"));
    EXPECT_EQ(lighting.selection, 20);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"ledeffect.xml"});
}

TEST_F(LightingStoreTest, SaveIntoAMissingFolderFailsAndKeepsMemory) {
    lighting.Load(dir / "gone" / "ledeffect.xml");
    lighting.selection = 4;
    EXPECT_FALSE(lighting.Save());
    EXPECT_EQ(lighting.selection, 4);
    EXPECT_FALSE(side.ResetToDefaults());
}

}  // namespace
}  // namespace keyrig
