// The settings' numbers as text, independent of the C locale: the one
// scanner of a leading decimal real that both the dialog's edits and the
// settings files are read with, and the general format in which the dialog
// and the command line show reals.
#ifndef CHROMALINE_SETTINGS_SETTING_TEXT_H_
#define CHROMALINE_SETTINGS_SETTING_TEXT_H_

#include <string>

// The C locale's white space and decimal digits, without asking the locale.
inline bool IsTextSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
inline bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }
inline const char* SkipDecimalDigits(const char* p, const char* end) {
  while (p != end && IsDecimalDigit(*p)) ++p;
  return p;
}

// The digits of a leading decimal integer: after white space an optional
// sign, then the digits [begin, end), empty when none follow.
struct LeadingDigits {
  bool negative = false;
  const char* begin = nullptr;
  const char* end = nullptr;
};
inline LeadingDigits ScanLeadingDigits(const std::string& text) {
  const char* p = text.data();
  const char* const text_end = p + text.size();
  while (p != text_end && IsTextSpace(*p)) ++p;
  LeadingDigits digits;
  if (p != text_end && (*p == '+' || *p == '-')) digits.negative = *p++ == '-';
  digits.begin = p;
  digits.end = SkipDecimalDigits(p, text_end);
  return digits;
}

// The longest leading decimal number of a text: after white space (space,
// tab, line ends, vertical tab, form feed) an optional sign, digits with an
// optional decimal point and at least one digit, and an exponent only when
// at least one digit follows its letter and sign ("3e+" is 3). "." or "e5"
// alone, "nan", "inf" and hexadecimal forms are not decimal numbers.
struct LeadingReal {
  enum class Kind {
    kNone,      // the text does not begin with a decimal number
    kNumber,    // `value` holds it, sign included ("-0" gives -0.0)
    kTooLarge,  // beyond the range of a double
    kTooSmall,  // not zero, but nearer zero than a double can hold
  };
  Kind kind = Kind::kNone;
  double value = 0.0;
  bool negative = false;  // a leading "-" (for every kind but kNone)
};
LeadingReal ScanLeadingReal(const std::string& text);

// Reals as the dialog and the command line show them: general format, up
// to 15 significant digits ("0.5", "2", "-1", "0.1", "120").
std::string FormatReal(double value);

#endif  // CHROMALINE_SETTINGS_SETTING_TEXT_H_
