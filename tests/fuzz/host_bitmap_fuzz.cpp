// The checks of a host bitmap descriptor (platforms without GDI): size
// field, width, height, bits per pixel, stride and row order from the
// input. A descriptor that keeps the contract gets exactly the memory it
// promises (so a read or write past it is caught); one that breaks it gets
// a single byte, which must be left alone. Properties: a kept contract reads
// the host's pixels exactly and writes back only colour bytes; a broken one
// is neither read nor written.
#include <cstring>
#include <memory>
#include <vector>

#include "filters/engine/bitmap_transfer.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int64_t kMaxBytes = int64_t{1} << 20;

int32_t SomeSize(FuzzReader& in) {
  const uint8_t how = in.Byte();
  if (how < 200) return static_cast<int8_t>(in.Byte());
  return in.I32();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader in(data, size);
  ChromalineHostBitmap d = {};
  const uint8_t control = in.Byte();
  d.size = (control & 7) == 0 ? in.U32() : sizeof d;
  d.width = SomeSize(in);
  d.height = SomeSize(in);
  const uint8_t bits = in.Byte();
  d.bits_per_pixel = bits < 100 ? 24 : bits < 200 ? 32 : static_cast<int8_t>(in.Byte());
  d.top_down = static_cast<int8_t>(in.Byte());
  const int64_t row_bytes = int64_t{d.width} * (d.bits_per_pixel / 8);
  d.stride = (control & 8) != 0 ? in.I32() : static_cast<int32_t>(row_bytes + static_cast<int8_t>(in.Byte()) % 8);
  const bool null_pixels = (control & 0x30) == 0x30;

  const bool kept = d.size == sizeof d && !null_pixels && d.width >= 1 && d.height >= 1 &&
                    (d.bits_per_pixel == 24 || d.bits_per_pixel == 32) && d.stride >= row_bytes;
  int64_t needed = 1;
  if (kept) {
    needed = int64_t{d.stride} * (d.height - 1) + row_bytes;
    if (needed > kMaxBytes) return 0;  // a promise this target cannot keep
  }
  std::unique_ptr<unsigned char[]> memory(new unsigned char[static_cast<size_t>(needed)]);
  for (int64_t i = 0; i < needed; ++i) memory[i] = static_cast<unsigned char>(in.Byte() ^ (i * 37));
  const std::vector<unsigned char> before(memory.get(), memory.get() + needed);
  d.pixels = null_pixels ? nullptr : memory.get();

  const BitmapHandle handle = reinterpret_cast<BitmapHandle>(&d);
  PixelBuffer buffer = ReadBitmapPixels(handle);
  if (!kept) {
    FUZZ_CHECK(!buffer, "a broken descriptor was read");
    PixelBuffer other = CreatePixelBuffer(1, 1, 24);
    WriteBitmapPixels(handle, other);
    FUZZ_CHECK(std::memcmp(memory.get(), before.data(), static_cast<size_t>(needed)) == 0,
               "a broken descriptor was written");
    return 0;
  }
  if (!buffer) return 0;  // no memory for the copy
  const int step = d.bits_per_pixel / 8;
  for (int y = 0; y < d.height; ++y) {
    const unsigned char* host_row = memory.get() + int64_t{d.stride} * (d.top_down ? y : d.height - 1 - y);
    for (int x = 0; x < d.width; ++x) {
      FUZZ_CHECK(std::memcmp(buffer.row(y) + 3 * x, host_row + step * x, 3) == 0, "a pixel read wrongly");
    }
  }
  // Every colour byte changed on the way back; nothing else may change.
  for (int y = 0; y < d.height; ++y) {
    for (int x = 0; x < 3 * d.width; ++x) buffer.row(y)[x] = static_cast<unsigned char>(~buffer.row(y)[x]);
  }
  WriteBitmapPixels(handle, buffer);
  for (int64_t i = 0; i < needed; ++i) {
    const int64_t in_row = i % d.stride;
    const bool colour = in_row < row_bytes && in_row % step < 3;
    const unsigned char want = colour ? static_cast<unsigned char>(~before[i]) : before[i];
    FUZZ_CHECK(memory[i] == want, colour ? "a colour byte not written back" : "padding or fourth byte written");
  }
  return 0;
}
