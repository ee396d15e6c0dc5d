// ModuleVersion: the plug-in module's own version record. On Windows it is
// the VERSIONINFO resource read through the version functions; elsewhere
// the version the module was built with.
#ifndef CHROMALINE_PLUGIN_MODULE_VERSION_H_
#define CHROMALINE_PLUGIN_MODULE_VERSION_H_

#include <cstdint>

struct ProductVersion {
  uint32_t most_significant;   // major << 16 | minor
  uint32_t least_significant;  // patch << 16 | build
};

// True and the product version when the module's version record can be read.
bool ReadModuleVersion(ProductVersion* version);

// Writes "Chromaline v<major>.<minor>.<patch>" or, when the record cannot be
// read, "Chromaline Unknown version" into `text`, never more than 27 bytes
// including the terminating NUL. A null `text` is left alone.
void WriteVersionText(char* text);

#endif  // CHROMALINE_PLUGIN_MODULE_VERSION_H_
