// File: ui/data_exchange.cpp
#include "ui/data_exchange.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipBlanks(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return i;
}

size_t SkipDigits(const std::string& text, size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

enum class Kind { kCheck, kRealEdit, kIntEdit, kList, kRadioPair };

struct ExchangeRow {
  int id;
  Kind kind;
  int32_t DialogValues::*integer;
  double DialogValues::*real;
  double low;
  double high;
  const char* key;  // the store key the control stands for, if one
};

constexpr double kNoRange = 0.0;

// The order the values are read in, and so the order their prompts appear.
const ExchangeRow kExchange[] = {
    {1001, Kind::kCheck, &DialogValues::Enabled, nullptr, kNoRange, kNoRange, "Enabled"},
    {1012, Kind::kRealEdit, nullptr, &DialogValues::GammaVal, -1.0, 2.0, "GammaVal"},
    {1010, Kind::kList, &DialogValues::ListIndex, nullptr, kNoRange, kNoRange, nullptr},
    {1016, Kind::kRealEdit, nullptr, &DialogValues::USMRadius, 0.1, 120.0, "USMRadius"},
    {1018, Kind::kIntEdit, &DialogValues::USMThreshold, nullptr, 0, 255, "USMThreshold"},
    {1015, Kind::kCheck, &DialogValues::USMEnable, nullptr, kNoRange, kNoRange, "USMEnable"},
    {1025, Kind::kCheck, &DialogValues::AutoLevels, nullptr, kNoRange, kNoRange, "AutoLevels"},
    {1023, Kind::kCheck, &DialogValues::Defog, nullptr, kNoRange, kNoRange, "Defog"},
    {1024, Kind::kIntEdit, &DialogValues::DefogVal, nullptr, 1, 100, "DefogVal"},
    {1017, Kind::kIntEdit, &DialogValues::USMAmount, nullptr, 1, 500, "USMAmount"},
    {1007, Kind::kRadioPair, &DialogValues::ToneKind, nullptr, kNoRange, kNoRange, nullptr},
    {1022, Kind::kCheck, &DialogValues::ToneFilter, nullptr, kNoRange, kNoRange, "ToneFilter"},
    {1026, Kind::kCheck, &DialogValues::GammaAdj, nullptr, kNoRange, kNoRange, "GammaAdj"},
};
constexpr int kHotkeyControl = 1004;

// The second button of the radio pair follows the first.
int SecondRadio(const ExchangeRow& row) { return row.id + 1; }

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
      // The list has six items; any other index selects none.
      const int32_t index = values.*row.integer;
      controls.SetListSelection(row.id, index >= 0 && index <= 5 ? index : -1);
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
      const auto low = static_cast<int32_t>(row.low);
      const auto high = static_cast<int32_t>(row.high);
      if (*value < low || *value > high) {
        controls.RejectValue(row.id, IntegerRangePrompt(low, high));
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
      if (!(*value >= row.low && *value <= row.high)) {
        controls.RejectValue(row.id, NumberRangePrompt(row.low, row.high));
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
  size_t i = SkipBlanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t digits = i;
  const size_t end = SkipDigits(text, i);
  if (end == digits) return std::nullopt;
  // Accumulate with saturation: a value this large only ever fails a range.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (size_t k = digits; k < end; ++k) {
    magnitude = magnitude * 10 + (text[k] - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  return value;
}

std::optional<double> ParseLeadingReal(const std::string& text) {
  const size_t start = SkipBlanks(text);
  size_t i = start;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t mantissa = i;
  i = SkipDigits(text, i);
  size_t mantissa_digits = i - mantissa;
  if (i < text.size() && text[i] == '.') {
    const size_t fraction = i + 1;
    i = SkipDigits(text, fraction);
    mantissa_digits += i - fraction;
  }
  if (mantissa_digits == 0) return std::nullopt;
  // An exponent counts only when digits follow the "e" and its sign.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    const size_t exponent_end = SkipDigits(text, e);
    if (exponent_end > e) i = exponent_end;
  }
  const char* first = text.data() + mantissa;
  const char* last = text.data() + i;
  double value = 0.0;
  const std::from_chars_result result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large becomes infinite (outside every range), too small zero. A
    // number is too small when its exponent is negative or, without one,
    // when its integer part holds no digit but zeros.
    const std::string number(first, last);
    const size_t e = number.find_first_of("eE");
    const bool tiny = e != std::string::npos
                          ? number[e + 1] == '-'
                          : number.substr(0, number.find('.')).find_first_not_of('0') == std::string::npos;
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

std::string FormatReal(double value) {
  char buffer[64];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return std::string(buffer, result.ptr);
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

bool DialogRangeOfKey(const std::string& key, double* low, double* high) {
  for (const ExchangeRow& row : kExchange) {
    if (row.key == nullptr || key != row.key) continue;
    const bool check = row.kind == Kind::kCheck;
    *low = check ? 0.0 : row.low;
    *high = check ? 1.0 : row.high;
    return true;
  }
  return false;
}

void PutValues(const DialogValues& values, uint16_t hotkey, DialogControls& controls) {
  for (const ExchangeRow& row : kExchange) PutRow(row, values, controls);
  controls.SetHotkey(kHotkeyControl, hotkey);
}

bool TakeValues(DialogControls& controls, DialogValues& values) {
  for (const ExchangeRow& row : kExchange) {
    if (!TakeRow(row, controls, values)) return false;
  }
  return true;
}

bool SaveValues(DialogControls& controls, DialogValues& values, FilterSettings& pending, uint16_t& hotkey) {
  if (!TakeValues(controls, values)) return false;
  hotkey = controls.GetHotkey(kHotkeyControl);
  pending = SettingsFromValues(values);
  return true;
}
