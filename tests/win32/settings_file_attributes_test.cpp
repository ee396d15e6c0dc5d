// A settings file rewritten by the plug-in keeps its attributes: a hidden
// file stays hidden, and a read-only file is not rewritten at all.
#include <windows.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "settings/local_settings.h"
#include "tests/support/test_support.h"

namespace {

FilterSettings Changed() {
  FilterSettings s;
  s.USMEnable = 1;
  s.DefogVal = 55;
  return s;
}

TEST(SettingsFileAttributes, HiddenAndArchiveSurviveARewrite) {
  TempDir dir;
  const struct {
    const char* name;
    DWORD attributes;
  } cases[] = {{"hidden", FILE_ATTRIBUTE_HIDDEN},
               {"hidden-archive", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
               {"hidden-system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
               {"archive", FILE_ATTRIBUTE_ARCHIVE}};
  for (const auto& c : cases) {
    const std::string file = dir.File(std::string(c.name) + ".zprop");
    std::ofstream(file, std::ios::binary) << "[ChromalinePlugIn]\r\nDefogVal=1\r\n";
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), c.attributes)) << c.name;
    const std::string picture = dir.File(std::string(c.name) + ".jpg");
    WriteLocalSettings(picture.c_str(), Changed());
    EXPECT_EQ(ReadLocalSettings(picture.c_str(), FilterSettings()).DefogVal, 55) << c.name << " rewritten";
    // A changed file may gain the archive attribute (it is to be backed
    // up); every other attribute stays as it was.
    EXPECT_EQ(GetFileAttributesA(file.c_str()) & ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE),
              c.attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE))
        << c.name;
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST(SettingsFileAttributes, AReadOnlyFileStaysAsItWas) {
  TempDir dir;
  const std::string file = dir.File("locked.zprop");
  const std::string text = "[ChromalinePlugIn]\r\nDefogVal=1\r\n";
  std::ofstream(file, std::ios::binary) << text;
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  const DWORD before = GetFileAttributesA(file.c_str());
  WriteLocalSettings(dir.File("locked.jpg").c_str(), Changed());
  EXPECT_EQ(ReadWholeFile(file), text);
  EXPECT_EQ(GetFileAttributesA(file.c_str()), before);
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
