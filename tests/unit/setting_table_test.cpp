// The settings table against the records it describes: its defaults are
// the ones a fresh FilterSettings and PluginState hold, no key is described
// twice, and each field leads back to its own row. (The order of the keys is checked where it
// matters: the host store in tests/plugin/host_store_test.cpp, the files in
// local_settings_test.cpp; the ranges through the dialog's data exchange
// and the command line's checks.)
#include <cctype>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "settings/setting_table.h"
#include "filters/stages.h"
#include "plugin/plugin_state.h"

namespace {

TEST(SettingTable, DefaultsAreThoseOfAFreshRecord) {
  FilterSettings from_table;
  // Start from values no default has, so a row that is missing shows.
  from_table.ToneFilter = from_table.FilterParam = from_table.GammaAdj = from_table.Defog = -99;
  from_table.DefogVal = from_table.AutoLevels = from_table.USMEnable = from_table.USMAmount = -99;
  from_table.USMThreshold = -99;
  from_table.GammaVal = from_table.USMRadius = -99.0;
  const PluginState fresh;
  for (const Setting& key : kSettings) {
    SCOPED_TRACE(key.name);
    if (key.is_real()) {
      from_table.*key.real_field = key.load_default;
    } else if (key.is_filter()) {
      from_table.*key.int_field = static_cast<int32_t>(key.load_default);
    } else {
      EXPECT_EQ(key.load_default, key.plugin_field == PluginField::kEnabled ? fresh.Enabled : fresh.HotKey);
    }
  }
  EXPECT_EQ(from_table, FilterSettings());
}

TEST(SettingTable, EachKeyOnce) {
  std::set<std::string> names;
  int plugin_fields = 0;
  for (const Setting& key : kSettings) {
    std::string lower = key.name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(names.insert(lower).second) << key.name << ": names are matched without regard to case";
    if (key.int_field != nullptr) {
      EXPECT_EQ(SettingOfField(key.int_field), &key) << key.name;
    }
    if (key.real_field != nullptr) {
      EXPECT_EQ(SettingOfField(key.real_field), &key) << key.name;
    }
    EXPECT_EQ(key.is_filter(), key.plugin_field == PluginField::kNone) << key.name;
    if (!key.is_filter()) ++plugin_fields;
  }
  EXPECT_EQ(names.size(), 13u);
  EXPECT_EQ(plugin_fields, 2);
}

// A stage's switch key is the key of the very field that switches it, so the
// notes and the refusals name what the settings files and the store hold.
TEST(StageTable, EachStageIsSwitchedByItsKey) {
  std::set<const Setting*> switches;
  for (const Stage& stage : kStages) {
    const Setting* key = SettingOfField(stage.switch_field);
    ASSERT_NE(key, nullptr) << stage.name;
    EXPECT_STREQ(key->name, stage.switch_key) << stage.name;
    EXPECT_EQ(key->rule, SettingRule::kSwitch) << stage.name;
    EXPECT_TRUE(switches.insert(key).second) << stage.name << ": one switch per stage";
  }
  EXPECT_EQ(switches.size(), 5u);
}

}  // namespace
