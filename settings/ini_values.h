// The text form of the numbers kept in INI files: "%d" for integers,
// "%.2f" for reals, read back as the longest leading decimal number. The
// conversions never depend on the process's locale (a host that switched
// to a comma decimal separator would otherwise write "0,50" and read 0),
// and a number that a 32-bit integer or a double cannot hold reads as if
// the text did not begin with a number.
#ifndef CHROMALINE_SETTINGS_INI_VALUES_H_
#define CHROMALINE_SETTINGS_INI_VALUES_H_

#include <cstdint>
#include <string>

// The size of the value buffer an INI read fills: at most 4095
// characters of a value come back.
constexpr size_t kIniValueBuffer = 4096;

// "%d".
std::string FormatIniInt(int32_t value);
// "%.2f" with "." as the separator: 0.666 gives "0.67", 1e300 gives all of
// its 301 digits, NaN and infinities give "nan", "-nan", "inf", "-inf".
std::string FormatIniReal(double value);

// The leading decimal integer of text (after white space: optional sign,
// digits), or 0 when there is none or it lies outside the 32-bit range.
int32_t ParseIniInt(const std::string& text);
// The leading decimal number of text (after white space: optional sign,
// digits, ".", digits, optional exponent), or 0.0 when there is none or it
// lies beyond the range of a double. "nan", "inf" and hexadecimal forms are
// not decimal numbers.
double ParseIniReal(const std::string& text);

// One integer or real value from an INI file: the value text, or the
// default's own text when the file, section or key is missing, converted
// as above. The real default is formatted with "%.2f" and cut after 256
// characters, so a missing key yields the default rounded to two decimals.
int32_t ReadIniInt(const char* section, const char* key, int32_t fallback, const std::string& file);
double ReadIniDouble(const char* section, const char* key, double fallback, const std::string& file);

// The default texts those reads hand to the INI file.
std::string IniIntDefault(int32_t fallback);
std::string IniRealDefault(double fallback);

#endif  // CHROMALINE_SETTINGS_INI_VALUES_H_
