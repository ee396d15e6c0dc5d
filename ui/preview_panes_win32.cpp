// The sample picture is loaded and scaled by GDI+, filtered by the very
// FilterPipeline the host's pictures go through (on a GDI copy), and drawn
// by GDI+. Every failing GDI+ call leaves a pane empty and the dialog
// usable; every object is released by its holder.
#include "ui/preview_panes_win32.h"

#include <cstdio>
#include <vector>

#include "base/scoped_win32.h"
#include "filters/filter_pipeline.h"
#include "resources/resource.h"
#include "ui/dialog_base_win32.h"
#include "ui/preview_geometry.h"

namespace {

// The wait cursor for the lifetime of the object.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

gdiplus::Image LoadPicture(const gdiplus::Api& api, const std::string& path, gdiplus::Status* status) {
  // A path the ANSI code page cannot spell converts to nothing; GDI+ then
  // refuses it like any unreadable file.
  const std::wstring wide = WideFromAnsi(path);
  gdiplus::GpImage* picture = nullptr;
  *status = api.CreateBitmapFromFile(wide.c_str(), &picture);
  if (*status != gdiplus::kOk) {
    if (picture != nullptr) api.DisposeImage(picture);
    return gdiplus::Image();
  }
  return gdiplus::Image(api, picture);
}

PreviewSize ImageSize(const gdiplus::Api& api, gdiplus::GpImage* image) {
  UINT width = 0;
  UINT height = 0;
  if (api.GetImageWidth(image, &width) != gdiplus::kOk) width = 0;
  if (api.GetImageHeight(image, &height) != gdiplus::kOk) height = 0;
  return {static_cast<int>(width), static_cast<int>(height)};
}

// A new premultiplied 32-bit bitmap that GDI+ allocates; null on failure
// (a zero or absurd size, no memory).
gdiplus::Image NewBitmap(const gdiplus::Api& api, int width, int height) {
  gdiplus::GpImage* bitmap = nullptr;
  if (api.CreateBitmapFromScan0(width, height, 0, gdiplus::kPixelFormat32bppPARGB, nullptr, &bitmap) !=
      gdiplus::kOk) {
    return gdiplus::Image();
  }
  return gdiplus::Image(api, bitmap);
}

// Draws all of `source` into x, y, width, height of `destination` with
// high-quality bicubic scaling.
void DrawImageScaled(const gdiplus::Api& api, gdiplus::GpImage* destination, gdiplus::GpImage* source, int width,
                     int height, int x, int y) {
  if (destination == nullptr || source == nullptr) return;
  gdiplus::GpGraphics* context = nullptr;
  if (api.GetImageGraphicsContext(destination, &context) != gdiplus::kOk) return;
  gdiplus::Graphics graphics(api, context);
  api.SetInterpolationMode(graphics.get(), gdiplus::kInterpolationModeHighQualityBicubic);
  api.DrawImageRectI(graphics.get(), source, x, y, width, height);
}

// A GDI copy of a GDI+ bitmap for the pipeline; null on failure.
GdiBitmap GdiCopy(const gdiplus::Api& api, gdiplus::GpImage* bitmap) {
  HBITMAP copy = nullptr;
  if (api.CreateHBITMAPFromBitmap(bitmap, &copy, 0) != gdiplus::kOk) return GdiBitmap();
  return GdiBitmap(copy);
}

constexpr ImageRegion kWholePicture = {0, 0, 0, 0};

}  // namespace

void PreviewPanes::Load(const std::string& path) {
  if (!gdiplus_.ready()) return;
  const WaitCursor wait;
  Clear();
  // A file that is not there is no error: the sample stays as it was and
  // the panes are empty.
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  owner_.ImagePath() = path;

  const gdiplus::Api& api = gdiplus_.api();
  gdiplus::Status status = gdiplus::kOk;
  const gdiplus::Image picture = LoadPicture(api, path, &status);
  if (status != gdiplus::kOk) {
    Repaint(IDC_SOURCE_PREVIEW);
    Repaint(IDC_FILTERED_PREVIEW);
    ShowMessage(LoadErrorText(status, owner_.ImagePath()));
    Clear();
    return;
  }
  RECT pane = {};
  GetClientRect(GetDlgItem(owner_.DialogWindow(), IDC_SOURCE_PREVIEW), &pane);
  const PreviewSize image = ImageSize(api, picture.get());
  const PreviewSize fitted = FitPreview(pane.right, pane.bottom, image.width, image.height);
  source_ = NewBitmap(api, fitted.width, fitted.height);
  DrawImageScaled(api, source_.get(), picture.get(), fitted.width, fitted.height, 0, 0);
  Repaint(IDC_SOURCE_PREVIEW);
  Refresh();
}

void PreviewPanes::Refresh() {
  if (!gdiplus_.ready() || !owner_.ControlsReady() || !source_ || !owner_.SaveValues()) return;
  const WaitCursor wait;
  // The values the save half just took, exactly what OK would keep.
  const FilterSettings settings = owner_.Pending();
  const gdiplus::Api& api = gdiplus_.api();
  const GdiBitmap copy = GdiCopy(api, source_.get());
  if (!copy) return;
  FilterPipeline(reinterpret_cast<BitmapHandle>(copy.get()), settings, kWholePicture, owner_.Stop());
  gdiplus::GpImage* filtered = nullptr;
  // The old picture goes only once the new one exists.
  if (api.CreateBitmapFromHBITMAP(copy.get(), nullptr, &filtered) == gdiplus::kOk && filtered != nullptr) {
    filtered_ = gdiplus::Image(api, filtered);
  }
  Repaint(IDC_FILTERED_PREVIEW);
}

bool PreviewPanes::Draw(const DRAWITEMSTRUCT& item) {
  const gdiplus::Image* bitmap = item.CtlID == IDC_SOURCE_PREVIEW     ? &source_
                                 : item.CtlID == IDC_FILTERED_PREVIEW ? &filtered_
                                                                      : nullptr;
  if (bitmap == nullptr) return false;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const int width = item.rcItem.right - item.rcItem.left;
  const int height = item.rcItem.bottom - item.rcItem.top;
  gdiplus::GpGraphics* context = nullptr;
  if (gdiplus_.ready() && *bitmap && gdiplus_.api().CreateFromHDC(item.hDC, &context) == gdiplus::kOk) {
    const gdiplus::Api& api = gdiplus_.api();
    const gdiplus::Graphics graphics(api, context);
    const gdiplus::Argb opaque_face =
        0xFF000000u | (static_cast<DWORD>(GetRValue(face)) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    gdiplus::GpBrush* brush_handle = nullptr;
    if (api.CreateSolidFill(opaque_face, &brush_handle) == gdiplus::kOk) {
      const gdiplus::Brush brush(api, brush_handle);
      api.FillRectangle(graphics.get(), brush.get(), 0.0f, 0.0f, static_cast<float>(width),
                        static_cast<float>(height));
    }
    const PreviewSize size = ImageSize(api, bitmap->get());
    const PreviewRect at = PaneDrawRect(item.rcItem.left, item.rcItem.top, width, height, size.width, size.height);
    api.DrawImageRectI(graphics.get(), bitmap->get(), at.x, at.y, at.width, at.height);
  } else {
    const ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(face));
    FillRect(item.hDC, &item.rcItem, brush.get());
  }
  return true;
}

void PreviewPanes::Estimate() {
  if (!gdiplus_.ready() || !owner_.ControlsReady() || !owner_.SaveValues()) return;
  if (owner_.ImagePath().empty()) {
    ShowMessage(LoadText(IDS_NEED_IMAGE));
    return;
  }
  const WaitCursor wait;
  const gdiplus::Api& api = gdiplus_.api();
  gdiplus::Status status = gdiplus::kOk;
  const gdiplus::Image picture = LoadPicture(api, owner_.ImagePath(), &status);
  if (status != gdiplus::kOk) {
    ShowMessage(LoadErrorText(status, owner_.ImagePath()));
    return;
  }
  const int cx = GetSystemMetrics(SM_CXSCREEN);
  const int cy = GetSystemMetrics(SM_CYSCREEN);
  // Stretched to the screen, aspect ignored: a picture as large as any the
  // viewer shows full screen.
  const gdiplus::Image screen = NewBitmap(api, cx, cy);
  DrawImageScaled(api, screen.get(), picture.get(), cx, cy, 0, 0);
  const GdiBitmap copy = GdiCopy(api, screen.get());
  if (!copy) return;
  const DWORD start = GetTickCount();
  FilterPipeline(reinterpret_cast<BitmapHandle>(copy.get()), owner_.Pending(), kWholePicture, owner_.Stop());
  const DWORD end = GetTickCount();
  const std::string text = FormatEstimate(LoadText(IDS_ESTIMATE), cx, cy, EstimateMilliseconds(start, end));
  SetDlgItemTextA(owner_.DialogWindow(), IDC_ESTIMATE_RESULT, text.c_str());
}

void PreviewPanes::Clear() {
  if (!gdiplus_.ready()) return;
  source_.reset();
  filtered_.reset();
}

void PreviewPanes::Repaint(int pane_id) {
  InvalidateRect(GetDlgItem(owner_.DialogWindow(), pane_id), nullptr, TRUE);
}

void PreviewPanes::ShowMessage(const std::string& text) {
  MessageBoxA(owner_.DialogWindow(), text.c_str(), "Chromaline", MB_OK | MB_ICONEXCLAMATION);
}

std::string PreviewPanes::LoadText(UINT id) const { return LoadModuleText(module_, id); }

// Text 102 with the GDI+ status and the path, however long the path is.
std::string PreviewPanes::LoadErrorText(gdiplus::Status status, const std::string& path) const {
  const std::string format = LoadText(IDS_LOAD_ERROR);
  const int length = std::snprintf(nullptr, 0, format.c_str(), status, path.c_str());
  if (length < 0) return std::string();
  std::vector<char> text(static_cast<size_t>(length) + 1);
  std::snprintf(text.data(), text.size(), format.c_str(), status, path.c_str());
  return text.data();
}
