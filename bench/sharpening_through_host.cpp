// Local contrast as a viewer meets it: the plug-in (the native module or,
// built for Windows and run under Wine, Chromaline.dll) loaded by the
// reference host, one 24-bit host bitmap, message 14 timed on the wall
// clock, best of N. Also prints the process's resident peak above what it
// held before the first message 14 (the host's bitmap), the page faults and
// system time of the first message 14, and whether the bitmap came back
// filtered or unchanged. Natively the figures come from the kernel, and the
// peak starts afresh before message 14. On Windows they come from the
// working set and process times; Wine fills the working set and its peak
// from the kernel's resident figures of the Wine process (its peak counted
// from the start: the program reaches it in message 14, since it never
// holds more than two pictures before), and gives no page-fault count.
//
//   sharpening_through_host PLUGIN (PICTURE | --size WxH) [--repeat N] [--unsharp] [--both]
//
// --size makes a textured picture of that size instead of reading one (for
// the largest picture a 32-bit host without the large-address flag can
// have filtered); the program keeps no copy of it beside the bitmap.
// --both runs local contrast and the unsharp mask in one message 14.
// Threads come from CHROMALINE_THREADS as in the viewer.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#endif

#include "bench/bench_picture.h"
#include "host/host_bitmap.h"
#include "host/plugin_host.h"

namespace {

// Resident bytes now and at most so far.
struct Memory {
  double now = 0, peak = 0;
};

// Page faults (-1: not known) and system time of the process so far.
struct Faults {
  double count = -1, system_s = 0;
};

#if defined(_WIN32)
void ResetPeak() {}

Memory ProcessMemory() {
  Memory m;
  PROCESS_MEMORY_COUNTERS counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    m.now = static_cast<double>(counters.WorkingSetSize);
    m.peak = static_cast<double>(counters.PeakWorkingSetSize);
  }
  return m;
}

Faults ProcessFaults() {
  Faults faults;
  PROCESS_MEMORY_COUNTERS counters;
  FILETIME created, exited, kernel, user;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) &&
      GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
    if (counters.PageFaultCount != 0) faults.count = counters.PageFaultCount;
    faults.system_s = (static_cast<double>(kernel.dwHighDateTime) * 4294967296.0 + kernel.dwLowDateTime) / 1e7;
  }
  return faults;
}
#else
// Starts the resident peak afresh (clear_refs), so that reading the
// picture does not count.
void ResetPeak() {
  if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", f);
    std::fclose(f);
  }
}

Memory ProcessMemory() {
  Memory m;
  if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    double kb = 0;
    while (std::fgets(line, sizeof line, f) != nullptr) {
      if (std::sscanf(line, "VmRSS: %lf", &kb) == 1) m.now = kb * 1024.0;
      if (std::sscanf(line, "VmHWM: %lf", &kb) == 1) m.peak = kb * 1024.0;
    }
    std::fclose(f);
  }
  return m;
}

// Minor faults and system time from the kernel's stat line (fields 10 and
// 15, counted after the command name).
Faults ProcessFaults() {
  Faults faults;
  std::FILE* f = std::fopen("/proc/self/stat", "r");
  if (f == nullptr) return faults;
  char line[1024] = {};
  const bool read = std::fgets(line, sizeof line, f) != nullptr;
  std::fclose(f);
  const char* rest = read ? std::strrchr(line, ')') : nullptr;
  double minor = 0, system_ticks = 0;
  if (rest != nullptr &&
      std::sscanf(rest + 1, " %*c %*d %*d %*d %*d %*d %*u %lf %*f %*f %*f %*f %lf", &minor, &system_ticks) == 2) {
    faults.count = minor;
    faults.system_s = system_ticks / 100.0;  // USER_HZ is 100 on Linux
  }
  return faults;
}
#endif

Image PictureFrom(const char* path) {
  Image image;
  const PixelBuffer buffer = LoadBenchPicture(path);
  if (!buffer) return image;
  image.width = buffer.width();
  image.height = buffer.height();
  image.bgr.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3);
  for (int y = 0; y < image.height; ++y) std::memcpy(image.pixel(0, y), buffer.row(y), size_t{3} * image.width);
  return image;
}

Image TexturedPicture(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.bgr.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  uint32_t state = 12345;
  for (size_t i = 0; i < image.bgr.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    image.bgr[i] = static_cast<uint8_t>(((i / 3) % 251 + (state >> 28)) & 0xFF);
  }
  return image;
}

uint64_t Hash(const Image& image) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t v : image.bgr) h = (h ^ v) * 1099511628211ull;
  return h;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: sharpening_through_host PLUGIN (PICTURE | --size WxH) [--repeat N] [--unsharp] [--both]\n");
    return 2;
  }
  int repeat = 1, width = 0, height = 0;
  bool unsharp = false, both = false;
  const char* picture = nullptr;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2) return 2;
    } else if (std::strcmp(argv[i], "--unsharp") == 0) {
      unsharp = true;
    } else if (std::strcmp(argv[i], "--both") == 0) {
      both = true;
    } else {
      picture = argv[i];
    }
  }
  PluginHost host;
  std::string error;
  if (!host.Load(argv[1], &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 3;
  }
  const char kSection[] = "ChromalinePlugIn";
  host.store().SetInt(kSection, "Enabled", 1);
  host.store().SetInt(kSection, "Defog", unsharp && !both ? 0 : 1);
  host.store().SetInt(kSection, "DefogVal", 10);
  host.store().SetInt(kSection, "USMEnable", unsharp || both ? 1 : 0);
  host.store().SetDouble(kSection, "USMRadius", 0.5);
  host.store().SetInt(kSection, "USMAmount", 100);
  host.store().SetInt(kSection, "USMThreshold", 4);
  host.Send(kMessageLoadSettings);

  std::unique_ptr<HostBitmap> bitmap;
  uint64_t before = 0;
  {
    Image image = picture != nullptr ? PictureFrom(picture) : TexturedPicture(width, height);
    if (image.width <= 0) {
      std::fprintf(stderr, "cannot read the picture\n");
      return 3;
    }
    width = image.width;
    height = image.height;
    before = Hash(image);
    bitmap = HostBitmap::Create(image, HostBitmap::Kind::kDib24);
  }
  if (!bitmap) {
    std::fprintf(stderr, "no host bitmap of %d x %d\n", width, height);
    return 3;
  }
  ResetPeak();
  const Memory held = ProcessMemory();
  double best = 1e30;
  bool filtered = false;
  Faults first_call;
  for (int r = 0; r < repeat; ++r) {
    const Faults faults_before = ProcessFaults();
    const auto start = std::chrono::steady_clock::now();
    host.FilterImage("timed.png", 1, bitmap.get());
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (r == 0) {
      const Faults faults_after = ProcessFaults();
      first_call.system_s = faults_after.system_s - faults_before.system_s;
      if (faults_before.count >= 0 && faults_after.count >= 0) first_call.count = faults_after.count - faults_before.count;
      filtered = Hash(bitmap->Read()) != before;
    }
  }
  const Memory after = ProcessMemory();
  const char* threads = std::getenv("CHROMALINE_THREADS");
  std::printf(
      "%s %d x %d (%.1f MP), %s thread(s): message 14 %.3f s best of %d, %s; resident peak above the bitmap %.1f MB "
      "(picture %.1f MB)",
      both ? "local contrast + unsharp mask" : unsharp ? "unsharp mask" : "local contrast", width, height,
      width * (double)height / 1e6, threads != nullptr ? threads : "1", best, repeat,
      filtered ? "filtered" : "UNCHANGED",
      (after.peak - held.now) / 1048576.0, 3.0 * width * (double)height / 1048576.0);
  std::printf("; first call: %.2f s system time", first_call.system_s);
  if (first_call.count >= 0) std::printf(", %.0f page faults", first_call.count);
  std::printf("\n");
  return filtered ? 0 : 1;
}
