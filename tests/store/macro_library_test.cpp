#include "store/macro_library.h"

#include <gtest/gtest.h>

#include "support/golden.h"
#include "support/temp_dir.h"

namespace keyrig {
namespace {

using test::Golden;

class MacroLibraryTest : public testing::Test {
  protected:
    std::filesystem::path File() const { return dir / "macro.xml"; }
    test::TempDir dir;
    MacroLibrary library;
};

TEST_F(MacroLibraryTest, WritesTheFileByteForByte) {
    library.Load(File());
    library.skcode = 0x00070004;
    library.groups = {{"Макрос 0", {{0x00070004, 1, 120, "A"}, {0x00070004, 0, 10, "A"}}},
                      {"Макрос 1", {}}};
    ASSERT_TRUE(library.Save());
    EXPECT_EQ(dir.Read("macro.xml"), Golden("macro.xml"));

    MacroLibrary reloaded;
    ASSERT_TRUE(reloaded.Load(File()));
    EXPECT_EQ(reloaded.groups, library.groups);
    EXPECT_EQ(reloaded.skcode, 0x00070004u);
}

TEST_F(MacroLibraryTest, MissingFileKeepsDefaultsAndCreatesNothing) {
    EXPECT_FALSE(library.Load(File()));
    EXPECT_EQ(library.type, 0);
    EXPECT_EQ(library.repeat, 1);
    EXPECT_EQ(library.delay, 10);
    EXPECT_EQ(library.mode, 0);
    EXPECT_TRUE(library.groups.empty());
    EXPECT_EQ(library.path(), File());
    EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(MacroLibraryTest, ConfigAttributeThatIsMissingReadsZero) {
    dir.Write("macro.xml", R"(<config type="2" delay="30" mode="1" group="4" />)");
    ASSERT_TRUE(library.Load(File()));
    EXPECT_EQ(library.type, 2);
    EXPECT_EQ(library.delay, 30);
    EXPECT_EQ(library.mode, 1);
    EXPECT_EQ(library.group, 4);
    EXPECT_EQ(library.repeat, 0);
    EXPECT_EQ(library.play, 0);
}

TEST_F(MacroLibraryTest, NoConfigElementKeepsTheSettings) {
    library.repeat = 7;
    dir.Write("macro.xml", "<macro><group name='x'/></macro>");
    ASSERT_TRUE(library.Load(File()));
    EXPECT_EQ(library.repeat, 7);
    ASSERT_EQ(library.groups.size(), 1u);
}

TEST_F(MacroLibraryTest, SettingsSurviveASaveAndLoad) {
    library.Load(File());
    library.mode = 1;
    library.delay = 250;
    library.repeat = -1;
    library.skcode = 0x80000001;
    library.play = 3;
    ASSERT_TRUE(library.Save());
    MacroLibrary reloaded;
    ASSERT_TRUE(reloaded.Load(File()));
    EXPECT_EQ(reloaded.mode, 1);
    EXPECT_EQ(reloaded.delay, 250);
    EXPECT_EQ(reloaded.repeat, -1);
    EXPECT_EQ(reloaded.skcode, 0x80000001u);
    EXPECT_EQ(reloaded.play, 3);
}

TEST_F(MacroLibraryTest, ElementNamesInsideMacroDoNotMatter) {
    dir.Write("macro.xml",
              "<macro><g name='one'><s code='458756' state='1' delay='5' name='A'/><item/></g>"
              "<group/></macro>");
    ASSERT_TRUE(library.Load(File()));
    ASSERT_EQ(library.groups.size(), 2u);
    EXPECT_EQ(library.groups[0].name, "one");
    EXPECT_EQ(library.groups[0].steps,
              (std::vector<MacroStep>{{0x00070004, 1, 5, "A"}, {0, 0, 0, ""}}));
    EXPECT_EQ(library.groups[1], (MacroGroup{"", {}}));
}

TEST_F(MacroLibraryTest, NonLatinNamesSurvive) {
    library.Load(File());
    library.groups = {{"Макрос 0 — 宏", {{0x00070004, 1, 0, "Ä"}}}};
    ASSERT_TRUE(library.Save());
    MacroLibrary reloaded;
    ASSERT_TRUE(reloaded.Load(File()));
    EXPECT_EQ(reloaded.groups, library.groups);
}

TEST_F(MacroLibraryTest, AddGroupTakesTheFirstFreeNameFromTheCount) {
    struct Case {
        std::vector<std::string> existing;
        std::string expected;
    };
    for (const Case& c : std::vector<Case>{{{}, "Макрос 0"},
                                           {{"Макрос 0", "Макрос 1"}, "Макрос 2"},
                                           {{"Макрос 0", "Макрос 2"}, "Макрос 3"},
                                           {{"Макрос 1"}, "Макрос 2"}}) {
        library.Load(File());
        library.groups.clear();
        for (const std::string& name : c.existing) {
            library.groups.push_back({name, {}});
        }
        library.AddGroup();
        EXPECT_EQ(library.groups.back().name, c.expected);
    }
    EXPECT_TRUE(dir.Exists("macro.xml"));
}

TEST_F(MacroLibraryTest, RenameAndDeleteReportWhatTheyDid) {
    library.Load(File());
    library.groups = {{"a", {}}, {"b", {}}};
    EXPECT_FALSE(library.RenameGroup(0, "a"));
    EXPECT_FALSE(dir.Exists("macro.xml"));  // nothing changed, nothing written
    EXPECT_FALSE(library.RenameGroup(2, "c"));
    EXPECT_TRUE(library.RenameGroup(1, "A"));
    EXPECT_EQ(library.groups[1].name, "A");
    EXPECT_FALSE(library.DeleteGroup(2));
    EXPECT_FALSE(library.DeleteGroup(-1));
    EXPECT_TRUE(library.DeleteGroup(0));
    ASSERT_EQ(library.groups.size(), 1u);
    EXPECT_EQ(library.groups[0].name, "A");
}

TEST_F(MacroLibraryTest, GroupAtFallsBackToTheSelectedGroup) {
    library.groups = {{"a", {}}, {"b", {}}};
    library.group = 1;
    EXPECT_EQ(library.GroupAt(-1)->name, "b");
    EXPECT_EQ(library.GroupAt(0)->name, "a");
    EXPECT_EQ(library.GroupAt(2), nullptr);
    library.group = 5;
    EXPECT_EQ(library.GroupAt(-1), nullptr);
}

TEST_F(MacroLibraryTest, ResetKeepsThePath) {
    library.Load(File());
    library.groups = {{"a", {}}};
    library.repeat = 9;
    library.recording = true;
    library.ResetToDefaults();
    EXPECT_TRUE(library.groups.empty());
    EXPECT_EQ(library.repeat, 1);
    EXPECT_FALSE(library.recording);
    EXPECT_EQ(library.path(), File());
}

TEST_F(MacroLibraryTest, DamagedFileIsKeptBeforeItIsOverwritten) {
    const std::string damaged = "<macro><group name='mine'>";
    dir.Write("macro.xml", damaged);
    EXPECT_FALSE(library.Load(File()));
    EXPECT_TRUE(library.groups.empty());
    EXPECT_EQ(dir.Read("macro.xml"), damaged);  // loading never writes

    library.AddGroup();
    EXPECT_EQ(dir.Read("macro.xml.bad"), damaged);
    library.AddGroup();  // kept once, not again on every save
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"macro.xml", "macro.xml.bad"}));
}

TEST_F(MacroLibraryTest, DeclarationOnlyFileIsAnEmptyLibrary) {
    dir.Write("macro.xml", "<?xml version=\"1.0\"?>\n");
    library.groups = {{"stale", {}}};
    EXPECT_TRUE(library.Load(File()));
    EXPECT_TRUE(library.groups.empty());
    library.Save();
    EXPECT_FALSE(dir.Exists("macro.xml.bad"));
}

TEST_F(MacroLibraryTest, EmptyPathChangesNothing) {
    library.groups = {{"a", {}}};
    EXPECT_FALSE(library.Load({}));
    EXPECT_EQ(library.groups.size(), 1u);
}

}  // namespace
}  // namespace keyrig
