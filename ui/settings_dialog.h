// File: ui/settings_dialog.h
//
// What the dialog messages hand the settings dialog and take back, and the
// one platform function that shows it. The Windows build shows the real
// dialog (settings_dialog_win32.cpp); a build without a window system has
// none and every dialog ends as cancelled (settings_dialog_headless.cpp).
#ifndef CHROMALINE_UI_SETTINGS_DIALOG_H_
#define CHROMALINE_UI_SETTINGS_DIALOG_H_

#include <cstdint>
#include <functional>
#include <string>

#include "filters/filter_settings.h"
#include "filters/engine/stop_query.h"

// The opener's side of a SettingsDialog.
struct SettingsDialogFields {
  int32_t SingleImage = 0;  // 0 global mode, 1 one picture or folder
  std::string ImagePath;    // single-image mode: the picture or folder edited
  int32_t Enabled = 0;      // global mode only
  uint16_t HotKey = 0;      // global mode only: virtual key | modifier flags << 8
  FilterSettings Pending;
};

enum class DialogResult { kConfirmed, kCancelled };

// Shows the dialog modally over the host window `parent` (0 or a handle that
// names no window: no owner). On kConfirmed `fields` holds what the user
// confirmed; otherwise it is unchanged. A dialog that cannot be created ends
// as kCancelled. `stop` is handed to every pipeline run of the preview.
DialogResult RunSettingsDialog(uintptr_t parent, SettingsDialogFields& fields, const StopQuery& stop);

// How the dialog messages show the dialog: RunSettingsDialog in the plug-in,
// a script of the test's own in tests.
using DialogRunner = std::function<DialogResult(uintptr_t parent, SettingsDialogFields& fields)>;

#endif  // CHROMALINE_UI_SETTINGS_DIALOG_H_
