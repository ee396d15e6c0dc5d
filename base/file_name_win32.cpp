// File names on Windows: UTF-8 inside the program, UTF-16 for the system's
// W calls, the ANSI code page (or the short name) for the plug-in
// (base/file_name.h).
#include <windows.h>

#include "base/file_name.h"
#include "base/scoped_win32.h"

std::FILE* OpenFile(const std::string& name, const char* mode) {
  return _wfopen(WideFromUtf8(name).c_str(), WideFromUtf8(mode).c_str());
}

std::string PluginFileName(const std::string& name, bool* shortened) {
  const std::wstring wide = WideFromUtf8(name);
  bool exact = false;
  const std::string ansi = AnsiFromWide(wide, &exact);
  *shortened = !exact;
  if (exact) return ansi;
  // Every part of the path that has a short name gets it; those are made
  // of ASCII letters where the file system makes them at all.
  const DWORD size = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (size == 0) return ansi;
  std::wstring short_name(size, L'\0');
  const DWORD length = GetShortPathNameW(wide.c_str(), &short_name[0], size);
  if (length == 0 || length >= size) return ansi;
  short_name.resize(length);
  return AnsiFromWide(short_name, &exact);
}

std::string Utf8FromPluginFileName(const std::string& name) { return Utf8FromAnsi(name); }
