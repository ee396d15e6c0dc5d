// Numbers as INI value text and back, apart from the process's locale.
#include "settings/ini_values.h"

#include <charconv>
#include <cmath>

#include "settings/setting_text.h"
#include "settings/ini_file.h"

std::string FormatIniInt(int32_t value) {
  char text[16];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}

std::string FormatIniReal(double value) {
  // to_chars takes no sign or payload for NaN the way printf does on every
  // runtime, so both builds spell the odd values alike.
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char text[400];  // DBL_MAX has 309 digits before the point
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  return std::string(text, end.ptr);
}

int32_t ParseIniInt(const std::string& text) {
  const LeadingDigits digits = ScanLeadingDigits(text);
  if (digits.begin == digits.end) return 0;
  // Out of range reads as no number (0), unlike the dialog's clamp: a file value is taken, never refused.
  // Accumulated in 64 bits with a stop well past the 32-bit range, so any
  // number of digits is safe.
  int64_t magnitude = 0;
  for (const char* p = digits.begin; p != digits.end; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > int64_t{1} << 32) return 0;
  }
  const int64_t value = digits.negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return 0;
  return static_cast<int32_t>(value);
}

double ParseIniReal(const std::string& text) {
  const LeadingReal real = ScanLeadingReal(text);
  // Beyond a double either way reads as no number, never as infinity.
  return real.kind == LeadingReal::Kind::kNumber ? real.value : 0.0;
}

std::string IniIntDefault(int32_t fallback) { return FormatIniInt(fallback); }

std::string IniRealDefault(double fallback) {
  std::string text = FormatIniReal(fallback);
  if (text.size() > 256) text.resize(256);
  return text;
}

int32_t ReadIniInt(const char* section, const char* key, int32_t fallback, const std::string& file) {
  IniValue value{key, IniIntDefault(fallback)};
  ReadIniValues(file, section, &value, 1);
  return ParseIniInt(value.text);
}

double ReadIniDouble(const char* section, const char* key, double fallback, const std::string& file) {
  IniValue value{key, IniRealDefault(fallback)};
  ReadIniValues(file, section, &value, 1);
  return ParseIniReal(value.text);
}
