// The settings' numbers as text: the one leading-real scanner behind the
// dialog's edits and the settings files (each reader's own rules are in
// ui_data_exchange_test.cpp and ini_values_test.cpp), and the general
// format of reals.
#include <string>

#include <gtest/gtest.h>

#include "settings/setting_text.h"

namespace {

TEST(ScanLeadingReal, NumbersBeyondADoubleAreToldLargeOrSmallByTheirMagnitude) {
  using Kind = LeadingReal::Kind;
  const std::string zeros(400, '0');
  const struct {
    std::string text;
    Kind kind;
    bool negative;
  } cases[] = {
      {"1e999", Kind::kTooLarge, false},
      {"-1e999", Kind::kTooLarge, true},
      {"1e-999", Kind::kTooSmall, false},
      {" -1e-999x", Kind::kTooSmall, true},
      {"1" + zeros, Kind::kTooLarge, false},
      {"0." + zeros + "1", Kind::kTooSmall, false},
      {"000" + zeros + "1e-700", Kind::kTooSmall, false},
      // A long mantissa decides against the sign of its exponent.
      {"1" + zeros + "e-10", Kind::kTooLarge, false},
      {"0." + zeros + "1e+10", Kind::kTooSmall, false},
      // Exponents far beyond any integer type.
      {"1e99999999999999999999999999", Kind::kTooLarge, false},
      {"1e-99999999999999999999999999", Kind::kTooSmall, false},
      {"0e99999999999999999999999999", Kind::kNumber, false},
      {"1e308", Kind::kNumber, false},
      {"e5", Kind::kNone, false},
  };
  for (const auto& c : cases) {
    const LeadingReal real = ScanLeadingReal(c.text);
    EXPECT_EQ(static_cast<int>(real.kind), static_cast<int>(c.kind)) << c.text.substr(0, 40);
    EXPECT_EQ(real.negative, c.negative) << c.text.substr(0, 40);
  }
  EXPECT_EQ(ScanLeadingReal("0e99999999999999999999999999").value, 0.0);
}

TEST(FormatReal, GeneralFormatFifteenDigits) {
  EXPECT_EQ(FormatReal(0.5), "0.5");
  EXPECT_EQ(FormatReal(2.0), "2");
  EXPECT_EQ(FormatReal(-1.0), "-1");
  EXPECT_EQ(FormatReal(0.1), "0.1");
  EXPECT_EQ(FormatReal(120.0), "120");
  EXPECT_EQ(FormatReal(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(FormatReal(0.0), "0");
}

}  // namespace
