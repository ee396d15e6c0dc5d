// File: ui/dialog_messages_headless.cpp
//
// A build without a window system has no settings dialog: every dialog
// message ends as if the dialog had been cancelled, and nothing changes.
#include "ui/dialog_messages.h"

int32_t OnGlobalSettingsDialog(PluginState&, void*, uint32_t) { return 0; }
int32_t OnHotkeyDialog(PluginState&, void*, uint32_t) { return 0; }
int32_t OnLocalSettingsDialog(PluginState&, void*, uint32_t) { return 0; }
