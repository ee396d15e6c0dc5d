// The global settings in the host's own store (messages 7 and 6).
#ifndef CHROMALINE_PLUGIN_HOST_SETTINGS_H_
#define CHROMALINE_PLUGIN_HOST_SETTINGS_H_

#include "plugin/plugin_state.h"

// Reads Enabled, HotKey and every filter key, in store order, straight into
// the state (a host that writes nothing yields zeros). Clears Dirty.
// Without a callback nothing can be read and nothing changes.
void LoadHostSettings(PluginState& state);

// Writes the same keys in the same order, then clears Dirty. Without a
// callback nothing is written and Dirty stays as it is.
void SaveHostSettings(PluginState& state);

#endif  // CHROMALINE_PLUGIN_HOST_SETTINGS_H_
