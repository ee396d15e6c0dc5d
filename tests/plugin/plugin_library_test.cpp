// The reference host loads the very plug-in file it is given: a bare file
// name is the file in the current folder, never one the system's library
// search finds first (it starts beside the host, where the built plug-in
// of the same name sits).
#include <filesystem>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

#include "host/plugin_library.h"
#include "tests/support/process_threads.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

TEST(PluginLibrary, ABareFileNameIsTheFileInTheCurrentFolder) {
  const std::string built = DefaultPluginPath();
  const std::string name = built.substr(built.find_last_of("\\/") + 1);
  const TempDir dir;
  std::error_code failed;
  fs::copy_file(built, dir.File(name), failed);
  ASSERT_FALSE(failed) << dir.File(name) << ": " << failed.message();
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path(), failed);
  ASSERT_FALSE(failed) << dir.path() << ": " << failed.message();

  PluginLibrary library;
  std::string error;
  const bool loaded = library.Load(name, &error);
  const int copy_loaded = ModuleLoaded(dir.File(name));
  library.Unload();
  fs::current_path(previous);

  EXPECT_TRUE(loaded) << error;
  EXPECT_EQ(copy_loaded, 1) << name << " was not taken from " << dir.path();
}

}  // namespace
