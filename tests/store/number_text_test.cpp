#include "store/number_text.h"

#include <gtest/gtest.h>

namespace keyrig {
namespace {

struct NumberCase {
    const char* text;
    int base;
    uint32_t asUnsigned;
    int32_t asSigned;
};

std::ostream& operator<<(std::ostream& out, const NumberCase& c) {
    return out << '"' << c.text << "\" base " << c.base;
}

class NumberTextTest : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberTextTest, ReadsLikeTheFilesExpect) {
    const NumberCase& c = GetParam();
    EXPECT_EQ(ReadUnsigned(c.text, c.base), c.asUnsigned) << '"' << c.text << '"';
    EXPECT_EQ(ReadSigned(c.text, c.base), c.asSigned) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberTextTest,
    testing::Values(
        // Decimal, as the data files write it.
        NumberCase{"458756", 10, 458756, 458756}, NumberCase{"", 10, 0, 0},
        NumberCase{"abc", 10, 0, 0}, NumberCase{"  \t12", 10, 12, 12},
        NumberCase{"12ab", 10, 12, 12}, NumberCase{"+7", 10, 7, 7},
        NumberCase{"-1", 10, 4294967295u, -1}, NumberCase{"-", 10, 0, 0},
        NumberCase{"4294967295", 10, 4294967295u, 2147483647},
        NumberCase{"4294967296", 10, 4294967295u, 2147483647},
        NumberCase{"99999999999999999999999", 10, 4294967295u, 2147483647},
        NumberCase{"-2147483648", 10, 2147483648u, -2147483647 - 1},
        NumberCase{"-99999999999", 10, 4294967295u, -2147483647 - 1}, NumberCase{"0x10", 10, 0, 0},
        // Hexadecimal, as record.xml and config.xml write it.
        NumberCase{"7003a", 16, 0x7003A, 0x7003A}, NumberCase{"0x7003a", 16, 0x7003A, 0x7003A},
        NumberCase{"7003A", 16, 0x7003A, 0x7003A}, NumberCase{"0X1a2b", 16, 0x1A2B, 0x1A2B},
        NumberCase{"1a2bz", 16, 0x1A2B, 0x1A2B}, NumberCase{"0x", 16, 0, 0},
        NumberCase{"0xg", 16, 0, 0}, NumberCase{"zz", 16, 0, 0},
        NumberCase{"-1", 16, 0xFFFFFFFF, -1}, NumberCase{"ffffffff", 16, 0xFFFFFFFF, 2147483647},
        NumberCase{"1ffffffff", 16, 0xFFFFFFFF, 2147483647},
        NumberCase{"-80000000", 16, 0x80000000, -2147483647 - 1},
        NumberCase{" 0x000000000000c00e9", 16, 0xC00E9, 0xC00E9}));

TEST(NumberText, TellsWhatItSkipped) {
    EXPECT_TRUE(ParseNumber("1a2bz", 16).hasTrailingText);
    EXPECT_FALSE(ParseNumber(" 1a2b ", 16).hasTrailingText);
    EXPECT_FALSE(ParseNumber("", 10).hasDigits);
    EXPECT_TRUE(ParseNumber("123456789012", 10).overflow);
}

}  // namespace
}  // namespace keyrig
