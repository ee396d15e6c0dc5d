// The choice of the settings file and the reading and writing of its keys,
// driven by the one settings table shared with the host store.
#include "settings/local_settings.h"

#include <vector>

#include "settings/ini_file.h"
#include "settings/ini_text.h"
#include "settings/ini_values.h"
#include "settings/setting_table.h"

namespace {

const char kPictureExtension[] = "zprop";
const char kFolderFileName[] = "zprop.ini";

bool HasDrive(const std::string& path) {
  const char c = path.size() >= 2 ? path[0] : '\0';
  return path.size() >= 2 && path[1] == ':' && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
}

// The filter keys of the settings table, in its order: the files' keys.
std::vector<const Setting*> FileKeys() {
  std::vector<const Setting*> keys;
  for (const Setting& key : kSettings) {
    if (key.is_filter()) keys.push_back(&key);
  }
  return keys;
}

// The settings a file's keys give over `base`: each key starts as the text
// of its base value, which is what a key missing from the file reads as,
// and `read` fills in what the file says.
template <typename Read>
FilterSettings SettingsOver(const FilterSettings& base, Read read) {
  const std::vector<const Setting*> keys = FileKeys();
  std::vector<IniValue> values;
  values.reserve(keys.size());
  for (const Setting* key : keys) {
    values.push_back(
        {key->name, key->is_real() ? IniRealDefault(base.*key->real_field) : IniIntDefault(base.*key->int_field)});
  }
  read(values.data(), values.size());
  FilterSettings result = base;
  for (size_t i = 0; i < keys.size(); ++i) {
    const Setting& key = *keys[i];
    if (key.is_real()) {
      result.*key.real_field = ParseIniReal(values[i].text);
    } else {
      result.*key.int_field = ParseIniInt(values[i].text);
    }
  }
  return result;
}

}  // namespace

std::string PictureSettingsFile(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  return path.substr(0, dot) + "." + kPictureExtension;
}

std::string FolderSettingsFile(const std::string& path) {
  const size_t drive = HasDrive(path) ? 2 : 0;
  const size_t separator = path.find_last_of("\\/");
  const size_t folder_end = separator == std::string::npos || separator < drive ? drive : separator + 1;
  return path.substr(0, folder_end) + kFolderFileName;
}

std::string LocalSettingsFile(const std::string& path) {
  if (!PathIsFolder(path)) {
    const std::string picture_file = PictureSettingsFile(path);
    if (PathExists(picture_file)) return picture_file;
  }
  const std::string folder_file = FolderSettingsFile(path);
  if (PathExists(folder_file)) return folder_file;
  return std::string();
}

FilterSettings ReadLocalSettings(const char* path, const FilterSettings& base) {
  FilterSettings result = base;
  if (path == nullptr || *path == '\0') return result;
  const std::string file = LocalSettingsFile(path);
  if (file.empty()) return result;

  return SettingsOver(
      base, [&file](IniValue* values, size_t count) { ReadIniValues(file, kSettingsSection, values, count); });
}

FilterSettings LocalSettingsFromText(const std::string& text, const FilterSettings& base) {
  return SettingsOver(
      base, [&text](IniValue* values, size_t count) { FindIniValues(text, kSettingsSection, values, count); });
}

void WriteLocalSettings(const char* path, const FilterSettings& settings) {
  if (path == nullptr || *path == '\0') return;
  const std::string file = PathIsFolder(path) ? FolderSettingsFile(path) : PictureSettingsFile(path);
  std::vector<IniValue> values;
  for (const Setting* key : FileKeys()) {
    values.push_back({key->name, key->is_real() ? FormatIniReal(settings.*key->real_field)
                                                : FormatIniInt(settings.*key->int_field)});
  }
  WriteIniValues(file, kSettingsSection, values.data(), values.size());
}
