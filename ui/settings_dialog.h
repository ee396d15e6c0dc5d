// What the opener hands the settings dialog and takes back, and the one
// platform function that shows it. The dialog only edits: its opener loads
// the values and the sample picture and keeps whatever should be kept. The
// Windows build shows the real dialog (settings_dialog_win32.cpp); a build
// without a window system has none and every dialog ends as cancelled
// (settings_dialog_portable.cpp).
#ifndef CHROMALINE_UI_SETTINGS_DIALOG_H_
#define CHROMALINE_UI_SETTINGS_DIALOG_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "filters/engine/stop_query.h"
#include "filters/filter_settings.h"

// The opener's side of a SettingsDialog.
struct SettingsDialogFields {
  int32_t SingleImage = 0;  // 0 global mode, 1 one picture or folder
  // The sample picture the panes open with ("" for none). In single-image
  // mode a sample locks the buttons that would choose another one.
  std::string SamplePath;
  int32_t Enabled = 0;  // global mode only
  uint16_t HotKey = 0;  // global mode only: virtual key | modifier flags << 8
  FilterSettings Pending;
  // Back from the dialog, confirmed or not: the sample in the panes when
  // the values last passed their checks (on OK, a preview refresh or the
  // estimate); none when they never did.
  std::optional<std::string> KeptSample;
};

// What the dialog needs of the module it lives in, as plain values.
struct DialogModule {
  uintptr_t instance = 0;  // the module (HINSTANCE) with the dialog's template and strings
  std::string help_page;   // the file the Help button opens
};

enum class DialogResult { kConfirmed, kCancelled };

// Shows the dialog modally over the host window `parent` (0 or a handle that
// names no window: no owner). On kConfirmed `fields` holds what the user
// confirmed; otherwise only KeptSample may have changed. A dialog that
// cannot be created ends as kCancelled. `stop` is handed to every pipeline
// run of the preview.
DialogResult RunSettingsDialog(uintptr_t parent, SettingsDialogFields& fields, const DialogModule& module,
                               const StopQuery& stop);

// How the dialog messages show the dialog: RunSettingsDialog in the plug-in,
// a script of the test's own in tests.
using DialogRunner = std::function<DialogResult(uintptr_t parent, SettingsDialogFields& fields)>;

#endif  // CHROMALINE_UI_SETTINGS_DIALOG_H_
