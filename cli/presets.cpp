// File: cli/presets.cpp
//
// The presets folder is the program's own folder joined with
// CHROMALINE_PRESETS_DIR, a path the build fixes: "presets" where the
// presets lie beside the program, "../../../share/chromaline/presets" in
// the Debian package, whose real program lives in
// /usr/lib/<triplet>/chromaline/ beside its plug-in.
#include "cli/presets.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "host/plugin_library.h"

namespace fs = std::filesystem;

namespace {

const char kPresetExtension[] = ".store";

std::vector<std::string> PresetNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code failure;
  for (fs::directory_iterator it(folder, failure), end; !failure && it != end; it.increment(failure)) {
    const fs::path& file = it->path();
    if (file.extension() == kPresetExtension && it->is_regular_file(failure)) names.push_back(file.stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

bool IsPresetName(const std::string& value) { return value.find_first_of("/\\:.") == std::string::npos; }

std::string PresetFolder() {
  // The plug-in's default path is the one beside the program's real file.
  const fs::path program_folder = fs::path(DefaultPluginPath()).parent_path();
  return (program_folder / CHROMALINE_PRESETS_DIR).lexically_normal().string();
}

std::string PresetList() {
  std::string list;
  for (const std::string& name : PresetNames(PresetFolder())) list += (list.empty() ? "" : ", ") + name;
  return list;
}

bool ResolvePreset(const std::string& value, std::string* store, std::string* error) {
  if (!IsPresetName(value)) {
    *store = value;
    return true;
  }
  const fs::path folder = PresetFolder();
  const fs::path file = folder / (value + kPresetExtension);
  std::error_code failure;
  if (!value.empty() && fs::is_regular_file(file, failure)) {
    *store = file.string();
    return true;
  }
  const std::string list = PresetList();
  *error = "--preset " + value + ": there is no preset \"" + value + "\"; " +
           (list.empty() ? "no presets were found in " + folder.string()
                         : "the presets are " + list + " (in " + folder.string() + ")") +
           "; a store of your own is given by its path (with a \"/\" or an extension)";
  return false;
}
