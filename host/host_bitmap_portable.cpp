// Host bitmaps as ChromalineHostBitmap descriptors over memory of our own.
// 24-bit bitmaps are stored bottom-up with padded rows, 32-bit ones top-down
// with an alpha byte the plug-in must leave alone, so both row orders and
// both depths are exercised.
#include <cstring>

#include "chromaline/host_bitmap.h"
#include "host/host_bitmap.h"

namespace {

class DescriptorBitmap : public HostBitmap {
 public:
  DescriptorBitmap(const Image& image, int bits) {
    const int step = bits / 8;
    desc_.size = sizeof desc_;
    desc_.width = image.width;
    desc_.height = image.height;
    desc_.bits_per_pixel = bits;
    desc_.stride = (image.width * step + 3) & ~3;
    desc_.top_down = bits == 32 ? 1 : 0;
    memory_.assign(static_cast<size_t>(desc_.stride) * image.height, 0);
    desc_.pixels = memory_.data();
    for (int y = 0; y < image.height; ++y) {
      uint8_t* out = Row(y);
      if (step == 3) {
        std::memcpy(out, image.pixel(0, y), static_cast<size_t>(image.width) * 3);
        continue;
      }
      for (int x = 0; x < image.width; ++x, out += step) {
        std::memcpy(out, image.pixel(x, y), 3);
        if (step == 4) out[3] = 0xA5;  // a marker the plug-in must not change
      }
    }
  }

  uintptr_t handle() const override { return reinterpret_cast<uintptr_t>(&desc_); }

  Image Read() const override {
    Image image;
    image.width = desc_.width;
    image.height = desc_.height;
    image.bgr.resize(static_cast<size_t>(image.width) * image.height * 3);
    const int step = desc_.bits_per_pixel / 8;
    for (int y = 0; y < image.height; ++y) {
      const uint8_t* in = const_cast<DescriptorBitmap*>(this)->Row(y);
      if (step == 3) {
        std::memcpy(image.pixel(0, y), in, static_cast<size_t>(image.width) * 3);
        continue;
      }
      for (int x = 0; x < image.width; ++x, in += step) std::memcpy(image.pixel(x, y), in, 3);
    }
    return image;
  }

 private:
  uint8_t* Row(int y) {
    const int memory_row = desc_.top_down ? y : desc_.height - 1 - y;
    return memory_.data() + static_cast<size_t>(memory_row) * desc_.stride;
  }

  ChromalineHostBitmap desc_ = {};
  std::vector<uint8_t> memory_;
};

}  // namespace

std::unique_ptr<HostBitmap> HostBitmap::Create(const Image& image, Kind kind) {
  if (image.width < 1 || image.height < 1) return nullptr;
  return std::make_unique<DescriptorBitmap>(image, kind == Kind::kDib24 ? 24 : 32);
}
