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
//   sharpening_through_host PLUGIN (PICTURE | --size WxH) [--repeat N] [--unsharp] [--both] [--gamma]
//
// --size makes a textured picture of that size instead of reading one (for
// the largest picture a 32-bit host without the large-address flag can
// have filtered); the program fills the bitmap in place and keeps no copy
// of the picture beside it.
// --both runs local contrast and the unsharp mask in one message 14.
// --gamma runs the gamma stage alone instead: the bitmap in and out around
// the cheapest stage, the floor under any one-stage message 14.
// Threads come from CHROMALINE_THREADS as in the viewer.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#endif

#include "bench/bench_picture.h"
#include "chromaline/host_bitmap.h"
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

// A 24-bit bottom-up bitmap of the host's kind (a DIB section on Windows, a
// descriptor elsewhere) whose rows the program fills and reads in place, so
// that the largest pictures need no second copy beside it.
class RowBitmap : public HostBitmap {
 public:
  static std::unique_ptr<RowBitmap> Create(int width, int height) {
    if (width < 1 || height < 1) return nullptr;
    std::unique_ptr<RowBitmap> bitmap(new RowBitmap);
    bitmap->width_ = width;
    bitmap->height_ = height;
    bitmap->stride_ = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
#if defined(_WIN32)
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap->section_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap->section_ == nullptr) return nullptr;
    bitmap->bits_ = static_cast<unsigned char*>(bits);
#else
    bitmap->owned_.reset(new (std::nothrow) unsigned char[bitmap->stride_ * static_cast<size_t>(height)]);
    if (!bitmap->owned_) return nullptr;
    bitmap->bits_ = bitmap->owned_.get();
    bitmap->descriptor_ = ChromalineHostBitmap{sizeof(ChromalineHostBitmap),          width, height,       24,
                                               static_cast<int32_t>(bitmap->stride_), 0,     bitmap->bits_};
#endif
    return bitmap;
  }
  ~RowBitmap() override {
#if defined(_WIN32)
    if (section_ != nullptr) DeleteObject(section_);
#endif
  }

  uintptr_t handle() const override {
#if defined(_WIN32)
    return reinterpret_cast<uintptr_t>(section_);
#else
    return reinterpret_cast<uintptr_t>(&descriptor_);
#endif
  }
  Image Read() const override {
    Image image;
    image.width = width_;
    image.height = height_;
    image.bgr.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3);
    for (int y = 0; y < height_; ++y) std::memcpy(image.pixel(0, y), row(y), size_t{3} * width_);
    return image;
  }

  // Row y counted from the top.
  unsigned char* row(int y) const { return bits_ + static_cast<size_t>(height_ - 1 - y) * stride_; }
  int width() const { return width_; }
  int height() const { return height_; }

  uint64_t Hash() const {
    uint64_t h = 1469598103934665603ull;
    for (int y = 0; y < height_; ++y) {
      const unsigned char* r = row(y);
      for (int i = 0; i < 3 * width_; ++i) h = (h ^ r[i]) * 1099511628211ull;
    }
    return h;
  }

 private:
  RowBitmap() = default;
  int width_ = 0, height_ = 0;
  size_t stride_ = 0;
  unsigned char* bits_ = nullptr;
#if defined(_WIN32)
  HBITMAP section_ = nullptr;
#else
  std::unique_ptr<unsigned char[]> owned_;
  ChromalineHostBitmap descriptor_{};
#endif
};

std::unique_ptr<RowBitmap> PictureFrom(const char* path) {
  const PixelBuffer buffer = LoadBenchPicture(path);
  if (!buffer) return nullptr;
  std::unique_ptr<RowBitmap> bitmap = RowBitmap::Create(buffer.width(), buffer.height());
  if (!bitmap) return nullptr;
  for (int y = 0; y < buffer.height(); ++y) std::memcpy(bitmap->row(y), buffer.row(y), size_t{3} * buffer.width());
  return bitmap;
}

std::unique_ptr<RowBitmap> TexturedPicture(int width, int height) {
  std::unique_ptr<RowBitmap> bitmap = RowBitmap::Create(width, height);
  if (!bitmap) return nullptr;
  uint32_t state = 12345;
  size_t i = 0;
  for (int y = 0; y < height; ++y) {
    unsigned char* r = bitmap->row(y);
    for (int v = 0; v < 3 * width; ++v, ++i) {
      state = state * 1664525u + 1013904223u;
      r[v] = static_cast<uint8_t>(((i / 3) % 251 + (state >> 28)) & 0xFF);
    }
  }
  return bitmap;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: sharpening_through_host PLUGIN (PICTURE | --size WxH) [--repeat N] [--unsharp] [--both] "
                 "[--gamma]\n");
    return 2;
  }
  int repeat = 1, width = 0, height = 0;
  bool unsharp = false, both = false, gamma = false;
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
    } else if (std::strcmp(argv[i], "--gamma") == 0) {
      gamma = true;
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
  host.store().SetInt(kSection, "Defog", gamma || (unsharp && !both) ? 0 : 1);
  host.store().SetInt(kSection, "DefogVal", 10);
  host.store().SetInt(kSection, "USMEnable", !gamma && (unsharp || both) ? 1 : 0);
  host.store().SetInt(kSection, "GammaAdj", gamma ? 1 : 0);
  host.store().SetDouble(kSection, "GammaVal", 0.3);
  host.store().SetDouble(kSection, "USMRadius", 0.5);
  host.store().SetInt(kSection, "USMAmount", 100);
  host.store().SetInt(kSection, "USMThreshold", 4);
  host.Send(kMessageLoadSettings);

  const std::unique_ptr<RowBitmap> bitmap =
      picture != nullptr ? PictureFrom(picture) : TexturedPicture(width, height);
  if (!bitmap) {
    if (picture != nullptr) {
      std::fprintf(stderr, "cannot read %s, or no host bitmap of its size\n", picture);
    } else {
      std::fprintf(stderr, "no host bitmap of %d x %d\n", width, height);
    }
    return 3;
  }
  width = bitmap->width();
  height = bitmap->height();
  const uint64_t before = bitmap->Hash();
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
      if (faults_before.count >= 0 && faults_after.count >= 0)
        first_call.count = faults_after.count - faults_before.count;
      filtered = bitmap->Hash() != before;
    }
  }
  const Memory after = ProcessMemory();
  const char* threads = std::getenv("CHROMALINE_THREADS");
  std::printf(
      "%s %d x %d (%.1f MP), %s thread(s): message 14 %.3f s best of %d, %s; resident peak above the bitmap %.1f MB "
      "(picture %.1f MB)",
      gamma     ? "gamma"
      : both    ? "local contrast + unsharp mask"
      : unsharp ? "unsharp mask"
                : "local contrast",
      width, height, width * (double)height / 1e6, threads != nullptr ? threads : "1", best, repeat,
      filtered ? "filtered" : "UNCHANGED", (after.peak - held.now) / 1048576.0,
      3.0 * width * (double)height / 1048576.0);
  std::printf("; first call: %.2f s system time", first_call.system_s);
  if (first_call.count >= 0) std::printf(", %.0f page faults", first_call.count);
  std::printf("\n");
  return filtered ? 0 : 1;
}
