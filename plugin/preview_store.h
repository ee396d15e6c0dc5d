// The remembered sample picture of the settings dialog: "PreviewImg" in
// section "Settings" of the per-user profile store of the company
// "KelvarWorks", under the plug-in module's file name without its folder
// and extension (the application name).
//
// On Windows the store is the registry:
//   HKEY_CURRENT_USER\Software\KelvarWorks\<application>\Settings
// Elsewhere it is an INI file in the user's configuration folder:
//   $XDG_CONFIG_HOME/KelvarWorks/<application>.ini   (or ~/.config/...)
// holding "[Settings]" and "PreviewImg=<path in double quotes>".
//
// Reads give the empty text when anything is missing; writes never fail
// loudly (a path the store cannot hold is not stored).
#ifndef CHROMALINE_PLUGIN_PREVIEW_STORE_H_
#define CHROMALINE_PLUGIN_PREVIEW_STORE_H_

#include <string>

inline constexpr char kCompanyKey[] = "KelvarWorks";
inline constexpr char kPreviewSection[] = "Settings";
inline constexpr char kPreviewKey[] = "PreviewImg";

std::string ReadPreviewImage();
void WritePreviewImage(const std::string& path);

// The application name of a module: its file name without folder and
// extension ("Z:\plugins\Chromaline.dll" gives "Chromaline").
inline std::string ApplicationName(const std::string& module_path) {
  const size_t separator = module_path.find_last_of("\\/");
  std::string name = separator == std::string::npos ? module_path : module_path.substr(separator + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

#endif  // CHROMALINE_PLUGIN_PREVIEW_STORE_H_
