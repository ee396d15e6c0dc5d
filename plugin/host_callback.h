// Every call the plug-in makes back into the host goes through here. With
// no callback yet (message 3 not seen) nothing is called: reads give their
// default-free zero, requests give nothing.
#ifndef CHROMALINE_PLUGIN_HOST_CALLBACK_H_
#define CHROMALINE_PLUGIN_HOST_CALLBACK_H_

#include <cstdint>

#include "chromaline/plugin_abi.h"
#include "filters/engine/bitmap_transfer.h"
#include "filters/engine/stop_query.h"
#include "plugin/plugin_state.h"

// The section every host store key lives in.
extern const char kHostSection[];

// Host store operations, for int32_t (type 1) and double (type 2): one call
// of code 6 (read) or 5 (write) with a freshly zeroed HostSettingRecord. A
// read returns whatever the host left in the value bytes, so a host that
// writes nothing yields 0.
template <typename T>
T HostReadSetting(HostCallback callback, const char* section, const char* key, T fallback);
template <typename T>
void HostWriteSetting(HostCallback callback, const char* section, const char* key, T value);

// Code 8: the bitmap handle of an image (0 when the host gives none).
BitmapHandle HostGetBitmap(HostCallback callback, uint32_t image_id);
// Code 14: the host's region for an image (all zeros when not filled).
ImageRegion HostGetRegion(HostCallback callback, uint32_t image_id);
// Code 9: a notification around the hotkey dialog.
void HostNotify(HostCallback callback, int32_t notification);
// Code 13 as a StopQuery: asks the state's callback, whichever it is then.
StopQuery HostStopQuery(const PluginState& state);

#endif  // CHROMALINE_PLUGIN_HOST_CALLBACK_H_
