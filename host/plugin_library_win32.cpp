// File: host/plugin_library_win32.cpp
#include <windows.h>

#include "host/plugin_library.h"

namespace {

// `path` made absolute against the current folder, or empty.
std::string FullPath(const std::string& path) {
  const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::string();
  std::string full(size, '\0');
  const DWORD length = GetFullPathNameA(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return std::string();
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
  const std::string full = FullPath(path);
  HMODULE module = full.empty() ? nullptr : LoadLibraryA(full.c_str());
  if (module == nullptr) {
    *error = path + ": cannot be loaded (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  module_ = module;
  entry_ = reinterpret_cast<PluginMsgHandler>(
      reinterpret_cast<void*>(GetProcAddress(module, "_zorPlugInMsgHandler@12")));
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
  char self[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string dir(self);
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
