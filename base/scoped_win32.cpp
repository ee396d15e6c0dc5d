// File: base/scoped_win32.cpp
//
// The conversion of ANSI text to UTF-16 (base/scoped_win32.h).
#include "base/scoped_win32.h"

std::wstring WideFromAnsi(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length) != length) return std::wstring();
  wide.resize(static_cast<size_t>(length) - 1);  // the terminating zero
  return wide;
}
