// A settings file rewritten by the plug-in keeps its owner, group and
// permission bits: a private file stays private, a file shared with one
// group stays shared with that group only.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "settings/local_settings.h"
#include "tests/support/test_support.h"

namespace {

struct stat StatOf(const std::string& path) {
  struct stat info = {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info;
}

FilterSettings Changed() {
  FilterSettings s;
  s.USMEnable = 1;
  s.DefogVal = 55;
  return s;
}

// Writes an old settings file with `mode`, lets the plug-in rewrite it and
// returns the new file's state.
struct stat RewriteWithMode(const TempDir& dir, const std::string& name, mode_t mode) {
  const std::string file = dir.File(name + ".zprop");
  std::ofstream(file) << "[ChromalinePlugIn]\r\nDefogVal=1\r\n";
  EXPECT_EQ(::chmod(file.c_str(), mode), 0);
  WriteLocalSettings(dir.File(name + ".jpg").c_str(), Changed());
  EXPECT_EQ(ReadLocalSettings(dir.File(name + ".jpg").c_str(), FilterSettings()).DefogVal, 55) << "rewritten";
  return StatOf(file);
}

TEST(SettingsFileOwnership, PermissionBitsSurviveARewrite) {
  TempDir dir;
  const mode_t saved_mask = ::umask(022);
  const struct {
    const char* name;
    mode_t mode;
  } cases[] = {{"private", 0600}, {"group", 0640}, {"everyone", 0644}, {"odd", 0604}, {"all", 0666}};
  for (const auto& c : cases) {
    EXPECT_EQ(RewriteWithMode(dir, c.name, c.mode).st_mode & 07777, c.mode) << c.name;
  }
  ::umask(saved_mask);
}

TEST(SettingsFileOwnership, ANewFileTakesTheUmask) {
  TempDir dir;
  const mode_t saved_mask = ::umask(077);
  WriteLocalSettings(dir.File("new.jpg").c_str(), Changed());
  ::umask(saved_mask);
  EXPECT_EQ(StatOf(dir.File("new.zprop")).st_mode & 07777, 0600u);
}

TEST(SettingsFileOwnership, OwnerAndGroupSurviveARewriteByTheSuperuser) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the superuser may give a file to another user";
  TempDir dir;
  const std::string file = dir.File("theirs.zprop");
  std::ofstream(file) << "[ChromalinePlugIn]\r\nDefogVal=1\r\n";
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_EQ(::chown(file.c_str(), 4321, 4322), 0);
  WriteLocalSettings(dir.File("theirs.jpg").c_str(), Changed());
  const struct stat info = StatOf(file);
  EXPECT_EQ(info.st_uid, 4321u);
  EXPECT_EQ(info.st_gid, 4322u);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadLocalSettings(dir.File("theirs.jpg").c_str(), FilterSettings()).DefogVal, 55);
}

}  // namespace
