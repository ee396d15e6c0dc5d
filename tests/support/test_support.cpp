// File: tests/support/test_support.cpp
#include "tests/support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <random>

Image RandomImage(int width, int height, uint32_t seed) {
  Image image;
  image.width = width;
  image.height = height;
  image.bgr.resize(static_cast<size_t>(width) * height * 3);
  std::mt19937 random(seed);
  for (uint8_t& v : image.bgr) v = static_cast<uint8_t>(random() & 0xFF);
  return image;
}

TempDir::TempDir() {
  static int counter = 0;
  std::random_device entropy;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto candidate = base / ("chromaline-test-" + std::to_string(entropy()) + "-" + std::to_string(++counter));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = candidate.string();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const {
  return (std::filesystem::path(path_) / name).string();
}

std::string SamplesDir() {
  if (const char* dir = std::getenv("CHROMALINE_SAMPLES_DIR")) return dir;
  return CHROMALINE_SOURCE_DIR "/samples";
}
