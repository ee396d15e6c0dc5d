// Not a check: pictures of the real dialog for the README, taken by
// scripts/screenshots. Skipped unless CHROMALINE_SCREENSHOT_DIR names the
// folder the script watches. For each picture the dialog is arranged, its
// screen rectangle written to <name>.ready, and the test waits until the
// script has photographed the screen and written <name>.done.
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "photo/image.h"
#include "resources/resource.h"
#include "tests/support/test_support.h"
#include "tests/win32/dialog_driver.h"
#include "tests/win32/gui_fixture.h"

namespace {

class GuiScreenshots : public GuiTest {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("CHROMALINE_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "only for scripts/screenshots";
    folder_ = std::string("Z:") + dir + "\\";
    GuiTest::SetUp();
  }

  // Asks the script for a picture of `area` and waits for it.
  void Photograph(const std::string& name, HWND area) {
    RECT rect = {};
    if (area != nullptr) {
      GetWindowRect(area, &rect);
    } else {
      rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    Sleep(400);  // painted, refresh timers fired
    const std::string done = folder_ + name + ".done";
    DeleteFileA(done.c_str());
    {
      std::ofstream ready(folder_ + name + ".ready.tmp");
      ready << rect.left << " " << rect.top << " " << rect.right - rect.left << " " << rect.bottom - rect.top
            << "\n";
    }
    MoveFileA((folder_ + name + ".ready.tmp").c_str(), (folder_ + name + ".ready").c_str());
    EXPECT_TRUE(gui::WaitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000))
        << name;
  }

  std::string Photo(const TempDir& dir, const char* name) {
    Image photo;
    std::string error;
    EXPECT_TRUE(LoadImageFile(SamplesDir() + "/" + name, &photo, &error)) << error;
    const std::string path = dir.File(name);
    EXPECT_TRUE(SaveImageFile(path, photo, &error)) << error;
    return path;
  }

  std::string folder_;
};

FilterSettings Preset(int tone, int filter_param, int gamma, double gamma_val, int levels, int defog, int usm) {
  FilterSettings s;
  s.ToneFilter = tone;
  s.FilterParam = filter_param;
  s.GammaAdj = gamma;
  s.GammaVal = gamma_val;
  s.AutoLevels = levels;
  s.Defog = defog;
  s.DefogVal = 30;
  s.USMEnable = usm;
  s.USMRadius = 1.5;
  s.USMAmount = 120;
  s.USMThreshold = 3;
  return s;
}

TEST_F(GuiScreenshots, EachModeAndAFewPresets) {
  TempDir dir;
  gui::SetPreviewImage(Photo(dir, "coffee.png"));
  LoadGlobal(1, 0x0046, Preset(0, 0, 1, 0.3, 1, 1, 1));
  GlobalDialog([&](gui::Dialog& d) {
    Photograph("global", d.window());
    d.Press(IDC_ESTIMATE);
    gui::WaitUntil([&] { return !d.Text(IDC_ESTIMATE_RESULT).empty(); }, 10000);
    Photograph("global-estimate", d.window());
    d.Click(IDC_ENABLE_PLUGIN);
    Photograph("global-off", d.window());
    d.Click(IDC_ENABLE_PLUGIN);
    d.SetText(IDC_GAMMA_VAL, "2.5");
    d.Press(IDOK);
    gui::WaitForDialog(gui::kMessageCaption);
    Photograph("validation", nullptr);
    gui::DismissMessageBox();
    d.Press(IDCANCEL);
  });

  const struct {
    const char* name;
    const char* photo;
    FilterSettings settings;
  } presets[] = {
      {"preset-sepia", "chelsea.png", Preset(1, 0x10, 0, 0.0, 1, 0, 0)},
      {"preset-gray-bt709", "astronaut.png", Preset(1, 1, 0, 0.0, 0, 1, 1)},
      {"preset-sharpen", "rocket.png", Preset(0, 0, 1, -0.2, 1, 1, 1)},
  };
  for (const auto& preset : presets) {
    gui::SetPreviewImage(Photo(dir, preset.photo));
    LoadGlobal(1, 0x0046, preset.settings);
    GlobalDialog([&](gui::Dialog& d) {
      Photograph(preset.name, d.window());
      d.Press(IDCANCEL);
    });
  }

  // Single-image mode: the picture itself is the sample.
  const std::string picture = Photo(dir, "chelsea.png");
  LoadGlobal(1, 0x0046, Preset(1, 0x13, 1, 0.2, 0, 0, 1));
  gui::RunWithDialog([&] { host_.SendText(kMessageLocalDialog, picture.c_str(), 0); },
                     [&](gui::Dialog& d) {
                       Photograph("single-image", d.window());
                       d.Press(IDCANCEL);
                     });
}

}  // namespace
