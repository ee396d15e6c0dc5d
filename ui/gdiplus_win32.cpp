// GDI+ bound at run time: the functions the preview uses, and the session that starts it.
#include "ui/gdiplus_win32.h"

#include <string>

namespace gdiplus {

namespace {

// A system library from the system folder and nowhere else: a bare name
// would search the viewer's folder and the current folder first, where
// anyone could have put a DLL of that name.
HMODULE LoadSystemLibrary(const char* name) {
  HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // A system that does not know the flag (Windows 7 and earlier without
  // KB2533623): the full path, whose own imports are then searched from
  // the system folder too.
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::string path = std::string(folder, length) + "\\" + name;
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Function>
bool Find(HMODULE module, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return *function != nullptr;
}

bool FindAll(HMODULE module, Api* api) {
  return Find(module, "GdiplusStartup", &api->Startup) && Find(module, "GdiplusShutdown", &api->Shutdown) &&
         Find(module, "GdipCreateBitmapFromFile", &api->CreateBitmapFromFile) &&
         Find(module, "GdipGetImageWidth", &api->GetImageWidth) &&
         Find(module, "GdipGetImageHeight", &api->GetImageHeight) &&
         Find(module, "GdipCreateBitmapFromScan0", &api->CreateBitmapFromScan0) &&
         Find(module, "GdipCreateHBITMAPFromBitmap", &api->CreateHBITMAPFromBitmap) &&
         Find(module, "GdipCreateBitmapFromHBITMAP", &api->CreateBitmapFromHBITMAP) &&
         Find(module, "GdipGetImageGraphicsContext", &api->GetImageGraphicsContext) &&
         Find(module, "GdipCreateFromHDC", &api->CreateFromHDC) &&
         Find(module, "GdipSetInterpolationMode", &api->SetInterpolationMode) &&
         Find(module, "GdipDrawImageRectI", &api->DrawImageRectI) &&
         Find(module, "GdipCreateSolidFill", &api->CreateSolidFill) &&
         Find(module, "GdipFillRectangle", &api->FillRectangle) &&
         Find(module, "GdipDeleteBrush", &api->DeleteBrush) &&
         Find(module, "GdipDeleteGraphics", &api->DeleteGraphics) &&
         Find(module, "GdipDisposeImage", &api->DisposeImage);
}

}  // namespace

Session::Session(const char* library) {
  HMODULE module = LoadSystemLibrary(library);
  if (module == nullptr) return;
  if (!FindAll(module, &api_)) {
    FreeLibrary(module);
    api_ = Api{};
    return;
  }
  // Version 1, no debug callback, background thread and external codecs as
  // GDI+ chooses. Like the rest of the preview, a failed start shows only as
  // failing GDI+ calls later, which leave the panes empty.
  const StartupInput input = {1, nullptr, FALSE, FALSE};
  api_.Startup(&token_, &input, nullptr);
  module_ = module;
}

Session::~Session() {
  if (module_ == nullptr) return;
  if (token_ != 0) api_.Shutdown(token_);
  FreeLibrary(module_);
}

}  // namespace gdiplus
