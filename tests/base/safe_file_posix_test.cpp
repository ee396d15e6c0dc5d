// The safe writer's rules for what it may replace, natively: a file
// without write permission and a pipe are refused and left as they were;
// a link is written through and stays; a link that leads nowhere is
// replaced itself.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "base/safe_file.h"
#include "tests/support/test_support.h"

namespace {

TEST(SafeFilePosix, WhatMayNotBeWrittenIsRefusedAndLeftAsItWas) {
  const struct {
    const char* name;
    const char* reason;
    void (*make)(const std::string& path);
  } cases[] = {
      {"read-only", "Permission denied",
       [](const std::string& path) {
         std::ofstream(path) << "old";
         ::chmod(path.c_str(), 0444);
       }},
      {"pipe", "it is not a regular file", [](const std::string& path) { ::mkfifo(path.c_str(), 0644); }},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string target = dir.File("target");
    c.make(target);
    struct stat before = {};
    ASSERT_EQ(::lstat(target.c_str(), &before), 0) << c.name;
    std::string error;
    EXPECT_FALSE(WriteFileSafely(target, "new", 3, &error)) << c.name;
    EXPECT_EQ(error.find(target + ": cannot be written: "), 0u) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    struct stat after = {};
    ASSERT_EQ(::lstat(target.c_str(), &after), 0) << c.name;
    EXPECT_EQ(after.st_ino, before.st_ino) << c.name;
    EXPECT_EQ(after.st_mode, before.st_mode) << c.name;
    EXPECT_EQ(dir.Entries(), 1u) << c.name << ": a temporary file or the link's target was made";
  }
}

TEST(SafeFilePosix, ALinkIsWrittenThroughAndStays) {
  TempDir dir;
  const std::string real = dir.File("real.txt");
  const std::string link = dir.File("link.txt");
  std::ofstream(real) << "old";
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(::symlink("real.txt", link.c_str()), 0);
  std::string error;
  ASSERT_TRUE(WriteFileSafely(link, "new", 3, &error)) << error;
  struct stat info = {};
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadWholeFile(real), "new");
  ASSERT_EQ(::stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(dir.Entries(), 2u);
}

TEST(SafeFilePosix, ALinkThatLeadsNowhereIsReplacedItself) {
  TempDir dir;
  const std::string link = dir.File("link.txt");
  ASSERT_EQ(::symlink("missing.txt", link.c_str()), 0);
  std::string error;
  ASSERT_TRUE(WriteFileSafely(link, "new", 3, &error)) << error;
  struct stat info = {};
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(ReadWholeFile(link), "new");
  EXPECT_EQ(dir.Entries(), 1u) << "the link's target was made";
}

}  // namespace
