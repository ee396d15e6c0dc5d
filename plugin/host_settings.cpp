// The global settings loaded from and saved to the host's store, key by key.
#include "plugin/host_settings.h"

#include "settings/setting_table.h"
#include "plugin/host_callback.h"

namespace {

// Where an integer setting lives in the state.
int32_t& IntegerOf(PluginState& state, const Setting& key) {
  switch (key.plugin_field) {
    case PluginField::kEnabled: return state.Enabled;
    case PluginField::kHotKey: return state.HotKey;
    case PluginField::kNone: break;
  }
  return state.Current.*key.int_field;
}

}  // namespace

void LoadHostSettings(PluginState& state) {
  const HostCallback host = state.Callback;
  if (host == nullptr) return;
  for (const Setting& key : kSettings) {
    if (key.is_real()) {
      state.Current.*key.real_field = HostReadSetting(host, kHostSection, key.name, key.load_default);
    } else {
      IntegerOf(state, key) = HostReadSetting(host, kHostSection, key.name, static_cast<int32_t>(key.load_default));
    }
  }
  state.Dirty = 0;
}

void SaveHostSettings(PluginState& state) {
  const HostCallback host = state.Callback;
  if (host == nullptr) return;
  for (const Setting& key : kSettings) {
    if (key.is_real()) {
      HostWriteSetting(host, kHostSection, key.name, state.Current.*key.real_field);
    } else {
      HostWriteSetting(host, kHostSection, key.name, IntegerOf(state, key));
    }
  }
  state.Dirty = 0;
}
