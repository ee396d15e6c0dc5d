// The remembered sample picture in an INI file of the user's
// configuration folder (XDG): $XDG_CONFIG_HOME when it is an absolute path,
// else $HOME/.config. The file is named after the module that holds this
// code (chromaline.so gives KelvarWorks/chromaline.ini).
//
// The value is kept in double quotes, which a read removes, so a path with
// white space or quotes at either end comes back as it went in.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "plugin/plugin_module.h"
#include "plugin/preview_store.h"
#include "settings/ini_file.h"
#include "settings/ini_values.h"

namespace {

std::string ConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config";
  return std::string();
}

// The store's file, or the empty text when there is no place for it.
std::string StoreFile() {
  const std::string folder = ConfigFolder();
  const std::string application = ApplicationName(PluginModulePath());
  if (folder.empty() || application.empty()) return std::string();
  return folder + "/" + kCompanyKey + "/" + application + ".ini";
}

// Creates the folder and any missing folders above it, as the XDG rules
// ask for a configuration folder that is not there yet.
bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

}  // namespace

std::string ReadPreviewImage() {
  const std::string file = StoreFile();
  if (file.empty()) return std::string();
  IniValue value{kPreviewKey, std::string()};
  ReadIniValues(file, kPreviewSection, &value, 1);
  return value.text;
}

void WritePreviewImage(const std::string& path) {
  // A line break cannot stand in an INI line, and a read gives back at
  // most kIniValueBuffer - 1 characters (less the two quotes).
  if (path.find_first_of("\r\n") != std::string::npos || path.size() + 2 >= kIniValueBuffer) return;
  const std::string file = StoreFile();
  if (file.empty()) return;
  if (!MakeFolders(ConfigFolder() + "/" + kCompanyKey)) return;
  const IniValue value{kPreviewKey, "\"" + path + "\""};
  WriteIniValues(file, kPreviewSection, &value, 1);
}
