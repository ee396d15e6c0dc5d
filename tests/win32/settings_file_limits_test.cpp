// The two limits of settings files that differ between the builds, on the
// Windows side: a file over 32 MiB is read (the native build ignores it),
// and a settings file at a path of 260 characters or more is ignored,
// because the profile functions cannot open it (the native build reads it).
#include <windows.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "settings/local_settings.h"
#include "tests/support/test_support.h"

namespace {

TEST(SettingsFileLimits, AFileOver32MiBIsRead) {
  TempDir dir;
  const std::string file = dir.File("big.zprop");
  std::ofstream(file, std::ios::binary) << "[ChromalinePlugIn]\r\nDefogVal=44\r\n";
  const HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = (LONGLONG{32} << 20) + 1;
  ASSERT_TRUE(SetFilePointerEx(handle, size, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(handle));
  CloseHandle(handle);
  EXPECT_EQ(ReadLocalSettings(dir.File("big.jpg").c_str(), FilterSettings()).DefogVal, 44);
}

TEST(SettingsFileLimits, APathOf260CharactersOrMoreIsIgnored) {
  TempDir dir;
  const std::string folder = dir.File(std::string(150, 'd'));
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string name(150, 'p');
  const std::string picture = folder + "\\" + name + ".jpg";
  ASSERT_GE(picture.size(), 260u);
  // Written through the long-path form of the file functions.
  std::wstring settings = L"\\\\?\\";
  for (char c : folder + "\\" + name + ".zprop") settings += static_cast<wchar_t>(c == '/' ? '\\' : c);
  const HANDLE handle = CreateFileW(settings.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE) << GetLastError();
  const char text[] = "[ChromalinePlugIn]\r\nDefogVal=44\r\n";
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(handle, text, sizeof text - 1, &written, nullptr));
  CloseHandle(handle);
  EXPECT_EQ(ReadLocalSettings(picture.c_str(), FilterSettings()).DefogVal, 10);
  DeleteFileW(settings.c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
