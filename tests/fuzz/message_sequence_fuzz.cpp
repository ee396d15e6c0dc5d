// Sequences of messages with random codes and arguments, on a fresh
// PluginState per input, through the message table. Each message gets only
// what a host may hand it: text or a buffer where the message reads or
// writes one (valid, or null where allowed), a host callback or null for
// message 3, and any number otherwise (an unknown code gets a pointer that
// must never be followed). Properties: nothing crashes or reads outside
// its memory; fixed-result messages give their fixed results; message 2
// writes at most 27 bytes; message 8 and 40 answer from the state.
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/message_handler.h"
#include "plugin/plugin_state.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

enum class Argument { kAny, kText, kVersionBuffer, kCallback };

struct MessageKind {
  uint32_t code;
  Argument p;
  int32_t fixed_result;  // kVaries when the result depends on the state
};
constexpr int32_t kVaries = 0x7FFFFFFF;

constexpr MessageKind kKinds[] = {
    {0, Argument::kAny, 0},        {1, Argument::kAny, 256}, {2, Argument::kVersionBuffer, 1},
    {3, Argument::kCallback, 1},   {4, Argument::kAny, 0},   {5, Argument::kAny, kVaries},
    {6, Argument::kAny, 1},        {7, Argument::kAny, 1},   {8, Argument::kAny, kVaries},
    {9, Argument::kAny, 0},        {13, Argument::kText, 0}, {14, Argument::kText, 0},
    {21, Argument::kAny, 0},       {22, Argument::kAny, 0},  {27, Argument::kAny, 1},
    {28, Argument::kAny, kVaries}, {29, Argument::kAny, 1},  {30, Argument::kText, 0},
    {31, Argument::kAny, 0},       {39, Argument::kAny, 0},  {40, Argument::kAny, kVaries},
    {41, Argument::kAny, 0},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = NewTempFolder();
  FuzzReader in(data, size);
  FuzzHost& host = FuzzHost::Get();
  host.Reset();
  host.stop_after = 4;
  FuzzBitmap bitmap;
  bitmap.Make(3, 2, 24, 1, false, in);
  host.bitmap = &bitmap.descriptor;
  PluginState state;
  for (int step = 0; step < 64 && in.left() > 0; ++step) {
    const uint8_t pick = in.Byte();
    const bool known = pick < 240;
    MessageKind kind =
        known ? kKinds[pick % (sizeof kKinds / sizeof kKinds[0])] : MessageKind{in.U32(), Argument::kAny, kVaries};
    // A random code that is in the table gets what the table allows.
    for (const MessageKind& k : kKinds) {
      if (!known && k.code == kind.code) kind.p = k.p;
    }
    const uint32_t a = (in.Byte() & 3) == 0 ? in.U32() : in.Byte() % 4;
    const bool null = (in.Byte() & 7) == 0;
    std::string text;
    char version[64];
    std::memset(version, 0x7E, sizeof version);
    void* p = nullptr;
    switch (kind.p) {
      case Argument::kAny:
        // A number, never a pointer to follow.
        p = reinterpret_cast<void*>(static_cast<uintptr_t>((in.Byte() & 1) != 0 ? in.U32() : in.Byte() % 4));
        break;
      case Argument::kText:
        text = (in.Byte() & 1) != 0 ? folder + "/" + in.Text(24) : in.Text(40);
        p = null ? nullptr : &text[0];
        break;
      case Argument::kVersionBuffer: p = null ? nullptr : version; break;
      case Argument::kCallback: p = null ? nullptr : reinterpret_cast<void*>(&FuzzHost::Callback); break;
    }
    const int32_t result = HandleMessage(state, kind.code, p, a);
    if (known && kind.fixed_result != kVaries) FUZZ_CHECK(result == kind.fixed_result, "a fixed result changed");
    if (kind.code == 8) FUZZ_CHECK(result == state.Dirty, "message 8 answers Dirty");
    if (kind.code == 40) {
      FUZZ_CHECK(result == static_cast<int32_t>(static_cast<uint32_t>(state.Enabled) + 1u), "message 40 answers");
    }
    if (kind.code == 2) {
      for (size_t i = 27; i < sizeof version; ++i) FUZZ_CHECK(version[i] == 0x7E, "message 2 wrote too far");
    }
  }
  return 0;
}
