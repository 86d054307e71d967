#include "protocols/numbertext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace scale::test {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfAText) {
    const struct {
        std::string text;
        double value;
    } cases[] = {
        {"12", 12},
        {"1234.5", 1234.5},
        {"9600", 9600},
        {"0012.0=", 12},
        {"1234.5=", 1234.5},
        {"-2", -2},
        {"+4", 4},
        {".5", 0.5},
        {"-.5", -0.5},
        {"12.", 12},
        // Spaces, tabs and line feeds are ignored wherever they stand.
        {" 1 2 . 5 ", 12.5},
        {"\t-\n3", -3},
        {"1 000", 1000},
        {"- 7", -7},
        // Reading stops at the first character that does not fit.
        {"1.2.3", 1.2},
        {"12kg", 12},
        {"1-2", 1},
        {"1+2", 1},
        {"1,5", 1},
        {"1\r2", 1},
        {"1e5", 1},
        // No leading number reads as zero; so does a signed zero.
        {"", 0},
        {" \t\n", 0},
        {"abc", 0},
        {"kg12", 0},
        {"+", 0},
        {"-", 0},
        {".", 0},
        {"-.", 0},
        {"+-1", 0},
        {"--1", 0},
        {"\r1", 0},
        {"-0", 0},
        {"-0.000", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        const double value = leadingNumber(c.text);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(std::signbit(value), std::signbit(c.value));
    }
}

// Up to 15 significant digits, no trailing zeros, no point for a whole number, an exponent only
// where the magnitude needs one, and the given decimal separator in place of the full stop.
TEST(GeneralNumberText, WritesTheShortGeneralForm) {
    const struct {
        double value;
        std::string separator;
        std::string text;
    } cases[] = {
        {12, ".", "12"},
        {1234.5, ".", "1234.5"},
        {0.005, ".", "0.005"},
        {-2, ".", "-2"},
        {0, ".", "0"},
        {-0.0, ".", "0"},
        {100, ".", "100"},
        {-1.5, ".", "-1.5"},
        {0.1 + 0.2, ".", "0.3"},
        {1.0 / 3.0, ".", "0.333333333333333"},
        {2.0 / 3.0, ".", "0.666666666666667"},
        {123456789012345.0, ".", "123456789012345"},
        {123456789.123456789, ".", "123456789.123457"},
        {0.0001, ".", "0.0001"},
        {0.00001, ".", "1E-05"},
        {-1.5e-7, ".", "-1.5E-07"},
        {1e15, ".", "1E+15"},
        {123456789012345678.0, ".", "1.23456789012346E+17"},
        {1234.5, ",", "1234,5"},
        {-0.005, ",", "-0,005"},
        {12, ",", "12"},
        {1.5e-5, ",", "1,5E-05"},
        {1234.5, "\u066B", "1234\u066B5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(generalNumberText(c.value, c.separator), c.text);
    }
}

// Exactly the given number of decimals and at least one digit before the separator.
TEST(FixedDecimalText, WritesTheGivenNumberOfDecimals) {
    const struct {
        double value;
        int decimals;
        std::string separator;
        std::string text;
    } cases[] = {
        {12345, 0, ".", "12345"},
        {1234.5, 1, ".", "1234.5"},
        {123.45, 2, ".", "123.45"},
        {12.345, 3, ".", "12.345"},
        {1.2345, 4, ".", "1.2345"},
        {0, 0, ".", "0"},
        {0, 1, ".", "0.0"},
        {0, 4, ".", "0.0000"},
        {15, 1, ".", "15.0"},
        {0.15, 3, ".", "0.150"},
        {0.005, 3, ".", "0.005"},
        {99.9999, 4, ".", "99.9999"},
        {-1758.766, 3, ".", "-1758.766"},
        {-32000, 0, ".", "-32000"},
        {12.345, 3, ",", "12,345"},
        {12345, 0, ",", "12345"},
        {123.45, 2, "\u066B", "123\u066B45"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(fixedDecimalText(c.value, c.decimals, c.separator), c.text);
    }
}

}  // namespace
}  // namespace scale::test
