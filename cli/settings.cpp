// File: cli/settings.cpp
//
// The key table is the plug-in's own (kFilterKeys) and the ranges are the
// settings dialog's (DialogRangeOfKey, ToneFromFilterParam): nothing here
// repeats them.
#include "cli/settings.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "plugin/setting_keys.h"
#include "ui/data_exchange.h"

const char kStoreSection[] = "ChromalinePlugIn";

namespace {

enum class Rule { kRange, kTone, kHotKey };

struct KeyInfo {
  const char* name;
  bool real;
  Rule rule;
};

// The host store's keys in its order: the two of PluginState, then the filters'.
std::vector<KeyInfo> StoreKeys() {
  std::vector<KeyInfo> keys = {{kEnabledKey, false, Rule::kRange}, {kHotKeyKey, false, Rule::kHotKey}};
  for (size_t i = 0; i < kFilterKeyCount; ++i) {
    const SettingKey& k = kFilterKeys[i];
    keys.push_back({k.name, k.is_real(), std::strcmp(k.name, "FilterParam") == 0 ? Rule::kTone : Rule::kRange});
  }
  return keys;
}

bool SameName(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// FilterParam: a weighting of the dialog's list (0 to 5), plus 16 for sepia.
bool ToneChoiceAccepted(int32_t value) {
  const ToneControls tone = ToneFromFilterParam(value);
  return tone.list_index >= 0 && tone.list_index <= 5 && FilterParamFromTone(tone.kind, tone.list_index) == value;
}

constexpr int32_t kHotKeyHigh = 0xFFFF;  // the hotkey field's word

std::string Accepted(const KeyInfo& key) {
  double low = 0, high = 0;
  switch (key.rule) {
    case Rule::kTone:
      return "an integer: 0 to 5 for grayscale (Standard, BT709, RMY, Red, Blue, Green Channel), 16 to 21 for sepia";
    case Rule::kHotKey:
      return "an integer from 0 to " + std::to_string(kHotKeyHigh) + " (the hotkey word; 0 for none)";
    case Rule::kRange:
      DialogRangeOfKey(key.name, &low, &high);
      if (!key.real && low == 0 && high == 1) return "0 (off) or 1 (on)";
      return std::string(key.real ? "a number" : "an integer") + " from " + FormatReal(low) + " to " +
             FormatReal(high);
  }
  return "";
}

bool InRange(const KeyInfo& key, double value) {
  double low = 0, high = 0;
  switch (key.rule) {
    case Rule::kTone: return ToneChoiceAccepted(static_cast<int32_t>(value));
    case Rule::kHotKey: return value >= 0 && value <= kHotKeyHigh;
    case Rule::kRange: return DialogRangeOfKey(key.name, &low, &high) && value >= low && value <= high;
  }
  return false;
}

bool WholeInteger(const std::string& text, int64_t* value) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  const std::from_chars_result r = std::from_chars(first, last, *value);
  return r.ec == std::errc() && r.ptr == last && first != last;
}

bool WholeReal(const std::string& text, double* value) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  if (first == last || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '-' || *first == '.')) {
    return false;  // no "inf" or "nan"
  }
  const std::from_chars_result r = std::from_chars(first, last, *value, std::chars_format::general);
  return r.ec == std::errc() && r.ptr == last && std::isfinite(*value);
}

}  // namespace

bool ParseSettingAssignment(const std::string& text, SettingAssignment* out, std::string* error) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) {
    *error = "--set " + text + ": expected KEY=VALUE, for example Defog=1";
    return false;
  }
  const std::string name = text.substr(0, eq);
  const std::string value = text.substr(eq + 1);
  const std::vector<KeyInfo> keys = StoreKeys();
  const KeyInfo* key = nullptr;
  for (const KeyInfo& k : keys) {
    if (SameName(name, k.name)) key = &k;
  }
  if (key == nullptr) {
    std::string list;
    for (const KeyInfo& k : keys) list += (list.empty() ? "" : ", ") + std::string(k.name);
    *error = "--set " + text + ": there is no setting \"" + name + "\"; the settings are " + list;
    return false;
  }
  const std::string where = "--set " + text + ": " + key->name + " takes " + Accepted(*key);
  out->key = key->name;
  out->real = key->real;
  if (key->real) {
    if (!WholeReal(value, &out->value)) {
      *error = where + "; \"" + value + "\" is not a number" +
               (value.find(',') != std::string::npos ? " (the decimal point is \".\")" : "");
      return false;
    }
  } else {
    int64_t integer = 0;
    if (!WholeInteger(value, &integer)) {
      *error = where + "; \"" + value + "\" is not an integer";
      return false;
    }
    if (integer < INT32_MIN || integer > INT32_MAX) {
      *error = where + "; " + value + " is out of range";
      return false;
    }
    out->integer = static_cast<int32_t>(integer);
    out->value = static_cast<double>(integer);
  }
  if (!InRange(*key, out->value)) {
    *error = where + "; " + value + " is out of range";
    return false;
  }
  return true;
}

void ApplySetting(SettingsStore& store, const SettingAssignment& setting) {
  if (setting.real) {
    store.SetDouble(kStoreSection, setting.key, setting.value);
  } else {
    store.SetInt(kStoreSection, setting.key, setting.integer);
  }
}

std::string SettingKeysHelp() {
  std::string text;
  for (const KeyInfo& key : StoreKeys()) {
    std::string name = key.name;
    name.resize(14, ' ');
    text += "      " + name + Accepted(key) + "\n";
  }
  return text;
}

FilterSettings SettingsFromStore(const SettingsStore& store) {
  FilterSettings settings;
  for (size_t i = 0; i < kFilterKeyCount; ++i) {
    const SettingKey& key = kFilterKeys[i];
    HostSettingRecord record = {};
    record.section = kStoreSection;
    record.key = key.name;
    record.type = key.is_real() ? kSettingDouble : kSettingInt;
    if (key.is_real()) {
      std::memcpy(record.default_value, &key.load_default, sizeof key.load_default);
    } else {
      const auto fallback = static_cast<int32_t>(key.load_default);
      std::memcpy(record.default_value, &fallback, sizeof fallback);
    }
    store.Read(record);
    if (key.is_real()) {
      std::memcpy(&(settings.*key.real_field), record.value, sizeof(double));
    } else {
      std::memcpy(&(settings.*key.int_field), record.value, sizeof(int32_t));
    }
  }
  return settings;
}

std::string DescribeStages(const FilterSettings& s) {
  static const char* const kWeightings[] = {"Standard", "BT709", "RMY", "Red Channel", "Blue Channel",
                                            "Green Channel"};
  std::vector<std::string> stages;
  if (s.GammaAdj != 0) stages.push_back("gamma (offset " + FormatReal(s.GammaVal) + ")");
  if (s.AutoLevels != 0) stages.push_back("auto-levels");
  if (s.Defog != 0) stages.push_back("local contrast (" + std::to_string(s.DefogVal) + " %)");
  if (s.USMEnable != 0) {
    stages.push_back("unsharp mask (radius " + FormatReal(s.USMRadius) + ", amount " + std::to_string(s.USMAmount) +
                     " %, threshold " + std::to_string(s.USMThreshold) + ")");
  }
  if (s.ToneFilter != 0) {
    const int weighting = s.FilterParam & 0x0F;
    stages.push_back(std::string((s.FilterParam & 0x10) != 0 ? "sepia" : "grayscale") + " (" +
                     (weighting <= 5 ? kWeightings[weighting] : kWeightings[0]) + ")");
  }
  if (stages.empty()) return "no stage";
  std::string text;
  for (const std::string& stage : stages) text += (text.empty() ? "" : ", ") + stage;
  return text;
}

int BlurCount(const FilterSettings& s) { return (s.Defog != 0 ? 1 : 0) + (s.USMEnable != 0 ? 1 : 0); }
