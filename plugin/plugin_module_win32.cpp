// The module handle, taken from the linker's image base of whichever module
// this code is linked into: Chromaline.dll in the plug-in, the test program
// in the tests.
#include <windows.h>

#include <vector>

#include "plugin/plugin_module.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {
HINSTANCE PluginModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }
}  // namespace

uintptr_t PluginModuleHandle() { return reinterpret_cast<uintptr_t>(PluginModule()); }

std::string PluginModulePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(PluginModule(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);  // cut short: ask again with more room
  }
}
