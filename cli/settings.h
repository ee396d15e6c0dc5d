// The settings the command line takes with --set KEY=VALUE: the thirteen
// keys of the host store (names matched without regard to case, always
// written as the store spells them), their types, and the values the
// settings dialog lets through. Also what the command line says about the
// settings in force: which stages run, and how many blurs ask the stop
// question.
#ifndef CHROMALINE_CLI_SETTINGS_H_
#define CHROMALINE_CLI_SETTINGS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "filters/filter_settings.h"
#include "host/settings_store.h"

// The section of the host store the plug-in reads.
extern const char kStoreSection[];

struct SettingAssignment {
  std::string key;  // the store's spelling
  bool real = false;
  int32_t integer = 0;
  double value = 0.0;
};

// Checks one "KEY=VALUE". On failure returns false with a line naming the
// key, the value and what is accepted.
bool ParseSettingAssignment(const std::string& text, SettingAssignment* out, std::string* error);

// Puts the value into the store with the key's own type.
void ApplySetting(SettingsStore& store, const SettingAssignment& setting);

// One line per key for --help: name, type and accepted values.
std::string SettingKeysHelp();

// The filter settings message 7 would load from the store (missing keys
// take their load defaults).
FilterSettings SettingsFromStore(const SettingsStore& store);

// Whether the store (with the --set values in it) holds Enabled 0: the
// plug-in switched off hands every picture back unchanged.
bool StoreSwitchesPluginOff(const SettingsStore& store);

// The filter keys of `settings` holding values the settings dialog would
// not let through, each as "USMAmount 9999 (the dialog takes an integer
// from 1 to 500)". Keys whose value equals `except`'s (when given) are left
// out: they came from elsewhere. The plug-in uses such values as they are.
std::vector<std::string> OutsideDialogRanges(const FilterSettings& settings, const FilterSettings* except);

// The keys that switch a stage on, for messages: "GammaAdj, AutoLevels,
// Defog, USMEnable or ToneFilter".
extern const std::string kStageSwitches;

// One line per stage for --help, in the order they run: its switch key and
// what it does.
std::string StageSwitchesHelp();

// "unsharp mask (radius 1.2, amount 180 %, threshold 2), sepia (Standard)",
// in the order the stages run; "no stage" when none is on.
std::string DescribeStages(const FilterSettings& settings);

// The blurs a picture goes through (local contrast, unsharp mask): each
// asks the stop question once per row and once per column.
int BlurCount(const FilterSettings& settings);

#endif  // CHROMALINE_CLI_SETTINGS_H_
