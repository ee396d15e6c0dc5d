// The one conversion of ANSI names to UTF-16: a file created through its
// ANSI name is found through the converted name, in the system's ANSI code
// page whatever the thread's locale says.
#include <windows.h>

#include <cwchar>
#include <string>

#include <gtest/gtest.h>

#include "base/scoped_win32.h"
#include "tests/support/test_support.h"

namespace {

TEST(WideFromAnsi, AFileCreatedThroughItsAnsiNameIsFoundThroughTheWideName) {
  if (GetACP() != 1252) GTEST_SKIP() << "the names are spelled in code page 1252; this system uses " << GetACP();
  const struct {
    const char* ansi;
    const wchar_t* wide;
  } cases[] = {
      {"caf\xE9.txt", L"caf\u00E9.txt"},              // the same value in Latin-1
      {"\x80uro.txt", L"\u20ACuro.txt"},              // a control character in Latin-1
      {"\xC6sop \x9C.txt", L"\u00C6sop \u0153.txt"},  // 0x9C differs from Latin-1 too
  };
  // A thread whose locale has another ANSI code page (Russian: 1251, where
  // 0xE9 is a Cyrillic letter) converts the same way.
  const LCID saved = GetThreadLocale();
  const LCID russian = MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA), SORT_DEFAULT);
  for (const LCID locale : {saved, russian}) {
    ASSERT_TRUE(SetThreadLocale(locale));
    for (const auto& c : cases) {
      TempDir dir;
      // Joined by hand: the name must stay in the ANSI code page.
      const std::string path = dir.path() + "\\" + c.ansi;
      const HANDLE file =
          CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE) << c.ansi;
      CloseHandle(file);
      const std::wstring wide = WideFromAnsi(path);
      const size_t name_length = std::wcslen(c.wide);
      ASSERT_GE(wide.size(), name_length) << c.ansi;
      EXPECT_TRUE(wide.compare(wide.size() - name_length, name_length, c.wide) == 0)
          << c.ansi << " under locale " << locale;
      EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES) << c.ansi << " under locale " << locale;
    }
  }
  SetThreadLocale(saved);
}

}  // namespace
