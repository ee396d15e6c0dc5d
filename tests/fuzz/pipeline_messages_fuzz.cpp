// The filter pipeline as a viewer drives it: the 13 store values, a region,
// a picture of up to 64 x 64 (24 or 32 bits, any row padding, either row
// order) and a pattern of stop answers, through messages 3, 7, 40 and 14.
// Properties:
// - the row padding and the fourth byte of 32-bit pixels are never written;
// - with auto-levels the only stage, nothing outside the region changes;
// - messages 6 and 7 round-trip: what 7 loaded, 6 writes back bit for bit,
//   and both leave the settings unsaved-changes flag (message 8) at 0.
#include <cstring>
#include <string>

#include "filters/filter_pipeline.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char* const kIntKeys[] = {"Enabled",  "HotKey",     "ToneFilter", "FilterParam",  "GammaAdj", "Defog",
                                "DefogVal", "AutoLevels", "USMAmount",  "USMThreshold", "USMEnable"};
const char* const kRealKeys[] = {"GammaVal", "USMRadius"};

std::string IntRecord(int32_t v) {
  std::string bytes(8, '\0');
  std::memcpy(&bytes[0], &v, 4);
  return bytes;
}

std::string RealRecord(double v) {
  std::string bytes(8, '\0');
  std::memcpy(&bytes[0], &v, 8);
  return bytes;
}

// Mostly small values (stages on and off, modest radii), now and then any.
int32_t SomeInt(FuzzReader& in) {
  const uint8_t how = in.Byte();
  if (how < 160) return how & 1;
  if (how < 240) return static_cast<int8_t>(in.Byte());
  return in.I32();
}

double SomeReal(FuzzReader& in) {
  const uint8_t how = in.Byte();
  if (how < 200) return (in.Byte() % 64) / 4.0 - 1.0;
  return in.Double();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader in(data, size);
  FuzzHost& host = FuzzHost::Get();
  host.Reset();
  for (const char* key : kIntKeys) host.store[key] = IntRecord(SomeInt(in));
  for (const char* key : kRealKeys) host.store[key] = RealRecord(SomeReal(in));
  const uint8_t shape = in.Byte();
  const int width = 1 + in.Byte() % 64;
  const int height = 1 + in.Byte() % 64;
  for (int32_t* side : {&host.region.left, &host.region.top, &host.region.right, &host.region.bottom}) {
    *side = (in.Byte() & 7) == 0 ? in.I32() : static_cast<int8_t>(in.Byte()) % 72;
  }
  host.stop_pattern = in.U32();
  host.stop_after = in.Byte();
  FuzzBitmap bitmap;
  bitmap.Make(width, height, (shape & 1) != 0 ? 32 : 24, (shape >> 1) & 7, (shape & 16) != 0, in);
  host.bitmap = &bitmap.descriptor;
  const std::string before = bitmap.memory;
  const std::map<std::string, std::string> stored = host.store;

  zorPlugInMsgHandler(3, reinterpret_cast<void*>(&FuzzHost::Callback), 0);
  zorPlugInMsgHandler(7, nullptr, 0);
  FUZZ_CHECK(zorPlugInMsgHandler(8, nullptr, 0) == 0, "message 7 leaves nothing unsaved");
  zorPlugInMsgHandler(40, reinterpret_cast<void*>(1), 1);
  zorPlugInMsgHandler(14, const_cast<char*>("/nonexistent-chromaline-fuzz/picture.png"), 1);

  for (size_t i = 0; i < before.size(); ++i) {
    if (!bitmap.IsColourByte(i)) FUZZ_CHECK(bitmap.memory[i] == before[i], "padding or fourth byte written");
  }
  auto int_value = [&](const char* key) {
    int32_t v;
    std::memcpy(&v, stored.at(key).data(), 4);
    return v;
  };
  const bool only_auto_levels = int_value("AutoLevels") != 0 && int_value("GammaAdj") == 0 &&
                                int_value("Defog") == 0 && int_value("USMEnable") == 0 &&
                                int_value("ToneFilter") == 0;
  if (only_auto_levels) {
    const ImageRegion r = NormaliseRegion(host.region, width, height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) continue;
        const size_t at = bitmap.Offset(x, y);
        FUZZ_CHECK(std::memcmp(&bitmap.memory[at], &before[at], 3) == 0, "a pixel outside the region changed");
      }
    }
  }

  // Message 6 writes back what message 7 loaded, each key once.
  host.store.clear();
  host.writes = 0;
  zorPlugInMsgHandler(6, nullptr, 0);
  FUZZ_CHECK(host.writes == 13, "message 6 writes the 13 keys");
  FUZZ_CHECK(zorPlugInMsgHandler(8, nullptr, 0) == 0, "message 6 leaves nothing unsaved");
  for (const char* key : kIntKeys) {
    FUZZ_CHECK(host.store.count(key) == 1, "an integer key written");
    // Enabled is what message 40 made it.
    const std::string expected = std::strcmp(key, "Enabled") == 0 ? IntRecord(1) : stored.at(key);
    FUZZ_CHECK(host.store[key].compare(0, 4, expected, 0, 4) == 0, "an integer round-trips");
    FUZZ_CHECK(host.store[key].compare(4, 4, std::string(4, '\0')) == 0, "an integer's upper bytes are zero");
  }
  for (const char* key : kRealKeys) {
    FUZZ_CHECK(host.store.count(key) == 1 && host.store[key] == stored.at(key), "a real round-trips bit for bit");
  }
  zorPlugInMsgHandler(40, reinterpret_cast<void*>(1), 0);
  return 0;
}
