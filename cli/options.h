// The command line of chromaline-host: one options struct per subcommand,
// parsed and checked before any picture is read. A parse error is a line
// naming the option and the reason (exit status 2).
#ifndef CHROMALINE_CLI_OPTIONS_H_
#define CHROMALINE_CLI_OPTIONS_H_

#include <filesystem>
#include <string>
#include <vector>

#include "chromaline/plugin_abi.h"
#include "cli/settings.h"
#include "host/host_bitmap.h"
#include "photo/photo_io.h"

// Exit statuses, documented in --help and the manual page.
constexpr int kExitOk = 0;
constexpr int kExitDifferent = 1;   // compare: the pictures differ
constexpr int kExitUsage = 2;       // bad command line or setting
constexpr int kExitFailure = 3;     // a file or the plug-in could not be used
constexpr int kExitSomeFailed = 4;  // a batch finished, some pictures failed
constexpr int kExitInterrupted = 130;

enum class Verbosity { kQuiet, kNormal, kVerbose };

struct FilterOptions {
  std::string plugin;
  std::string store;            // --store / --preset: read only
  bool shipped_preset = false;  // --preset NAME: one of the program's own
  bool save_store = false;      // --save-store: write the store back
  std::vector<SettingAssignment> sets;
  ImageRegion region = {0, 0, 0, 0};
  HostBitmap::Kind kind = HostBitmap::Kind::kDib24;

  // Names stay paths from here to the writer (UTF-8 only where text is
  // made for a person or a library that takes it).
  std::vector<std::filesystem::path> operands;  // "-": standard input (IN) or output (OUT) of "IN OUT"
  bool single = false;                          // the "IN OUT" form: operands[0] into operands[1]
  std::filesystem::path output_dir;             // -o
  bool has_suffix = false;
  std::string suffix;      // --suffix
  bool recursive = false;  // -r
  bool in_place = false;
  bool overwrite = false;
  bool ignore_local = false;
  bool has_format = false;
  PhotoFormat format = PhotoFormat::kPng;
  bool has_quality = false;
  int quality = 90;
  bool keep_time = false;  // outputs take their input's modification time
  bool dry_run = false;    // -n: say what would be done, write nothing
  Verbosity verbosity = Verbosity::kNormal;
  int jobs = 0;  // -j: pictures filtered at once; 0: as many as there are processors
  std::vector<std::string> given;  // the options given, by their long names, in order
};

struct CompareOptions {
  std::string a, b;
};

struct VersionOptions {
  std::string plugin;
};

// Each returns false with *error set on a bad command line. argv[first] is
// the first argument after the subcommand.
bool ParseFilterOptions(int argc, char** argv, int first, FilterOptions* o, std::string* error);
bool ParseCompareOptions(int argc, char** argv, int first, CompareOptions* o, std::string* error);
bool ParseVersionOptions(int argc, char** argv, int first, VersionOptions* o, std::string* error);

// The whole help text (standard output, exit 0) and the short usage that
// follows a command-line error.
std::string HelpText();
std::string UsageText();

#endif  // CHROMALINE_CLI_OPTIONS_H_
