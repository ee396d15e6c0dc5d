// The safe writer's Windows rules: a read-only file is refused and left
// as it was, and a target whose temporary name would be too long for the
// ANSI file functions is still written.
#include <windows.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "base/safe_file.h"
#include "tests/support/test_support.h"

namespace {

TEST(SafeFileWin32, AReadOnlyFileIsRefusedAndLeftAsItWas) {
  for (const bool keep_attributes : {false, true}) {
    TempDir dir;
    const std::string target = dir.File("locked.txt");
    std::ofstream(target, std::ios::binary) << "old";
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    const DWORD before = GetFileAttributesA(target.c_str());
    SafeWriteOptions options;
    options.keep_windows_attributes = keep_attributes;
    std::string error;
    EXPECT_FALSE(ReplaceFileSafely(
        target, [](TemporaryFile& file) { return file.Write("new", 3); }, options, &error));
    EXPECT_EQ(error.find(target + ": cannot be written: "), 0u) << error;
    EXPECT_EQ(ReadWholeFile(target), "old");
    EXPECT_EQ(GetFileAttributesA(target.c_str()), before);
    EXPECT_EQ(dir.Entries(), 1u) << "a temporary file was left";
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST(SafeFileWin32, ANameNearTheLengthLimitIsWritten) {
  TempDir dir;
  // The target fits the ANSI functions (under 260 characters); the usual
  // temporary name beside it, 14 characters longer, would not.
  const size_t used = dir.File("").size();
  ASSERT_LT(used, 200u);
  const std::string target = dir.File(std::string(255 - used, 'n'));
  std::ofstream(target, std::ios::binary) << "old";
  std::string error;
  ASSERT_TRUE(WriteFileSafely(target, "new", 3, &error)) << error;
  EXPECT_EQ(ReadWholeFile(target), "new");
  EXPECT_EQ(dir.Entries(), 1u);
}

}  // namespace
