// The safe writer's promises on every platform: a filler that fails leaves
// the old file (or none) and no temporary file behind, a folder is refused
// by name, a file that appears while a new one is being written is kept,
// and a copy filled by name is what goes in.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/safe_file.h"
#include "tests/support/test_support.h"

namespace {

void Put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> Names(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// Each case on an existing target and on a new one.
struct Target {
  const char* name;
  const char* old_text;  // null: no file there
};
const Target kTargets[] = {{"old.txt", "old bytes"}, {"new.txt", nullptr}};

TEST(SafeFile, AFillerThatFailsLeavesTheOldFileOrNoneAndNoTemporaryFile) {
  for (const Target& t : kTargets) {
    TempDir dir;
    const std::string target = dir.File(t.name);
    if (t.old_text) Put(target, t.old_text);
    std::string error;
    const bool written = ReplaceFileSafely(
        target,
        [](TemporaryFile& file) {
          file.Write("half", 4);
          return false;  // the rest cannot be made
        },
        SafeWriteOptions(), &error);
    EXPECT_FALSE(written) << t.name;
    EXPECT_NE(error.find(target), std::string::npos) << error;
    if (t.old_text) {
      EXPECT_EQ(ReadWholeFile(target), t.old_text);
    }
    EXPECT_EQ(Names(dir), t.old_text ? std::vector<std::string>{t.name} : std::vector<std::string>{}) << t.name;
  }
}

TEST(SafeFile, AFolderIsRefusedByName) {
  TempDir dir;
  const std::string target = dir.File("out.png");
  std::filesystem::create_directory(target);
  std::string error;
  EXPECT_FALSE(WriteFileSafely(target, "x", 1, &error));
  EXPECT_EQ(error, target + ": cannot be written: it is a folder");
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(Names(dir), std::vector<std::string>{"out.png"});
}

TEST(SafeFile, AFileThatAppearsWhileANewOneIsWrittenIsKept) {
  TempDir dir;
  const std::string target = dir.File("new.txt");
  std::string error;
  const bool written = ReplaceFileSafely(
      target,
      [&](TemporaryFile& file) {
        Put(target, "theirs");
        return file.Write("ours", 4);
      },
      SafeWriteOptions(), &error);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadWholeFile(target), "theirs");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"new.txt"});
}

TEST(SafeFile, ACopyFilledByNameGoesIn) {
  for (const bool keep_attributes : {false, true}) {
    for (const Target& t : kTargets) {
      TempDir dir;
      const std::string target = dir.File(t.name);
      if (t.old_text) Put(target, t.old_text);
      SafeWriteOptions options;
      options.keep_windows_attributes = keep_attributes;
      std::string error;
      const bool written = ReplaceFileSafely(
          target,
          [](TemporaryFile& file) {
            if (!file.Close()) return false;
            std::ofstream out(file.path(), std::ios::binary | std::ios::app);
            out << "by name";
            return static_cast<bool>(out.flush());
          },
          options, &error);
      EXPECT_TRUE(written) << t.name << ": " << error;
      EXPECT_EQ(ReadWholeFile(target), "by name") << t.name;
      EXPECT_EQ(Names(dir), std::vector<std::string>{t.name}) << t.name;
    }
  }
}

}  // namespace
