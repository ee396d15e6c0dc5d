// The typed reader and the checks the fuzz targets share.
#include "tests/fuzz/fuzz_support.h"

FuzzHost& FuzzHost::Get() {
  static FuzzHost host;
  return host;
}

int32_t CHROMALINE_STDCALL FuzzHost::Callback(uint32_t code, void* p, uintptr_t a) {
  FuzzHost& host = Get();
  switch (code) {
    case kHostWriteSetting:
    case kHostReadSetting: {
      FUZZ_CHECK(p != nullptr, "a setting call without its record");
      auto* record = static_cast<HostSettingRecord*>(p);
      FUZZ_CHECK(record->section != nullptr && record->key != nullptr, "a setting record without names");
      FUZZ_CHECK(std::strcmp(record->section, "ChromalinePlugIn") == 0, "the one section");
      if (code == kHostWriteSetting) {
        host.store[record->key] = std::string(reinterpret_cast<const char*>(record->value), 8);
        ++host.writes;
      } else {
        const auto found = host.store.find(record->key);
        if (found != host.store.end()) std::memcpy(record->value, found->second.data(), 8);
      }
      return 1;
    }
    case kHostGetBitmap:
      if (a != 0) *reinterpret_cast<uintptr_t*>(a) = reinterpret_cast<uintptr_t>(host.bitmap);
      return 1;
    case kHostGetRegion:
      if (a != 0) std::memcpy(reinterpret_cast<void*>(a), &host.region, sizeof host.region);
      return 1;
    case kHostStopQuery: {
      const uint32_t n = host.stop_queries++;
      if (n >= host.stop_after) return 1;
      return static_cast<int32_t>((host.stop_pattern >> (n % 32)) & 1);
    }
    default: return 0;
  }
}

void FuzzBitmap::Make(int width, int height, int bits, int extra, bool top_down, FuzzReader& in) {
  const int row = width * (bits / 8);
  const int stride = (row + 3) / 4 * 4 + extra;
  memory.assign(static_cast<size_t>(stride) * static_cast<size_t>(height), '\0');
  uint32_t state = in.U32() | 1;
  for (char& byte : memory) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  descriptor.size = sizeof descriptor;
  descriptor.width = width;
  descriptor.height = height;
  descriptor.bits_per_pixel = bits;
  descriptor.stride = stride;
  descriptor.top_down = top_down ? 1 : 0;
  descriptor.pixels = reinterpret_cast<unsigned char*>(&memory[0]);
}

bool FuzzBitmap::IsColourByte(size_t offset) const {
  const size_t in_row = offset % static_cast<size_t>(descriptor.stride);
  const size_t step = static_cast<size_t>(descriptor.bits_per_pixel / 8);
  return in_row < static_cast<size_t>(descriptor.width) * step && in_row % step < 3;
}

size_t FuzzBitmap::Offset(int x, int y) const {
  const int memory_row = descriptor.top_down ? y : descriptor.height - 1 - y;
  return static_cast<size_t>(memory_row) * static_cast<size_t>(descriptor.stride) +
         static_cast<size_t>(x) * static_cast<size_t>(descriptor.bits_per_pixel / 8);
}
