// One row per message code. Messages that need the host do nothing through
// a missing callback; they still return their usual result.
#include "plugin/message_handler.h"

#include <cstdint>

#include "filters/filter_pipeline.h"
#include "plugin/host_callback.h"
#include "plugin/host_settings.h"
#include "settings/local_settings.h"
#include "plugin/module_version.h"
#include "plugin/dialog_messages.h"

namespace {

using Handler = int32_t (*)(PluginState& state, void* p, uint32_t a);

const char* Text(void* p) { return static_cast<const char*>(p); }

int32_t Returns0(PluginState&, void*, uint32_t) { return 0; }
int32_t Returns1(PluginState&, void*, uint32_t) { return 1; }
int32_t Returns256(PluginState&, void*, uint32_t) { return 256; }

int32_t OnVersion(PluginState&, void* p, uint32_t) {
  WriteVersionText(static_cast<char*>(p));
  return 1;
}

int32_t OnSetCallback(PluginState& state, void* p, uint32_t) {
  state.Callback = reinterpret_cast<HostCallback>(p);
  return 1;
}

int32_t OnSaveSettings(PluginState& state, void*, uint32_t) {
  SaveHostSettings(state);
  return 1;
}

int32_t OnLoadSettings(PluginState& state, void*, uint32_t) {
  LoadHostSettings(state);
  return 1;
}

int32_t OnQueryDirty(PluginState& state, void*, uint32_t) { return state.Dirty; }

int32_t OnAnnounceImage(PluginState& state, void* p, uint32_t a) {
  if (state.Enabled != 0 && p != nullptr) state.WindowPaths[a] = Text(p);
  return 0;
}

int32_t OnFilterImage(PluginState& state, void* p, uint32_t a) {
  if (state.Enabled == 0 || p == nullptr || *Text(p) == '\0') return 0;
  if (state.Callback == nullptr) return 0;  // no host to ask for the bitmap
  const FilterSettings settings = ReadLocalSettings(Text(p), state.Current);
  const BitmapHandle bitmap = HostGetBitmap(state.Callback, a);
  const ImageRegion region = HostGetRegion(state.Callback, a);
  FilterPipeline(bitmap, settings, region, HostStopQuery(state));
  return 0;
}

int32_t OnCapabilities(PluginState&, void* p, uint32_t) {
  switch (reinterpret_cast<uintptr_t>(p)) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 0x10002;
    default: return -1;
  }
}

int32_t OnEnable(PluginState& state, void* p, uint32_t a) {
  if (p != nullptr) state.Enabled = static_cast<int32_t>(a);
  // Wraps like the host's 32-bit arithmetic when Enabled is INT32_MAX.
  return static_cast<int32_t>(static_cast<uint32_t>(state.Enabled) + 1u);
}

struct MessageRow {
  uint32_t code;
  Handler handler;
};

constexpr MessageRow kMessages[] = {
    {kMessageInterfaceVersion, Returns256},
    {kMessageVersionText, OnVersion},
    {kMessageSetCallback, OnSetCallback},
    {kMessageGlobalDialog, OnGlobalSettingsDialog},
    {kMessageSaveSettings, OnSaveSettings},
    {kMessageLoadSettings, OnLoadSettings},
    {kMessageQueryDirty, OnQueryDirty},
    {kMessageImageShown, OnAnnounceImage},
    {kMessageFilterImage, OnFilterImage},
    {kMessageHotkey, OnHotkeyDialog},
    {kMessageQuery27, Returns1},
    {kMessageCapabilities, OnCapabilities},
    {kMessageQuery29, Returns1},
    {kMessageLocalDialog, OnLocalSettingsDialog},
    {kMessageEnable, OnEnable},
};

}  // namespace

int32_t HandleMessage(PluginState& state, uint32_t type, void* p, uint32_t a) {
  for (const MessageRow& row : kMessages) {
    if (row.code == type) return row.handler(state, p, a);
  }
  return Returns0(state, p, a);
}
