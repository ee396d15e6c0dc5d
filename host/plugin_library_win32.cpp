// The plug-in DLL loaded by its UTF-8 name through the W calls.
#include <windows.h>

#include "base/scoped_win32.h"
#include "host/plugin_library.h"

namespace {

// `path` made absolute against the current folder, or empty.
std::wstring FullPath(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::wstring();
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return std::wstring();
  full.resize(length);
  return full;
}

}  // namespace

PluginLibrary::~PluginLibrary() { Unload(); }

bool PluginLibrary::Load(const std::string& path, std::string* error) {
  Unload();
  // A relative path or a bare name would be looked up along the DLL search
  // path, the host's own folder first; the file meant is the one the path
  // names from the current folder.
  const std::wstring full = FullPath(path);
  HMODULE module = full.empty() ? nullptr : LoadLibraryW(full.c_str());
  if (module == nullptr) {
    *error = path + ": cannot be loaded (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  module_ = module;
  entry_ =
      reinterpret_cast<PluginMsgHandler>(reinterpret_cast<void*>(GetProcAddress(module, "_zorPlugInMsgHandler@12")));
  if (entry_ == nullptr) {
    *error = path + ": no export _zorPlugInMsgHandler@12";
    Unload();
    return false;
  }
  return true;
}

void PluginLibrary::Unload() {
  if (module_ != nullptr) FreeLibrary(static_cast<HMODULE>(module_));
  module_ = nullptr;
  entry_ = nullptr;
}

std::string DefaultPluginPath() {
  wchar_t self[MAX_PATH + 1] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::string dir = Utf8FromWide(self);
  dir.erase(dir.find_last_of("\\/") + 1);
  return dir + "Chromaline.dll";
}

void AskForAllProcessorsUnlessSet() {
  // The process environment block, which the plug-in reads whatever C
  // runtime either side uses.
  char value[2];
  if (GetEnvironmentVariableA("CHROMALINE_THREADS", value, sizeof value) == 0 &&
      GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
    SetEnvironmentVariableA("CHROMALINE_THREADS", "auto");
  }
}
