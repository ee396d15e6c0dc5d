// Shared helpers of the plug-in tests: seeded pictures, temp folders, and a
// host with the built plug-in loaded.
#ifndef CHROMALINE_TESTS_SUPPORT_TEST_SUPPORT_H_
#define CHROMALINE_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <cstdint>
#include <string>

#include "photo/image.h"
#include "host/plugin_host.h"
#include "filters/filter_settings.h"
#include "filters/pixel_buffer.h"

// A picture copied into a new 24-bit buffer, and back.
PixelBuffer BufferOf(const Image& image);
Image ImageOf(const PixelBuffer& buffer);

// "" when both pictures are equal, else where they first differ.
std::string FirstDifferentPixel(const Image& actual, const Image& expected);
// The largest difference of any channel of two pictures of one size; 256
// when their sizes differ.
int MaxDifference(const Image& a, const Image& b);

// Clears `store` and puts in what a viewer keeps for the plug-in: the
// switch and every filter setting, under their keys in the section
// "ChromalinePlugIn".
void PutGlobalSettings(SettingsStore& store, int32_t enabled, const FilterSettings& settings);

// Messages 7 and 14 through `host`, as a viewer would run them: every
// filter setting goes into the host's store with the plug-in switched on,
// the plug-in loads them, and `picture` is filtered in a host bitmap of
// `kind` and read back. The host's call record starts empty for message 14.
Image FilterThroughPlugin(PluginHost& host, const Image& picture, const FilterSettings& settings,
                          HostBitmap::Kind kind = HostBitmap::Kind::kDib24,
                          const ImageRegion& region = ImageRegion{0, 0, 0, 0});

// A picture of seeded random pixels.
Image RandomImage(int width, int height, uint32_t seed);

// A folder under the system's temp folder, removed with its files.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  // path() joined with a name by the platform's separator.
  std::string File(const std::string& name) const;
  // How many entries the folder holds now.
  size_t Entries() const;

 private:
  std::string path_;
};

// A file's whole content, empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// The folder of the bundled sample photos (CHROMALINE_SAMPLES_DIR, falling
// back to the source tree's samples/).
std::string SamplesDir();

#endif  // CHROMALINE_TESTS_SUPPORT_TEST_SUPPORT_H_
