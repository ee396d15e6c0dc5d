// The reference host's settings store kept in a file: exact round trips,
// strict loading, whole-file replacement, and the global settings
// surviving from one host run to the next through messages 7 and 6.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "host/plugin_host.h"
#include "host/settings_store.h"
#include "tests/support/test_support.h"

namespace {

const char kSection[] = "ChromalinePlugIn";

void Put(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

TEST(SettingsStoreFile, ValuesComeBackExactly) {
  TempDir dir;
  SettingsStore store;
  const double reals[] = {1.0 / 3.0, 0.333, -0.0, 1e308, 4.9e-324, -2.5};
  for (size_t i = 0; i < sizeof reals / sizeof reals[0]; ++i)
    store.SetDouble(kSection, "r" + std::to_string(i), reals[i]);
  store.SetDouble(kSection, "nan", std::numeric_limits<double>::quiet_NaN());
  store.SetInt(kSection, "min", INT32_MIN);
  store.SetInt(kSection, "max", INT32_MAX);
  store.SetInt("Other section", "key with spaces", 5);
  std::string error;
  ASSERT_TRUE(store.SaveFile(dir.File("store.txt"), &error)) << error;
  SettingsStore loaded;
  ASSERT_TRUE(loaded.LoadFile(dir.File("store.txt"), &error)) << error;
  EXPECT_EQ(loaded.size(), store.size());
  for (size_t i = 0; i < sizeof reals / sizeof reals[0]; ++i) {
    const SettingsStore::Value* v = loaded.Find(kSection, "r" + std::to_string(i));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, kSettingDouble);
    EXPECT_EQ(std::memcmp(&v->real, &reals[i], sizeof(double)), 0) << reals[i];
  }
  EXPECT_TRUE(std::isnan(loaded.Find(kSection, "nan")->real));
  EXPECT_EQ(loaded.Find(kSection, "min")->integer, INT32_MIN);
  EXPECT_EQ(loaded.Find(kSection, "max")->integer, INT32_MAX);
  EXPECT_EQ(loaded.Find("Other section", "key with spaces")->integer, 5);
}

TEST(SettingsStoreFile, MalformedLinesAreRefusedByLine) {
  const struct {
    const char* line;
    const char* reason;
  } cases[] = {
      {"S\tK\ti", "expected section"},
      {"S\tK\ti\t", "expected section"},
      {"S\tK\ti\t12abc", "is not a 32-bit integer"},
      {"S\tK\ti\t99999999999", "is not a 32-bit integer"},
      {"S\tK\ti\t1.5", "is not a 32-bit integer"},
      {"S\tK\td\tabc", "is not a real"},
      {"S\tK\tx\t1", "neither i nor d"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    Put(dir.File("store.txt"), std::string("# comment\n\nS\tA\ti\t1\r\n") + c.line + "\n");
    SettingsStore store;
    std::string error;
    EXPECT_FALSE(store.LoadFile(dir.File("store.txt"), &error)) << c.line;
    EXPECT_NE(error.find("store.txt:4: "), std::string::npos) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST(SettingsStoreFile, SavingReplacesTheWholeFileOrNothing) {
  TempDir dir;
  const std::string path = dir.File("store.txt");
  Put(path, "S\tOld\ti\t1\n");
  SettingsStore store;
  store.SetInt("S", "New", 2);
  std::string error;
  ASSERT_TRUE(store.SaveFile(path, &error)) << error;
  EXPECT_EQ(ReadWholeFile(path), "S\tNew\ti\t2\n") << "an existing file is replaced, on Windows too";

  store.SetInt("S", "bad\tname", 3);
  EXPECT_FALSE(store.SaveFile(path, &error));
  EXPECT_NE(error.find("tab or line break"), std::string::npos) << error;
  EXPECT_EQ(ReadWholeFile(path), "S\tNew\ti\t2\n");

  std::filesystem::create_directory(dir.File("folder"));
  SettingsStore plain;
  plain.SetInt("S", "K", 1);
  EXPECT_FALSE(plain.SaveFile(dir.File("folder"), &error)) << "a folder stands where the file should be";
  EXPECT_FALSE(plain.SaveFile(dir.File("missing") + "/store.txt", &error));
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1u) << "no temporary file is left behind";
}

TEST(SettingsStoreFile, ARealReadAsAnIntegerIsTruncatedOrZero) {
  const struct {
    double real;
    int32_t integer;
  } cases[] = {{3.9, 3},
               {-3.9, -3},
               {2147483647.5, INT32_MAX},
               {-2147483648.9, INT32_MIN},
               {1e20, 0},
               {-1e20, 0},
               {std::numeric_limits<double>::quiet_NaN(), 0},
               {std::numeric_limits<double>::infinity(), 0}};
  for (const auto& c : cases) {
    SettingsStore store;
    store.SetDouble(kSection, "K", c.real);
    HostSettingRecord record = {};
    record.section = kSection;
    record.key = "K";
    record.type = kSettingInt;
    store.Read(record);
    int32_t value;
    std::memcpy(&value, record.value, sizeof value);
    EXPECT_EQ(value, c.integer) << c.real;
  }
}

TEST(SettingsStoreFile, GlobalSettingsSurviveBetweenHostRuns) {
  TempDir dir;
  const std::string path = dir.File("store.txt");
  Put(path,
      "ChromalinePlugIn\tEnabled\ti\t1\nChromalinePlugIn\tGammaVal\td\t0.33333333333333331\n"
      "ChromalinePlugIn\tUSMAmount\ti\t250\n");
  std::string error;
  {
    PluginHost host;
    ASSERT_TRUE(host.Load(DefaultPluginPath(), &error)) << error;
    ASSERT_TRUE(host.store().LoadFile(path, &error)) << error;
    host.Send(kMessageLoadSettings);
    host.store().Clear();
    host.Send(kMessageSaveSettings);
    ASSERT_TRUE(host.store().SaveFile(path, &error)) << error;
    host.store().Clear();
    host.Send(kMessageLoadSettings);  // leave the module with the load defaults
    host.Send(kMessageEnable, reinterpret_cast<void*>(1), 0);
  }
  SettingsStore saved;
  ASSERT_TRUE(saved.LoadFile(path, &error)) << error;
  EXPECT_EQ(saved.size(), 13u);
  EXPECT_EQ(saved.Find(kSection, "Enabled")->integer, 1);
  EXPECT_EQ(saved.Find(kSection, "GammaVal")->real, 1.0 / 3.0);
  EXPECT_EQ(saved.Find(kSection, "USMAmount")->integer, 250);
  EXPECT_EQ(saved.Find(kSection, "DefogVal")->integer, 10) << "the load default, saved";
}

}  // namespace
