// The table of every setting: key, field, type, default and range.
#include "settings/setting_table.h"

namespace {

using FS = FilterSettings;
constexpr PluginField kFilters = PluginField::kNone;
constexpr PluginField kEnabled = PluginField::kEnabled;
constexpr PluginField kHotKeyWord = PluginField::kHotKey;
constexpr SettingRule kSwitch = SettingRule::kSwitch;
constexpr SettingRule kRange = SettingRule::kRange;
constexpr SettingRule kTone = SettingRule::kTone;
constexpr SettingRule kHotKey = SettingRule::kHotKey;

// The defaults equal FilterSettings' own (a unit test holds them to it).
const Setting kRows[] = {
    // key            integer field      real field      whose        default rule     low   high
    {"Enabled", nullptr, nullptr, kEnabled, 0, kSwitch, 0, 1},
    {"HotKey", nullptr, nullptr, kHotKeyWord, 0, kHotKey, 0, 0xFFFF},
    {"ToneFilter", &FS::ToneFilter, nullptr, kFilters, 0, kSwitch, 0, 1},
    {"FilterParam", &FS::FilterParam, nullptr, kFilters, 0, kTone, 0, 5},
    {"GammaAdj", &FS::GammaAdj, nullptr, kFilters, 0, kSwitch, 0, 1},
    {"GammaVal", nullptr, &FS::GammaVal, kFilters, 0.0, kRange, -1.0, 2.0},
    {"Defog", &FS::Defog, nullptr, kFilters, 0, kSwitch, 0, 1},
    {"DefogVal", &FS::DefogVal, nullptr, kFilters, 10, kRange, 1, 100},
    {"AutoLevels", &FS::AutoLevels, nullptr, kFilters, 0, kSwitch, 0, 1},
    {"USMRadius", nullptr, &FS::USMRadius, kFilters, 0.5, kRange, 0.1, 120.0},
    {"USMAmount", &FS::USMAmount, nullptr, kFilters, 100, kRange, 1, 500},
    {"USMThreshold", &FS::USMThreshold, nullptr, kFilters, 4, kRange, 0, 255},
    {"USMEnable", &FS::USMEnable, nullptr, kFilters, 0, kSwitch, 0, 1},
};

}  // namespace

const char kSettingsSection[] = "ChromalinePlugIn";

const SettingTable kSettings = {kRows, sizeof kRows / sizeof kRows[0]};

const Setting* SettingOfField(int32_t FilterSettings::*field) {
  for (const Setting& setting : kSettings) {
    if (setting.int_field == field) return &setting;
  }
  return nullptr;
}

const Setting* SettingOfField(double FilterSettings::*field) {
  for (const Setting& setting : kSettings) {
    if (setting.real_field == field) return &setting;
  }
  return nullptr;
}

bool SettingAccepts(const Setting& setting, double value) {
  if (setting.rule == SettingRule::kTone) {
    // FilterParam: bits 0-3 pick the weighting, bit 4 sepia; nothing else.
    if (!(value >= 0 && value <= setting.high + 0x10)) return false;
    const int32_t weighting = static_cast<int32_t>(value) & ~0x10;
    return weighting >= setting.low && weighting <= setting.high;
  }
  return value >= setting.low && value <= setting.high;
}
