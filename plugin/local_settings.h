// File: plugin/local_settings.h
//
// Per-picture (".zprop") and per-folder ("zprop.ini") settings files that
// override the global filter settings for the pictures they cover.
#ifndef CHROMALINE_PLUGIN_LOCAL_SETTINGS_H_
#define CHROMALINE_PLUGIN_LOCAL_SETTINGS_H_

#include "filters/filter_settings.h"

// The settings that apply to the picture or folder at `path`, starting from
// `base` (the global settings) for every key the chosen file lacks.
FilterSettings ReadLocalSettings(const char* path, const FilterSettings& base);

// Stores `settings` in the per-picture file of a picture path or in the
// folder file of an existing folder path. Failures are silent.
void WriteLocalSettings(const char* path, const FilterSettings& settings);

#endif  // CHROMALINE_PLUGIN_LOCAL_SETTINGS_H_
