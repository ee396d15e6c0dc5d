// The conversions of text between the ANSI code page, UTF-8 and UTF-16
// (base/scoped_win32.h).
#include "base/scoped_win32.h"

std::wstring WideFromAnsi(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length) != length) return std::wstring();
  wide.resize(static_cast<size_t>(length) - 1);  // the terminating zero
  return wide;
}

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &wide[0], length);
  return wide;
}

std::string Utf8FromWide(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &narrow[0], length, nullptr, nullptr);
  return narrow;
}

std::string AnsiFromWide(const std::wstring& text, bool* exact) {
  *exact = true;
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  BOOL used_default = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, &used_default);
  if (length <= 0) {
    *exact = false;
    return std::string();
  }
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), size, &narrow[0], length, nullptr, &used_default);
  *exact = used_default == FALSE;
  return narrow;
}

std::string Utf8FromAnsi(const std::string& text) { return Utf8FromWide(WideFromAnsi(text)); }

std::string AnsiFromUtf8(const std::string& text, bool* exact) { return AnsiFromWide(WideFromUtf8(text), exact); }
