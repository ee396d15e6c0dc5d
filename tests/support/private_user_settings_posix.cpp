// A private XDG configuration folder for the time of one test.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/private_user_settings.h"

PrivateUserSettings::PrivateUserSettings() {
  std::error_code ec;
  std::string folder = (std::filesystem::temp_directory_path(ec) / "chromaline-config-XXXXXX").string();
  if (ec || mkdtemp(folder.data()) == nullptr) return;
  where_ = folder;
  const char* old = std::getenv("XDG_CONFIG_HOME");
  had_variable_ = old != nullptr;
  if (old != nullptr) restore_ = old;
  ok_ = setenv("XDG_CONFIG_HOME", where_.c_str(), 1) == 0;
}

PrivateUserSettings::~PrivateUserSettings() {
  if (where_.empty()) return;
  if (had_variable_) {
    setenv("XDG_CONFIG_HOME", restore_.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
  std::error_code ec;
  std::filesystem::remove_all(where_, ec);
}
