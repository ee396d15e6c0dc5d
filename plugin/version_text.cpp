// The version text of message 2, cut to the host's buffer.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "plugin/module_version.h"

namespace {
// The host promises a buffer of at least this many bytes.
constexpr size_t kVersionTextBytes = 27;
constexpr char kUnknownVersion[] = "Chromaline Unknown version";
static_assert(sizeof kUnknownVersion == kVersionTextBytes, "fills the host's buffer exactly");
}  // namespace

void WriteVersionText(char* text) {
  if (text == nullptr) return;
  ProductVersion version;
  if (!ReadModuleVersion(&version)) {
    std::memcpy(text, kUnknownVersion, sizeof kUnknownVersion);
    return;
  }
  char formatted[64];
  std::snprintf(
      formatted, sizeof formatted, "Chromaline v%d.%d.%d", static_cast<int>(version.most_significant >> 16),
      static_cast<int>(version.most_significant & 0xFFFF), static_cast<int>(version.least_significant >> 16));
  // Versions with five-digit parts would not fit: cut, never overrun.
  const size_t length = std::min(std::strlen(formatted), kVersionTextBytes - 1);
  std::memcpy(text, formatted, length);
  text[length] = '\0';
}
