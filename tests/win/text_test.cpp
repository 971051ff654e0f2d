// The one decimal reader of the product, under each of its uses' rules.
#include "win/text.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct LeadingCase {
    const char* text;
    std::uint64_t value;
    size_t count;
};

TEST(Decimals, TheLeadingDigitsOfAText) {
    for (const LeadingCase& c : {LeadingCase{"", 0, 0}, LeadingCase{"x12", 0, 0}, LeadingCase{"8080:", 8080, 4},
                                 LeadingCase{"007", 7, 3}, LeadingCase{"15.0.2000.5", 15, 2},
                                 LeadingCase{"99999999999999999999999", UINT64_MAX, 23}}) {
        const text::LeadingDigits digits = text::ParseLeadingDigits(c.text);
        EXPECT_EQ(digits.value, c.value) << c.text;
        EXPECT_EQ(digits.count, c.count) << c.text;
    }
}

TEST(Decimals, AWholeTextOfAtMostSoManyDigits) {
    EXPECT_EQ(text::ParseDecimal("1000"), 1000u);
    EXPECT_EQ(text::ParseDecimal("000000000000000001", 18), 1u);
    EXPECT_EQ(text::ParseDecimal("1234567890123456789", 18), std::nullopt);
    EXPECT_EQ(text::ParseDecimal("18446744073709551615"), std::nullopt) << "more than 19 digits never fit";
    for (const char* bad : {"", "+1", "-1", " 1", "1 ", "1x", "0x10", "1.0"}) {
        EXPECT_EQ(text::ParseDecimal(bad), std::nullopt) << bad;
    }
}

TEST(Decimals, AtolSemanticsForTheFields) {
    EXPECT_EQ(text::ParseLong("  8080"), 8080);
    EXPECT_EQ(text::ParseLong("\t-42x"), -42);
    EXPECT_EQ(text::ParseLong("+7"), 7);
    EXPECT_EQ(text::ParseLong("1465 and more"), 1465);
    EXPECT_EQ(text::ParseLong("abc"), 0);
    EXPECT_EQ(text::ParseLong("99999999999999999999"), LONG_MAX);
    EXPECT_EQ(text::ParseLong("-99999999999999999999"), LONG_MIN);
}

}  // namespace
