// The number texts of the settings files: "%d" and "%.2f" out, the longest
// leading decimal number in, and odd texts that must not reach an
// undefined conversion.
#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "settings/ini_values.h"

namespace {

TEST(IniValues, RealsAreWrittenWithTwoDecimals) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.0, "0.00"},     {0.5, "0.50"},    {0.666, "0.67"},
      {0.333, "0.33"},   {-0.0, "-0.00"},  {0.125, "0.12"},  // exactly halfway in binary: to even, as printf does
      {0.375, "0.38"},   {2.675, "2.67"},  {-1.005, "-1.00"},
      {100.0, "100.00"}, {1e-300, "0.00"}, {123456789.125, "123456789.12"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatIniReal(c.value), c.text) << c.value;
  EXPECT_EQ(FormatIniReal(std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(FormatIniReal(-std::numeric_limits<double>::infinity()), "-inf");
  const std::string huge = FormatIniReal(1e300);
  EXPECT_EQ(huge.size(), 304u);
  EXPECT_EQ(huge.substr(0, 17), "10000000000000000");
  EXPECT_EQ(huge.substr(301), ".00");
}

TEST(IniValues, IntegersAreWrittenAsDecimal) {
  EXPECT_EQ(FormatIniInt(0), "0");
  EXPECT_EQ(FormatIniInt(250), "250");
  EXPECT_EQ(FormatIniInt(-7), "-7");
  EXPECT_EQ(FormatIniInt(INT32_MIN), "-2147483648");
}

TEST(IniValues, IntegerTexts) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"10", 10},
      {"-5", -5},
      {"+7", 7},
      {"  42", 42},
      {"12abc", 12},
      {"3.9", 3},
      {"1e3", 1},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"-0", 0},
      {"0x10", 0},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"2147483648", 0},
      {"-2147483649", 0},
      {"99999999999", 0},
      {"000000000000000000000000000000001", 1},
      {"1e308", 1},
      {"nan", 0},
      {" \t-3", -3},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseIniInt(c.text), c.value) << '"' << c.text << '"';
  EXPECT_EQ(ParseIniInt(std::string(100000, '9')), 0) << "enormous number";
  EXPECT_EQ(ParseIniInt(std::string(100000, '0') + "5"), 5) << "enormous run of zeros";
}

TEST(IniValues, RealTexts) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"0.67", 0.67},   {"-1.5", -1.5},   {"+2", 2.0},
      {".5", 0.5},      {"5.", 5.0},      {"1e3", 1000.0},
      {"2.5E-1", 0.25}, {"1e", 1.0},      {"1e+", 1.0},
      {"3.25x", 3.25},  {"  0.5", 0.5},   {"abc", 0.0},
      {"", 0.0},        {".", 0.0},       {"-.", 0.0},
      {"e5", 0.0},      {"1e308", 1e308}, {"-1e308", -1e308},
      {"1e309", 0.0},   {"-1e999", 0.0},  {"nan", 0.0},
      {"NaN", 0.0},     {"inf", 0.0},     {"-infinity", 0.0},
      {"0x1p3", 0.0},   {"1,5", 1.0},     {"99999999999", 99999999999.0},
      {"1e-400", 0.0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseIniReal(c.text), c.value) << '"' << c.text << '"';
  const double negative_zero = ParseIniReal("-0");
  EXPECT_EQ(negative_zero, 0.0);
  EXPECT_TRUE(std::signbit(negative_zero)) << "-0 can be represented and is used";
  EXPECT_EQ(ParseIniReal(std::string(5000, '9')), 0.0) << "beyond a double";
  EXPECT_EQ(ParseIniReal("0." + std::string(5000, '0') + "1"), 0.0);
  EXPECT_EQ(ParseIniReal("1." + std::string(5000, '0') + "1"), 1.0);
}

TEST(IniValues, RealDefaultIsRoundedAndCut) {
  EXPECT_EQ(IniRealDefault(0.333), "0.33");
  EXPECT_EQ(ParseIniReal(IniRealDefault(0.333)), 0.33);
  EXPECT_EQ(ParseIniReal(IniRealDefault(0.5)), 0.5);
  // 1e300 has 301 digits before the point; the cut keeps 256 of them.
  EXPECT_EQ(IniRealDefault(1e300).size(), 256u);
  EXPECT_EQ(ParseIniReal(IniRealDefault(1e300)), 1e255);
  EXPECT_EQ(IniIntDefault(-12), "-12");
}

TEST(IniValues, TextsDoNotFollowTheProcessLocale) {
  // A host may switch its locale to one with a decimal comma.
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  const char* const candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "German", "French"};
  bool switched = false;
  for (const char* name : candidates) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      switched = true;
      break;
    }
  }
  const std::string written = FormatIniReal(0.5);
  const double read = ParseIniReal("0.75");
  std::setlocale(LC_ALL, saved.c_str());
  if (!switched) GTEST_SKIP() << "no locale with a decimal comma installed";
  EXPECT_EQ(written, "0.50");
  EXPECT_EQ(read, 0.75);
}

}  // namespace
