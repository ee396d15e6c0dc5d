// GDI+ through its flat API, bound at run time: the plug-in does not import
// gdiplus.dll, so it loads and filters on a system without it; only the
// dialog's preview stays idle then.
//
// GdiplusSession loads the library, finds every function the preview uses
// and starts GDI+; its destructor shuts GDI+ down and releases the library.
// The holders below release one GDI+ or GDI object each.
#ifndef CHROMALINE_UI_GDIPLUS_WIN32_H_
#define CHROMALINE_UI_GDIPLUS_WIN32_H_

#include <windows.h>

#include "base/scoped_win32.h"

namespace gdiplus {

// Opaque GDI+ objects, and the few plain types of the flat API.
struct GpImage;
struct GpGraphics;
struct GpBrush;
using Status = int;
using Argb = DWORD;
constexpr Status kOk = 0;
constexpr int kPixelFormat32bppPARGB = 0x000E200B;
constexpr int kInterpolationModeHighQualityBicubic = 7;

struct StartupInput {
  UINT32 GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};

// The entry points, all stdcall like the Windows API.
struct Api {
  Status(WINAPI* Startup)(ULONG_PTR* token, const StartupInput* input, void* output);
  void(WINAPI* Shutdown)(ULONG_PTR token);
  Status(WINAPI* CreateBitmapFromFile)(const WCHAR* path, GpImage** bitmap);
  Status(WINAPI* GetImageWidth)(GpImage* image, UINT* width);
  Status(WINAPI* GetImageHeight)(GpImage* image, UINT* height);
  Status(WINAPI* CreateBitmapFromScan0)(INT width, INT height, INT stride, INT format, BYTE* scan0,
                                        GpImage** bitmap);
  Status(WINAPI* CreateHBITMAPFromBitmap)(GpImage* bitmap, HBITMAP* result, Argb background);
  Status(WINAPI* CreateBitmapFromHBITMAP)(HBITMAP bitmap, HPALETTE palette, GpImage** result);
  Status(WINAPI* GetImageGraphicsContext)(GpImage* image, GpGraphics** graphics);
  Status(WINAPI* CreateFromHDC)(HDC dc, GpGraphics** graphics);
  Status(WINAPI* SetInterpolationMode)(GpGraphics* graphics, int mode);
  Status(WINAPI* DrawImageRectI)(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height);
  Status(WINAPI* CreateSolidFill)(Argb color, GpBrush** brush);
  Status(WINAPI* FillRectangle)(GpGraphics* graphics, GpBrush* brush, float x, float y, float width, float height);
  Status(WINAPI* DeleteBrush)(GpBrush* brush);
  Status(WINAPI* DeleteGraphics)(GpGraphics* graphics);
  Status(WINAPI* DisposeImage)(GpImage* image);
};

class Session {
 public:
  // Loads the library ("Gdiplus.dll", from the system folder only) and
  // starts GDI+ (version 1). ready() tells whether that worked; without it
  // nothing of GDI+ is ever called.
  explicit Session(const char* library = "Gdiplus.dll");
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool ready() const { return module_ != nullptr; }
  const Api& api() const { return api_; }

 private:
  HMODULE module_ = nullptr;
  ULONG_PTR token_ = 0;
  Api api_ = {};
};

// Holders. Each keeps the Api it was made with; a null holder does nothing.
class Image {
 public:
  Image() = default;
  Image(const Api& api, GpImage* image) : api_(&api), image_(image) {}
  ~Image() { reset(); }
  Image(Image&& other) noexcept : api_(other.api_), image_(other.release()) {}
  Image& operator=(Image&& other) noexcept {
    if (this != &other) {
      reset();
      api_ = other.api_;
      image_ = other.release();
    }
    return *this;
  }
  GpImage* get() const { return image_; }
  explicit operator bool() const { return image_ != nullptr; }
  GpImage* release() {
    GpImage* image = image_;
    image_ = nullptr;
    return image;
  }
  void reset() {
    if (image_ != nullptr) api_->DisposeImage(image_);
    image_ = nullptr;
  }

 private:
  const Api* api_ = nullptr;
  GpImage* image_ = nullptr;
};

class Graphics {
 public:
  Graphics(const Api& api, GpGraphics* graphics) : api_(api), graphics_(graphics) {}
  ~Graphics() {
    if (graphics_ != nullptr) api_.DeleteGraphics(graphics_);
  }
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;
  GpGraphics* get() const { return graphics_; }

 private:
  const Api& api_;
  GpGraphics* graphics_;
};

class Brush {
 public:
  Brush(const Api& api, GpBrush* brush) : api_(api), brush_(brush) {}
  ~Brush() {
    if (brush_ != nullptr) api_.DeleteBrush(brush_);
  }
  Brush(const Brush&) = delete;
  Brush& operator=(const Brush&) = delete;
  GpBrush* get() const { return brush_; }

 private:
  const Api& api_;
  GpBrush* brush_;
};

}  // namespace gdiplus

// A GDI bitmap, deleted with DeleteObject.
using GdiBitmap = ScopedGdiObject<HBITMAP>;

#endif  // CHROMALINE_UI_GDIPLUS_WIN32_H_
