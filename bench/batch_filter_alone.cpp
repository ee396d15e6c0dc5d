// The filtering alone of a batch, for bench/batch_photos.sh: every picture
// is read and put into its bitmap first, then only message 14 is timed, one
// picture after the other, with the settings store given. Prints the total
// seconds of filtering.
//
//   batch_filter_alone PLUGIN STORE PICTURE...
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/host_bitmap.h"
#include "photo/photo_io.h"
#include "host/plugin_host.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: batch_filter_alone PLUGIN STORE PICTURE...\n");
    return 2;
  }
  PluginHost host;
  std::string error;
  if (!host.store().LoadFile(argv[2], &error) || !host.Load(argv[1], &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 3;
  }
  host.Send(kMessageLoadSettings);
  host.Send(kMessageEnable, reinterpret_cast<void*>(1), 1);
  double seconds = 0;
  double pixels = 0;
  for (int i = 3; i < argc; ++i) {
    Photo photo;
    if (!ReadPhoto(argv[i], &photo, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 3;
    }
    std::unique_ptr<HostBitmap> bitmap = HostBitmap::Create(photo.image, HostBitmap::Kind::kDib24);
    const auto start = std::chrono::steady_clock::now();
    host.FilterImage(argv[i], static_cast<uint32_t>(i), bitmap.get());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    pixels += static_cast<double>(photo.image.width) * photo.image.height;
  }
  std::printf("%.2f s filtering alone, %.1f Mpx/s\n", seconds, pixels / seconds / 1e6);
  return 0;
}
