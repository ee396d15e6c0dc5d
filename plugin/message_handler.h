// The dispatch of the host's numbered messages. Any code not in the table
// does nothing and returns 0.
#ifndef CHROMALINE_PLUGIN_MESSAGE_HANDLER_H_
#define CHROMALINE_PLUGIN_MESSAGE_HANDLER_H_

#include <cstdint>

#include "plugin/plugin_state.h"

int32_t HandleMessage(PluginState& state, uint32_t type, void* p, uint32_t a);

#endif  // CHROMALINE_PLUGIN_MESSAGE_HANDLER_H_
