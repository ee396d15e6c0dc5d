// File: ui/data_exchange.cpp
#include "ui/data_exchange.h"

#include <cstddef>
#include <limits>

#include "filters/setting_table.h"
#include "filters/setting_text.h"
#include "resources/resource.h"

namespace {

enum class Kind { kCheck, kRealEdit, kIntEdit, kList, kRadioPair };

// A bound control; its range is that of the setting it edits (kSettings).
struct ExchangeRow {
  int id;
  Kind kind;
  int32_t DialogValues::*integer;
  double DialogValues::*real;
};

// The order the values are read in, and so the order their prompts appear.
const ExchangeRow kExchange[] = {
    {IDC_ENABLE_PLUGIN, Kind::kCheck, &DialogValues::Enabled, nullptr},
    {IDC_GAMMA_VAL, Kind::kRealEdit, nullptr, &DialogValues::GammaVal},
    {IDC_GRAY_MODE, Kind::kList, &DialogValues::ListIndex, nullptr},
    {IDC_USM_RADIUS, Kind::kRealEdit, nullptr, &DialogValues::USMRadius},
    {IDC_USM_THRESHOLD, Kind::kIntEdit, &DialogValues::USMThreshold, nullptr},
    {IDC_USM_ENABLE, Kind::kCheck, &DialogValues::USMEnable, nullptr},
    {IDC_AUTO_LEVELS, Kind::kCheck, &DialogValues::AutoLevels, nullptr},
    {IDC_DEFOG, Kind::kCheck, &DialogValues::Defog, nullptr},
    {IDC_DEFOG_VAL, Kind::kIntEdit, &DialogValues::DefogVal, nullptr},
    {IDC_USM_AMOUNT, Kind::kIntEdit, &DialogValues::USMAmount, nullptr},
    {IDC_GRAYSCALE, Kind::kRadioPair, &DialogValues::ToneKind, nullptr},
    {IDC_TONE, Kind::kCheck, &DialogValues::ToneFilter, nullptr},
    {IDC_GAMMA_ADJ, Kind::kCheck, &DialogValues::GammaAdj, nullptr},
};

// The second button of the radio pair follows the first.
int SecondRadio(const ExchangeRow& row) { return row.id + 1; }

// The setting an edit or the list stands for; every one of them has one.
const Setting& SettingOf(const ExchangeRow& row) { return *SettingOfControl(row.id); }

void PutRow(const ExchangeRow& row, const DialogValues& values, DialogControls& controls) {
  switch (row.kind) {
    case Kind::kCheck:
      controls.SetChecked(row.id, values.*row.integer != 0);
      break;
    case Kind::kRealEdit:
      controls.SetText(row.id, FormatReal(values.*row.real));
      break;
    case Kind::kIntEdit:
      controls.SetText(row.id, std::to_string(values.*row.integer));
      break;
    case Kind::kList: {
      // The list has an item for each weighting; any other index selects none.
      const int32_t index = values.*row.integer;
      const Setting& tone = SettingOf(row);
      controls.SetListSelection(row.id, index >= tone.low && index <= tone.high ? index : -1);
      break;
    }
    case Kind::kRadioPair:
      controls.SetChecked(row.id, values.*row.integer == 0);
      controls.SetChecked(SecondRadio(row), values.*row.integer == 1);
      break;
  }
}

bool TakeRow(const ExchangeRow& row, DialogControls& controls, DialogValues& values) {
  switch (row.kind) {
    case Kind::kCheck:
      values.*row.integer = controls.IsChecked(row.id) ? 1 : 0;
      return true;
    case Kind::kList:
      values.*row.integer = controls.GetListSelection(row.id);
      return true;
    case Kind::kRadioPair:
      values.*row.integer = controls.IsChecked(row.id) ? 0 : controls.IsChecked(SecondRadio(row)) ? 1 : -1;
      return true;
    case Kind::kIntEdit: {
      const std::optional<int64_t> value = ParseLeadingInteger(controls.GetText(row.id));
      if (!value) {
        controls.RejectValue(row.id, IntegerPrompt());
        return false;
      }
      const Setting& setting = SettingOf(row);
      if (!SettingAccepts(setting, static_cast<double>(*value))) {
        controls.RejectValue(row.id,
                             IntegerRangePrompt(static_cast<int32_t>(setting.low), static_cast<int32_t>(setting.high)));
        return false;
      }
      values.*row.integer = static_cast<int32_t>(*value);
      return true;
    }
    case Kind::kRealEdit: {
      const std::optional<double> value = ParseLeadingReal(controls.GetText(row.id));
      if (!value) {
        controls.RejectValue(row.id, NumberPrompt());
        return false;
      }
      const Setting& setting = SettingOf(row);
      if (!SettingAccepts(setting, *value)) {
        controls.RejectValue(row.id, NumberRangePrompt(setting.low, setting.high));
        return false;
      }
      values.*row.real = *value;
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<int64_t> ParseLeadingInteger(const std::string& text) {
  const char* p = text.data();
  const char* const text_end = p + text.size();
  while (p != text_end && IsTextSpace(*p)) ++p;
  bool negative = false;
  if (p != text_end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const char* const end = SkipDecimalDigits(p, text_end);
  if (end == p) return std::nullopt;
  // Clamped, not 0 as in a settings file: the dialog must refuse a huge entry with a prompt, never take it.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; p != end; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  return value;
}

std::optional<double> ParseLeadingReal(const std::string& text) {
  const LeadingReal real = ScanLeadingReal(text);
  switch (real.kind) {
    case LeadingReal::Kind::kNone:
      return std::nullopt;
    case LeadingReal::Kind::kNumber:
      return real.value;
    case LeadingReal::Kind::kTooLarge:
      // Infinite: outside every range, never wrapped into one.
      return real.negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    case LeadingReal::Kind::kTooSmall:
      return real.negative ? -0.0 : 0.0;
  }
  return std::nullopt;
}

ToneControls ToneFromFilterParam(int32_t filter_param) {
  // Signed comparison: a negative value opens as grayscale with no item.
  if (filter_param < 16) return {0, filter_param};
  return {1, filter_param & 0x0F};
}

int32_t FilterParamFromTone(int32_t kind, int32_t list_index) {
  return kind == 1 ? (list_index | 0x10) : list_index;
}

DialogValues ValuesFromSettings(const FilterSettings& settings, int32_t enabled) {
  DialogValues values;
  const ToneControls tone = ToneFromFilterParam(settings.FilterParam);
  values.Enabled = enabled;
  values.GammaVal = settings.GammaVal;
  values.ListIndex = tone.list_index;
  values.USMRadius = settings.USMRadius;
  values.USMThreshold = settings.USMThreshold;
  values.USMEnable = settings.USMEnable;
  values.AutoLevels = settings.AutoLevels;
  values.Defog = settings.Defog;
  values.DefogVal = settings.DefogVal;
  values.USMAmount = settings.USMAmount;
  values.ToneKind = tone.kind;
  values.ToneFilter = settings.ToneFilter;
  values.GammaAdj = settings.GammaAdj;
  return values;
}

FilterSettings SettingsFromValues(const DialogValues& values) {
  FilterSettings settings;
  settings.ToneFilter = values.ToneFilter;
  settings.FilterParam = FilterParamFromTone(values.ToneKind, values.ListIndex);
  settings.GammaAdj = values.GammaAdj;
  settings.GammaVal = values.GammaVal;
  settings.Defog = values.Defog;
  settings.DefogVal = values.DefogVal;
  settings.AutoLevels = values.AutoLevels;
  settings.USMEnable = values.USMEnable;
  settings.USMRadius = values.USMRadius;
  settings.USMAmount = values.USMAmount;
  settings.USMThreshold = values.USMThreshold;
  return settings;
}

std::string IntegerPrompt() { return "Please enter an integer."; }
std::string NumberPrompt() { return "Please enter a number."; }
std::string IntegerRangePrompt(int32_t low, int32_t high) {
  return "Please enter an integer between " + std::to_string(low) + " and " + std::to_string(high) + ".";
}
std::string NumberRangePrompt(double low, double high) {
  return "Please enter a number between " + FormatReal(low) + " and " + FormatReal(high) + ".";
}

void PutValues(const DialogValues& values, uint16_t hotkey, DialogControls& controls) {
  for (const ExchangeRow& row : kExchange) PutRow(row, values, controls);
  controls.SetHotkey(IDC_HOTKEY, hotkey);
}

bool TakeValues(DialogControls& controls, DialogValues& values) {
  for (const ExchangeRow& row : kExchange) {
    if (!TakeRow(row, controls, values)) return false;
  }
  return true;
}

bool SaveValues(DialogControls& controls, DialogValues& values, FilterSettings& pending, uint16_t& hotkey) {
  if (!TakeValues(controls, values)) return false;
  hotkey = controls.GetHotkey(IDC_HOTKEY);
  pending = SettingsFromValues(values);
  return true;
}
