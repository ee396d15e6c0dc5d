// The settings dialog's controls to and from the settings, walked row by row.
#include "ui/data_exchange.h"

#include <cstddef>
#include <limits>

#include "settings/setting_table.h"
#include "settings/setting_text.h"
#include "resources/resource.h"

namespace {

enum class Kind {
  kCheck,     // a switch
  kRealEdit,  // a real in an edit
  kIntEdit,   // an integer in an edit
  kTone,      // FilterParam: the weighting list with the Grayscale / Sepia radio pair
};

// A bound control and the field it edits; the range is that of the field's
// setting (kSettings).
struct ExchangeRow {
  int id;
  Kind kind;
  int32_t FilterSettings::*integer;
  double FilterSettings::*real;
};

using FS = FilterSettings;

// The order the values are read in, and so the order their prompts appear.
// The plug-in's switch (IDC_ENABLE_PLUGIN) is read before them all.
const ExchangeRow kExchange[] = {
    {IDC_GAMMA_VAL, Kind::kRealEdit, nullptr, &FS::GammaVal},
    {IDC_GRAY_MODE, Kind::kTone, &FS::FilterParam, nullptr},
    {IDC_USM_RADIUS, Kind::kRealEdit, nullptr, &FS::USMRadius},
    {IDC_USM_THRESHOLD, Kind::kIntEdit, &FS::USMThreshold, nullptr},
    {IDC_USM_ENABLE, Kind::kCheck, &FS::USMEnable, nullptr},
    {IDC_AUTO_LEVELS, Kind::kCheck, &FS::AutoLevels, nullptr},
    {IDC_DEFOG, Kind::kCheck, &FS::Defog, nullptr},
    {IDC_DEFOG_VAL, Kind::kIntEdit, &FS::DefogVal, nullptr},
    {IDC_USM_AMOUNT, Kind::kIntEdit, &FS::USMAmount, nullptr},
    {IDC_TONE, Kind::kCheck, &FS::ToneFilter, nullptr},
    {IDC_GAMMA_ADJ, Kind::kCheck, &FS::GammaAdj, nullptr},
};

// The setting an edit or the list stands for; every field has one.
const Setting& SettingOf(const ExchangeRow& row) {
  return row.real != nullptr ? *SettingOfField(row.real) : *SettingOfField(row.integer);
}

void PutRow(const ExchangeRow& row, const FilterSettings& settings, DialogControls& controls) {
  switch (row.kind) {
    case Kind::kCheck: controls.SetChecked(row.id, settings.*row.integer != 0); break;
    case Kind::kRealEdit: controls.SetText(row.id, FormatReal(settings.*row.real)); break;
    case Kind::kIntEdit: controls.SetText(row.id, std::to_string(settings.*row.integer)); break;
    case Kind::kTone: {
      const ToneControls tone = ToneFromFilterParam(settings.*row.integer);
      // The list has an item for each weighting; any other index selects none.
      const Setting& setting = SettingOf(row);
      const bool listed = tone.list_index >= setting.low && tone.list_index <= setting.high;
      controls.SetListSelection(row.id, listed ? tone.list_index : -1);
      controls.SetChecked(IDC_GRAYSCALE, tone.kind == 0);
      controls.SetChecked(IDC_SEPIA, tone.kind == 1);
      break;
    }
  }
}

bool TakeRow(const ExchangeRow& row, DialogControls& controls, FilterSettings& settings) {
  switch (row.kind) {
    case Kind::kCheck: settings.*row.integer = controls.IsChecked(row.id) ? 1 : 0; return true;
    case Kind::kTone: {
      const int32_t kind = controls.IsChecked(IDC_GRAYSCALE) ? 0 : controls.IsChecked(IDC_SEPIA) ? 1 : -1;
      settings.*row.integer = FilterParamFromTone(kind, controls.GetListSelection(row.id));
      return true;
    }
    case Kind::kIntEdit:
    case Kind::kRealEdit: {
      // An integer edit goes through the integer scanner, then is checked
      // and stored like a real: every int32 value is exact as a double.
      const bool real = row.kind == Kind::kRealEdit;
      const std::string text = controls.GetText(row.id);
      std::optional<double> value;
      if (real) {
        value = ParseLeadingReal(text);
      } else if (const std::optional<int64_t> integer = ParseLeadingInteger(text)) {
        value = static_cast<double>(*integer);
      }
      if (!value) {
        controls.RejectValue(row.id, real ? NumberPrompt() : IntegerPrompt());
        return false;
      }
      const Setting& setting = SettingOf(row);
      if (!SettingAccepts(setting, *value)) {
        controls.RejectValue(row.id, real ? NumberRangePrompt(setting.low, setting.high)
                                          : IntegerRangePrompt(static_cast<int32_t>(setting.low),
                                                               static_cast<int32_t>(setting.high)));
        return false;
      }
      if (real) {
        settings.*row.real = *value;
      } else {
        settings.*row.integer = static_cast<int32_t>(*value);
      }
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<int64_t> ParseLeadingInteger(const std::string& text) {
  const LeadingDigits digits = ScanLeadingDigits(text);
  if (digits.begin == digits.end) return std::nullopt;
  // Clamped, not 0 as in a settings file: the dialog must refuse a huge entry with a prompt, never take it.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (const char* p = digits.begin; p != digits.end; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  int64_t value = digits.negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  return value;
}

std::optional<double> ParseLeadingReal(const std::string& text) {
  const LeadingReal real = ScanLeadingReal(text);
  switch (real.kind) {
    case LeadingReal::Kind::kNone: return std::nullopt;
    case LeadingReal::Kind::kNumber: return real.value;
    case LeadingReal::Kind::kTooLarge:
      // Infinite: outside every range, never wrapped into one.
      return real.negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    case LeadingReal::Kind::kTooSmall: return real.negative ? -0.0 : 0.0;
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

std::string IntegerPrompt() { return "Please enter an integer."; }
std::string NumberPrompt() { return "Please enter a number."; }
std::string IntegerRangePrompt(int32_t low, int32_t high) {
  return "Please enter an integer between " + std::to_string(low) + " and " + std::to_string(high) + ".";
}
std::string NumberRangePrompt(double low, double high) {
  return "Please enter a number between " + FormatReal(low) + " and " + FormatReal(high) + ".";
}

void PutValues(const FilterSettings& settings, int32_t enabled, uint16_t hotkey, DialogControls& controls) {
  controls.SetChecked(IDC_ENABLE_PLUGIN, enabled != 0);
  for (const ExchangeRow& row : kExchange) PutRow(row, settings, controls);
  controls.SetHotkey(IDC_HOTKEY, hotkey);
}

bool TakeValues(DialogControls& controls, FilterSettings& settings, int32_t& enabled) {
  enabled = controls.IsChecked(IDC_ENABLE_PLUGIN) ? 1 : 0;
  for (const ExchangeRow& row : kExchange) {
    if (!TakeRow(row, controls, settings)) return false;
  }
  return true;
}

bool SaveValues(DialogControls& controls, FilterSettings& pending, int32_t& enabled, uint16_t& hotkey) {
  FilterSettings edited = pending;
  int32_t switched = enabled;
  if (!TakeValues(controls, edited, switched)) return false;
  pending = edited;
  enabled = switched;
  hotkey = controls.GetHotkey(IDC_HOTKEY);
  return true;
}
