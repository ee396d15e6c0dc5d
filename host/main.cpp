// File: host/main.cpp
//
// chromaline-host: the reference host on the command line.
//
//   chromaline-host version [--plugin PATH]
//   chromaline-host filter [--plugin PATH] [--store FILE] [--set Key=Value]...
//                          [--region L,T,R,B] [--bitmap 24|32|ddb] IN OUT
//   chromaline-host compare A B
//
// Exit codes: 0 done (compare: same pixels), 1 compare found differences,
// 2 bad command line, 3 a file or the plug-in could not be used.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/image.h"
#include "host/plugin_host.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFailure = 3;
constexpr char kSection[] = "ChromalinePlugIn";

int Fail(const std::string& message, int code) {
  std::fprintf(stderr, "chromaline-host: %s\n", message.c_str());
  return code;
}

struct VersionOptions {
  std::string plugin = DefaultPluginPath();
};

struct FilterOptions {
  std::string plugin = DefaultPluginPath();
  std::string store;  // settings store file, read before and kept after
  std::vector<std::string> sets;
  ImageRegion region = {0, 0, 0, 0};
  HostBitmap::Kind kind = HostBitmap::Kind::kDib24;
  std::string input, output;
};

struct CompareOptions {
  std::string a, b;
};

// Takes "--name value" pairs; returns false on an unknown or incomplete one.
bool NextValue(int argc, char** argv, int* i, std::string* value) {
  if (*i + 1 >= argc) return false;
  *value = argv[++*i];
  return true;
}

bool ParseVersion(int argc, char** argv, VersionOptions* o) {
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--plugin") == 0 && NextValue(argc, argv, &i, &o->plugin)) continue;
    return false;
  }
  return true;
}

bool ParseFilter(int argc, char** argv, FilterOptions* o) {
  std::vector<std::string> positional;
  for (int i = 2; i < argc; ++i) {
    std::string value;
    const char* arg = argv[i];
    if (std::strcmp(arg, "--plugin") == 0 && NextValue(argc, argv, &i, &o->plugin)) continue;
    if (std::strcmp(arg, "--store") == 0 && NextValue(argc, argv, &i, &o->store)) continue;
    if (std::strcmp(arg, "--set") == 0 && NextValue(argc, argv, &i, &value)) {
      if (value.find('=') == std::string::npos) return false;
      o->sets.push_back(value);
      continue;
    }
    if (std::strcmp(arg, "--region") == 0 && NextValue(argc, argv, &i, &value)) {
      ImageRegion& r = o->region;
      if (std::sscanf(value.c_str(), "%d,%d,%d,%d", &r.left, &r.top, &r.right, &r.bottom) != 4) return false;
      continue;
    }
    if (std::strcmp(arg, "--bitmap") == 0 && NextValue(argc, argv, &i, &value)) {
      if (value == "24") o->kind = HostBitmap::Kind::kDib24;
      else if (value == "32") o->kind = HostBitmap::Kind::kDib32;
      else if (value == "ddb") o->kind = HostBitmap::Kind::kDeviceDependent;
      else return false;
      continue;
    }
    if (arg[0] == '-' && arg[1] == '-') return false;
    positional.push_back(arg);
  }
  if (positional.size() != 2) return false;
  o->input = positional[0];
  o->output = positional[1];
  return true;
}

bool ParseCompare(int argc, char** argv, CompareOptions* o) {
  if (argc != 4) return false;
  o->a = argv[2];
  o->b = argv[3];
  return true;
}

int RunVersion(const VersionOptions& o) {
  PluginHost host;
  std::string error;
  if (!host.Load(o.plugin, &error)) return Fail(error, kExitFailure);
  char text[64] = {};
  host.Send(2, text);
  std::printf("%s\n", text);
  return kExitOk;
}

// "Key=Value" into the store: a value with a decimal point or exponent is
// a real, anything else an integer.
void ApplySet(SettingsStore& store, const std::string& assignment) {
  const size_t eq = assignment.find('=');
  const std::string key = assignment.substr(0, eq);
  const std::string value = assignment.substr(eq + 1);
  if (value.find_first_of(".eE") != std::string::npos) {
    store.SetDouble(kSection, key, std::strtod(value.c_str(), nullptr));
  } else {
    store.SetInt(kSection, key, static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 10)));
  }
}

int RunFilter(const FilterOptions& o) {
  PluginHost host;
  std::string error;
  if (!o.store.empty() && !host.store().LoadFile(o.store, &error)) {
    // A store that does not exist yet starts empty.
    FILE* probe = std::fopen(o.store.c_str(), "rb");
    if (probe != nullptr) {
      std::fclose(probe);
      return Fail(error, kExitFailure);
    }
  }
  for (const std::string& set : o.sets) ApplySet(host.store(), set);
  if (!host.Load(o.plugin, &error)) return Fail(error, kExitFailure);

  Image image;
  if (!LoadImageFile(o.input, &image, &error)) return Fail(error, kExitFailure);
  std::unique_ptr<HostBitmap> bitmap = HostBitmap::Create(image, o.kind);
  if (!bitmap) return Fail(o.input + ": no bitmap could be made for it", kExitFailure);

  std::error_code failure;
  host.Send(7);  // load the global settings from the store
  host.Send(40, reinterpret_cast<void*>(1), 1);  // this tool exists to filter
  host.FilterImage(o.input.c_str(), 1, bitmap.get(), o.region);

  // Written beside the target under a name with the same extension (the
  // codec goes by it), then moved over the target in one step: a picture
  // is either the old one or the whole new one, never half written.
  const std::filesystem::path target(o.output);
  std::filesystem::path temp = target;
  temp.replace_filename(target.stem().string() + ".part" + target.extension().string());
  if (!SaveImageFile(temp.string(), bitmap->Read(), &error)) {
    std::filesystem::remove(temp, failure);
    return Fail(error, kExitFailure);
  }
  std::filesystem::rename(temp, target, failure);
  if (failure) {
    std::filesystem::remove(temp, failure);
    return Fail(o.output + ": cannot be replaced", kExitFailure);
  }
  if (!o.store.empty() && !host.store().SaveFile(o.store, &error)) return Fail(error, kExitFailure);
  return kExitOk;
}

int RunCompare(const CompareOptions& o) {
  Image a, b;
  std::string error;
  if (!LoadImageFile(o.a, &a, &error) || !LoadImageFile(o.b, &b, &error)) return Fail(error, kExitFailure);
  if (a.width != b.width || a.height != b.height) {
    std::printf("%s and %s differ in size: %dx%d against %dx%d\n", o.a.c_str(), o.b.c_str(), a.width, a.height,
                b.width, b.height);
    return kExitDifferent;
  }
  size_t differing = 0;
  for (size_t i = 0; i < a.bgr.size(); ++i) differing += a.bgr[i] != b.bgr[i];
  if (differing != 0) {
    std::printf("%s and %s differ in %zu of %zu channel values\n", o.a.c_str(), o.b.c_str(), differing,
                a.bgr.size());
    return kExitDifferent;
  }
  return kExitOk;
}

int Usage() {
  std::fprintf(stderr,
               "usage: chromaline-host version [--plugin PATH]\n"
               "       chromaline-host filter [--plugin PATH] [--store FILE] [--set Key=Value]...\n"
               "                              [--region L,T,R,B] [--bitmap 24|32|ddb] IN OUT\n"
               "       chromaline-host compare A B\n");
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  AskForAllProcessorsUnlessSet();  // the plug-in's worker threads, unless the user chose
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (command == "version") {
    VersionOptions o;
    return ParseVersion(argc, argv, &o) ? RunVersion(o) : Usage();
  }
  if (command == "filter") {
    FilterOptions o;
    return ParseFilter(argc, argv, &o) ? RunFilter(o) : Usage();
  }
  if (command == "compare") {
    CompareOptions o;
    return ParseCompare(argc, argv, &o) ? RunCompare(o) : Usage();
  }
  return Usage();
}
