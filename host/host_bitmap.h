// The bitmap the reference host hands the plug-in for callback code 8: a
// GDI bitmap on Windows (a 24- or 32-bit DIB section, or a device-dependent
// bitmap), a ChromalineHostBitmap descriptor elsewhere.
#ifndef CHROMALINE_HOST_HOST_BITMAP_H_
#define CHROMALINE_HOST_HOST_BITMAP_H_

#include <cstdint>
#include <memory>

#include "photo/image.h"

class HostBitmap {
 public:
  enum class Kind { kDib24, kDib32, kDeviceDependent };

  virtual ~HostBitmap() = default;
  // Null when the bitmap cannot be made. kDeviceDependent falls back to
  // kDib32 where there is no device.
  static std::unique_ptr<HostBitmap> Create(const Image& image, Kind kind);

  // The value the host writes into the slot of callback code 8.
  virtual uintptr_t handle() const = 0;
  // The bitmap's pixels now.
  virtual Image Read() const = 0;
};

#endif  // CHROMALINE_HOST_HOST_BITMAP_H_
