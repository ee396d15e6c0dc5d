// The settings dialog's data exchange without a window: the parsing rules
// of the edits, the tone encoding, and the save half's first-failure rule,
// on a table of fake controls.
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/sample_settings.h"
#include "ui/data_exchange.h"

namespace {

TEST(ParseLeadingInteger, TakesTheLongestLeadingNumber) {
  const struct {
    const char* text;
    bool ok;
    int64_t value;
  } cases[] = {
      {"12", true, 12},
      {"12abc", true, 12},
      {"  7", true, 7},
      {"\t-5x", true, -5},
      {"+9", true, 9},
      {"0", true, 0},
      {"007", true, 7},
      {"12.9", true, 12},
      {"1e3", true, 1},
      {"0x10", true, 0},
      {"", false, 0},
      {"   ", false, 0},
      {"abc", false, 0},
      {"-", false, 0},
      {"+ 5", false, 0},
      {".5", false, 0},
      {"99999999999999999999", true, 2147483647},
      {"-99999999999999999999", true, -2147483648LL},
  };
  for (const auto& c : cases) {
    const std::optional<int64_t> value = ParseLeadingInteger(c.text);
    EXPECT_EQ(value.has_value(), c.ok) << "'" << c.text << "'";
    if (value && c.ok) {
      EXPECT_EQ(*value, c.value) << "'" << c.text << "'";
    }
  }
}

TEST(ParseLeadingReal, TakesDigitsPointAndExponent) {
  const struct {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {"0.5", true, 0.5},   {"  -1", true, -1.0},    {"2", true, 2.0},  {"+.25", true, 0.25}, {"5.", true, 5.0},
      {"1e2", true, 100.0}, {"1.5E-1x", true, 0.15}, {"3e", true, 3.0}, {"3e+", true, 3.0},   {"2.5abc", true, 2.5},
      {"0.1", true, 0.1},   {"120", true, 120.0},    {"", false, 0},    {".", false, 0},      {"e5", false, 0},
      {"-.", false, 0},     {"abc", false, 0},       {"inf", false, 0}, {"nan", false, 0},    {"1e-999", true, 0.0},
  };
  for (const auto& c : cases) {
    const std::optional<double> value = ParseLeadingReal(c.text);
    EXPECT_EQ(value.has_value(), c.ok) << "'" << c.text << "'";
    if (value && c.ok) {
      EXPECT_EQ(*value, c.value) << "'" << c.text << "'";
    }
  }
  const std::optional<double> huge = ParseLeadingReal("1e999");
  ASSERT_TRUE(huge);
  EXPECT_TRUE(std::isinf(*huge)) << "too large fails every range instead of wrapping";
}

TEST(ToneEncoding, OpensEveryFilterParamAndSavesItBack) {
  const struct {
    int32_t filter_param;
    int32_t kind;
    int32_t index;
    int32_t saved;  // what an unchanged OK stores (a list index outside 0-5 shows no item)
  } cases[] = {
      {0, 0, 0, 0},      {2, 0, 2, 2},       {5, 0, 5, 5},       {6, 0, 6, -1},      {15, 0, 15, -1},
      {-1, 0, -1, -1},   {-7, 0, -7, -1},    {0x10, 1, 0, 0x10}, {0x13, 1, 3, 0x13}, {0x15, 1, 5, 0x15},
      {0x1A, 1, 10, -1}, {0x20, 1, 0, 0x10}, {0x33, 1, 3, 0x13},
  };
  for (const auto& c : cases) {
    const ToneControls tone = ToneFromFilterParam(c.filter_param);
    EXPECT_EQ(tone.kind, c.kind) << c.filter_param;
    EXPECT_EQ(tone.list_index, c.index) << c.filter_param;
    const int32_t shown = tone.list_index >= 0 && tone.list_index <= 5 ? tone.list_index : -1;
    EXPECT_EQ(FilterParamFromTone(tone.kind, shown), c.saved) << c.filter_param;
  }
  EXPECT_EQ(FilterParamFromTone(-1, 4), 4) << "neither radio button checked";
  EXPECT_EQ(FilterParamFromTone(1, -1), -1) << "no item stays -1 with Sepia";
}

// Controls kept in maps; every prompt is recorded.
class FakeControls : public DialogControls {
 public:
  bool IsChecked(int id) override { return checks[id]; }
  void SetChecked(int id, bool checked) override { checks[id] = checked; }
  std::string GetText(int id) override { return texts[id]; }
  void SetText(int id, const std::string& text) override { texts[id] = text; }
  int32_t GetListSelection(int id) override { return lists.count(id) ? lists[id] : -1; }
  void SetListSelection(int id, int32_t index) override { lists[id] = index; }
  uint16_t GetHotkey(int) override { return hotkey; }
  void SetHotkey(int, uint16_t value) override { hotkey = value; }
  void RejectValue(int id, const std::string& prompt) override { rejected.push_back({id, prompt}); }

  std::map<int, bool> checks;
  std::map<int, std::string> texts;
  std::map<int, int32_t> lists;
  uint16_t hotkey = 0;
  std::vector<std::pair<int, std::string>> rejected;
};

// Sepia, channel weighting 3 (the list's fourth item).
FilterSettings Sample() { return EveryStageOn(0x13); }

TEST(DataExchange, LoadHalfFillsEveryControlAndSaveHalfReadsItBack) {
  FakeControls controls;
  PutValues(Sample(), 1, 0x0241, controls);
  EXPECT_EQ(controls.texts[1012], "0.5");
  EXPECT_EQ(controls.texts[1016], "2");
  EXPECT_EQ(controls.texts[1017], "150");
  EXPECT_EQ(controls.texts[1018], "9");
  EXPECT_EQ(controls.texts[1024], "40");
  EXPECT_EQ(controls.lists[1010], 3);
  EXPECT_FALSE(controls.checks[1007]);
  EXPECT_TRUE(controls.checks[1008]);
  for (int id : {1001, 1015, 1022, 1023, 1025, 1026}) EXPECT_TRUE(controls.checks[id]) << id;
  EXPECT_EQ(controls.hotkey, 0x0241);

  FilterSettings pending;
  int32_t enabled = 0;
  uint16_t hotkey = 0;
  ASSERT_TRUE(SaveValues(controls, pending, enabled, hotkey));
  EXPECT_EQ(pending, Sample());
  EXPECT_EQ(enabled, 1);
  EXPECT_EQ(hotkey, 0x0241);
  EXPECT_TRUE(controls.rejected.empty());
}

// Each switch on its own: a check box bound to the wrong field, or put or
// read the wrong way round, shows as another switch moving.
TEST(DataExchange, EachSwitchReachesItsOwnField) {
  const struct {
    int id;
    int32_t FilterSettings::*field;
  } cases[] = {
      {1001, nullptr},  // the plug-in's own switch
      {1015, &FilterSettings::USMEnable},
      {1022, &FilterSettings::ToneFilter},
      {1023, &FilterSettings::Defog},
      {1025, &FilterSettings::AutoLevels},
      {1026, &FilterSettings::GammaAdj},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    FilterSettings only = EveryStageOn(0);
    only.ToneFilter = only.GammaAdj = only.Defog = only.AutoLevels = only.USMEnable = 0;
    if (c.field != nullptr) only.*c.field = 1;
    FakeControls controls;
    PutValues(only, c.field == nullptr ? 1 : 0, 0, controls);
    for (const auto& other : cases) EXPECT_EQ(controls.checks[other.id], other.id == c.id) << other.id;
    FilterSettings pending;
    int32_t enabled = 7;
    uint16_t hotkey = 0;
    ASSERT_TRUE(SaveValues(controls, pending, enabled, hotkey));
    EXPECT_EQ(pending, only);
    EXPECT_EQ(enabled, c.field == nullptr ? 1 : 0);
  }
}

// Every tone choice the list offers, grayscale and sepia, opens with its
// item and radio button and comes back unchanged from an untouched OK.
TEST(DataExchange, EveryToneChoiceRoundTrips) {
  for (int32_t filter_param : {0, 1, 2, 3, 4, 5, 16, 17, 18, 19, 20, 21}) {
    SCOPED_TRACE(filter_param);
    FakeControls controls;
    PutValues(EveryStageOn(filter_param), 1, 0, controls);
    EXPECT_EQ(controls.lists[1010], filter_param & 0x0F);
    EXPECT_EQ(controls.checks[1007], filter_param < 16) << "Grayscale";
    EXPECT_EQ(controls.checks[1008], filter_param >= 16) << "Sepia";
    FilterSettings pending;
    int32_t enabled = 0;
    uint16_t hotkey = 0;
    ASSERT_TRUE(SaveValues(controls, pending, enabled, hotkey));
    EXPECT_EQ(pending.FilterParam, filter_param);
    EXPECT_EQ(pending, EveryStageOn(filter_param));
  }
}

TEST(DataExchange, RangesAndPromptsOfEachEdit) {
  const struct {
    int id;
    const char* text;
    const char* prompt;  // nullptr: accepted
  } cases[] = {
      {1012, "2.5", "Please enter a number between -1 and 2."},
      {1012, "-1", nullptr},
      {1012, "2", nullptr},
      {1012, "-1.01", "Please enter a number between -1 and 2."},
      {1012, "x", "Please enter a number."},
      {1016, "0.05", "Please enter a number between 0.1 and 120."},
      {1016, "0.1", nullptr},
      {1016, "120", nullptr},
      {1016, "120.5", "Please enter a number between 0.1 and 120."},
      {1017, "0", "Please enter an integer between 1 and 500."},
      {1017, "500", nullptr},
      {1017, "501", "Please enter an integer between 1 and 500."},
      {1017, "12abc", nullptr},
      {1017, "", "Please enter an integer."},
      {1024, "0", "Please enter an integer between 1 and 100."},
      {1024, "100", nullptr},
      {1018, "0", nullptr},
      {1018, "255", nullptr},
      {1018, "256", "Please enter an integer between 0 and 255."},
      {1018, "-1", "Please enter an integer between 0 and 255."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + " '" + c.text + "'");
    FakeControls controls;
    PutValues(Sample(), 1, 0, controls);
    controls.texts[c.id] = c.text;
    FilterSettings pending;
    pending.USMAmount = 77;  // marks the record as untouched
    int32_t enabled = 5;
    uint16_t hotkey = 0x55;
    const bool ok = SaveValues(controls, pending, enabled, hotkey);
    EXPECT_EQ(ok, c.prompt == nullptr);
    if (c.prompt == nullptr) {
      EXPECT_TRUE(controls.rejected.empty());
      EXPECT_EQ(hotkey, 0);
    } else {
      ASSERT_EQ(controls.rejected.size(), 1u);
      EXPECT_EQ(controls.rejected[0].first, c.id);
      EXPECT_EQ(controls.rejected[0].second, c.prompt);
      EXPECT_EQ(pending.USMAmount, 77) << "Pending untouched";
      EXPECT_EQ(enabled, 5) << "Enabled untouched";
      EXPECT_EQ(hotkey, 0x55) << "HotKey untouched";
    }
  }
}

TEST(DataExchange, FirstFailureStopsAndKeepsWhatWasReadBefore) {
  FakeControls controls;
  PutValues(Sample(), 1, 0, controls);
  // Order of reading: 1001, 1012, 1010 with 1007/1008, 1016, 1018, 1015, 1025, 1023, 1024, 1017, ...
  controls.texts[1012] = "1.25";
  controls.texts[1018] = "300";  // fails
  controls.texts[1017] = "0";    // would fail too, but is never read
  controls.lists[1010] = 4;
  controls.checks[1022] = false;  // read after the failure

  FilterSettings read = Sample();
  int32_t enabled = 0;
  EXPECT_FALSE(TakeValues(controls, read, enabled));
  ASSERT_EQ(controls.rejected.size(), 1u);
  EXPECT_EQ(controls.rejected[0].first, 1018);
  EXPECT_EQ(read.GammaVal, 1.25) << "read before the failure: kept";
  EXPECT_EQ(read.FilterParam, 0x14) << "read before the failure: kept";
  EXPECT_EQ(read.USMThreshold, 9) << "the failing value is not taken";
  EXPECT_EQ(read.ToneFilter, 1) << "read after the failure: never read";
  EXPECT_EQ(enabled, 1);

  FilterSettings pending = Sample();
  enabled = 0;
  uint16_t hotkey = 7;
  EXPECT_FALSE(SaveValues(controls, pending, enabled, hotkey));
  EXPECT_EQ(pending, Sample());
  EXPECT_EQ(enabled, 0);
  EXPECT_EQ(hotkey, 7);
}

TEST(DataExchange, NoRadioCheckedAndNoItemSelected) {
  FakeControls controls;
  PutValues(Sample(), 0, 0, controls);
  controls.checks[1007] = controls.checks[1008] = false;
  controls.lists[1010] = -1;
  FilterSettings pending;
  int32_t enabled = 1;
  uint16_t hotkey = 0;
  ASSERT_TRUE(SaveValues(controls, pending, enabled, hotkey));
  EXPECT_EQ(pending.FilterParam, -1);
  EXPECT_EQ(enabled, 0);
}

}  // namespace
