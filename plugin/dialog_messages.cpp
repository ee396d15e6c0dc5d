// The messages that open the settings dialog, and what OK takes over or writes.
#include "plugin/dialog_messages.h"

#include <string>

#include "plugin/host_callback.h"
#include "settings/local_settings.h"
#include "plugin/plugin_module.h"
#include "plugin/preview_store.h"
#include "settings/ini_file.h"

namespace {

DialogRunner PlatformRunner(const PluginState& state) {
  // The preview's pipeline asks whichever host callback is current then.
  const StopQuery stop = HostStopQuery(state);
  return [stop](uintptr_t parent, SettingsDialogFields& fields) {
    const DialogModule module = {PluginModuleHandle(), HelpFilePath(PluginModulePath())};
    return RunSettingsDialog(parent, fields, module, stop);
  };
}

// The dialog of one picture or folder: settings resolved as for filtering,
// written to the file that covers `path` on OK.
bool EditLocalSettings(const PluginState& state, const std::string& path, uintptr_t parent,
                       const DialogRunner& run) {
  SettingsDialogFields fields;
  fields.SingleImage = 1;
  fields.Pending = ReadLocalSettings(path.c_str(), state.Current);
  // A picture is its own sample; a folder has none of its own.
  fields.SamplePath = PathIsFolder(path) ? ReadPreviewImage() : path;
  if (run(parent, fields) != DialogResult::kConfirmed) return false;
  WriteLocalSettings(path.c_str(), fields.Pending);
  return true;
}

}  // namespace

std::string HelpFilePath(const std::string& module_path) {
  const size_t slash = module_path.find_last_of('\\');
  const std::string folder = slash == std::string::npos ? std::string() : module_path.substr(0, slash + 1);
  return folder + "Chromaline.htm";
}

int32_t GlobalSettingsDialog(PluginState& state, uintptr_t parent, const DialogRunner& run) {
  SettingsDialogFields fields;
  fields.SingleImage = 0;
  fields.Enabled = state.Enabled;
  fields.HotKey = static_cast<uint16_t>(state.HotKey & 0xFFFF);
  fields.Pending = state.Current;
  fields.SamplePath = ReadPreviewImage();
  const DialogResult result = run(parent, fields);
  // A sample chosen and previewed stays the sample even when cancelled.
  if (fields.KeptSample) WritePreviewImage(*fields.KeptSample);
  if (result != DialogResult::kConfirmed) return 0;
  // All three together, after the dialog is gone: a nested dialog that was
  // confirmed meanwhile is replaced as a whole, never mixed with this one.
  state.Enabled = fields.Enabled;
  state.HotKey = fields.HotKey;
  state.Current = fields.Pending;
  state.Dirty = 1;
  return 1;
}

int32_t HotkeyDialog(PluginState& state, uintptr_t key, uint32_t window, const DialogRunner& run) {
  const uint32_t hotkey_key = static_cast<uint32_t>(state.HotKey) & 0xFF;
  // Without a hotkey (key byte 0) nothing can match, not even a key code 0.
  if (state.Enabled == 0 || hotkey_key == 0 || key != hotkey_key) return 0;
  const auto entry = state.WindowPaths.find(window);
  if (entry == state.WindowPaths.end() || entry->second.empty()) return 0;
  // Copies: while the dialog is open the host may announce another picture
  // for this window or hand over another callback. The dialog edits and
  // writes the picture it was opened for, and the same host hears 19 and 20.
  const std::string path = entry->second;
  const HostCallback callback = state.Callback;
  HostNotify(callback, kNotifyDialogOpening);
  if (EditLocalSettings(state, path, window, run)) HostNotify(callback, kNotifySettingsWritten);
  HostNotify(callback, kNotifyDialogClosed);
  return 0;
}

int32_t LocalSettingsDialog(PluginState& state, const char* path, uint32_t window, const DialogRunner& run) {
  // Nothing names a picture or folder: no dialog, and above all no write of
  // a settings file named ".zprop" in whatever folder is current.
  if (path == nullptr || *path == '\0') return 0;
  EditLocalSettings(state, path, window, run);
  return 0;
}

int32_t OnGlobalSettingsDialog(PluginState& state, void* p, uint32_t) {
  return GlobalSettingsDialog(state, reinterpret_cast<uintptr_t>(p), PlatformRunner(state));
}

int32_t OnHotkeyDialog(PluginState& state, void* p, uint32_t a) {
  return HotkeyDialog(state, reinterpret_cast<uintptr_t>(p), a, PlatformRunner(state));
}

int32_t OnLocalSettingsDialog(PluginState& state, void* p, uint32_t a) {
  return LocalSettingsDialog(state, static_cast<const char*>(p), a, PlatformRunner(state));
}
