// The preview panes of the real dialog under Wine: pane pixels read back
// from the window, compared exactly where the sample is a PNG of the
// pane's own size (no scaling), the estimate's result line, the messages of
// a failed load and of a missing sample, and the remembered sample picture.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "filters/filter_pipeline.h"
#include "host/host_bitmap.h"
#include "photo/image.h"
#include "resources/resource.h"
#include "tests/support/test_support.h"
#include "tests/win32/dialog_driver.h"
#include "tests/win32/gui_fixture.h"

namespace {

using GuiPreviewPanes = GuiTest;

constexpr int kPaneWidth = 272;
constexpr int kPaneHeight = 169;

// What a pane shows now: its client area read back from the window.
Image GrabPane(HWND pane) {
  RECT client = {};
  GetClientRect(pane, &client);
  Image image;
  image.width = client.right;
  image.height = client.bottom;
  image.bgr.resize(static_cast<size_t>(image.width) * image.height * 3);
  HDC window_dc = GetDC(pane);
  HDC memory_dc = CreateCompatibleDC(window_dc);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(window_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory_dc, dib);
  BitBlt(memory_dc, 0, 0, image.width, image.height, window_dc, 0, 0, SRCCOPY);
  GdiFlush();
  const auto* pixels = static_cast<const uint8_t*>(bits);
  for (int i = 0; i < image.width * image.height; ++i) {
    for (int c = 0; c < 3; ++c) image.bgr[static_cast<size_t>(i) * 3 + c] = pixels[i * 4 + c];
  }
  SelectObject(memory_dc, old);
  DeleteObject(dib);
  DeleteDC(memory_dc);
  ReleaseDC(pane, window_dc);
  return image;
}

bool AllButtonFace(const Image& image) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (size_t i = 0; i < image.bgr.size(); i += 3) {
    if (image.bgr[i] != GetBValue(face) || image.bgr[i + 1] != GetGValue(face) ||
        image.bgr[i + 2] != GetRValue(face)) {
      return false;
    }
  }
  return !image.bgr.empty();
}

// A smooth picture of the pane's size (smooth, so that a bicubic scaler at
// 1:1 has nothing to change even where it is not an exact copy).
Image PaneSizedSample() {
  Image image;
  image.width = kPaneWidth;
  image.height = kPaneHeight;
  image.bgr.resize(static_cast<size_t>(kPaneWidth) * kPaneHeight * 3);
  for (int y = 0; y < kPaneHeight; ++y) {
    for (int x = 0; x < kPaneWidth; ++x) {
      uint8_t* p = image.pixel(x, y);
      p[0] = static_cast<uint8_t>(40 + x / 2);
      p[1] = static_cast<uint8_t>(30 + y);
      p[2] = static_cast<uint8_t>(200 - x / 3);
    }
  }
  return image;
}

Image Filtered(const Image& image, const FilterSettings& settings) {
  auto bitmap = HostBitmap::Create(image, HostBitmap::Kind::kDib32);
  FilterPipeline(bitmap->handle(), settings, ImageRegion{0, 0, 0, 0});
  return bitmap->Read();
}

std::string SaveSample(const TempDir& dir, const Image& image) {
  const std::string path = dir.File("sample.png");
  std::string error;
  EXPECT_TRUE(SaveImageFile(path, image, &error)) << error;
  return path;
}

TEST_F(GuiPreviewPanes, PngSampleFillsBothPanesAndTheLowerFollowsSepiaUntilCancel) {
  TempDir dir;
  const Image sample = PaneSizedSample();
  gui::SetPreviewImage(SaveSample(dir, sample));
  LoadGlobal(1, 0, FilterSettings());
  FilterSettings sepia;
  sepia.ToneFilter = 1;
  sepia.FilterParam = 0x10;
  const Image expected_sepia = Filtered(sample, sepia);
  ASSERT_NE(expected_sepia.bgr, sample.bgr);

  GlobalDialog([&](gui::Dialog& d) {
    gui::WaitUntil([&] { return MaxDifference(GrabPane(d.Item(IDC_FILTERED_PREVIEW)), sample) <= 1; });
    const Image upper = GrabPane(d.Item(IDC_SOURCE_PREVIEW));
    const Image lower = GrabPane(d.Item(IDC_FILTERED_PREVIEW));
    ASSERT_EQ(upper.width, kPaneWidth) << "pane client size";
    ASSERT_EQ(upper.height, kPaneHeight);
    EXPECT_LE(MaxDifference(upper, sample), 1) << "the sample, unscaled";
    EXPECT_LE(MaxDifference(lower, sample), 1) << "no stage enabled";
    d.Click(IDC_TONE);
    d.Click(IDC_SEPIA);
    const auto lower_pane_off = [&] {
      return MaxDifference(GrabPane(d.Item(IDC_FILTERED_PREVIEW)), expected_sepia);
    };
    EXPECT_TRUE(gui::WaitUntil([&] { return lower_pane_off() <= 1; }))
        << "once the timer has fired, the lower pane shows the same pipeline as the host's pictures (now "
        << lower_pane_off() << " away)";
    EXPECT_LE(MaxDifference(GrabPane(d.Item(IDC_SOURCE_PREVIEW)), sample), 1) << "the upper pane stays";
    d.Press(IDCANCEL);
  });
  EXPECT_EQ(Saved("ToneFilter"), 0) << "Cancel discards the settings";
}

TEST_F(GuiPreviewPanes, PhotoIsFittedByHeightAndCentred) {
  TempDir dir;
  Image photo;
  std::string error;
  ASSERT_TRUE(LoadImageFile(SamplesDir() + "/chelsea.png", &photo, &error)) << error;
  gui::SetPreviewImage(SaveSample(dir, photo));
  LoadGlobal(1, 0, FilterSettings());
  GlobalDialog([&](gui::Dialog& d) {
    EXPECT_TRUE(gui::WaitUntil([&] { return !AllButtonFace(GrabPane(d.Item(IDC_FILTERED_PREVIEW))); }));
    EXPECT_EQ(gui::DismissMessageBox(100), "") << gui::PreviewImage();
    const bool wider =
        static_cast<double>(photo.height) / photo.width < static_cast<double>(kPaneHeight) / kPaneWidth;
    // Columns at the very sides: button face when the picture is narrower.
    // An upper pane not yet painted is button face throughout, so the wait
    // is for a painted pane with the right sides.
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    Image upper;
    auto fitted = [&] {
      upper = GrabPane(d.Item(IDC_SOURCE_PREVIEW));
      const uint8_t* left = upper.pixel(0, kPaneHeight / 2);
      const bool left_is_face =
          left[0] == GetBValue(face) && left[1] == GetGValue(face) && left[2] == GetRValue(face);
      return !AllButtonFace(upper) && left_is_face == !wider;
    };
    EXPECT_TRUE(gui::WaitUntil(fitted)) << photo.width << "x" << photo.height;
    EXPECT_FALSE(AllButtonFace(GrabPane(d.Item(IDC_FILTERED_PREVIEW))));
    d.Press(IDCANCEL);
  });
}

// Files GDI+ cannot make a picture of: text, an empty file, and a PNG cut
// off after its header (a picture of a size but without pixels).
TEST_F(GuiPreviewPanes, UnreadableFilesReportTheirStatusAndLeaveThePanesEmpty) {
  TempDir dir;
  std::string png;
  {
    std::ifstream whole(SamplesDir() + "\\chelsea.png", std::ios::binary);
    png.assign(std::istreambuf_iterator<char>(whole), std::istreambuf_iterator<char>());
    ASSERT_GT(png.size(), 33u);
  }
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"broken.png", "this is no picture"},
      {"empty.png", ""},
      {"header-only.png", png.substr(0, 33)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(c.name);
    std::ofstream(path, std::ios::binary) << c.bytes;
    gui::SetPreviewImage(path);
    LoadGlobal(1, 0, FilterSettings());
    std::string message;
    bool closed_early = false;
    // The message comes while the dialog starts up, before it is shown.
    std::thread box_watcher([&] { message = gui::DismissMessageBox(); });
    GlobalDialog([&](gui::Dialog& d) {
      box_watcher.join();
      EXPECT_TRUE(gui::WaitUntil([&] { return AllButtonFace(GrabPane(d.Item(IDC_SOURCE_PREVIEW))); }));
      EXPECT_TRUE(gui::WaitUntil([&] { return AllButtonFace(GrabPane(d.Item(IDC_FILTERED_PREVIEW))); }));
      d.Press(IDC_ESTIMATE);
      const std::string again = gui::DismissMessageBox();
      EXPECT_EQ(again, message) << "the estimate cannot load it either";
      d.Press(IDOK);
      closed_early = true;
    });
    if (box_watcher.joinable()) box_watcher.join();
    EXPECT_TRUE(closed_early);
    EXPECT_EQ(message.rfind("Error ", 0), 0u) << message;
    EXPECT_NE(message.find(" while loading Image " + path), std::string::npos) << message;
    EXPECT_EQ(gui::PreviewImage(), path) << "the path stays the sample";
  }
}

TEST_F(GuiPreviewPanes, EstimateWritesTheResultLineAndNeedsASample) {
  TempDir dir;
  LoadGlobal(1, 0, FilterSettings());
  GlobalDialog([&](gui::Dialog& d) {
    d.Press(IDC_ESTIMATE);
    const std::string text = gui::DismissMessageBox();
    EXPECT_EQ(text, "This function requires an image. Please load an image for preview and try again.");
    EXPECT_EQ(d.Text(IDC_ESTIMATE_RESULT), "") << "unchanged";
    d.Press(IDCANCEL);
  });
  gui::SetPreviewImage(SaveSample(dir, PaneSizedSample()));
  GlobalDialog([&](gui::Dialog& d) {
    d.SetCheck(IDC_GAMMA_ADJ, true);
    d.Press(IDC_ESTIMATE);
    const std::string prefix = "Image size (" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "," +
                               std::to_string(GetSystemMetrics(SM_CYSCREEN)) + "), required time: ";
    EXPECT_TRUE(gui::WaitUntil([&] { return d.Text(IDC_ESTIMATE_RESULT).rfind(prefix, 0) == 0; }))
        << d.Text(IDC_ESTIMATE_RESULT);
    const std::string text = d.Text(IDC_ESTIMATE_RESULT);
    EXPECT_EQ(text.substr(text.size() - 4), " sec");
    d.Press(IDCANCEL);
  });
}

TEST_F(GuiPreviewPanes, CleanEmptiesThePanesAndOkForgetsTheSample) {
  TempDir dir;
  gui::SetPreviewImage(SaveSample(dir, PaneSizedSample()));
  LoadGlobal(1, 0, FilterSettings());
  GlobalDialog([&](gui::Dialog& d) {
    EXPECT_TRUE(gui::WaitUntil([&] { return !AllButtonFace(GrabPane(d.Item(IDC_SOURCE_PREVIEW))); }));
    d.Press(IDC_CLEAN);
    EXPECT_TRUE(gui::WaitUntil([&] { return AllButtonFace(GrabPane(d.Item(IDC_SOURCE_PREVIEW))); }));
    EXPECT_TRUE(AllButtonFace(GrabPane(d.Item(IDC_FILTERED_PREVIEW))));
    d.Press(IDOK);
  });
  EXPECT_EQ(gui::PreviewImage(), "");
}

// The open-file dialog of "Load New Image...": the name typed into its
// focused field, then OK.
void ChooseInOpenDialog(const gui::Dialog& d, const std::string& path) {
  d.Press(IDC_LOAD_IMAGE);
  HWND chooser = gui::WaitForDialog("Select Image");
  ASSERT_NE(chooser, nullptr) << "no open-file dialog";
  gui::Dialog open(chooser);
  ASSERT_TRUE(gui::WaitUntil([&] { return open.Focus() != nullptr; }));
  SetWindowTextA(open.Focus(), path.c_str());
  open.Press(IDOK);
  ASSERT_TRUE(gui::WaitUntil([&] { return !open.Exists(); })) << "open-file dialog still open";
}

TEST_F(GuiPreviewPanes, GlobalModeRemembersANewSampleEvenWhenCancelled) {
  TempDir dir;
  const std::string path = SaveSample(dir, PaneSizedSample());
  LoadGlobal(1, 0, FilterSettings());
  GlobalDialog([&](gui::Dialog& d) {
    EXPECT_TRUE(gui::WaitUntil([&] { return AllButtonFace(GrabPane(d.Item(IDC_SOURCE_PREVIEW))); }));
    ChooseInOpenDialog(d, path);
    EXPECT_TRUE(gui::WaitUntil([&] { return !AllButtonFace(GrabPane(d.Item(IDC_SOURCE_PREVIEW))); }));
    d.Press(IDCANCEL);
  });
  EXPECT_EQ(gui::PreviewImage(), path);
}

TEST_F(GuiPreviewPanes, SingleImageModeOnAFolderWithoutSampleShowsEmptyPanesAndRemembersNothing) {
  TempDir dir;
  const std::string path = SaveSample(dir, PaneSizedSample());
  LoadGlobal(0, 0, FilterSettings());
  const std::string folder = dir.path() + "\\";
  gui::RunWithDialog(
      [&] { host_.SendText(kMessageLocalDialog, folder.c_str(), 0); },
      [&](gui::Dialog& d) {
        EXPECT_TRUE(gui::WaitUntil([&] { return AllButtonFace(GrabPane(d.Item(IDC_SOURCE_PREVIEW))); }));
        EXPECT_TRUE(d.Enabled(IDC_LOAD_IMAGE));
        EXPECT_TRUE(d.Enabled(IDC_CLEAN));
        ChooseInOpenDialog(d, path);
        EXPECT_TRUE(gui::WaitUntil([&] { return !AllButtonFace(GrabPane(d.Item(IDC_SOURCE_PREVIEW))); }));
        d.Press(IDOK);
      });
  EXPECT_EQ(gui::PreviewImage(), "") << "a picture chosen here is not remembered";
}

TEST_F(GuiPreviewPanes, SingleImageModeShowsThePictureAndLeavesTheRememberedSample) {
  TempDir dir;
  const std::string picture = SaveSample(dir, PaneSizedSample());
  gui::SetPreviewImage("Z:\\elsewhere\\remembered.png");
  LoadGlobal(0, 0, FilterSettings());
  gui::RunWithDialog(
      [&] { host_.SendText(kMessageLocalDialog, picture.c_str(), 0); },
      [&](gui::Dialog& d) {
        EXPECT_TRUE(gui::WaitUntil(
            [&] { return MaxDifference(GrabPane(d.Item(IDC_SOURCE_PREVIEW)), PaneSizedSample()) <= 1; }, 3000));
        d.Press(IDOK);
      });
  EXPECT_EQ(gui::PreviewImage(), "Z:\\elsewhere\\remembered.png");
}

TEST_F(GuiPreviewPanes, FolderUsesTheRememberedSampleAndLocksThePictureButtons) {
  TempDir dir;
  const std::string sample = SaveSample(dir, PaneSizedSample());
  gui::SetPreviewImage(sample);
  LoadGlobal(0, 0, FilterSettings());
  const std::string folder = dir.path() + "\\";
  gui::RunWithDialog(
      [&] { host_.SendText(kMessageLocalDialog, folder.c_str(), 0); },
      [&](gui::Dialog& d) {
        EXPECT_TRUE(gui::WaitUntil([&] { return !AllButtonFace(GrabPane(d.Item(IDC_SOURCE_PREVIEW))); }));
        EXPECT_FALSE(d.Enabled(IDC_LOAD_IMAGE));
        EXPECT_FALSE(d.Enabled(IDC_CLEAN));
        d.Press(IDCANCEL);
      });
}

}  // namespace

namespace {

TEST_F(GuiPreviewPanes, ClearingGammaWithASampleLoadedPromptsAfterTheTypingDelay) {
  TempDir dir;
  gui::SetPreviewImage(SaveSample(dir, PaneSizedSample()));
  LoadGlobal(1, 0, FilterSettings());
  GlobalDialog([&](gui::Dialog& d) {
    const DWORD start = GetTickCount();
    d.SetText(IDC_GAMMA_VAL, "");
    const std::string prompt = gui::DismissMessageBox(5000);
    const DWORD waited = GetTickCount() - start;
    EXPECT_EQ(prompt, "Please enter a number.") << "the refresh reads the values back";
    EXPECT_GE(waited, 450u) << "not before the typing delay";
    EXPECT_TRUE(d.Exists());
    d.Press(IDCANCEL);
  });
}

// Paths the sample cannot be loaded from: one longer than the path limit,
// and the ANSI form of a real file whose name the ANSI code page cannot
// spell (its "?" names no file). Both count as a missing sample.
TEST_F(GuiPreviewPanes, OverlongAndUnspellableSamplePathsAreIgnoredWithoutHarm) {
  TempDir dir;
  const std::wstring wide_name = L"sample-\x6F22.png";  // a CJK character
  const std::wstring wide_path = std::wstring(dir.path().begin(), dir.path().end()) + L"\\" + wide_name;
  {
    HANDLE file = CreateFileW(wide_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }
  char ansi[MAX_PATH * 2] = {};
  WideCharToMultiByte(CP_ACP, 0, wide_path.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
  const std::string paths[] = {"Z:\\tmp\\" + std::string(300, 'a') + "\\sample.png", ansi};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    gui::SetPreviewImage(path);
    LoadGlobal(1, 0, FilterSettings());
    GlobalDialog([&](gui::Dialog& d) {
      EXPECT_TRUE(gui::WaitUntil([&] { return AllButtonFace(GrabPane(d.Item(IDC_SOURCE_PREVIEW))); }));
      EXPECT_EQ(gui::DismissMessageBox(300), "") << "a missing file is no error";
      d.Press(IDC_ESTIMATE);
      // The remembered path is still the sample path: the estimate reports
      // that it cannot load it, with the whole path, nothing cut or overrun.
      const std::string message = gui::DismissMessageBox(3000);
      EXPECT_EQ(message.rfind("Error ", 0), 0u) << message;
      EXPECT_NE(message.find(path), std::string::npos) << message;
      d.Press(IDOK);
    });
  }
}

}  // namespace

namespace {

// Twice the pane's size: fitted by the bicubic scaler of GDI+, whose
// weights differ between Wine and Windows, so the comparison with a plain
// 2 x 2 average allows a few levels.
TEST_F(GuiPreviewPanes, ScaledSampleMatchesAPlainHalvingWithinAFewLevels) {
  TempDir dir;
  Image large;
  large.width = kPaneWidth * 2;
  large.height = kPaneHeight * 2;
  large.bgr.resize(static_cast<size_t>(large.width) * large.height * 3);
  for (int y = 0; y < large.height; ++y) {
    for (int x = 0; x < large.width; ++x) {
      uint8_t* p = large.pixel(x, y);
      p[0] = static_cast<uint8_t>(20 + x / 3);
      p[1] = static_cast<uint8_t>(10 + y / 2);
      p[2] = static_cast<uint8_t>(220 - x / 4);
    }
  }
  Image halved;
  halved.width = kPaneWidth;
  halved.height = kPaneHeight;
  halved.bgr.resize(static_cast<size_t>(kPaneWidth) * kPaneHeight * 3);
  for (int y = 0; y < kPaneHeight; ++y) {
    for (int x = 0; x < kPaneWidth; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int sum = large.pixel(2 * x, 2 * y)[c] + large.pixel(2 * x + 1, 2 * y)[c] +
                        large.pixel(2 * x, 2 * y + 1)[c] + large.pixel(2 * x + 1, 2 * y + 1)[c];
        halved.pixel(x, y)[c] = static_cast<uint8_t>((sum + 2) / 4);
      }
    }
  }
  gui::SetPreviewImage(SaveSample(dir, large));
  LoadGlobal(1, 0, FilterSettings());
  GlobalDialog([&](gui::Dialog& d) {
    // The outermost rows and columns depend on how the scaler treats edges.
    auto inner_difference = [&] {
      const Image upper = GrabPane(d.Item(IDC_SOURCE_PREVIEW));
      if (upper.width != kPaneWidth || upper.height != kPaneHeight) return 256;
      int worst = 0;
      for (int y = 2; y < kPaneHeight - 2; ++y) {
        for (int x = 2; x < kPaneWidth - 2; ++x) {
          for (int c = 0; c < 3; ++c)
            worst = (std::max)(worst, std::abs(upper.pixel(x, y)[c] - halved.pixel(x, y)[c]));
        }
      }
      return worst;
    };
    EXPECT_TRUE(gui::WaitUntil([&] { return inner_difference() <= 3; })) << "worst " << inner_difference();
    d.Press(IDCANCEL);
  });
}

}  // namespace
