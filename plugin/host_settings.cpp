// File: plugin/host_settings.cpp
#include "plugin/host_settings.h"

#include "plugin/host_callback.h"
#include "plugin/setting_keys.h"

void LoadHostSettings(PluginState& state) {
  const HostCallback host = state.Callback;
  if (host == nullptr) return;
  state.Enabled = HostReadInt(host, kHostSection, kEnabledKey, 0);
  state.HotKey = HostReadInt(host, kHostSection, kHotKeyKey, 0);
  for (size_t i = 0; i < kFilterKeyCount; ++i) {
    const SettingKey& key = kFilterKeys[i];
    if (key.is_real()) {
      state.Current.*key.real_field = HostReadDouble(host, kHostSection, key.name, key.load_default);
    } else {
      state.Current.*key.int_field =
          HostReadInt(host, kHostSection, key.name, static_cast<int32_t>(key.load_default));
    }
  }
  state.Dirty = 0;
}

void SaveHostSettings(PluginState& state) {
  const HostCallback host = state.Callback;
  if (host == nullptr) return;
  HostWriteInt(host, kHostSection, kEnabledKey, state.Enabled);
  HostWriteInt(host, kHostSection, kHotKeyKey, state.HotKey);
  for (size_t i = 0; i < kFilterKeyCount; ++i) {
    const SettingKey& key = kFilterKeys[i];
    if (key.is_real()) {
      HostWriteDouble(host, kHostSection, key.name, state.Current.*key.real_field);
    } else {
      HostWriteInt(host, kHostSection, key.name, state.Current.*key.int_field);
    }
  }
  state.Dirty = 0;
}
