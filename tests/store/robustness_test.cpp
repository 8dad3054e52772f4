// Files no user means to write, but some will have: they load as the rules say, never crash.
#include <gtest/gtest.h>

#include "store/key_assignment_store.h"
#include "store/lighting_store.h"
#include "store/macro_library.h"
#include "support/temp_dir.h"

namespace keyrig {
namespace {

std::string Repeat(const std::string& text, int times) {
    std::string result;
    result.reserve(text.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

TEST(Robustness, HugeFilesLoadWhole) {
    test::TempDir dir;
    dir.Write(
        "record.xml",
        Repeat("<record code='70004' play='2'><item code='70005' state='1'/></record>", 200000));
    KeyAssignmentStore store;
    ASSERT_TRUE(store.Load(dir / "record.xml"));
    EXPECT_EQ(store.Snapshot()->size(), 200000u);

    dir.Write("macro.xml",
              "<macro><group>" + Repeat("<item code='1'/>", 300000) + "</group></macro>");
    MacroLibrary library;
    ASSERT_TRUE(library.Load(dir / "macro.xml"));
    EXPECT_EQ(library.groups.at(0).steps.size(), 300000u);
}

TEST(Robustness, DeepNestingLoadsTheLevelsThatMatter) {
    test::TempDir dir;
    const int depth = 100000;
    dir.Write("record.xml", "<record code='70004' play='1'>" +
                                Repeat("<item code='70005'>", depth) + Repeat("</item>", depth) +
                                "</record>");
    KeyAssignmentStore store;
    ASSERT_TRUE(store.Load(dir / "record.xml"));
    ASSERT_EQ(store.Snapshot()->size(), 1u);
    EXPECT_EQ(store.Snapshot()->at(0).steps.size(), 1u);

    dir.Write("ledeffect.xml", "<effect sel='2'>" + Repeat("<item speed='1'>", depth) +
                                   Repeat("</item>", depth) + "</effect>");
    LightingStore lighting;
    ASSERT_TRUE(lighting.Load(dir / "ledeffect.xml"));
    EXPECT_EQ(lighting.slots[0].speed, 1);
    EXPECT_EQ(lighting.slots[1], LightingSlot{});
}

TEST(Robustness, WronglyNestedStoresLoadWhatTheyFind) {
    test::TempDir dir;
    // An enclosing root element hides the elements the loaders look for at the top level.
    dir.Write("macro.xml", "<root><macro><group name='a'/></macro></root>");
    MacroLibrary library;
    ASSERT_TRUE(library.Load(dir / "macro.xml"));
    EXPECT_TRUE(library.groups.empty());

    dir.Write("ledeffect.xml", "<root><effect sel='3'/></root>");
    LightingStore lighting;
    ASSERT_TRUE(lighting.Load(dir / "ledeffect.xml"));
    EXPECT_EQ(lighting.selection, 0);
}

TEST(Robustness, BytesThatAreNotUtf8SurviveASaveUnchanged) {
    test::TempDir dir;
    const std::string name = "\xff\xfe\xc0\x80 latin-1 \xe9";
    dir.Write("record.xml", "<record code='70004' play='1' name='" + name + "' group='g'/>");
    KeyAssignmentStore store;
    ASSERT_TRUE(store.Load(dir / "record.xml"));
    EXPECT_EQ(store.Snapshot()->at(0).name, name);
    ASSERT_TRUE(store.Save());
    KeyAssignmentStore reloaded;
    ASSERT_TRUE(reloaded.Load(dir / "record.xml"));
    EXPECT_EQ(reloaded.Snapshot()->at(0).name, name);
}

TEST(Robustness, MarkupInNamesIsEscaped) {
    test::TempDir dir;
    MacroLibrary library;
    library.Load(dir / "macro.xml");
    library.groups = {{"<a & \"b\" 'c'>\t\n", {{1, 1, 1, "]]>"}}}};
    ASSERT_TRUE(library.Save());
    MacroLibrary reloaded;
    ASSERT_TRUE(reloaded.Load(dir / "macro.xml"));
    EXPECT_EQ(reloaded.groups, library.groups);
}

}  // namespace
}  // namespace keyrig
