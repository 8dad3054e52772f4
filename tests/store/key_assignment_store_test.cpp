#include "store/key_assignment_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/golden.h"
#include "support/temp_dir.h"

namespace keyrig {
namespace {

class KeyAssignmentStoreTest : public testing::Test {
  protected:
    std::filesystem::path File() const { return dir / "record.xml"; }
    const KeyAssignments& Assignments() {
        snapshot = store.Snapshot();
        return *snapshot;
    }
    test::TempDir dir;
    KeyAssignmentStore store;
    std::shared_ptr<const KeyAssignments> snapshot;
};

const KeyAssignment kAtoB{
    0x00070004, KindSingleKey, PlaySingleKey, 1, "A", "B", {{0x00070005, 0, 0, "B"}}};
const KeyAssignment kF1Macro{0x0007003A,
                             KindMacro,
                             PlayCount,
                             3,
                             "F1",
                             "Макрос 0",
                             {{0x00070006, 1, 50, "C"}, {0x00070006, 0, 10, "C"}}};

TEST_F(KeyAssignmentStoreTest, WritesTheFileByteForByte) {
    store.Load(File());
    store.Put(kAtoB);
    store.Put(kF1Macro);
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(dir.Read("record.xml"), test::Golden("record.xml"));

    KeyAssignmentStore reloaded;
    ASSERT_TRUE(reloaded.Load(File()));
    EXPECT_EQ(*reloaded.Snapshot(), (KeyAssignments{kAtoB, kF1Macro}));
}

TEST_F(KeyAssignmentStoreTest, EmptyStoreWritesTheDeclarationOnlyAndLoadsBackEmpty) {
    store.Load(File());
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(dir.Read("record.xml"), "<?xml version=\"1.0\"?>\n");
    store.Put(kAtoB);
    EXPECT_TRUE(store.Load(File()));
    EXPECT_TRUE(Assignments().empty());
    store.Save();
    EXPECT_FALSE(dir.Exists("record.xml.bad"));
}

TEST_F(KeyAssignmentStoreTest, CodesReadAsHexadecimalInEitherCase) {
    for (const char* code : {"0x7003a", "7003a", "7003A", "0X7003A"}) {
        dir.Write("record.xml", std::string("<record code='") + code +
                                    "' play='2'><item code='0x70006'/></record>");
        ASSERT_TRUE(store.Load(File())) << code;
        ASSERT_EQ(Assignments().size(), 1u);
        EXPECT_EQ(Assignments()[0].code, 0x0007003Au) << code;
        EXPECT_EQ(Assignments()[0].steps[0].code, 0x00070006u) << code;
    }
    dir.Write("record.xml", "<record code='zz'/><record/>");
    ASSERT_TRUE(store.Load(File()));
    EXPECT_EQ(Assignments()[0].code, 0u);
    EXPECT_EQ(Assignments()[1].code, 0u);
}

TEST_F(KeyAssignmentStoreTest, MissingAttributesReadAsZeroOrEmpty) {
    dir.Write("record.xml",
              "<record code='70004'/><x code='70005' play='-3' type='2' repeat='4'><y/></x>");
    ASSERT_TRUE(store.Load(File()));
    ASSERT_EQ(Assignments().size(), 2u);
    EXPECT_EQ(Assignments()[0], (KeyAssignment{0x00070004, 0, 0, 0, "", "", {}}));
    EXPECT_EQ(Assignments()[1], (KeyAssignment{0x00070005, 2, -3, 4, "", "", {{0, 0, 0, ""}}}));
}

TEST_F(KeyAssignmentStoreTest, DuplicatesLoadAndChangesReachOnlyTheFirst) {
    dir.Write("record.xml",
              "<record code='70004' play='1' group='first'/><record code='70004' play='1' "
              "group='second'/>");
    ASSERT_TRUE(store.Load(File()));
    ASSERT_EQ(Assignments().size(), 2u);

    KeyAssignment replaced = kAtoB;
    replaced.group = "put";
    store.Put(replaced);
    ASSERT_EQ(Assignments().size(), 2u);
    EXPECT_EQ(Assignments()[0].group, "put");
    EXPECT_EQ(Assignments()[1].group, "second");

    EXPECT_TRUE(store.Remove(0x00070004));
    ASSERT_EQ(Assignments().size(), 1u);
    EXPECT_EQ(Assignments()[0].group, "second");
    EXPECT_TRUE(store.Remove(0x00070004));
    EXPECT_FALSE(store.Remove(0x00070004));
}

TEST_F(KeyAssignmentStoreTest, PutAppendsNewKeysInOrder) {
    store.Put(kF1Macro);
    store.Put(kAtoB);
    EXPECT_EQ(Assignments(), (KeyAssignments{kF1Macro, kAtoB}));
    store.Clear();
    EXPECT_TRUE(Assignments().empty());
}

TEST_F(KeyAssignmentStoreTest, FailedLoadKeepsTheStoreAndTheDamagedFile) {
    store.Put(kAtoB);
    const std::string damaged = "<record code='70004'><item";
    dir.Write("record.xml", damaged);
    EXPECT_FALSE(store.Load(File()));
    EXPECT_EQ(Assignments(), KeyAssignments{kAtoB});
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(dir.Read("record.xml.bad"), damaged);

    EXPECT_FALSE(store.Load(dir / "absent.xml"));
    EXPECT_EQ(Assignments(), KeyAssignments{kAtoB});
}

TEST_F(KeyAssignmentStoreTest, SnapshotIsUntouchedByLaterChanges) {
    store.Put(kAtoB);
    const auto before = store.Snapshot();
    store.Put(kF1Macro);
    store.Remove(kAtoB.code);
    EXPECT_EQ(*before, KeyAssignments{kAtoB});
    EXPECT_EQ(*store.Snapshot(), KeyAssignments{kF1Macro});
}

// The key-event listener walks the store while the UI changes it; a walk must always see one
// whole list (run under ThreadSanitizer as well).
TEST_F(KeyAssignmentStoreTest, WalkNeverOverlapsAChange) {
    std::atomic<bool> done = false;
    std::thread reader([&] {
        while (!done) {
            const auto assignments = store.Snapshot();
            for (const KeyAssignment& each : *assignments) {
                ASSERT_EQ(each.steps.size(), each.name.size());
            }
        }
    });
    for (int round = 0; round < 2000; ++round) {
        KeyAssignment changed;
        changed.code = static_cast<KeyCode>(round % 16);
        changed.name = std::string(static_cast<size_t>(round % 5), 'x');
        changed.steps.resize(changed.name.size());
        store.Put(changed);
        if (round % 7 == 0) {
            store.Remove(static_cast<KeyCode>(round % 16));
        }
    }
    done = true;
    reader.join();
}

}  // namespace
}  // namespace keyrig
