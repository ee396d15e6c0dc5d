// The keys, their types, defaults and the values the settings dialog lets
// through all come from the one settings table (kSettings), the stages and
// their words from the stage table (kStages): nothing here repeats them.
#include "cli/settings.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "settings/setting_table.h"
#include "settings/setting_text.h"
#include "filters/stages.h"

const char kStoreSection[] = "ChromalinePlugIn";

namespace {

bool SameName(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string Accepted(const Setting& key) {
  switch (key.rule) {
    case SettingRule::kTone:
      return "an integer: 0 to 5 for grayscale (Standard, BT709, RMY, Red, Blue, Green Channel), 16 to 21 for sepia";
    case SettingRule::kHotKey:
      return "an integer from " + std::to_string(static_cast<int32_t>(key.low)) + " to " +
             std::to_string(static_cast<int32_t>(key.high)) + " (the hotkey word; 0 for none)";
    case SettingRule::kSwitch:
    case SettingRule::kRange:
      if (!key.is_real() && key.low == 0 && key.high == 1) return "0 (off) or 1 (on)";
      return std::string(key.is_real() ? "a number" : "an integer") + " from " + FormatReal(key.low) + " to " +
             FormatReal(key.high);
  }
  return "";
}

// The weightings of the tone choice, in the order of the dialog's list.
const char* const kWeightings[] = {"Standard", "BT709", "RMY", "Red Channel", "Blue Channel", "Green Channel"};

// A filter setting's value as the notes show it; a tone choice as its kind
// and weighting, "sepia (Standard)".
std::string ValueText(const Setting& key, const FilterSettings& s) {
  if (key.rule == SettingRule::kTone) {
    const int32_t choice = s.*key.int_field;
    const int weighting = choice & 0x0F;
    return std::string((choice & 0x10) != 0 ? "sepia" : "grayscale") + " (" +
           (weighting <= 5 ? kWeightings[weighting] : kWeightings[0]) + ")";
  }
  return key.is_real() ? FormatReal(s.*key.real_field) : std::to_string(s.*key.int_field);
}

// A stage's summary with each "{Key}" replaced by that setting's value.
std::string FillInValues(const char* summary, const FilterSettings& s) {
  std::string text = summary;
  for (const Setting& key : kSettings) {
    if (!key.is_filter()) continue;
    const std::string mark = "{" + std::string(key.name) + "}";
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
      const std::string value = ValueText(key, s);
      text.replace(at, mark.size(), value);
      at += value.size();
    }
  }
  return text;
}

// "GammaAdj, AutoLevels, Defog, USMEnable or ToneFilter".
std::string StageSwitchList() {
  std::string text;
  for (size_t i = 0; i < kStages.count; ++i) {
    text += (i == 0 ? "" : i + 1 == kStages.count ? " or " : ", ") + std::string(kStages.rows[i].switch_key);
  }
  return text;
}

// A line of --help under --set: the key in a column of its own, then the text.
std::string HelpLine(const char* key, const std::string& text) {
  std::string line = "      " + std::string(key);
  line.resize(20, ' ');
  return line + text + "\n";
}

// The whole text, and too large fails: the command line names a bad value rather than read part of it.
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
  const Setting* key = nullptr;
  for (const Setting& k : kSettings) {
    if (SameName(name, k.name)) key = &k;
  }
  if (key == nullptr) {
    std::string list;
    for (const Setting& k : kSettings) list += (list.empty() ? "" : ", ") + std::string(k.name);
    *error = "--set " + text + ": there is no setting \"" + name + "\"; the settings are " + list;
    return false;
  }
  const std::string where = "--set " + text + ": " + key->name + " takes " + Accepted(*key);
  out->key = key->name;
  out->real = key->is_real();
  if (out->real) {
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
  if (!SettingAccepts(*key, out->value)) {
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

const std::string kStageSwitches = StageSwitchList();

std::vector<std::string> OutsideDialogRanges(const FilterSettings& settings, const FilterSettings* except) {
  std::vector<std::string> found;
  for (const Setting& key : kSettings) {
    if (!key.is_filter()) continue;
    const double value = key.ValueIn(settings);
    if (except != nullptr && value == key.ValueIn(*except)) continue;
    if (SettingAccepts(key, value)) continue;
    found.push_back(std::string(key.name) + " " +
                    (key.is_real() ? FormatReal(value) : std::to_string(static_cast<int32_t>(value))) +
                    " (the dialog takes " + Accepted(key) + ")");
  }
  return found;
}

std::string SettingKeysHelp() {
  std::string text;
  for (const Setting& key : kSettings) text += HelpLine(key.name, Accepted(key));
  return text;
}

bool StoreSwitchesPluginOff(const SettingsStore& store) {
  const SettingsStore::Value* enabled = store.Find(kStoreSection, "Enabled");
  return enabled && (enabled->type == kSettingDouble ? enabled->real == 0.0 : enabled->integer == 0);
}

FilterSettings SettingsFromStore(const SettingsStore& store) {
  FilterSettings settings;
  for (const Setting& key : kSettings) {
    if (!key.is_filter()) continue;
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
  std::string text;
  for (const Stage& stage : kStages) {
    if (stage.IsOnIn(s)) text += (text.empty() ? "" : ", ") + FillInValues(stage.summary, s);
  }
  return text.empty() ? "no stage" : text;
}

int BlurCount(const FilterSettings& s) {
  int blurs = 0;
  for (const Stage& stage : kStages) {
    if (stage.IsOnIn(s)) blurs += stage.blurs;
  }
  return blurs;
}

std::string StageSwitchesHelp() {
  std::string text;
  for (const Stage& stage : kStages) text += HelpLine(stage.switch_key, stage.help);
  return text;
}
