// PluginState: everything the plug-in keeps between messages, one instance
// per loaded module, changed only by the message handler.
#ifndef CHROMALINE_PLUGIN_PLUGIN_STATE_H_
#define CHROMALINE_PLUGIN_PLUGIN_STATE_H_

#include <cstdint>
#include <map>
#include <string>

#include "chromaline/plugin_abi.h"
#include "filters/filter_settings.h"

struct PluginState {
  int32_t Enabled = 0;  // gates messages 13, 14 and 22
  int32_t Dirty = 0;    // 1 after a confirmed global dialog, 0 after load/save
  int32_t HotKey = 0;   // low byte virtual key, next byte modifier flags
  FilterSettings Current;
  // For each host window, the path last announced for it by message 13.
  std::map<uint32_t, std::string> WindowPaths;
  HostCallback Callback = nullptr;
};

#endif  // CHROMALINE_PLUGIN_PLUGIN_STATE_H_
