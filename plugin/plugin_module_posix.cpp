// The module is the shared object (or program) that holds this code, as
// the dynamic loader knows it. There is no handle to look resources up in.
#include <dlfcn.h>

#include "plugin/plugin_module.h"

uintptr_t PluginModuleHandle() { return 0; }

std::string PluginModulePath() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&PluginModulePath), &info) == 0 || info.dli_fname == nullptr) {
    return std::string();
  }
  return info.dli_fname;
}
