// File: plugin/setting_keys.h
//
// The storage keys of FilterSettings, described once. The table's order is
// the order the host store is read and written in (after "Enabled" and
// "HotKey") and the order the local settings files are written in.
#ifndef CHROMALINE_PLUGIN_SETTING_KEYS_H_
#define CHROMALINE_PLUGIN_SETTING_KEYS_H_

#include <cstddef>
#include <cstdint>

#include "filters/filter_settings.h"

struct SettingKey {
  const char* name;
  int32_t FilterSettings::*int_field;  // set for integer keys
  double FilterSettings::*real_field;  // set for real keys
  double load_default;                 // the host store's default on load

  bool is_real() const { return real_field != nullptr; }
};

extern const SettingKey kFilterKeys[];
extern const size_t kFilterKeyCount;

// The two PluginState keys that precede the filter keys in the host store.
extern const char kEnabledKey[];
extern const char kHotKeyKey[];

#endif  // CHROMALINE_PLUGIN_SETTING_KEYS_H_
