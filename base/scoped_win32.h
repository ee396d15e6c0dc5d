// Windows resources held for a scope, so that no caller writes a Release,
// CoUninitialize or DeleteObject of its own: a COM pointer, COM for the
// calling thread, a GDI object. Also the conversions of file names: the
// ANSI form the plug-in is given by its viewer, the UTF-8 form the Windows
// host carries its names in, and the UTF-16 form the system's W calls take.
// (GDI+ is started only by the dialog's preview, which loads it at run
// time: see ui/gdiplus_win32.h.)
#ifndef CHROMALINE_BASE_SCOPED_WIN32_H_
#define CHROMALINE_BASE_SCOPED_WIN32_H_

#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <type_traits>

// Owns one reference to a COM object.
template <typename T>
class ScopedComPtr {
 public:
  ScopedComPtr() = default;
  ~ScopedComPtr() { Reset(); }
  ScopedComPtr(ScopedComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  ScopedComPtr& operator=(ScopedComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = other.p_;
      other.p_ = nullptr;
    }
    return *this;
  }
  ScopedComPtr(const ScopedComPtr&) = delete;
  ScopedComPtr& operator=(const ScopedComPtr&) = delete;

  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  // For a function that hands out a new reference: the old one is released
  // first.
  T** Out() {
    Reset();
    return &p_;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// COM for the calling thread for the length of the scope. A thread that
// has COM already in another model keeps it (CoInitializeEx then fails,
// and nothing is undone at the end).
class ScopedCom {
 public:
  explicit ScopedCom(DWORD model = COINIT_MULTITHREADED) : result_(CoInitializeEx(nullptr, model)) {}
  ~ScopedCom() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;

 private:
  HRESULT result_;
};

// A GDI object (bitmap, brush, pen, font), deleted with DeleteObject.
struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
template <typename Handle>
using ScopedGdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;

// Text in the ANSI code page as UTF-16. The code page is the system's
// (CP_ACP), never the calling thread's: it is the one the viewer's file
// names come in and the one the Windows host reads its command line in.
// Empty when the text does not convert.
std::wstring WideFromAnsi(const std::string& text);

// UTF-8 text as UTF-16 and back. Invalid UTF-8 converts with U+FFFD in
// place of what is broken (it then names no file that exists).
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

// UTF-16 text in the ANSI code page (CP_ACP). *exact is false when some
// character has no form there and was replaced by the code page's default
// character: such a name does not lead to the file any more.
std::string AnsiFromWide(const std::wstring& text, bool* exact);

// Shorthands for the plug-in's names: ANSI to UTF-8 and back.
std::string Utf8FromAnsi(const std::string& text);
std::string AnsiFromUtf8(const std::string& text, bool* exact);

#endif  // CHROMALINE_BASE_SCOPED_WIN32_H_
