// Every setting described once: the thirteen keys of the host store, each
// with the field that holds it, its type, its default and the values the
// settings dialog lets through. The host store's load and save, the local
// settings files, the dialog's data exchange and the command line's checks
// all walk this one table; the dialog knows which control edits which field.
//
// The table's order is the order the host store is read and written in:
// the plug-in's own two keys, then the eleven filter keys, which are also
// the keys of the local settings files, written in this order.
#ifndef CHROMALINE_SETTINGS_SETTING_TABLE_H_
#define CHROMALINE_SETTINGS_SETTING_TABLE_H_

#include <cstddef>
#include <cstdint>

#include "filters/filter_settings.h"
#include "filters/table_view.h"

// The section of the host store and of the settings files that holds the
// keys.
extern const char kSettingsSection[];

// The settings that belong to the plug-in itself, not to FilterSettings.
enum class PluginField { kNone, kEnabled, kHotKey };

// What the dialog, and so the command line, lets through.
enum class SettingRule {
  kSwitch,  // a check box: low (0, off) to high (1, on)
  kRange,   // an edit: low to high
  kTone,    // a weighting of the list (low to high), plus 16 for sepia
  kHotKey,  // the hotkey field's word, low to high
};

struct Setting {
  const char* name;                    // the key in the host store and the files
  int32_t FilterSettings::*int_field;  // an integer of the filters,
  double FilterSettings::*real_field;  // a real of the filters,
  PluginField plugin_field;            // or an integer of the plug-in's own
  double load_default;                 // the store's default on load, FilterSettings' own default
  SettingRule rule;
  double low;
  double high;

  bool is_real() const { return real_field != nullptr; }
  bool is_filter() const { return int_field != nullptr || real_field != nullptr; }
  // A filter setting's value in `settings`, an integer as a double.
  double ValueIn(const FilterSettings& settings) const {
    return is_real() ? settings.*real_field : settings.*int_field;
  }
};

// The whole table, in its order ("for (const Setting& key : kSettings)").
using SettingTable = TableView<Setting>;
extern const SettingTable kSettings;

// The setting of a field of FilterSettings, or null.
const Setting* SettingOfField(int32_t FilterSettings::*field);
const Setting* SettingOfField(double FilterSettings::*field);

// Whether the dialog lets `value` through for `setting` (a tone choice is
// looked at as an integer).
bool SettingAccepts(const Setting& setting, double value);

#endif  // CHROMALINE_SETTINGS_SETTING_TABLE_H_
