// File names natively: the bytes the system takes are the UTF-8 the
// program carries, and the plug-in is given the same (base/file_name.h).
#include "base/file_name.h"

std::FILE* OpenFile(const std::string& name, const char* mode) { return std::fopen(name.c_str(), mode); }

std::string PluginFileName(const std::string& name, bool* shortened) {
  *shortened = false;
  return name;
}

std::string Utf8FromPluginFileName(const std::string& name) { return name; }
