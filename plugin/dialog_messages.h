// The three messages that open the settings dialog: 5 (global settings),
// 22 (hotkey in a host window) and 30 (a given picture or folder).
//
// The handlers load what the dialog shows (the settings, the sample
// picture) and keep what it hands back (PluginState, the picture's or
// folder's settings file, the remembered sample); the dialog itself only
// edits. It always edits copies. PluginState is changed only after the
// dialog has closed, all fields of a confirmed dialog at once, so a host
// that calls the entry point again while a dialog is open (its modal loop
// keeps dispatching) never sees half of one dialog's values.
//
// The sample picture: the global dialog opens with the remembered one
// (preview_store.h) and, confirmed or cancelled, remembers the one it kept.
// The dialog of one picture shows that picture; the dialog of a folder the
// remembered one. Neither remembers anything.
#ifndef CHROMALINE_PLUGIN_DIALOG_MESSAGES_H_
#define CHROMALINE_PLUGIN_DIALOG_MESSAGES_H_

#include <cstdint>
#include <string>

#include "plugin/plugin_state.h"
#include "ui/settings_dialog.h"

// The rows of the message table: the platform's RunSettingsDialog.
int32_t OnGlobalSettingsDialog(PluginState& state, void* p, uint32_t a);
int32_t OnHotkeyDialog(PluginState& state, void* p, uint32_t a);
int32_t OnLocalSettingsDialog(PluginState& state, void* p, uint32_t a);

// The help page the dialog's Help button opens: the module path cut after
// its last backslash, plus "Chromaline.htm".
std::string HelpFilePath(const std::string& module_path);

// Message 5: the dialog parented to `parent` on copies of Enabled, HotKey
// and Current; OK copies them back and sets Dirty. Returns 1 on OK, else 0.
int32_t GlobalSettingsDialog(PluginState& state, uintptr_t parent, const DialogRunner& run);
// Message 22: only when the plug-in is on, a hotkey is set, `key` equals its
// low byte and `window` has a remembered, non-empty picture path. Sends 19
// before the dialog, 21 after a confirmed dialog's settings file was
// written, 20 after it closed. Returns 0.
int32_t HotkeyDialog(PluginState& state, uintptr_t key, uint32_t window, const DialogRunner& run);
// Message 30: the dialog for `path` (a picture or a folder); OK writes its
// settings file. A null or empty path opens nothing. Returns 0.
int32_t LocalSettingsDialog(PluginState& state, const char* path, uint32_t window, const DialogRunner& run);

#endif  // CHROMALINE_PLUGIN_DIALOG_MESSAGES_H_
