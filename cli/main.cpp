// chromaline-host: the reference host on the command line. This file only
// wires the subcommands to their options and run functions; see HelpText()
// in cli/options.cpp and docs/chromaline-host.1 for the command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/batch_workers.h"
#include "cli/console.h"
#include "cli/options.h"
#include "photo/photo_io.h"
#include "host/plugin_host.h"

namespace {

int Fail(const std::string& message, int code) {
  WriteText(stderr, "chromaline-host: " + message + "\n");
  return code;
}

int BadCommandLine(const std::string& message) {
  WriteText(stderr, "chromaline-host: " + message + "\n" + UsageText());
  return kExitUsage;
}

int RunVersion(const VersionOptions& o) {
  WriteText(stdout, std::string("chromaline-host ") + CHROMALINE_TOOL_VERSION + "\n");
  PluginHost host;
  std::string error;
  if (!host.Load(o.plugin, &error)) return Fail(error, kExitFailure);
  char text[64] = {};
  host.Send(kMessageVersionText, text);
  WriteText(stdout, "plug-in: " + std::string(text) + " (" + o.plugin + ")\n");
  return kExitOk;
}

int RunCompare(const CompareOptions& o) {
  Photo a, b;
  std::string error;
  if (!ReadPhoto(o.a, &a, &error) || !ReadPhoto(o.b, &b, &error)) return Fail(error, kExitFailure);
  if (a.image.width != b.image.width || a.image.height != b.image.height) {
    WriteText(stdout, o.a + " and " + o.b + " differ in size: " + std::to_string(a.image.width) + "x" +
                          std::to_string(a.image.height) + " against " + std::to_string(b.image.width) + "x" +
                          std::to_string(b.image.height) + "\n");
    return kExitDifferent;
  }
  size_t differing = 0;
  for (size_t i = 0; i < a.image.bgr.size(); ++i) differing += a.image.bgr[i] != b.image.bgr[i];
  if (differing != 0) {
    WriteText(stdout, o.a + " and " + o.b + " differ in " + std::to_string(differing) + " of " +
                          std::to_string(a.image.bgr.size()) + " channel values\n");
    return kExitDifferent;
  }
  if (a.alpha != b.alpha) {
    WriteText(stdout, o.a + " and " + o.b + " differ in their alpha channels\n");
    return kExitDifferent;
  }
  return kExitOk;
}

bool IsHelp(const char* arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }

}  // namespace

int main(int argc, char** argv) {
  AskForAllProcessorsUnlessSet();  // the plug-in's worker threads, unless the user chose
  // The arguments as UTF-8 (file names beyond the ANSI code page on
  // Windows), handed on in main's own form.
  std::vector<std::string> arguments = CommandLineArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(&argument[0]);
  argc = static_cast<int>(pointers.size());
  pointers.push_back(nullptr);
  argv = pointers.data();
  if (argc < 2) return BadCommandLine("no command given");
  const std::string command = argv[1];
  if (command == kWorkerCommand) return RunFilterWorker();
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (IsHelp(argv[i])) {
      WriteText(stdout, HelpText());
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
    return ParseFilterOptions(argc, argv, 2, &o, &error)
               ? RunFilter(o, std::vector<std::string>(arguments.begin() + 2, arguments.end()))
               : BadCommandLine(error);
  }
  if (command == "compare") {
    CompareOptions o;
    return ParseCompareOptions(argc, argv, 2, &o, &error) ? RunCompare(o) : BadCommandLine(error);
  }
  return BadCommandLine(command + ": unknown command (filter, compare, version)");
}
