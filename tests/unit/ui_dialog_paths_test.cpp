// The split of the sample path for the open-file dialog, and the filter
// string.
#include <string>

#include <gtest/gtest.h>

#include "ui/dialog_paths.h"

namespace {

TEST(SplitImagePath, FolderWithDriveAndNameWithExtension) {
  const struct {
    const char* path;
    const char* folder;
    const char* name;
  } cases[] = {
      {"D:\\Pictures\\Trip\\img01.jpg", "D:\\Pictures\\Trip\\", "img01.jpg"},
      {"D:/Pictures/a.png", "D:/Pictures/", "a.png"},
      {"D:\\Pictures\\", "D:\\Pictures\\", ""},
      {"C:photo.bmp", "C:", "photo.bmp"},
      {"photo.bmp", "", "photo.bmp"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    const SplitPath split = SplitImagePath(c.path);
    EXPECT_EQ(split.folder, c.folder) << c.path;
    EXPECT_EQ(split.name, c.name) << c.path;
  }
}

TEST(OpenFileFilter, BarsBecomeNulsAndTheListEndsTwice) {
  const std::string filter = OpenFileFilter("Pictures|*.png;*.jpg|All Files|*.*||");
  EXPECT_EQ(filter, std::string("Pictures\0*.png;*.jpg\0All Files\0*.*\0\0\0\0", 38));
  EXPECT_EQ(OpenFileFilter(""), std::string("\0\0", 2));
}

}  // namespace
