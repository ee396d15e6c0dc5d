// The dialog messages of the native plug-in, which has no window system: a
// dialog that cannot be created ends like Cancel. Nothing is taken over,
// nothing is written, and the hotkey dialog is still bracketed by 19 and 20.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "host/plugin_host.h"
#include "tests/support/test_support.h"

namespace {

void* P(uintptr_t value) { return reinterpret_cast<void*>(value); }

TEST(DialogMessagesWithoutWindows, EveryDialogEndsAsCancelled) {
  PluginHost host;
  std::string error;
  ASSERT_TRUE(host.Load(DefaultPluginPath(), &error)) << error;
  TempDir dir;
  const std::string picture = dir.File("photo.png");
  std::ofstream(picture) << "x";
  host.store().SetInt("ChromalinePlugIn", "Enabled", 1);
  host.store().SetInt("ChromalinePlugIn", "HotKey", 0x0241);
  host.Send(7);
  host.SendText(13, picture.c_str(), 5);
  host.ClearCalls();

  EXPECT_EQ(host.Send(5, nullptr), 0);
  EXPECT_EQ(host.Send(8), 0) << "not Dirty";
  EXPECT_EQ(host.SendText(30, picture.c_str(), 0), 0);
  EXPECT_EQ(host.SendText(30, (dir.path() + "/").c_str(), 0), 0);
  EXPECT_TRUE(host.calls().empty());
  EXPECT_EQ(host.Send(22, P(65), 5), 0);
  ASSERT_EQ(host.CallCodes(), (std::vector<uint32_t>{9, 9}));
  EXPECT_EQ(host.calls()[0].p, 19u);
  EXPECT_EQ(host.calls()[1].p, 20u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("photo.zprop")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("zprop.ini")));
  host.Send(40, P(1), 0);
}

}  // namespace
