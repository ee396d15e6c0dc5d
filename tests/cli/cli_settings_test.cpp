// The command line's setting checks against the settings dialog's ranges:
// the edges of every range, the tone choices, strict numbers, names in any
// case. (The refusals as a person meets them, with the real program, are in
// tests/cli/safety.sh.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/settings.h"
#include "tests/support/sample_settings.h"

namespace {

struct SettingCase {
  const char* text;
  bool accepted;
  const char* key;  // the store's spelling, when accepted
  double value;
};

TEST(CliSettings, AcceptsExactlyWhatTheDialogAccepts) {
  const SettingCase cases[] = {
      {"GammaVal=-1", true, "GammaVal", -1.0},
      {"GammaVal=2", true, "GammaVal", 2.0},
      {"GammaVal=2.0000001", false, "", 0},
      {"GammaVal=-1.5", false, "", 0},
      {"USMRadius=0.1", true, "USMRadius", 0.1},
      {"USMRadius=120", true, "USMRadius", 120.0},
      {"USMRadius=0.09", false, "", 0},
      {"USMRadius=1e2", true, "USMRadius", 100.0},
      {"USMRadius=inf", false, "", 0},
      {"USMRadius=", false, "", 0},
      {"USMRadius=2,5", false, "", 0},
      {"USMRadius= 2", false, "", 0},
      {"USMAmount=1", true, "USMAmount", 1},
      {"USMAmount=500", true, "USMAmount", 500},
      {"USMAmount=0", false, "", 0},
      {"USMAmount=4294967297", false, "", 0},
      {"USMAmount=+7", true, "USMAmount", 7},
      {"USMAmount=7x", false, "", 0},
      {"USMThreshold=0", true, "USMThreshold", 0},
      {"USMThreshold=255", true, "USMThreshold", 255},
      {"USMThreshold=-1", false, "", 0},
      {"DefogVal=100", true, "DefogVal", 100},
      {"DefogVal=101", false, "", 0},
      {"Defog=1", true, "Defog", 1},
      {"Defog=2", false, "", 0},
      {"Defog=yes", false, "", 0},
      {"defog=0", true, "Defog", 0},
      {"USMENABLE=1", true, "USMEnable", 1},
      {"Enabled=1", true, "Enabled", 1},
      {"HotKey=65535", true, "HotKey", 65535},
      {"HotKey=65536", false, "", 0},
      {"Sharpen=1", false, "", 0},
      {"=1", false, "", 0},
      {"Defog", false, "", 0},
  };
  for (const SettingCase& c : cases) {
    SettingAssignment setting;
    std::string error;
    const bool accepted = ParseSettingAssignment(c.text, &setting, &error);
    EXPECT_EQ(accepted, c.accepted) << c.text << ": " << error;
    if (accepted && c.accepted) {
      EXPECT_EQ(setting.key, c.key) << c.text;
      EXPECT_EQ(setting.value, c.value) << c.text;
    }
    if (!accepted) {
      EXPECT_NE(error.find(c.text), std::string::npos) << "the message names the setting: " << error;
    }
  }
}

TEST(CliSettings, ToneChoicesAreTheSixWeightingsGrayOrSepia) {
  for (int value = -2; value < 40; ++value) {
    SettingAssignment setting;
    std::string error;
    const bool expected = (value >= 0 && value <= 5) || (value >= 16 && value <= 21);
    EXPECT_EQ(ParseSettingAssignment("FilterParam=" + std::to_string(value), &setting, &error), expected) << value;
  }
}

TEST(CliSettings, RealKeysGoIntoTheStoreAsReals) {
  SettingsStore store;
  SettingAssignment setting;
  std::string error;
  ASSERT_TRUE(ParseSettingAssignment("usmradius=2", &setting, &error)) << error;
  ApplySetting(store, setting);
  const SettingsStore::Value* v = store.Find(kStoreSection, "USMRadius");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->type, kSettingDouble);
  EXPECT_EQ(v->real, 2.0);
  EXPECT_EQ(SettingsFromStore(store).USMRadius, 2.0);
  EXPECT_EQ(SettingsFromStore(SettingsStore()).DefogVal, 10) << "a missing key takes its load default";
}

// Values a store or a local file holds out of the dialog's ranges are
// named (key, value, range), and only those not equal to the base the
// local file started from.
TEST(CliSettings, NamesValuesOutsideTheDialogsRanges) {
  FilterSettings inside;
  EXPECT_TRUE(OutsideDialogRanges(inside, nullptr).empty());
  FilterSettings wide = inside;
  wide.USMAmount = 9999;
  wide.USMRadius = -5.0;
  wide.FilterParam = 99;
  const std::vector<std::string> named = OutsideDialogRanges(wide, nullptr);
  ASSERT_EQ(named.size(), 3u);
  std::string all;
  for (const std::string& line : named) all += line + "\n";
  for (const char* part :
       {"USMAmount 9999", "1 to 500", "USMRadius -5", "0.1 to 120", "FilterParam 99", "16 to 21"}) {
    EXPECT_NE(all.find(part), std::string::npos) << part << " not in:\n" << all;
  }
  FilterSettings local = wide;
  local.USMThreshold = 300;
  const std::vector<std::string> own = OutsideDialogRanges(local, &wide);
  ASSERT_EQ(own.size(), 1u);
  EXPECT_NE(own[0].find("USMThreshold 300"), std::string::npos) << own[0];
}

// What the notes say of the stages in force, and the blurs the progress
// counts, for single stages and mixes; the stages are always named in the
// order they run.
TEST(CliSettings, DescribesTheStagesInForceInTheirOrder) {
  FilterSettings none;
  FilterSettings gamma = none;
  gamma.GammaAdj = 1;
  gamma.GammaVal = -0.25;
  FilterSettings levels = none;
  levels.AutoLevels = 1;
  FilterSettings contrast = none;
  contrast.Defog = 1;
  contrast.DefogVal = 35;
  FilterSettings sharpen = none;
  sharpen.USMEnable = 1;
  sharpen.USMRadius = 1.2;
  sharpen.USMAmount = 180;
  sharpen.USMThreshold = 2;
  FilterSettings green_sepia = none;
  green_sepia.ToneFilter = 1;
  green_sepia.FilterParam = 0x15;
  FilterSettings odd_gray = green_sepia;
  odd_gray.FilterParam = 9;  // no such weighting: the stage uses Standard
  FilterSettings mix = sharpen;
  mix.ToneFilter = 1;
  mix.FilterParam = 0x10;
  mix.GammaAdj = 1;
  mix.GammaVal = 2;
  mix.Defog = 1;
  const struct {
    FilterSettings settings;
    const char* described;
    int blurs;
  } cases[] = {
      {none, "no stage", 0},
      {gamma, "gamma (offset -0.25)", 0},
      {levels, "auto-levels", 0},
      {contrast, "local contrast (35 %)", 1},
      {sharpen, "unsharp mask (radius 1.2, amount 180 %, threshold 2)", 1},
      {green_sepia, "sepia (Green Channel)", 0},
      {odd_gray, "grayscale (Standard)", 0},
      {mix,
       "gamma (offset 2), local contrast (10 %), unsharp mask (radius 1.2, amount 180 %, threshold 2), sepia "
       "(Standard)",
       2},
      {EveryStageOn(3),
       "gamma (offset 0.5), auto-levels, local contrast (40 %), unsharp mask (radius 2, amount "
       "150 %, threshold 9), grayscale (Red Channel)",
       2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DescribeStages(c.settings), c.described);
    EXPECT_EQ(BlurCount(c.settings), c.blurs) << c.described;
  }
}

// The switches as the refusals and --help name them, in the order the
// stages run.
TEST(CliSettings, NamesTheStageSwitchesInOrder) {
  EXPECT_EQ(kStageSwitches, "GammaAdj, AutoLevels, Defog, USMEnable or ToneFilter");
  const std::string help = HelpText();
  const std::string stages =
      "    The stages, in the order they run, each switched on by its key:\n"
      "      GammaAdj      gamma: brightens (GammaVal above 0) or darkens the middle tones\n"
      "      AutoLevels    auto-levels: the darkest part becomes black, the brightest white\n"
      "      Defog         local contrast: brings out detail in hazy, flat pictures (DefogVal %)\n"
      "      USMEnable     unsharp mask: sharpens edges (USMRadius, USMAmount, USMThreshold)\n"
      "      ToneFilter    grayscale, or sepia (FilterParam)\n"
      "  --ignore-local";
  EXPECT_NE(help.find(stages), std::string::npos) << help;
}

struct FormCase {
  std::vector<const char*> args;
  bool accepted;
  bool single;
};

TEST(CliOptions, CommandLineForms) {
  const FormCase cases[] = {
      {{"in.png", "out.png"}, true, true},
      {{"in.png"}, false, false},
      {{"a.png", "b.png", "c.png"}, false, false},
      {{"-o", "out", "a.png", "b.png", "c.png"}, true, false},
      {{"--suffix", "-x", "folder"}, true, false},
      {{"--in-place", "a.png"}, true, false},
      {{"--in-place", "-o", "out", "a.png"}, false, false},
      {{"-r", "in.png", "out.png"}, false, false},
      {{"--save-store", "in.png", "out.png"}, false, false},
      {{"--region", "1,2,3,4", "in.png", "out.png"}, true, true},
      {{"--region", "1,2,3,4,", "in.png", "out.png"}, false, false},
      {{"--region", "1,,3,4", "in.png", "out.png"}, false, false},
      {{"--quality", "101", "-o", "x", "a.png"}, false, false},
      {{"--", "-odd.png", "out.png"}, true, true},
      {{"--set"}, false, false},
      {{"--suffix", "", "a.png"}, false, false},
      {{"--suffix", "", "-o", "out", "a.png"}, true, false},
  };
  for (const FormCase& c : cases) {
    std::vector<char*> argv = {const_cast<char*>("chromaline-host"), const_cast<char*>("filter")};
    std::string line;
    for (const char* a : c.args) {
      argv.push_back(const_cast<char*>(a));
      line += std::string(a) + " ";
    }
    FilterOptions o;
    std::string error;
    const bool accepted = ParseFilterOptions(static_cast<int>(argv.size()), argv.data(), 2, &o, &error);
    EXPECT_EQ(accepted, c.accepted) << line << ": " << error;
    if (accepted) {
      EXPECT_EQ(o.single, c.single) << line;
    }
  }
}

TEST(CliOptions, RegionIsLeftTopRightBottom) {
  char* argv[] = {const_cast<char*>("chromaline-host"), const_cast<char*>("filter"), const_cast<char*>("--region"),
                  const_cast<char*>("1,2,3,4"),         const_cast<char*>("in.png"), const_cast<char*>("out.png")};
  FilterOptions o;
  std::string error;
  ASSERT_TRUE(ParseFilterOptions(6, argv, 2, &o, &error)) << error;
  EXPECT_EQ(o.region.left, 1);
  EXPECT_EQ(o.region.top, 2);
  EXPECT_EQ(o.region.right, 3);
  EXPECT_EQ(o.region.bottom, 4);
}

TEST(CliOptions, QualityIsOneToOneHundred) {
  const struct {
    const char* text;
    bool accepted;
  } cases[] = {{"1", true}, {"100", true}, {"0", false}, {"101", false}, {"-1", false}, {"99.5", false}};
  for (const auto& c : cases) {
    char* argv[] = {const_cast<char*>("chromaline-host"), const_cast<char*>("filter"),
                    const_cast<char*>("--quality"),       const_cast<char*>(c.text),
                    const_cast<char*>("in.png"),          const_cast<char*>("out.jpg")};
    FilterOptions o;
    std::string error;
    EXPECT_EQ(ParseFilterOptions(6, argv, 2, &o, &error), c.accepted) << "--quality " << c.text << ": " << error;
    if (c.accepted) {
      EXPECT_TRUE(o.has_quality) << c.text;
      EXPECT_EQ(o.quality, std::stoi(c.text)) << c.text;
    } else {
      EXPECT_NE(error.find("1 to 100"), std::string::npos) << "the message gives the range: " << error;
    }
  }
}

}  // namespace
