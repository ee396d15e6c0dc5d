// The fixture of the dialog tests: the real plug-in loaded by the reference
// host, one GUI test at a time on the desktop, a private per-user registry
// with no remembered sample picture unless a test sets one, and the global
// settings put in and read back through the host store (messages 7 and 6).
#ifndef CHROMALINE_TESTS_WIN32_GUI_FIXTURE_H_
#define CHROMALINE_TESTS_WIN32_GUI_FIXTURE_H_

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "filters/filter_settings.h"
#include "host/plugin_host.h"
#include "tests/support/private_user_settings.h"
#include "tests/support/test_support.h"
#include "tests/win32/dialog_driver.h"

namespace gui {

// "PreviewImg", the global dialog's remembered sample picture.
inline const char* PreviewKey() { return "Software\\KelvarWorks\\Chromaline\\Settings"; }
inline void SetPreviewImage(const std::string& path) {
  RegSetKeyValueA(HKEY_CURRENT_USER, PreviewKey(), "PreviewImg", REG_SZ, path.c_str(),
                  static_cast<DWORD>(path.size() + 1));
}
inline std::string PreviewImage() {
  char value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, PreviewKey(), "PreviewImg", RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return "<missing>";
  }
  return value;
}

}  // namespace gui

inline void* P(uintptr_t value) { return reinterpret_cast<void*>(value); }
inline constexpr char kSection[] = "ChromalinePlugIn";

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gui::HaveDisplay()) GTEST_SKIP() << "no display for the dialog";
    desktop_ = std::make_unique<gui::DesktopLock>();
    user_settings_ = std::make_unique<PrivateUserSettings>();
    ASSERT_TRUE(user_settings_->ok()) << "no private registry key for the dialog's sample picture";
    gui::SetPreviewImage("");
    std::string error;
    ASSERT_TRUE(host_.Load(DefaultPluginPath(), &error)) << error;
  }
  void TearDown() override {
    host_.Send(kMessageEnable, P(1), 0);
    user_settings_.reset();
    desktop_.reset();
  }

  // The global settings as message 7 loads them from the host store.
  void LoadGlobal(int32_t enabled, int32_t hotkey, const FilterSettings& s) {
    PutGlobalSettings(host_.store(), enabled, s);
    host_.store().SetInt(kSection, "HotKey", hotkey);
    host_.Send(kMessageLoadSettings);
    host_.ClearCalls();
  }
  // The global settings as message 6 saves them.
  int32_t Saved(const char* key) {
    host_.Send(kMessageSaveSettings);
    const SettingsStore::Value* value = host_.store().Find(kSection, key);
    return value != nullptr ? value->integer : -12345;
  }
  double SavedReal(const char* key) {
    host_.Send(kMessageSaveSettings);
    const SettingsStore::Value* value = host_.store().Find(kSection, key);
    return value != nullptr ? value->real : -12345.0;
  }
  // Message 5 driven by `script`; returns the message's result.
  int32_t GlobalDialog(const std::function<void(gui::Dialog&)>& script, uintptr_t parent = 0) {
    int32_t result = -1;
    const bool shown = gui::RunWithDialog([&] { result = host_.Send(kMessageGlobalDialog, P(parent)); }, script);
    EXPECT_TRUE(shown) << "no dialog appeared";
    return result;
  }

  std::unique_ptr<gui::DesktopLock> desktop_;
  std::unique_ptr<PrivateUserSettings> user_settings_;
  PluginHost host_;
};

#endif  // CHROMALINE_TESTS_WIN32_GUI_FIXTURE_H_
