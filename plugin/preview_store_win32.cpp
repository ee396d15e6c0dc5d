// The remembered sample picture in the current user's registry. Keys are
// created when missing, for reading as well, as the framework's profile
// store always did.
#include <windows.h>

#include <string>
#include <vector>

#include "plugin/plugin_module.h"
#include "plugin/preview_store.h"

namespace {

// A registry string longer than this is no picture path.
constexpr DWORD kMaxValueBytes = 1u << 20;

// The Settings key of this module's application, or null.
HKEY OpenSettingsKey(REGSAM access) {
  const std::string application = ApplicationName(PluginModulePath());
  if (application.empty()) return nullptr;
  const std::string subkey = std::string("Software\\") + kCompanyKey + "\\" + application + "\\" + kPreviewSection;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

}  // namespace

std::string ReadPreviewImage() {
  const HKEY key = OpenSettingsKey(KEY_READ | KEY_WRITE);
  if (key == nullptr) return std::string();
  std::string result;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, kPreviewKey, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size <= kMaxValueBytes) {
    // The stored bytes need not end with a NUL; the spare one makes sure.
    std::vector<char> buffer(size + 1, '\0');
    if (RegQueryValueExA(key, kPreviewKey, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
            ERROR_SUCCESS &&
        size < buffer.size()) {
      result = buffer.data();
    }
  }
  RegCloseKey(key);
  return result;
}

void WritePreviewImage(const std::string& path) {
  if (path.size() >= kMaxValueBytes) return;
  const HKEY key = OpenSettingsKey(KEY_WRITE);
  if (key == nullptr) return;
  RegSetValueExA(key, kPreviewKey, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>(path.size() + 1));
  RegCloseKey(key);
}
