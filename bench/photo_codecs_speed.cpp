// The command line's photo codecs against ImageMagick's `convert`, on 12
// JPEG photos of 14.7 MP made from Debian's plasma-workspace-wallpapers
// 5120x2880 pictures. For each photo, in one run:
//   decode        ReadPhoto (libvips: upright, metadata and alpha kept aside)
//   JPEG encode   EncodePhoto at quality 90 and the file written, against
//                 `convert photo.jpg -quality 90 out.jpg` less
//                 `convert photo.jpg null:` (its own decode and start-up)
//   PNG encode    the same with PNG, and the sizes of both PNG files.
// Then, on the first photo, libvips' PNG compression and filter settings
// side by side, to show why the codecs use the ones they do.
//
// The machine these figures come from may be shared and busy: each decode,
// JPEG and `convert` figure is the best of 3 runs (PNG, slow, is run once).
//
//   photo_codecs_speed [count]     (count 1..12, default 12)
//
// Build it in the release preset (no sanitizers):
//   cmake --preset release && cmake --build build/release --target photo_codecs_speed
// Not part of ctest: figures depend on the machine and its load.
#include <vips/vips.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "photo/photo_io.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

const char* ConvertProgram() {
  // The real ImageMagick program, not a wrapper that may stand before it.
  return fs::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert";
}

double TimeCommand(const std::string& command, int runs) {
  double best = 1e30;
  for (int run = 0; run < runs; ++run) {
    const Clock::time_point start = Clock::now();
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    best = std::min(best, Since(start));
    if (status != 0) {
      std::fprintf(stderr, "failed: %s\n", command.c_str());
      std::exit(3);
    }
  }
  return best;
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out.good();
}

// Seconds to encode `photo` and write the file (the best of `runs`).
double TimeEncode(const Photo& photo, PhotoFormat format, const fs::path& out, int runs) {
  EncodeOptions options;
  options.format = format;
  options.quality = 90;
  double best = 1e30;
  for (int run = 0; run < runs; ++run) {
    std::vector<uint8_t> bytes;
    std::string error;
    const Clock::time_point start = Clock::now();
    if (!EncodePhoto(photo, options, &bytes, &error) || !WriteFile(out, bytes)) {
      std::fprintf(stderr, "%s: %s\n", out.string().c_str(), error.c_str());
      std::exit(3);
    }
    best = std::min(best, Since(start));
  }
  return best;
}

std::vector<fs::path> Wallpapers() {
  std::vector<fs::path> found;
  std::error_code failure;
  for (const auto& entry : fs::directory_iterator("/usr/share/wallpapers", failure)) {
    for (const char* name : {"5120x2880.jpg", "5120x2880.png"}) {
      const fs::path path = entry.path() / "contents" / "images" / name;
      if (fs::exists(path)) found.push_back(path);
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Photo i of the set: the wallpapers in turn, mirrored on the second round
// (Debian ships fewer than 12 at this size), as a JPEG at quality 92.
fs::path MakePhoto(const fs::path& wallpaper, bool mirror, const fs::path& out) {
  Photo photo;
  std::string error;
  if (!ReadPhoto(wallpaper.string(), &photo, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(3);
  }
  if (mirror) {
    for (int y = 0; y < photo.image.height; ++y) {
      for (int x = 0; x < photo.image.width / 2; ++x) {
        std::swap_ranges(photo.image.pixel(x, y), photo.image.pixel(x, y) + 3,
                         photo.image.pixel(photo.image.width - 1 - x, y));
      }
    }
  }
  photo.alpha.clear();
  EncodeOptions options;
  options.format = PhotoFormat::kJpeg;
  options.quality = 92;
  std::vector<uint8_t> bytes;
  if (!EncodePhoto(photo, options, &bytes, &error) || !WriteFile(out, bytes)) {
    std::fprintf(stderr, "%s: cannot be made (%s)\n", out.string().c_str(), error.c_str());
    std::exit(3);
  }
  return out;
}

// libvips' JPEG Huffman tables on one photo (best of 3 runs each).
void JpegSettings(VipsImage* memory, const fs::path& dir, double convert_seconds, uintmax_t convert_bytes) {
  std::printf("\nJPEG quality 90 on the first photo (convert: %.2f s, %.2f MB)\n", convert_seconds,
              convert_bytes / 1e6);
  for (bool optimize : {false, true}) {
    const fs::path out = dir / "setting.jpg";
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
      const Clock::time_point start = Clock::now();
      if (vips_jpegsave(memory, out.string().c_str(), "Q", 90, "optimize_coding", optimize, nullptr) != 0) {
        std::fprintf(stderr, "jpegsave: %s\n", vips_error_buffer());
        std::exit(3);
      }
      best = std::min(best, Since(start));
    }
    const uintmax_t bytes = fs::file_size(out);
    std::printf(
        "  %-46s %6.2f s  %5.2f MB   time x%.2f, size x%.3f of convert's\n",
        optimize ? "optimised Huffman tables (ImageMagick's way)" : "standard Huffman tables (the codecs' choice)",
        best, bytes / 1e6, best / convert_seconds, static_cast<double>(bytes) / convert_bytes);
  }
}

// libvips' PNG settings on one photo: seconds and bytes for each.
void PngSettings(VipsImage* memory, const fs::path& dir, double convert_seconds, uintmax_t convert_bytes) {
  struct Setting {
    int compression;
    VipsForeignPngFilter filter;
    const char* name;
  };
  const Setting settings[] = {{6, VIPS_FOREIGN_PNG_FILTER_ALL, "level 6, adaptive filter (ImageMagick's way)"},
                              {6, VIPS_FOREIGN_PNG_FILTER_PAETH, "level 6, Paeth filter"},
                              {5, VIPS_FOREIGN_PNG_FILTER_ALL, "level 5, adaptive filter"},
                              {4, VIPS_FOREIGN_PNG_FILTER_ALL, "level 4, adaptive filter"},
                              {6, VIPS_FOREIGN_PNG_FILTER_NONE, "level 6, no filter (libvips' default)"}};
  std::printf("\nPNG on the first photo (convert: %.2f s, %.1f MB)\n", convert_seconds, convert_bytes / 1e6);
  for (const Setting& s : settings) {
    const fs::path out = dir / "setting.png";
    const Clock::time_point start = Clock::now();
    if (vips_pngsave(memory, out.string().c_str(), "compression", s.compression, "filter", s.filter, nullptr) != 0) {
      std::fprintf(stderr, "pngsave: %s\n", vips_error_buffer());
      std::exit(3);
    }
    const double seconds = Since(start);
    const uintmax_t bytes = fs::file_size(out);
    std::printf("  %-46s %6.2f s  %5.1f MB   time x%.2f, size x%.3f of convert's\n", s.name, seconds, bytes / 1e6,
                seconds / convert_seconds, static_cast<double>(bytes) / convert_bytes);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 12;
  if (count < 1 || count > 12) {
    std::fprintf(stderr, "usage: photo_codecs_speed [count 1..12]\n");
    return 2;
  }
  const std::vector<fs::path> wallpapers = Wallpapers();
  if (wallpapers.empty()) {
    std::fprintf(stderr,
                 "No 5120x2880 wallpapers under /usr/share/wallpapers. Install them with\n"
                 "  sudo apt-get install plasma-workspace-wallpapers\n");
    return 2;
  }
  if (std::system((std::string(ConvertProgram()) + " -version >/dev/null 2>&1").c_str()) != 0) {
    std::fprintf(stderr, "ImageMagick's convert is missing: sudo apt-get install imagemagick\n");
    return 2;
  }
  const fs::path dir = fs::temp_directory_path() / ("photo_codecs_speed-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::printf("making %d JPEG photos of 14.7 MP from %zu wallpapers in %s\n", count, wallpapers.size(),
              dir.string().c_str());
  std::vector<fs::path> photos;
  for (int i = 0; i < count; ++i) {
    const size_t n = wallpapers.size();
    photos.push_back(
        MakePhoto(wallpapers[i % n], i >= static_cast<int>(n), dir / ("photo" + std::to_string(i) + ".jpg")));
  }

  double decode = 0, jpeg = 0, png = 0, im_read = 0, im_jpeg = 0, im_png = 0;
  uintmax_t png_bytes = 0, im_png_bytes = 0, jpeg_bytes = 0, im_jpeg_bytes = 0;
  double first_im_png = 0, first_im_jpeg = 0;
  uintmax_t first_im_png_bytes = 0, first_im_jpeg_bytes = 0;
  int jpeg_slower = 0;
  std::printf("\n%-12s %8s %8s %8s | %8s %8s %8s | %8s\n", "photo", "decode", "jpeg", "png", "cv.read", "cv.jpeg",
              "cv.png", "png size");
  for (size_t i = 0; i < photos.size(); ++i) {
    const std::string in = photos[i].string();
    Photo photo;
    double d = 1e30;
    for (int run = 0; run < 3; ++run) {
      std::string error;
      const Clock::time_point start = Clock::now();
      if (!ReadPhoto(in, &photo, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 3;
      }
      d = std::min(d, Since(start));
    }
    const double j = TimeEncode(photo, PhotoFormat::kJpeg, dir / "ours.jpg", 3);
    const double p = TimeEncode(photo, PhotoFormat::kPng, dir / "ours.png", 1);
    const std::string convert = std::string(ConvertProgram()) + " '" + in + "'";
    const double r = TimeCommand(convert + " null:", 3);
    const double cj = TimeCommand(convert + " -quality 90 '" + (dir / "im.jpg").string() + "'", 3) - r;
    const double cp = TimeCommand(convert + " '" + (dir / "im.png").string() + "'", 1) - r;
    const uintmax_t ours = fs::file_size(dir / "ours.png"), theirs = fs::file_size(dir / "im.png");
    if (i == 0) {
      first_im_png = cp;
      first_im_png_bytes = theirs;
      first_im_jpeg = cj;
      first_im_jpeg_bytes = fs::file_size(dir / "im.jpg");
    }
    if (j > cj) ++jpeg_slower;
    std::printf("%-12s %7.2fs %7.2fs %7.2fs | %7.2fs %7.2fs %7.2fs | x%.3f\n", photos[i].filename().string().c_str(),
                d, j, p, r, cj, cp, static_cast<double>(ours) / theirs);
    decode += d, jpeg += j, png += p, im_read += r, im_jpeg += cj, im_png += cp;
    png_bytes += ours, im_png_bytes += theirs;
    jpeg_bytes += fs::file_size(dir / "ours.jpg"), im_jpeg_bytes += fs::file_size(dir / "im.jpg");
  }
  std::printf("\ntotals over %d photos (ours / convert's):\n", count);
  std::printf("  decode       %7.2f s / %7.2f s   x%.2f\n", decode, im_read, decode / im_read);
  std::printf("  JPEG encode  %7.2f s / %7.2f s   x%.2f   size x%.3f (slower than convert on %d of %d photos)\n",
              jpeg, im_jpeg, jpeg / im_jpeg, static_cast<double>(jpeg_bytes) / im_jpeg_bytes, jpeg_slower, count);
  std::printf("  PNG encode   %7.2f s / %7.2f s   x%.2f   size x%.3f\n", png, im_png, png / im_png,
              static_cast<double>(png_bytes) / im_png_bytes);
  VipsImage* image = vips_image_new_from_file(photos[0].string().c_str(), "access", VIPS_ACCESS_RANDOM, nullptr);
  VipsImage* memory = image ? vips_image_copy_memory(image) : nullptr;
  if (!memory) {
    std::fprintf(stderr, "%s: libvips cannot read it\n", photos[0].string().c_str());
    return 3;
  }
  JpegSettings(memory, dir, first_im_jpeg, first_im_jpeg_bytes);
  PngSettings(memory, dir, first_im_png, first_im_png_bytes);
  g_object_unref(memory);
  g_object_unref(image);
  fs::remove_all(dir);
  return 0;
}
