// File: base/safe_file.cpp
//
// The part of the safe writer both platforms share: the names of its
// temporary files, and the writer of plain bytes.
#include <random>

#include "base/safe_file.h"

std::string TemporaryNamePrefix(const std::string& name) { return "." + name + "."; }

std::string NewTemporaryName(const std::string& name) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::mt19937 random(device());
  std::string text = TemporaryNamePrefix(name);
  for (int i = 0; i < 8; ++i) text += kLetters[random() % (sizeof kLetters - 1)];
  return text + kTemporaryNameEnding;
}

bool WriteFileSafely(const std::string& target, const void* data, size_t size, std::string* error) {
  return ReplaceFileSafely(target, [&](TemporaryFile& file) { return file.Write(data, size); }, SafeWriteOptions(),
                           error);
}
