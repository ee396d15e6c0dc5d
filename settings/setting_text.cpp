// The settings' numbers scanned from text and formatted, whatever the C locale.
#include "settings/setting_text.h"

#include <charconv>
#include <cstdint>
#include <system_error>

namespace {

const char* SkipZeros(const char* p, const char* end) {
  while (p != end && *p == '0') ++p;
  return p;
}

// The exponent's digits after its optional sign, held far beyond any
// double's exponent but short of overflowing.
int64_t Exponent(const char* p, const char* end) {
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  int64_t magnitude = 0;
  for (; p != end; ++p) {
    if (magnitude < 1000000000000) magnitude = magnitude * 10 + (*p - '0');
  }
  return negative ? -magnitude : magnitude;
}

}  // namespace

LeadingReal ScanLeadingReal(const std::string& text) {
  LeadingReal result;
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p != end && IsTextSpace(*p)) ++p;
  const bool negative = p != end && *p == '-';
  if (p != end && (*p == '+' || *p == '-')) ++p;

  // The number's extent: digits, ".", digits, then an exponent only when
  // at least one digit follows its letter and sign.
  const char* const number = p;
  const char* const integer_end = SkipDecimalDigits(number, end);
  const char* fraction = integer_end;
  const char* q = integer_end;
  if (q != end && *q == '.') {
    fraction = q + 1;
    q = SkipDecimalDigits(fraction, end);
  }
  if (integer_end == number && q == fraction) return result;
  const char* const mantissa_end = q;
  const char* exponent = nullptr;
  if (q != end && (*q == 'e' || *q == 'E')) {
    const char* e = q + 1;
    if (e != end && (*e == '+' || *e == '-')) ++e;
    const char* const exponent_end = SkipDecimalDigits(e, end);
    if (exponent_end != e) {
      exponent = q + 1;
      q = exponent_end;
    }
  }
  result.negative = negative;

  double value = 0.0;
  const std::from_chars_result parsed = std::from_chars(number, q, value, std::chars_format::general);
  if (parsed.ec == std::errc() && parsed.ptr == q) {
    result.kind = LeadingReal::Kind::kNumber;
    result.value = negative ? -value : value;
    return result;
  }
  // Out of range. The number lies below the power of ten `order`: the
  // digits before the point from the first that is not zero, less the
  // zeros after the point, plus the exponent. Only far above 1 or far
  // below it can a number be out of range, so its sign tells which.
  int64_t order = 0;
  const char* const first = SkipZeros(number, integer_end);
  if (first != integer_end) {
    order = integer_end - first;
  } else {
    order = -(SkipZeros(fraction, mantissa_end) - fraction);
  }
  if (exponent != nullptr) order += Exponent(exponent, q);
  result.kind = order > 0 ? LeadingReal::Kind::kTooLarge : LeadingReal::Kind::kTooSmall;
  return result;
}

std::string FormatReal(double value) {
  char buffer[64];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return std::string(buffer, result.ptr);
}
