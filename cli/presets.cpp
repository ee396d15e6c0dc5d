// The presets folder is the program's own folder joined with
// CHROMALINE_PRESETS_DIR, a path the build fixes: "presets" where the
// presets lie beside the program, "../../../share/chromaline/presets" in
// the Debian package, whose real program lives in
// /usr/lib/<triplet>/chromaline/ beside its plug-in.
//
// The names are put together as text in the form the program's own path
// has, which is the form the store loader opens; std::filesystem only
// answers questions about them.
#include "cli/presets.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/file_name.h"
#include "host/plugin_library.h"

namespace fs = std::filesystem;

namespace {

const char kPresetExtension[] = ".store";

struct Folder {
  std::string path;  // without a final separator
  char separator;
};

Folder PresetFolderOf(std::string program_folder, std::string relative) {
  const size_t last = program_folder.find_last_of("/\\");
  const char separator = last == std::string::npos ? '/' : program_folder[last];
  // Leading "../" steps go up from the program's folder in the text itself,
  // so that messages name the folder plainly.
  while (relative.compare(0, 3, "../") == 0 && program_folder.find_last_of("/\\") != std::string::npos) {
    program_folder.erase(program_folder.find_last_of("/\\"));
    relative.erase(0, 3);
  }
  return {program_folder + separator + relative, separator};
}

Folder ThePresetFolder() {
  // The plug-in's default path is the one beside the program's real file.
  std::string program_folder = DefaultPluginPath();
  program_folder.erase(program_folder.find_last_of("/\\"));
  return PresetFolderOf(program_folder, CHROMALINE_PRESETS_DIR);
}

}  // namespace

bool IsPresetName(const std::string& value) { return value.find_first_of("/\\:.") == std::string::npos; }

std::string PresetFolder() { return ThePresetFolder().path; }

std::vector<std::string> PresetNames() {
  std::vector<std::string> names;
  std::error_code failure;
  for (fs::directory_iterator it(PathFromUtf8(PresetFolder()), failure), end; !failure && it != end;
       it.increment(failure)) {
    const fs::path& file = it->path();
    if (file.extension() == kPresetExtension && it->is_regular_file(failure)) {
      names.push_back(Utf8FromPath(file.stem()));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string PresetList() {
  std::string list;
  for (const std::string& name : PresetNames()) list += (list.empty() ? "" : ", ") + name;
  return list;
}

bool ResolvePreset(const std::string& value, std::string* store, std::string* error) {
  if (!IsPresetName(value)) {
    *store = value;
    return true;
  }
  const Folder folder = ThePresetFolder();
  // Names in any case, as setting keys are: "Crisp" is crisp.
  const auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  std::string name = value;
  for (const std::string& shipped : PresetNames()) {
    if (lower(shipped) == lower(value)) name = shipped;
  }
  const std::string file = folder.path + folder.separator + name + kPresetExtension;
  std::error_code failure;
  if (!value.empty() && fs::is_regular_file(PathFromUtf8(file), failure)) {
    *store = file;
    return true;
  }
  const std::string list = PresetList();
  *error = "--preset " + value + ": there is no preset \"" + value + "\"; " +
           (list.empty() ? "no presets were found in " + folder.path
                         : "the presets are " + list + " (in " + folder.path + ")") +
           "; a store of your own is given by its path (with a \"/\" or an extension)";
  return false;
}
