// Per-picture (".zprop") and per-folder ("zprop.ini") settings files that
// override the global filter settings for the pictures they cover.
//
// A picture's own file hides its folder's file completely; a key missing
// from the chosen file keeps the base value. Nothing is cached: every read
// asks the file system again. Integers are written with "%d", reals with
// "%.2f", in the order of the filter keys of kSettings, in section
// "ChromalinePlugIn".
#ifndef CHROMALINE_SETTINGS_LOCAL_SETTINGS_H_
#define CHROMALINE_SETTINGS_LOCAL_SETTINGS_H_

#include <string>

#include "filters/filter_settings.h"

// The per-picture file: the path cut at its last "." (wherever that is),
// then ".zprop". "D:\Pictures\scan" gives "D:\Pictures\scan.zprop".
std::string PictureSettingsFile(const std::string& path);

// The folder file: the drive ("X:" at the start) and everything up to and
// including the last "\" or "/", then "zprop.ini". "D:\Pictures\Trip\"
// gives "D:\Pictures\Trip\zprop.ini", "D:\Pictures\Trip" gives
// "D:\Pictures\zprop.ini".
std::string FolderSettingsFile(const std::string& path);

// The one file whose keys apply to the picture or folder at `path`: the
// picture's own file, else its folder's; the empty text for none.
std::string LocalSettingsFile(const std::string& path);

// The settings that apply to the picture or folder at `path`, starting from
// `base` (the global settings) for every key the chosen file lacks. A null
// or empty path names no file and gives `base`.
FilterSettings ReadLocalSettings(const char* path, const FilterSettings& base);
// The same from a settings file's text already in memory.
FilterSettings LocalSettingsFromText(const std::string& text, const FilterSettings& base);

// Stores `settings` in the per-picture file of a picture path or in the
// folder file of an existing folder path. Failures are silent and leave the
// old file as it was; a null or empty path writes nothing.
void WriteLocalSettings(const char* path, const FilterSettings& settings);

#endif  // CHROMALINE_SETTINGS_LOCAL_SETTINGS_H_
