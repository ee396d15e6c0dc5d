// Presets by name: `--preset crisp` is the settings store crisp.store in
// the presets folder that ships with the program. The folder is found from
// the program's own real file, never from the current folder: beside it
// ("presets" in the Windows zip and in a build tree) or where the build
// puts it (the Debian package: /usr/share/chromaline/presets).
#ifndef CHROMALINE_CLI_PRESETS_H_
#define CHROMALINE_CLI_PRESETS_H_

#include <string>
#include <vector>

// A value with no path separator, no drive colon and no "." is a preset's
// name; anything else is a path to a store.
bool IsPresetName(const std::string& value);

// The presets folder of this program.
std::string PresetFolder();

// The names of the presets found there, sorted.
std::vector<std::string> PresetNames();

// The presets found there, sorted and comma separated ("crisp, haze"), or
// the empty text when there is none.
std::string PresetList();

// The store a --preset value means: a path as it is, a name as its file in
// PresetFolder() (the name in any case). An unknown name returns false with a line naming the
// presets there, or saying that there is none and where it looked.
bool ResolvePreset(const std::string& value, std::string* store, std::string* error);

#endif  // CHROMALINE_CLI_PRESETS_H_
