#include "store/key_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace keyrig {
namespace {

struct LookupCase {
    KeyCode code;
    const char* name;
    uint32_t makeCode;
};

std::ostream& operator<<(std::ostream& out, const LookupCase& c) {
    return out << std::hex << "0x" << c.code;
}

class KeyLookupTest : public testing::TestWithParam<LookupCase> {};

TEST_P(KeyLookupTest, FindsTheRow) {
    const LookupCase& c = GetParam();
    const KeyTableEntry& entry = FindKey(c.code);
    EXPECT_STREQ(entry.name, c.name);
    EXPECT_EQ(entry.makeCode, c.makeCode);
    EXPECT_EQ(entry.code(), *c.name ? c.code : 0u);
    EXPECT_EQ(&FindKeyByUsage(UsageIdOf(c.code), UsagePageOf(c.code)), &entry);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KeyLookupTest,
    testing::Values(
        LookupCase{0x00070004, "A", 0x1E}, LookupCase{0x000700E3, "Left GUI", 0xE05B},
        LookupCase{0x00070000, "No Event", kNoScanCode},
        LookupCase{0x000C00E9, "Volume Up", 0xE030},
        LookupCase{0x00070080, "Volume Up", kNoScanCode},
        LookupCase{0x00010001, "Mouse Left", kNoScanCode},
        LookupCase{0x00010081, "System Power", 0xE05E}, LookupCase{0x00070066, "Power", 0xE05E},
        LookupCase{0x00070049, "Insert", 0xE052}, LookupCase{0x00070044, "F11", 0x57},
        LookupCase{0x00070073, "F24", 0x76}, LookupCase{0x00070031, "\\", 0x2B},
        LookupCase{0x00070032, "Europe 1", 0x2B}, LookupCase{0x00070085, "Keypad , ", 0x7E},
        LookupCase{0x00070088, "Intl'2", 0x70}, LookupCase{0x00070089, "Int'l 2", 0x7D},
        LookupCase{0x0007008C, "Int'l 6", 0x5C}, LookupCase{0x00070094, "Lang 5", 0x76},
        LookupCase{0x0007005F, "Keypad 7", 0x47}, LookupCase{0x000C022A, "WWW Favorites", 0xE066},
        // Keys the table lacks.
        LookupCase{0, "", 0}, LookupCase{0x000700A5, "", 0}, LookupCase{0x00090001, "", 0},
        LookupCase{0x00010006, "", 0}));

TEST(KeyTable, HasEveryKeyOnceInDisplayOrder) {
    const auto table = KeyTable();
    ASSERT_EQ(table.size(), 205u);
    std::set<KeyCode> codes;
    for (const KeyTableEntry& entry : table) {
        EXPECT_TRUE(codes.insert(entry.code()).second) << entry.name;
        EXPECT_NE(std::string(entry.name), "");
        EXPECT_EQ(entry.extraCode, kNoScanCode);
    }
    EXPECT_STREQ(table[0].name, "System Power");
    EXPECT_STREQ(table[3].name, "No Event");
    EXPECT_STREQ(table[3 + 165].name, "Left Control");
    EXPECT_STREQ(table[3 + 173].name, "Scan Next Track");
    EXPECT_STREQ(table[204].name, "Mouse Right Side");
}

TEST(KeyTable, BreakCodeIsMakeCodeWithTheReleaseBit) {
    for (const KeyTableEntry& entry : KeyTable()) {
        if (entry.makeCode != kNoScanCode && entry.breakCode != kNoScanCode) {
            EXPECT_EQ(entry.breakCode, entry.makeCode | 0x80) << entry.name;
        }
    }
    // The keys that send a make code and nothing on release.
    for (const uint16_t usage : {0x01, 0x02, 0x90, 0x91}) {
        const KeyTableEntry& entry = FindKeyByUsage(usage, kKeyboardPage);
        EXPECT_NE(entry.makeCode, kNoScanCode) << entry.name;
        EXPECT_EQ(entry.breakCode, kNoScanCode) << entry.name;
    }
    EXPECT_EQ(FindKey(0x00070049).breakCode, 0xE0D2u);
    EXPECT_EQ(FindKey(0x00070004).breakCode, 0x9Eu);
}

TEST(KeyTable, EmptyEntryIsAllZero) {
    EXPECT_EQ(emptyKeyEntry.code(), 0u);
    EXPECT_EQ(emptyKeyEntry.makeCode, 0u);
    EXPECT_EQ(emptyKeyEntry.breakCode, 0u);
    EXPECT_EQ(emptyKeyEntry.extraCode, 0u);
    EXPECT_STREQ(emptyKeyEntry.name, "");
}

}  // namespace
}  // namespace keyrig
