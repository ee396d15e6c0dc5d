// Reads and writes local settings files and INI files through the
// plug-in core, so that a script can drive the Windows build (the system's
// profile functions, under Wine) and the native build (the project's own
// INI code) on the same files and compare what they do.
//
//   settings_tool write PATH [Key=Value]...    WriteLocalSettings(PATH) of the
//                                              defaults changed by the pairs
//   settings_tool read PATH [Key=Value]...     ReadLocalSettings(PATH) of a
//                                              base made the same way; prints
//                                              Key=Value lines in table order
//   settings_tool ini-write FILE SECTION [Key=Value]...
//   settings_tool ini-read FILE SECTION Key...
//
// Reals are printed in their shortest exact form, integers in decimal.
// Exit codes: 0 done, 2 usage.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings/setting_table.h"
#include "settings/local_settings.h"
#include "settings/ini_file.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: settings_tool write|read PATH [Key=Value]...\n"
               "       settings_tool ini-write FILE SECTION [Key=Value]...\n"
               "       settings_tool ini-read FILE SECTION Key...\n");
  return 2;
}

// The defaults with each Key=Value applied; false for an unknown key.
bool MakeSettings(int argc, char** argv, int first, FilterSettings* settings) {
  for (int i = first; i < argc; ++i) {
    const char* equals = std::strchr(argv[i], '=');
    if (equals == nullptr) return false;
    const std::string name(argv[i], static_cast<size_t>(equals - argv[i]));
    const Setting* key = nullptr;
    for (const Setting& k : kSettings) {
      if (k.is_filter() && name == k.name) key = &k;
    }
    if (key == nullptr) return false;
    if (key->is_real()) {
      settings->*key->real_field = std::strtod(equals + 1, nullptr);
    } else {
      settings->*key->int_field = static_cast<int32_t>(std::strtoll(equals + 1, nullptr, 10));
    }
  }
  return true;
}

void Print(const FilterSettings& settings) {
  for (const Setting& key : kSettings) {
    if (!key.is_filter()) continue;
    char text[64];
    std::to_chars_result end = key.is_real() ? std::to_chars(text, text + sizeof text, settings.*key.real_field)
                                             : std::to_chars(text, text + sizeof text, settings.*key.int_field);
    std::printf("%s=%.*s\n", key.name, static_cast<int>(end.ptr - text), text);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  if (command == "write" || command == "read") {
    FilterSettings settings;
    if (!MakeSettings(argc, argv, 3, &settings)) return Usage();
    if (command == "write") {
      WriteLocalSettings(argv[2], settings);
    } else {
      Print(ReadLocalSettings(argv[2], settings));
    }
    return 0;
  }
  if (argc < 4) return Usage();
  std::vector<IniValue> values;
  for (int i = 4; i < argc; ++i) {
    const char* equals = std::strchr(argv[i], '=');
    if (command == "ini-write") {
      if (equals == nullptr) return Usage();
      argv[i][equals - argv[i]] = '\0';
      values.push_back({argv[i], equals + 1});
    } else {
      values.push_back({argv[i], "<default>"});
    }
  }
  if (command == "ini-write") {
    std::printf("%s\n", WriteIniValues(argv[2], argv[3], values.data(), values.size()) ? "written" : "failed");
  } else if (command == "ini-read") {
    ReadIniValues(argv[2], argv[3], values.data(), values.size());
    for (const IniValue& v : values) std::printf("%s=%s\n", v.key, v.text.c_str());
  } else {
    return Usage();
  }
  return 0;
}
