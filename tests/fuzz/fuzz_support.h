// What the fuzz targets share: a reader that takes typed values from the
// fuzzer's bytes (zeros once they run out), and a host that answers the
// plug-in's callback from plain data the target fills in: a settings store,
// one bitmap descriptor, a region and a pattern of stop answers.
#ifndef CHROMALINE_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define CHROMALINE_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include <stdlib.h>  // mkdtemp

#include "chromaline/host_bitmap.h"
#include "chromaline/plugin_abi.h"

// The plug-in's export, linked in from plugin/entry.cpp.
extern "C" int32_t CHROMALINE_STDCALL zorPlugInMsgHandler(uint32_t type, void* p, uint32_t a);

// Stops the run with a message when a property does not hold; libFuzzer
// saves the input as a crasher.
#define FUZZ_CHECK(condition, what)                                                  \
  do {                                                                               \
    if (!(condition)) {                                                              \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, (what)); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

// A new, empty folder under /tmp for a target's files; stops the run when
// none can be made.
inline std::string NewTempFolder() {
  char name[] = "/tmp/chromaline-fuzz-XXXXXX";
  if (::mkdtemp(name) == nullptr) std::abort();
  return name;
}

class FuzzReader {
 public:
  FuzzReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t left() const { return size_; }
  uint8_t Byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  double Double() {
    uint64_t bits = U32();
    bits |= static_cast<uint64_t>(U32()) << 32;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  // Up to `limit` bytes, the length from the input.
  std::string Text(size_t limit) {
    size_t length = Byte() % (limit + 1);
    if (length > size_) length = size_;
    std::string text(reinterpret_cast<const char*>(data_), length);
    data_ += length;
    size_ -= length;
    return text;
  }
  std::string Rest() {
    std::string text(reinterpret_cast<const char*>(data_), size_);
    data_ += size_;
    size_ = 0;
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

// The host of the fuzz targets. One instance, reset for every input.
struct FuzzHost {
  // Store values by key, as the eight value bytes of HostSettingRecord.
  std::map<std::string, std::string> store;
  int writes = 0;
  ChromalineHostBitmap* bitmap = nullptr;
  ImageRegion region = {0, 0, 0, 0};
  // Stop query n is answered by bit n % 32 (from bit 0); queries beyond
  // `stop_after` are all answered "stop".
  uint32_t stop_pattern = 0;
  uint32_t stop_after = 1u << 30;
  uint32_t stop_queries = 0;

  void Reset() { *this = FuzzHost(); }
  static FuzzHost& Get();
  static int32_t CHROMALINE_STDCALL Callback(uint32_t code, void* p, uintptr_t a);
};

// A bitmap of width x height at 24 or 32 bits per pixel, rows padded to
// four bytes plus `extra` bytes; every byte starts from the seed, so that
// padding and the fourth bytes are known.
struct FuzzBitmap {
  ChromalineHostBitmap descriptor = {};
  std::string memory;
  void Make(int width, int height, int bits, int extra, bool top_down, FuzzReader& in);
  // Whether a byte of memory is a pixel's blue, green or red byte.
  bool IsColourByte(size_t offset) const;
  // The memory offset of pixel (x, y), rows from the top.
  size_t Offset(int x, int y) const;
};

#endif  // CHROMALINE_TESTS_FUZZ_FUZZ_SUPPORT_H_
