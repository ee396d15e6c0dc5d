// Which pictures a run filters and where each one goes, decided before any
// picture is read: the files and folders given (-r: with their subfolders),
// the output beside the picture (--suffix) or in a folder with the same
// relative layout (-o), the format from the extension or --format. Each
// output is checked against the safety rules here: never the input itself
// (another spelling, a hard or symbolic link) unless --in-place, never an
// existing picture or link (even one leading nowhere) unless --overwrite
// (left alone with a note, so a re-run carries on where an interrupted one
// stopped), never a folder, never in a folder that cannot be written (found
// by trying, before anything is filtered), and never two pictures into one
// file. "IN FOLDER" writes into the folder, as cp does. Temporaries a
// killed run left beside an output are named, and cleared when provably
// that run's (base/safe_file.h).
#ifndef CHROMALINE_CLI_JOB_PLAN_H_
#define CHROMALINE_CLI_JOB_PLAN_H_

#include <string>
#include <vector>

#include "cli/options.h"
#include "photo/photo_io.h"

struct Job {
  enum class State { kToDo, kLeftAlone, kFailed };
  std::string input;
  std::string output;
  PhotoFormat format = PhotoFormat::kPng;
  State state = State::kToDo;
  std::string reason;              // for kLeftAlone and kFailed: a line naming the file
  std::vector<std::string> notes;  // for kToDo: what was found at the output (old temporaries)
};

// Returns false with *error when the run as a whole cannot start (a format
// this build cannot write, -o naming a file).
bool PlanJobs(const FilterOptions& options, std::vector<Job>* jobs, std::string* error);

// The extension written for a format chosen with --format.
const char* ExtensionOf(PhotoFormat format);

#endif  // CHROMALINE_CLI_JOB_PLAN_H_
