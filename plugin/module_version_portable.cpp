// Without a version resource the module reports the version it was built
// with (the project version, passed in by the build).
#include "plugin/module_version.h"

bool ReadModuleVersion(ProductVersion* version) {
  version->most_significant = (CHROMALINE_VERSION_MAJOR << 16) | CHROMALINE_VERSION_MINOR;
  version->least_significant = (CHROMALINE_VERSION_PATCH << 16) | CHROMALINE_VERSION_TWEAK;
  return true;
}
