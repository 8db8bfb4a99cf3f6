#include "platform/text/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace {

using namespace platform;

TEST(NumberTextTest, DecimalIntegerRuleTakesLeadingDigitsAndSaturates) {
  EXPECT_EQ(ParseDecimalInt("  16000 Hz"), 16000);
  EXPECT_EQ(ParseDecimalInt("\t-3x"), -3);
  EXPECT_EQ(ParseDecimalInt("+7"), 7);
  EXPECT_EQ(ParseDecimalInt("x12"), 0);
  EXPECT_EQ(ParseDecimalInt(""), 0);
  EXPECT_EQ(ParseDecimalInt("- 5"), 0);
  EXPECT_EQ(ParseDecimalInt("2147483647"), 2147483647);
  EXPECT_EQ(ParseDecimalInt("2147483648"), 2147483647);
  EXPECT_EQ(ParseDecimalInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseDecimalInt("-99999999999999999999"), -2147483647 - 1);
}

TEST(NumberTextTest, UnsignedRuleNegatesModulo2To32AndRefusesWhatDoesNotFit) {
  EXPECT_EQ(ParseUnsigned32(" 300abc"), 300U);
  EXPECT_EQ(ParseUnsigned32("-1"), 4294967295U);
  EXPECT_EQ(ParseUnsigned32("4294967295"), 4294967295U);
  EXPECT_FALSE(ParseUnsigned32("4294967296"));
  EXPECT_FALSE(ParseUnsigned32("abc"));
  EXPECT_FALSE(ParseUnsigned32(""));
}

TEST(NumberTextTest, SingleRuleRoundsToFloatAndRefusesOverflow) {
  EXPECT_EQ(static_cast<double>(*ParseSingle("0.707")), 0.7070000171661377);
  EXPECT_EQ(*ParseSingle(" -30 dB"), -30.0f);
  EXPECT_EQ(*ParseSingle("1.5e2"), 150.0f);
  EXPECT_FALSE(ParseSingle("1e39"));
  EXPECT_FALSE(ParseSingle("dB"));
  EXPECT_EQ(*ParseSingle("1e-50"), 0.0f);  // underflow is a value, not an error
}

TEST(NumberTextTest, DoubleRuleGivesZeroForText) {
  EXPECT_EQ(ParseDouble("0.2"), 0.2);
  EXPECT_EQ(ParseDouble("letters"), 0.0);
  EXPECT_EQ(ParseDouble("  12.5kHz"), 12.5);
}

// What C99 strtod reads as infinite or not a number, on every system: the C library of
// Windows reads none of these words, and a settings file must mean the same on both.
TEST(NumberTextTest, InfinityAndNotANumberReadAlikeOnEverySystem) {
  for (const char* text : {"inf", "INF", " +Infinity", "infx", "\tinf"}) {
    ASSERT_TRUE(ParseNumber(text).has_value()) << text;
    EXPECT_EQ(*ParseNumber(text), HUGE_VAL) << text;
  }
  EXPECT_EQ(ParseNumber("-inf").value_or(0.0), -HUGE_VAL);
  EXPECT_EQ(ParseDouble("-Inf"), -HUGE_VAL);
  for (const char* text : {"nan", "NaN", "-nan", "nan(1)"}) {
    ASSERT_TRUE(ParseNumber(text).has_value()) << text;
    EXPECT_TRUE(std::isnan(*ParseNumber(text))) << text;
  }
  for (const char* text : {"in", "na", "-", "i nf", "abc", ""}) {
    EXPECT_FALSE(ParseNumber(text).has_value()) << text;
  }
}

TEST(NumberTextTest, FixedFormatMatchesPrintfSixDecimals) {
  EXPECT_EQ(FormatFixed6(10.0), "10.000000");
  EXPECT_EQ(FormatFixed6(0.7070000171661377), "0.707000");
  EXPECT_EQ(FormatFixed6(-30.0), "-30.000000");
  EXPECT_EQ(FormatFixed6(11.204081632653061), "11.204082");
  EXPECT_EQ(FormatFixed6(0.0000005), "0.000000");  // 5e-7 is stored just below the half
  EXPECT_EQ(FormatFixed6(2.5e-6), "0.000003");
}

// Parsing and formatting must not follow LC_NUMERIC: a locale with a decimal comma would
// otherwise write "10,000000" into a settings file and misread "0.707".
TEST(NumberTextTest, CommaLocaleChangesNothing) {
  const char* const candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
  const char* chosen = nullptr;
  for (const char* name : candidates) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      chosen = name;
      break;
    }
  }
  if (chosen == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  EXPECT_EQ(FormatFixed6(10.0), "10.000000");
  EXPECT_EQ(ParseDouble("0.25"), 0.25);
  EXPECT_EQ(*ParseSingle("0.5"), 0.5f);
  std::setlocale(LC_NUMERIC, "C");
}

}  // namespace
