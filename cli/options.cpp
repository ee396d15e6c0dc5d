// The options of `filter` are a table: name, whether a value follows, and
// what the value does. Every value is checked here, so a run never starts
// with something it would refuse half way.
#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "base/file_name.h"
#include "cli/presets.h"
#include "host/plugin_library.h"

namespace {

bool WholeInt32(const std::string& text, int32_t* value) {
  const char* first = text.data();
  const char* last = first + text.size();
  int64_t parsed = 0;
  const std::from_chars_result r = std::from_chars(first, last, parsed);
  if (r.ec != std::errc() || r.ptr != last || first == last || parsed < INT32_MIN || parsed > INT32_MAX)
    return false;
  *value = static_cast<int32_t>(parsed);
  return true;
}

// "L,T,R,B": four integers and nothing else.
bool ParseRegion(const std::string& text, ImageRegion* region) {
  int32_t* fields[] = {&region->left, &region->top, &region->right, &region->bottom};
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = i < 3 ? text.find(',', start) : text.size();
    if (comma == std::string::npos || !WholeInt32(text.substr(start, comma - start), fields[i])) return false;
    start = comma + 1;
  }
  return start == text.size() + 1;
}

// More workers than this would only share the same processors.
constexpr int kMostJobs = 256;

using Setter = std::function<bool(FilterOptions*, const std::string&, std::string*)>;

// The setter of an option without a value: it switches one field on.
Setter Switch(bool FilterOptions::*field) {
  return [field](FilterOptions* o, const std::string&, std::string*) {
    o->*field = true;
    return true;
  };
}

struct OptionRow {
  const char* name;
  const char* short_name;  // or nullptr
  bool takes_value;
  Setter set;
};

const OptionRow kFilterOptionRows[] = {
    {"--plugin", nullptr, true,
     [](FilterOptions* o, const std::string& v, std::string*) {
       o->plugin = v;
       return true;
     }},
    {"--store", nullptr, true,
     [](FilterOptions* o, const std::string& v, std::string*) {
       o->store = v;
       o->shipped_preset = false;
       return true;
     }},
    {"--preset", nullptr, true,
     [](FilterOptions* o, const std::string& v, std::string* error) {
       o->shipped_preset = IsPresetName(v);
       return ResolvePreset(v, &o->store, error);
     }},
    {"--save-store", nullptr, false, Switch(&FilterOptions::save_store)},
    {"--set", nullptr, true,
     [](FilterOptions* o, const std::string& v, std::string* error) {
       SettingAssignment setting;
       if (!ParseSettingAssignment(v, &setting, error)) return false;
       o->sets.push_back(setting);
       return true;
     }},
    {"--region", nullptr, true,
     [](FilterOptions* o, const std::string& v, std::string* error) {
       if (ParseRegion(v, &o->region)) return true;
       *error = "--region " + v +
                ": expected four integers L,T,R,B (the rectangle auto-levels measures), "
                "for example 0,0,600,400";
       return false;
     }},
    {"--bitmap", nullptr, true,
     [](FilterOptions* o, const std::string& v, std::string* error) {
       if (v == "24") o->kind = HostBitmap::Kind::kDib24;
       else if (v == "32") o->kind = HostBitmap::Kind::kDib32;
       else if (v == "ddb") o->kind = HostBitmap::Kind::kDeviceDependent;
       else {
         *error = "--bitmap " + v + ": expected 24, 32 or ddb";
         return false;
       }
       return true;
     }},
    {"--output-dir", "-o", true,
     [](FilterOptions* o, const std::string& v, std::string* error) {
       if (v.empty()) *error = "-o needs a folder";
       o->output_dir = PathFromUtf8(v);
       return !v.empty();
     }},
    {"--suffix", nullptr, true,
     [](FilterOptions* o, const std::string& v, std::string*) {
       o->has_suffix = true;
       o->suffix = v;
       return true;
     }},
    {"--recursive", "-r", false, Switch(&FilterOptions::recursive)},
    {"--in-place", nullptr, false, Switch(&FilterOptions::in_place)},
    {"--overwrite", nullptr, false, Switch(&FilterOptions::overwrite)},
    {"--keep-time", nullptr, false, Switch(&FilterOptions::keep_time)},
    {"--dry-run", "-n", false, Switch(&FilterOptions::dry_run)},
    {"--ignore-local", nullptr, false, Switch(&FilterOptions::ignore_local)},
    {"--format", nullptr, true,
     [](FilterOptions* o, const std::string& v, std::string* error) {
       o->has_format = PhotoFormatFromText(v, &o->format);
       if (!o->has_format) *error = "--format " + v + ": expected png, jpeg, bmp or tiff";
       return o->has_format;
     }},
    {"--quality", nullptr, true,
     [](FilterOptions* o, const std::string& v, std::string* error) {
       int32_t q = 0;
       o->has_quality = WholeInt32(v, &q) && q >= 1 && q <= 100;
       o->quality = q;
       if (!o->has_quality) *error = "--quality " + v + ": expected an integer from 1 to 100";
       return o->has_quality;
     }},
    {"--jobs", "-j", true,
     [](FilterOptions* o, const std::string& v, std::string* error) {
       int32_t n = 0;
       if (WholeInt32(v, &n) && n >= 1 && n <= kMostJobs) {
         o->jobs = n;
         return true;
       }
       *error = "-j " + v + ": expected a number of pictures at once, 1 to " + std::to_string(kMostJobs);
       return false;
     }},
    {"--quiet", "-q", false,
     [](FilterOptions* o, const std::string&, std::string*) {
       o->verbosity = Verbosity::kQuiet;
       return true;
     }},
    {"--verbose", "-v", false,
     [](FilterOptions* o, const std::string&, std::string*) {
       o->verbosity = Verbosity::kVerbose;
       return true;
     }},
};

// Edits (a letter added, dropped or changed) between two words.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "; did you mean --quality?" for a long option two edits or fewer from
// one of ours ("--qualty"), else "".
std::string SuggestOption(const std::string& arg) {
  const OptionRow* nearest = nullptr;
  size_t best = 3;
  for (const OptionRow& r : kFilterOptionRows) {
    const size_t distance = EditDistance(arg, r.name);
    if (distance < best) {
      best = distance;
      nearest = &r;
    }
  }
  return nearest && arg.size() > 3 ? std::string("; did you mean ") + nearest->name + "?" : "";
}

}  // namespace

bool ParseFilterOptions(int argc, char** argv, int first, FilterOptions* o, std::string* error) {
  o->plugin = DefaultPluginPath();
  bool operands_only = false;
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    if (operands_only || arg.empty() || arg[0] != '-' || arg == "-") {
      o->operands.push_back(PathFromUtf8(arg));
      continue;
    }
    if (arg == "--") {
      operands_only = true;
      continue;
    }
    const OptionRow* row = nullptr;
    for (const OptionRow& r : kFilterOptionRows) {
      if (arg == r.name || (r.short_name != nullptr && arg == r.short_name)) row = &r;
    }
    if (row == nullptr) {
      *error = arg + ": unknown option" + SuggestOption(arg) + " (see chromaline-host --help)";
      return false;
    }
    std::string value;
    if (row->takes_value) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (!row->set(o, value, error)) return false;
    o->given.push_back(row->name);
  }

  const bool batch = !o->output_dir.empty() || o->has_suffix;
  if (o->save_store && o->store.empty()) {
    *error = "--save-store needs --store FILE";
    return false;
  }
  if (o->save_store && o->shipped_preset) {
    *error = "--save-store does not write a preset of the program's own: use --store FILE";
    return false;
  }
  if (o->operands.empty()) {
    *error = "no picture given";
    return false;
  }
  if (o->has_suffix && o->suffix.empty() && o->output_dir.empty()) {
    *error =
        "--suffix \"\": an empty suffix names each picture itself as its output; give a suffix, -o DIR or "
        "--in-place";
    return false;
  }
  if (batch && o->in_place) {
    *error = "--in-place replaces the pictures themselves; it goes with neither -o nor --suffix";
    return false;
  }
  if (o->in_place && o->has_format) {
    *error =
        "--format with --in-place would put a picture of another format under the picture's own name; "
        "convert with -o DIR or --suffix TEXT";
    return false;
  }
  // Without -o or --suffix: "IN OUT", or with --in-place the pictures
  // themselves ("--in-place A A" names one picture twice: done once).
  o->single = !batch && !o->in_place;
  if (o->single && o->operands.size() != 2) {
    *error = o->operands.size() < 2 ? "filter needs IN OUT, or -o DIR / --suffix TEXT / --in-place with pictures"
                                    : "more than IN OUT given: use -o DIR or --suffix TEXT for many pictures";
    return false;
  }
  if (o->single && o->recursive) {
    *error = "-r walks folders given with -o DIR or --suffix TEXT";
    return false;
  }
  // Standard input and output carry one picture: "IN OUT" only.
  if (!o->single &&
      std::find(o->operands.begin(), o->operands.end(), std::filesystem::path("-")) != o->operands.end()) {
    *error = "-: standard input or output goes only with the IN OUT form (a file named - is ./-)";
    return false;
  }
  return true;
}

bool ParseCompareOptions(int argc, char** argv, int first, CompareOptions* o, std::string* error) {
  if (argc - first != 2) {
    *error = "compare needs two pictures: compare A B";
    return false;
  }
  o->a = argv[first];
  o->b = argv[first + 1];
  return true;
}

bool ParseVersionOptions(int argc, char** argv, int first, VersionOptions* o, std::string* error) {
  o->plugin = DefaultPluginPath();
  for (int i = first; i < argc; ++i) {
    if (std::strcmp(argv[i], "--plugin") == 0 && i + 1 < argc) {
      o->plugin = argv[++i];
      continue;
    }
    *error = std::string(argv[i]) + ": unknown option of version";
    return false;
  }
  return true;
}

std::string UsageText() {
  return "usage: chromaline-host filter [OPTIONS] IN OUT|FOLDER\n"
         "       chromaline-host filter [OPTIONS] (-o DIR | --suffix TEXT | --in-place) PICTURE|FOLDER...\n"
         "       chromaline-host compare A B\n"
         "       chromaline-host --version | --help\n";
}

std::string HelpText() {
  std::string formats;
  for (PhotoFormat f : {PhotoFormat::kPng, PhotoFormat::kJpeg, PhotoFormat::kBmp, PhotoFormat::kTiff}) {
    formats += std::string(" ") + PhotoFormatName(f) + (PhotoFormatWritable(f) ? "" : " (not in this build)");
  }
  std::string presets = PresetList();
  if (presets.empty()) presets = "none found in " + PresetFolder();
  return UsageText() +
         "\n"
         "Filters pictures through the Chromaline plug-in, as the viewer does: the\n"
         "settings store, then each picture's own .zprop or its folder's zprop.ini\n"
         "(section [ChromalinePlugIn], key=value lines with the keys below).\n"
         "No file is ever half written: every output goes to a temporary file beside\n"
         "it and replaces it in one step; an input is written only with --in-place.\n"
         "\n"
         "Pictures:\n"
         "  IN OUT              one picture into OUT (an existing folder: into it, as cp); an\n"
         "                      existing OUT is an error unless --overwrite (a shell pattern\n"
         "                      that named two pictures made the second one OUT)\n"
         "  - as IN or OUT      standard input or output (format: --format, else the input's);\n"
         "                      a file named - is ./-\n"
         "  -o, --output-dir DIR  many pictures and folders into DIR, same relative layout:\n"
         "                      every path given or walked gets its output (links too)\n"
         "  --suffix TEXT       many pictures, each written beside itself as NAME+TEXT.EXT\n"
         "  -r, --recursive     walk the subfolders of the folders given\n"
         "  --in-place          replace the pictures given themselves (else an input is never written);\n"
         "                      read-only, 16-bit, CMYK and palette pictures are left as they are;\n"
         "                      a file behind two names is filtered once\n"
         "  --overwrite         replace existing outputs (else a batch leaves them alone, so a\n"
         "                      re-run carries on where an interrupted one stopped)\n"
         "  --keep-time         each output takes its input's modification time\n"
         "  -n, --dry-run       print each IN -> OUT and what would happen; write nothing\n"
         "  --format FORMAT     png, jpeg, bmp or tiff (default: the output's extension);\n"
         "                      writable here:" +
         formats +
         "\n"
         "  --quality N         JPEG quality, 1 to 100 (default: a JPEG input's own; 90 for\n"
         "                      other inputs); a JPEG input's colour resolution is kept or\n"
         "                      raised (4:2:2 is written 4:4:4)\n" +
         PhotoCodecLimits() +
         "\n"
         "Settings:\n"
         "  --store FILE        a settings store (section<TAB>key<TAB>i|d<TAB>value\n"
         "                      lines), read only\n"
         "  --preset NAME|FILE  a preset by name, read only: " +
         presets +
         "\n"
         "                      (a value with a \"/\" or a \".\" is a store's path)\n"
         "  --save-store        write the store back, with the --set values in it\n"
         "  --set KEY=VALUE     one setting of the store (names in any case):\n" +
         SettingKeysHelp() + "    The stages, in the order they run, each switched on by its key:\n" +
         StageSwitchesHelp() +
         "  --ignore-local      no .zprop or zprop.ini file applies\n"
         "  --region L,T,R,B    the rectangle auto-levels measures (picture pixels, rows from\n"
         "                      the top, right and bottom exclusive; default the whole picture)\n"
         "  --plugin PATH       the plug-in (default: the one beside this program)\n"
         "  --bitmap 24|32|ddb  the kind of bitmap handed to the plug-in (default 24)\n"
         "\n"
         "Output:\n"
         "  -j, --jobs N        filter N pictures at once, each in a process of its own\n"
         "                      (default: as many as there are processors; the bytes are\n"
         "                      the same for any N); fewer pictures left than processors:\n"
         "                      each one's filters use the processors left (CHROMALINE_THREADS)\n"
         "  -q, --quiet         no progress and no notes, only errors\n"
         "  -v, --verbose       the settings in force for each picture\n"
         "  an option the run does not use (--quality without a JPEG output, ...) is named\n"
         "  in a warning\n"
         "  Ctrl+C              stops at the next row: the picture in hand is dropped\n"
         "\n"
         "compare A B           exit 0 when the pixels are the same, 1 when they differ\n"
         "--version             this tool's and the plug-in's versions\n"
         "\n"
         "Exit status: 0 done, 1 compare found differences, 2 bad command line or setting,\n"
         "3 a file or the plug-in could not be used, 4 some pictures of a batch failed,\n"
         "130 interrupted.\n";
}
