// Loading the plug-in with dlopen and finding its entry point with dlsym.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "host/plugin_library.h"

PluginLibrary::~PluginLibrary() { Unload(); }

bool PluginLibrary::Load(const std::string& path, std::string* error) {
  Unload();
  // A name without a slash would be looked up along the library search
  // path; the file meant is the one of that name in the current folder.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  module_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module_ == nullptr) {
    *error = path + ": cannot be loaded: " + dlerror();
    return false;
  }
  entry_ = reinterpret_cast<PluginMsgHandler>(dlsym(module_, "zorPlugInMsgHandler"));
  if (entry_ == nullptr) {
    *error = path + ": no export zorPlugInMsgHandler";
    Unload();
    return false;
  }
  return true;
}

void PluginLibrary::Unload() {
  if (module_ != nullptr) dlclose(module_);
  module_ = nullptr;
  entry_ = nullptr;
}

std::string DefaultPluginPath() {
  char self[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string("./x");
  dir.erase(dir.find_last_of('/') + 1);
  return dir + "chromaline.so";
}

void AskForAllProcessorsUnlessSet() { setenv("CHROMALINE_THREADS", "auto", 0); }
