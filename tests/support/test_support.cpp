// Shared helpers of the plug-in tests: seeded pictures, temp folders, the plug-in's path.
#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <gtest/gtest.h>

PixelBuffer BufferOf(const Image& image) {
  PixelBuffer buffer = CreatePixelBuffer(image.width, image.height, 24);
  const size_t row_bytes = 3 * static_cast<size_t>(image.width);
  for (int y = 0; y < image.height; ++y) std::memcpy(buffer.row(y), image.pixel(0, y), row_bytes);
  return buffer;
}

Image ImageOf(const PixelBuffer& buffer) {
  Image image;
  image.width = buffer.width();
  image.height = buffer.height();
  image.bgr.resize(static_cast<size_t>(image.width) * image.height * 3);
  const size_t row_bytes = 3 * static_cast<size_t>(image.width);
  for (int y = 0; y < image.height; ++y) std::memcpy(image.pixel(0, y), buffer.row(y), row_bytes);
  return image;
}

std::string FirstDifferentPixel(const Image& actual, const Image& expected) {
  if (actual.width != expected.width || actual.height != expected.height) return "different sizes";
  for (size_t i = 0; i < expected.bgr.size(); ++i) {
    if (actual.bgr[i] == expected.bgr[i]) continue;
    const size_t pixel = i / 3;
    return "pixel (" + std::to_string(pixel % expected.width) + ", " + std::to_string(pixel / expected.width) +
           ") byte " + std::to_string(i % 3) + ": got " + std::to_string(actual.bgr[i]) + ", want " +
           std::to_string(expected.bgr[i]);
  }
  return "";
}

int MaxDifference(const Image& a, const Image& b) {
  if (a.width != b.width || a.height != b.height) return 256;
  int most = 0;
  for (size_t i = 0; i < a.bgr.size(); ++i) most = std::max(most, std::abs(a.bgr[i] - b.bgr[i]));
  return most;
}

void PutGlobalSettings(SettingsStore& store, int32_t enabled, const FilterSettings& settings) {
  // The keys are spelled out here, not taken from the plug-in's own table,
  // so that a wrong name there shows.
  static const char kSection[] = "ChromalinePlugIn";
  store.Clear();
  store.SetInt(kSection, "Enabled", enabled);
  store.SetInt(kSection, "ToneFilter", settings.ToneFilter);
  store.SetInt(kSection, "FilterParam", settings.FilterParam);
  store.SetInt(kSection, "GammaAdj", settings.GammaAdj);
  store.SetDouble(kSection, "GammaVal", settings.GammaVal);
  store.SetInt(kSection, "Defog", settings.Defog);
  store.SetInt(kSection, "DefogVal", settings.DefogVal);
  store.SetInt(kSection, "AutoLevels", settings.AutoLevels);
  store.SetDouble(kSection, "USMRadius", settings.USMRadius);
  store.SetInt(kSection, "USMAmount", settings.USMAmount);
  store.SetInt(kSection, "USMThreshold", settings.USMThreshold);
  store.SetInt(kSection, "USMEnable", settings.USMEnable);
}

Image FilterThroughPlugin(PluginHost& host, const Image& picture, const FilterSettings& settings,
                          HostBitmap::Kind kind, const ImageRegion& region) {
  PutGlobalSettings(host.store(), 1, settings);
  host.Send(kMessageLoadSettings);
  auto bitmap = HostBitmap::Create(picture, kind);
  if (!bitmap) {
    ADD_FAILURE() << "no host bitmap for a " << picture.width << "x" << picture.height << " picture";
    return Image();
  }
  host.ClearCalls();
  EXPECT_EQ(host.FilterImage("filtered-by-test.png", 9, bitmap.get(), region), 0);
  return bitmap->Read();
}

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

size_t TempDir::Entries() const {
  const std::filesystem::directory_iterator entries(path_);
  return static_cast<size_t>(std::distance(begin(entries), end(entries)));
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TempDir::File(const std::string& name) const { return (std::filesystem::path(path_) / name).string(); }

std::string SamplesDir() {
  if (const char* dir = std::getenv("CHROMALINE_SAMPLES_DIR")) return dir;
  return CHROMALINE_SOURCE_DIR "/samples";
}
