// Loading the plug-in module and finding its entry point: LoadLibrary and
// the decorated export "_zorPlugInMsgHandler@12" on Windows, dlopen and
// "zorPlugInMsgHandler" elsewhere.
#ifndef CHROMALINE_HOST_PLUGIN_LIBRARY_H_
#define CHROMALINE_HOST_PLUGIN_LIBRARY_H_

#include <string>

#include "chromaline/plugin_abi.h"

class PluginLibrary {
 public:
  PluginLibrary() = default;
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Loads the file `path` names (relative paths from the current folder,
  // never looked up along the system's library search path).
  bool Load(const std::string& path, std::string* error);
  void Unload();
  PluginMsgHandler entry() const { return entry_; }

 private:
  void* module_ = nullptr;
  PluginMsgHandler entry_ = nullptr;
};

// The plug-in built beside the running program (Chromaline.dll or
// chromaline.so in the program's own folder).
std::string DefaultPluginPath();

// The command line wants every processor the system gives it: sets
// CHROMALINE_THREADS=auto in this process's environment (where the plug-in
// reads it) unless the user has set the variable, to any value.
void AskForAllProcessorsUnlessSet();

#endif  // CHROMALINE_HOST_PLUGIN_LIBRARY_H_
