// Which pictures a run filters and where each one goes, decided before any
// picture is read: the files and folders given (-r: with their subfolders),
// the output beside the picture (--suffix) or in a folder with the same
// relative layout (-o), the format from the extension or --format. Each
// output is checked against the safety rules here: never the input itself
// (another spelling, a hard or symbolic link) unless --in-place, never an
// existing picture or link (even one leading nowhere) unless --overwrite
// (in a batch left alone with a note, so a re-run carries on where an
// interrupted one stopped; "IN OUT" fails instead, so that a shell pattern
// that named one picture too many does not pass for success), never a
// folder, never in a folder that cannot be written (found by trying,
// before anything is filtered, without leaving a file behind), and never
// two pictures into one file. "IN FOLDER" writes into the folder, as cp
// does. "-" is standard input as IN and standard output as OUT. Every path
// given or walked gets its own output: two names of one file (a hard link)
// are two pictures, except with --in-place, where the file is filtered
// once. Temporaries a killed run left beside an output are named, and
// cleared when provably that run's (base/safe_file.h); a dry run only
// says so.
#ifndef CHROMALINE_CLI_JOB_PLAN_H_
#define CHROMALINE_CLI_JOB_PLAN_H_

#include <filesystem>
#include <string>
#include <vector>

#include "cli/options.h"
#include "photo/photo_io.h"

struct Job {
  enum class State { kToDo, kLeftAlone, kFailed };
  std::filesystem::path input;      // as given or found in a folder; "-": standard input
  std::filesystem::path output;     // "-": standard output
  std::filesystem::path read_from;  // the file read: the input, or standard input's bytes kept aside
  bool from_stdin = false;
  bool to_stdout = false;
  PhotoFormat format = PhotoFormat::kPng;
  bool format_from_content = false;  // standard output without --format: the format standard input has
  bool has_time = false;             // --keep-time: the input's modification time, read when planned
  std::filesystem::file_time_type input_time;
  State state = State::kToDo;
  std::string reason;              // for kLeftAlone and kFailed: a line naming the file
  std::vector<std::string> notes;  // for kToDo: what was found at the output (old temporaries)
};

// Returns false with *error when the run as a whole cannot start (a format
// this build cannot write, -o naming a file). A dry run asks the folders
// without making anything in them and leaves old temporaries where they are.
bool PlanJobs(const FilterOptions& options, std::vector<Job>* jobs, std::string* error);

// The extension written for a format chosen with --format.
const char* ExtensionOf(PhotoFormat format);

// A path as messages show it: UTF-8, with the platform's own separator
// throughout ("photos\tree\a.png" on Windows, whatever was typed).
std::string Shown(const std::filesystem::path& path);

// One warning line for each option given that this run does not use
// (--quality without a JPEG output, -r without a folder, ...), naming the
// option and why. `region_used`: some picture to filter has auto-levels on.
std::vector<std::string> IgnoredOptions(const FilterOptions& options, const std::vector<Job>& jobs,
                                        bool region_used);

// What a dry run prints for a job: "IN -> OUT: filtered (png)", "... copied
// unchanged (...)", "IN: left alone: ..." or "IN: would fail: ...".
// `changes`: some stage in force for the picture is switched on.
std::string DryRunLine(const Job& job, bool changes);

#endif  // CHROMALINE_CLI_JOB_PLAN_H_
