// The module's only export and the one PluginState it owns.
//
// Every message runs inside a module scope. The framework this plug-in was
// first written for switched module state here; we need no such switch,
// because every dialog, string and resource is looked up through the
// plug-in's own module handle.
#include "chromaline/plugin_abi.h"
#include "plugin/message_handler.h"
#include "plugin/plugin_state.h"

#if defined(_WIN32)
#define CHROMALINE_EXPORT
#else
#define CHROMALINE_EXPORT __attribute__((visibility("default")))
#endif

namespace {
PluginState& State() {
  static PluginState state;
  return state;
}
}  // namespace

extern "C" CHROMALINE_EXPORT int32_t CHROMALINE_STDCALL zorPlugInMsgHandler(uint32_t type, void* p, uint32_t a) {
  return HandleMessage(State(), type, p, a);
}
