// File: cli/main.cpp
//
// chromaline-host: the reference host on the command line. This file only
// wires the subcommands to their options and run functions; see HelpText()
// in cli/options.cpp and docs/chromaline-host.1 for the command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/batch.h"
#include "cli/options.h"
#include "photo/photo_io.h"
#include "host/plugin_host.h"

namespace {

int Fail(const std::string& message, int code) {
  std::fprintf(stderr, "chromaline-host: %s\n", message.c_str());
  return code;
}

int BadCommandLine(const std::string& message) {
  std::fprintf(stderr, "chromaline-host: %s\n%s", message.c_str(), UsageText().c_str());
  return kExitUsage;
}

int RunVersion(const VersionOptions& o) {
  std::printf("chromaline-host %s\n", CHROMALINE_TOOL_VERSION);
  PluginHost host;
  std::string error;
  if (!host.Load(o.plugin, &error)) return Fail(error, kExitFailure);
  char text[64] = {};
  host.Send(2, text);
  std::printf("plug-in: %s (%s)\n", text, o.plugin.c_str());
  return kExitOk;
}

int RunCompare(const CompareOptions& o) {
  Photo a, b;
  std::string error;
  if (!ReadPhoto(o.a, &a, &error) || !ReadPhoto(o.b, &b, &error)) return Fail(error, kExitFailure);
  if (a.image.width != b.image.width || a.image.height != b.image.height) {
    std::printf("%s and %s differ in size: %dx%d against %dx%d\n", o.a.c_str(), o.b.c_str(), a.image.width,
                a.image.height, b.image.width, b.image.height);
    return kExitDifferent;
  }
  size_t differing = 0;
  for (size_t i = 0; i < a.image.bgr.size(); ++i) differing += a.image.bgr[i] != b.image.bgr[i];
  if (differing != 0) {
    std::printf("%s and %s differ in %zu of %zu channel values\n", o.a.c_str(), o.b.c_str(), differing,
                a.image.bgr.size());
    return kExitDifferent;
  }
  if (a.alpha != b.alpha) {
    std::printf("%s and %s differ in their alpha channels\n", o.a.c_str(), o.b.c_str());
    return kExitDifferent;
  }
  return kExitOk;
}

bool IsHelp(const char* arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }

}  // namespace

int main(int argc, char** argv) {
  AskForAllProcessorsUnlessSet();  // the plug-in's worker threads, unless the user chose
  if (argc < 2) return BadCommandLine("no command given");
  const std::string command = argv[1];
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (IsHelp(argv[i])) {
      std::fputs(HelpText().c_str(), stdout);
      return kExitOk;
    }
  }
  std::string error;
  if (command == "version" || command == "--version") {
    VersionOptions o;
    return ParseVersionOptions(argc, argv, 2, &o, &error) ? RunVersion(o) : BadCommandLine(error);
  }
  if (command == "filter") {
    FilterOptions o;
    return ParseFilterOptions(argc, argv, 2, &o, &error) ? RunFilter(o) : BadCommandLine(error);
  }
  if (command == "compare") {
    CompareOptions o;
    return ParseCompareOptions(argc, argv, 2, &o, &error) ? RunCompare(o) : BadCommandLine(error);
  }
  return BadCommandLine(command + ": unknown command (filter, compare, version)");
}
