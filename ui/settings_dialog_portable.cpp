// A build without a window system has no settings dialog: it cannot be
// created, which ends like Cancel.
#include "ui/settings_dialog.h"

DialogResult RunSettingsDialog(uintptr_t, SettingsDialogFields&, const DialogModule&, const StopQuery&) {
  return DialogResult::kCancelled;
}
