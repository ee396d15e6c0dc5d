// Local settings through message 14: the input, after one control byte,
// is the text of a settings file beside a small picture, as its own
// ".zprop" or as the folder's "zprop.ini", and the host hands over a 24- or
// 32-bit bitmap descriptor (now and then a picture of 1 x 250,000). The
// host answers "stop" from the fourth stop query on. Properties: nothing
// crashes or reads outside its memory, the row padding and the fourth byte
// of 32-bit pixels are never written, and the file on disk reads exactly as
// its text does in memory.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <vector>

#include "plugin/host_callback.h"
#include "settings/local_settings.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Folder {
  std::string path;
  Folder() : path(NewTempFolder()) {
    std::FILE* picture = std::fopen((path + "/photo.png").c_str(), "wb");
    if (picture != nullptr) {
      std::fputs("\x89PNG\r\n\x1a\n", picture);
      std::fclose(picture);
    }
  }
  ~Folder() {
    ::unlink((path + "/photo.png").c_str());
    ::unlink((path + "/photo.zprop").c_str());
    ::unlink((path + "/zprop.ini").c_str());
    ::rmdir(path.c_str());
  }
};

void Put(const std::string& file, const std::string& text) {
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) std::abort();
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Folder folder;
  static bool started = [] {
    zorPlugInMsgHandler(3, reinterpret_cast<void*>(&FuzzHost::Callback), 0);
    return true;
  }();
  (void)started;
  FuzzReader in(data, size);
  const uint8_t control = in.Byte();
  const bool folder_file = (control & 1) != 0;
  const int bits = (control & 2) != 0 ? 32 : 24;
  const std::string text = in.Rest();

  const std::string picture_file = folder.path + "/photo.zprop";
  const std::string folder_settings = folder.path + "/zprop.ini";
  ::unlink(folder_file ? picture_file.c_str() : folder_settings.c_str());
  Put(folder_file ? folder_settings : picture_file, text);

  FuzzHost& host = FuzzHost::Get();
  host.Reset();
  // Global settings: gamma only (a cheap stage), so that every picture
  // goes through the bitmap transfer and the file's values decide the rest.
  host.store["GammaAdj"] = std::string("\x01\0\0\0\0\0\0\0", 8);
  host.store["Enabled"] = std::string("\x01\0\0\0\0\0\0\0", 8);
  // Sharpening may be asked for at any radius: the host stops it after a
  // few rows, as a viewer does when the user moves on.
  host.stop_after = 3;
  FuzzReader pixels(data, size);
  FuzzBitmap bitmap;
  // Now and then the tallest picture of the slow cases: one column of
  // 250,000 rows, on which local contrast has a radius of 7,812 rows.
  const bool tall = control == 0xB8;
  bitmap.Make(tall ? 1 : 5, tall ? 250000 : 3, bits, control >> 6, (control & 4) != 0, pixels);
  host.bitmap = &bitmap.descriptor;
  const std::string before = bitmap.memory;

  zorPlugInMsgHandler(7, nullptr, 0);
  const std::string path = folder.path + "/photo.png";
  zorPlugInMsgHandler(14, const_cast<char*>(path.c_str()), 1);

  for (size_t i = 0; i < before.size(); ++i) {
    if (!bitmap.IsColourByte(i)) FUZZ_CHECK(bitmap.memory[i] == before[i], "padding or fourth byte written");
  }
  // The file on disk reads as its text does in memory.
  FilterSettings base;
  base.GammaVal = 0.125;
  base.USMAmount = 61;
  const FilterSettings from_file = ReadLocalSettings(path.c_str(), base);
  const FilterSettings from_text = LocalSettingsFromText(text, base);
  FUZZ_CHECK(from_file == from_text, "file and text read alike");
  return 0;
}
