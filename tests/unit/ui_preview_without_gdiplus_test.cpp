// The preview panes on a system without GDI+ (Windows only): loading,
// refreshing and the estimate do nothing and show nothing, the sample path
// stays, and the panes paint the button face.
#if defined(_WIN32)
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "ui/gdiplus_win32.h"
#include "ui/preview_panes_win32.h"

namespace {

class FakeOwner : public PreviewOwner {
 public:
  HWND DialogWindow() const override { return nullptr; }
  bool ControlsReady() const override { return true; }
  bool SaveValues() override {
    ++saves;
    return true;
  }
  const FilterSettings& Pending() const override { return pending; }
  std::string& ImagePath() override { return path; }
  const StopQuery& Stop() const override { return stop; }

  int saves = 0;
  FilterSettings pending;
  std::string path = "C:\\windows\\win.ini";  // exists, but is no picture
  StopQuery stop;
};

TEST(PreviewWithoutGdiplus, NothingLoadsNothingIsAskedAndThePanesShowTheButtonFace) {
  const gdiplus::Session missing("chromaline-no-such-gdiplus.dll");
  ASSERT_FALSE(missing.ready());
  FakeOwner owner;
  PreviewPanes panes(owner, missing, GetModuleHandleA(nullptr));
  panes.Load("C:\\windows\\system.ini");
  panes.Refresh();
  panes.Estimate();  // would show text 103 or 102 if it ran
  panes.Clear();
  EXPECT_EQ(owner.path, "C:\\windows\\win.ini");
  EXPECT_EQ(owner.saves, 0) << "no data exchange without GDI+";
  EXPECT_FALSE(panes.has_source());
  EXPECT_FALSE(panes.has_filtered());

  // A pane drawn into a small memory bitmap.
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, -3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_BUTTON;
  item.CtlID = IDC_FILTERED_PREVIEW;
  item.hDC = dc;
  item.rcItem = {0, 0, 4, 3};
  EXPECT_TRUE(panes.Draw(item));
  GdiFlush();
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const auto* pixels = static_cast<const unsigned char*>(bits);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(pixels[i * 4 + 0], GetBValue(face)) << i;
    EXPECT_EQ(pixels[i * 4 + 1], GetGValue(face)) << i;
    EXPECT_EQ(pixels[i * 4 + 2], GetRValue(face)) << i;
  }
  item.CtlID = IDOK;
  EXPECT_FALSE(panes.Draw(item)) << "not a pane";
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

TEST(PreviewWithoutGdiplus, TheRealLibraryIsFoundAndStarted) {
  const gdiplus::Session present;
  EXPECT_TRUE(present.ready());
}

}  // namespace
#endif  // _WIN32
