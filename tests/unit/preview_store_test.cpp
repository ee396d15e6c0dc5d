// The remembered sample picture: what goes in comes back, byte for byte.
// Every test keeps to a private store (a temp configuration folder
// natively, a registry key of its own on Windows), never the user's.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "plugin/preview_store.h"
#include "tests/support/private_user_settings.h"

namespace fs = std::filesystem;

namespace {

TEST(PreviewStore, ApplicationNameIsTheModuleFileNameWithoutFolderAndExtension) {
  EXPECT_EQ(ApplicationName("Z:\\plugins\\Chromaline.dll"), "Chromaline");
  EXPECT_EQ(ApplicationName("/usr/lib/viewer/chromaline.so"), "chromaline");
  EXPECT_EQ(ApplicationName("C:\\a.b\\Chroma.line.dll"), "Chroma.line");
  EXPECT_EQ(ApplicationName("Chromaline"), "Chromaline");
}

TEST(PreviewStore, PathsComeBackAsTheyWentIn) {
  const PrivateUserSettings settings;
  ASSERT_TRUE(settings.ok());
  const char* const paths[] = {
      "C:\\Pictures\\sample.jpg",
      "/home/ann/My Pictures/sample one.png",
      "  leading and trailing spaces  ",
      "\"quoted\"",
      "'single'",
      "a\"",
      "Z:\\Bilder\\\xC3\x9C"
      "ber.png",
      "",
  };
  for (const char* path : paths) {
    WritePreviewImage(path);
    EXPECT_EQ(ReadPreviewImage(), path) << path << " in " << settings.where();
  }
}

#if !defined(_WIN32)
// The INI file under the XDG configuration folder: the private one of
// PrivateUserSettings. HOME, which one test changes, is put back here.
class PreviewStoreFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    if (home) saved_home_ = home;
    ASSERT_TRUE(settings_.ok());
    folder_ = settings_.where();
  }
  void TearDown() override { setenv("HOME", saved_home_.c_str(), 1); }
  fs::path StoreFile() const { return folder_ / "KelvarWorks" / "chromaline_unit_tests.ini"; }

  const PrivateUserSettings settings_;
  fs::path folder_;
  std::string saved_home_;
};

TEST_F(PreviewStoreFile, LivesUnderTheConfigurationFolder) {
  EXPECT_EQ(ReadPreviewImage(), "") << "no file yet";
  WritePreviewImage("/p/a b.jpg");
  EXPECT_EQ(fs::status(folder_ / "KelvarWorks").permissions(), fs::perms::owner_all) << "made for this user";
  std::ifstream in(StoreFile(), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "[Settings]\r\nPreviewImg=\"/p/a b.jpg\"\r\n");
}

TEST_F(PreviewStoreFile, WhatTheStoreCannotHoldIsNotStored) {
  WritePreviewImage("/p/a.jpg");
  WritePreviewImage("/p/two\nlines.jpg");
  WritePreviewImage(std::string(5000, 'x'));
  EXPECT_EQ(ReadPreviewImage(), "/p/a.jpg");
}

TEST_F(PreviewStoreFile, WithoutAConfigurationFolderNothingIsKept) {
  setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  setenv("HOME", folder_.c_str(), 1);
  fs::create_directories(folder_);
  WritePreviewImage("/p/home.jpg");
  EXPECT_TRUE(fs::exists(folder_ / ".config" / "KelvarWorks" / "chromaline_unit_tests.ini"))
      << "a relative XDG_CONFIG_HOME is ignored for ~/.config";
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  EXPECT_EQ(ReadPreviewImage(), "");
  WritePreviewImage("/p/nowhere.jpg");  // silently nothing
}

TEST_F(PreviewStoreFile, AnUnreadableStoreReadsAsEmpty) {
  fs::create_directories(StoreFile());  // a folder where the file should be
  EXPECT_EQ(ReadPreviewImage(), "");
  WritePreviewImage("/p/a.jpg");
  EXPECT_TRUE(fs::is_directory(StoreFile()));
}
#endif

}  // namespace
