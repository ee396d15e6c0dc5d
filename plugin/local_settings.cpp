// File: plugin/local_settings.cpp
//
// Not built yet: no settings file is read or written, so every picture is
// filtered with the global settings.
#include "plugin/local_settings.h"

FilterSettings ReadLocalSettings(const char*, const FilterSettings& base) { return base; }

void WriteLocalSettings(const char*, const FilterSettings&) {}
