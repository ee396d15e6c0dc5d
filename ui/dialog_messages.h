// File: ui/dialog_messages.h
//
// The three messages that open the settings dialog: 5 (global settings),
// 22 (hotkey in a host window) and 30 (a given picture or folder).
#ifndef CHROMALINE_UI_DIALOG_MESSAGES_H_
#define CHROMALINE_UI_DIALOG_MESSAGES_H_

#include <cstdint>

#include "plugin/plugin_state.h"

int32_t OnGlobalSettingsDialog(PluginState& state, void* p, uint32_t a);
int32_t OnHotkeyDialog(PluginState& state, void* p, uint32_t a);
int32_t OnLocalSettingsDialog(PluginState& state, void* p, uint32_t a);

#endif  // CHROMALINE_UI_DIALOG_MESSAGES_H_
