// The two limits of settings files that differ between the builds, on this
// build's side: a file over 32 MiB is no settings file here (Windows reads
// it), and a path of 260 characters or more is read here (Windows cannot
// open it).
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "settings/local_settings.h"
#include "tests/support/test_support.h"

namespace {

TEST(SettingsFileLimits, AFileOver32MiBIsIgnored) {
  TempDir dir;
  const std::string file = dir.File("big.zprop");
  const struct {
    off_t size;
    int32_t defog;
  } cases[] = {{off_t{32} << 20, 44}, {(off_t{32} << 20) + 1, 10}};
  for (const auto& c : cases) {
    std::ofstream(file, std::ios::binary) << "[ChromalinePlugIn]\r\nDefogVal=44\r\n";
    ASSERT_EQ(::truncate(file.c_str(), c.size), 0);
    EXPECT_EQ(ReadLocalSettings(dir.File("big.jpg").c_str(), FilterSettings()).DefogVal, c.defog)
        << c.size << " bytes";
  }
}

TEST(SettingsFileLimits, ALongPathIsRead) {
  TempDir dir;
  const std::string folder = dir.File(std::string(150, 'd'));
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  const std::string picture = folder + "/" + std::string(150, 'p') + ".jpg";
  ASSERT_GE(picture.size(), 300u);
  std::ofstream(folder + "/" + std::string(150, 'p') + ".zprop", std::ios::binary)
      << "[ChromalinePlugIn]\r\nDefogVal=44\r\n";
  EXPECT_EQ(ReadLocalSettings(picture.c_str(), FilterSettings()).DefogVal, 44);
}

}  // namespace
