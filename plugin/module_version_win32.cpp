// Reads the module's VERSIONINFO: its file name, the size and whole block of
// its version information, and the fixed file information under "\".
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/module_version.h"
#include "plugin/plugin_module.h"

namespace {
constexpr DWORD kFixedInfoSignature = 0xFEEF04BD;
}  // namespace

bool ReadModuleVersion(ProductVersion* version) {
  const std::string file_name = PluginModulePath();
  if (file_name.empty()) return false;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file_name.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<unsigned char> block(size);  // freed on every path
  if (!GetFileVersionInfoA(file_name.c_str(), 0, size, block.data())) return false;
  void* fixed = nullptr;
  UINT fixed_size = 0;
  if (!VerQueryValueA(block.data(), "\\", &fixed, &fixed_size) || fixed == nullptr ||
      fixed_size < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  VS_FIXEDFILEINFO info;
  std::memcpy(&info, fixed, sizeof info);
  if (info.dwSignature != kFixedInfoSignature) return false;
  version->most_significant = info.dwProductVersionMS;
  version->least_significant = info.dwProductVersionLS;
  return true;
}
