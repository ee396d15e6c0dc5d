// Plans a run's jobs: each picture's output, and the checks that keep a run from harm.
#include "cli/job_plan.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "base/file_name.h"
#include "base/safe_file.h"

namespace fs = std::filesystem;

// Names are std::filesystem::path from the command line to the writer;
// UTF-8 text (Utf8FromPath, base/file_name.h) only where a person reads
// it (Shown) or a library takes text (the codecs, the safe writer, the
// name's letters compared).

namespace {

bool IsPictureName(const fs::path& path) {
  PhotoFormat format;
  return PhotoFormatFromName(Utf8FromPath(path.filename()), &format);
}

// Our own outputs and temporary files are not pictures to filter.
bool IsOurs(const fs::path& path, const FilterOptions& o) {
  const std::string name = Utf8FromPath(path.filename());
  if (!name.empty() && name[0] == '.' && name.size() > 4 &&
      name.compare(name.size() - 4, 4, kTemporaryNameEnding) == 0) {
    return true;
  }
  const std::string stem = Utf8FromPath(path.stem());
  return o.has_suffix && !o.suffix.empty() && stem.size() >= o.suffix.size() &&
         stem.compare(stem.size() - o.suffix.size(), o.suffix.size(), o.suffix) == 0;
}

// The output of `input` in `folder`: its stem, the suffix, and the
// extension of --format or its own.
fs::path OutputIn(const FilterOptions& o, const fs::path& folder, const fs::path& input) {
  const std::string extension = o.has_format ? ExtensionOf(o.format) : Utf8FromPath(input.extension());
  const std::string name = Utf8FromPath(input.stem()) + (o.has_suffix ? o.suffix : "") + extension;
  return (folder / PathFromUtf8(name)).lexically_normal();
}

// The output of `input`, found at `relative` under the operand given.
fs::path OutputFor(const FilterOptions& o, const fs::path& input, const fs::path& relative) {
  return OutputIn(o, o.output_dir.empty() ? input.parent_path() : o.output_dir / relative.parent_path(), input);
}

void AddFolder(const FilterOptions& o, const fs::path& root, std::vector<fs::path>* found, std::vector<Job>* jobs) {
  std::error_code failure;
  std::vector<fs::path> files;
  const auto take = [&](const fs::directory_entry& entry) {
    if (entry.is_regular_file(failure) && IsPictureName(entry.path()) && !IsOurs(entry.path(), o)) {
      files.push_back(entry.path());
    }
  };
  const bool output_inside = !o.output_dir.empty() && fs::exists(o.output_dir, failure);
  if (o.recursive) {
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, failure), end;
    for (; !failure && it != end; it.increment(failure)) {
      // The output folder inside the walked one holds results, not pictures.
      if (output_inside && it->is_directory(failure) && fs::equivalent(it->path(), o.output_dir, failure)) {
        it.disable_recursion_pending();
        continue;
      }
      take(*it);
    }
  } else {
    fs::directory_iterator it(root, failure), end;
    for (; !failure && it != end; it.increment(failure)) take(*it);
  }
  if (failure) {
    Job job;
    job.input = root;
    job.state = Job::State::kFailed;
    job.reason = Shown(root) + ": cannot be read: " + failure.message();
    jobs->push_back(job);
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) found->push_back(file);
}

// "IN OUT", and as cp does, "IN FOLDER": the picture under its own name
// in that folder (with --format, that format's extension).
fs::path SingleOutput(const FilterOptions& o) {
  std::error_code failure;
  const fs::path& out = o.operands[1];
  if (out == "-" || !fs::is_directory(out, failure)) return out;
  return OutputIn(o, out, o.operands[0]);  // "IN OUT" takes no --suffix
}

// Whether pictures can be written in the folder of `output` (or, when it
// is still to be made, in the nearest folder above it that exists).
// Asked once per folder.
bool WritableFolder(const fs::path& output, bool dry_run, std::map<std::string, std::string>* asked,
                    std::string* reason) {
  std::error_code failure;
  fs::path folder = fs::absolute(output, failure).parent_path();
  while (!folder.empty() && !fs::exists(folder, failure) && folder.has_relative_path())
    folder = folder.parent_path();
  const std::string key = Utf8FromPath(folder);
  auto found = asked->find(key);
  if (found == asked->end()) {
    std::string why;
    if (dry_run) MayWriteIn(key, &why);
    else CanWriteIn(key, &why);
    found = asked->emplace(key, why).first;
  }
  *reason = found->second;
  return reason->empty();
}

}  // namespace

const char* ExtensionOf(PhotoFormat format) {
  switch (format) {
    case PhotoFormat::kPng: return ".png";
    case PhotoFormat::kJpeg: return ".jpg";
    case PhotoFormat::kBmp: return ".bmp";
    case PhotoFormat::kTiff: return ".tif";
  }
  return ".png";
}

namespace {

// The checks of the run as a whole, before any picture is looked at.
bool RunCanStart(const FilterOptions& o, std::string* error) {
  std::error_code failure;
  if (o.has_format && !PhotoFormatWritable(o.format)) {
    *error = std::string("--format ") + PhotoFormatName(o.format) + ": this build cannot write such pictures";
    return false;
  }
  if (!o.output_dir.empty() && fs::exists(o.output_dir, failure) && !fs::is_directory(o.output_dir, failure)) {
    *error = "-o " + Utf8FromPath(o.output_dir) + ": is a file, not a folder";
    return false;
  }
  return true;
}

// The job of an operand taken as one picture: a file, a name that is not
// there, a folder given where a picture is wanted, standard input, or any
// operand of "IN OUT".
Job OperandJob(const FilterOptions& o, const fs::path& operand_path, const fs::file_status& status,
               const std::error_code& failure) {
  Job job;
  job.input = operand_path;
  job.read_from = operand_path;
  job.from_stdin = o.single && operand_path == "-";
  job.output = o.single     ? SingleOutput(o)
               : o.in_place ? operand_path
                            : OutputFor(o, operand_path, operand_path.filename());
  job.to_stdout = o.single && o.operands[1] == "-";
  if (job.from_stdin) {
    job.read_from.clear();  // kept aside when the run starts
    if (!job.to_stdout && job.output != o.operands[1]) {
      job.state = Job::State::kFailed;
      job.reason = "-: standard input has no name of its own to be written under in the folder " +
                   Shown(o.operands[1]) + "; name the output file";
    }
  } else if (!fs::exists(status)) {
    job.state = Job::State::kFailed;
    job.reason = Shown(operand_path) + ": cannot be read: " + (failure ? failure.message() : "no such file");
  } else if (fs::is_directory(status)) {
    job.state = Job::State::kFailed;
    job.reason = Shown(operand_path) + ": is a folder (give -o DIR or --suffix TEXT to filter the pictures in it)";
  } else if (!o.single && o.has_suffix && IsOurs(operand_path, o)) {
    // A shell pattern (*.png) run twice names the first run's outputs.
    job.state = Job::State::kLeftAlone;
    job.reason = Shown(operand_path) + ": its name ends with the suffix " + o.suffix +
                 ", so it is taken for an output of this command; left alone";
  }
  return job;
}

// The inputs with their outputs, in the order given (folders sorted).
std::vector<Job> ListJobs(const FilterOptions& o) {
  std::vector<Job> planned;
  for (const fs::path& operand_path : o.operands) {
    std::error_code failure;
    const fs::file_status status = fs::status(operand_path, failure);
    if (o.single || !fs::is_directory(status)) {
      planned.push_back(OperandJob(o, operand_path, status, failure));
      if (o.single) break;
      continue;
    }
    std::vector<fs::path> files;
    AddFolder(o, operand_path, &files, &planned);
    for (const fs::path& file : files) {
      Job job;
      job.input = file;
      job.read_from = file;
      job.output = o.in_place ? file : OutputFor(o, file, file.lexically_relative(operand_path));
      planned.push_back(job);
    }
  }
  return planned;
}

// What the checks of one run remember from job to job.
struct RunMemory {
  std::set<fs::path> outputs;                                   // absolute, normalised
  std::map<std::string, std::string> asked;                     // folder -> why pictures cannot be written there
  std::map<std::string, std::vector<std::string>> temporaries;  // folder -> the temporary names in it
  std::map<fs::path, fs::path> names;                           // absolute, normalised -> the first spelling
  std::map<FileIdentity, fs::path> files;  // --in-place: the files themselves, whatever their names
};

// One path named twice ("a.png a.png", "./a.png a.png"), or with --in-place
// one file named twice (also through a link): the second is left alone
// with a note, so it is filtered once. Without --in-place two names of one
// file are two pictures, each with its output.
bool NamedBefore(const FilterOptions& o, Job* job, RunMemory* memory) {
  std::error_code failure;
  const auto name = memory->names.emplace(fs::absolute(job->input, failure).lexically_normal(), job->input);
  const fs::path* first = name.second ? nullptr : &name.first->second;
  FileIdentity identity;
  if (first == nullptr && o.in_place && IdentifyFile(Utf8FromPath(job->input), &identity)) {
    const auto file = memory->files.emplace(identity, job->input);
    if (!file.second) first = &file.first->second;
  }
  if (first == nullptr) return false;
  job->state = Job::State::kLeftAlone;
  job->reason = Shown(job->input) + ": named twice (also as " + Shown(*first) + "); filtered once";
  return true;
}

// --in-place refuses a read-only picture.
void RefuseReadOnly(Job* job) {
  std::error_code failure;
  if ((fs::status(job->input, failure).permissions() & fs::perms::owner_write) == fs::perms::none) {
    job->state = Job::State::kFailed;
    job->reason = Shown(job->input) + ": is read-only; --in-place leaves it as it is";
  }
}

// The format of a file from its first bytes, for standard output without
// --format.
bool FormatOfFile(const fs::path& path, PhotoFormat* format) {
  std::ifstream in(path, std::ios::binary);
  uint8_t head[16] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  return PhotoFormatOfBytes(head, static_cast<size_t>(in.gcount()), format);
}

// The job's format, from --format or the output's extension (standard
// output: the input's own format). False with *error when the run as a
// whole cannot go on.
bool ChooseFormat(const FilterOptions& o, Job* job, std::string* error) {
  if (job->to_stdout && !o.has_format) {
    job->format_from_content = job->from_stdin;
    if (!job->from_stdin && !FormatOfFile(job->input, &job->format)) {
      job->state = Job::State::kFailed;
      job->reason = Shown(job->input) + ": not a picture of a known format (.png, .jpg, .bmp, .tif)";
    }
  } else if (!o.has_format && !PhotoFormatFromName(Utf8FromPath(job->output), &job->format)) {
    if (o.single) {
      *error = Shown(job->output) +
               ": the extension names no picture format (.png, .jpg, .bmp, .tif) and no --format is given";
      return false;
    }
    job->state = Job::State::kFailed;
    job->reason = Shown(job->output) + ": the extension names no picture format; give --format";
  } else if (o.has_format) {
    PhotoFormat named;
    if (o.single && !job->to_stdout && PhotoFormatFromName(Utf8FromPath(job->output), &named) && named != o.format) {
      *error = Shown(job->output) + ": the extension says " + PhotoFormatName(named) + " but --format says " +
               PhotoFormatName(o.format) + "; give an output named for the format, or leave --format out";
      return false;
    }
    job->format = o.format;
  }
  if (job->state == Job::State::kToDo && !job->format_from_content && !PhotoFormatWritable(job->format)) {
    *error = Shown(job->output) + ": this build cannot write " + PhotoFormatName(job->format) +
             " pictures (give --format png)";
    return false;
  }
  return true;
}

// The output name's own rules: not taken by another job, not a folder, not
// the input unless --in-place, not an existing file unless --overwrite.
void CheckOutputName(const FilterOptions& o, bool taken, bool same_as_input, Job* job) {
  std::error_code failure;
  if (taken) {
    job->state = Job::State::kFailed;
    job->reason = Shown(job->output) + ": another picture of this run is written there; " + Shown(job->input) +
                  " is not filtered";
  } else if (fs::is_directory(job->output, failure)) {
    job->state = Job::State::kFailed;
    job->reason = Shown(job->output) + ": is a folder; " + Shown(job->input) + " is not filtered";
  } else if (same_as_input && !o.in_place) {
    job->state = Job::State::kFailed;
    job->reason = Shown(job->output) + ": is the input picture " + Shown(job->input) +
                  " itself; it is never written unless --in-place is given";
  } else if (!same_as_input && fs::exists(fs::symlink_status(job->output, failure)) && !o.overwrite) {
    // The name itself, not where a link leads: a link to nowhere is an
    // output someone made, and is left alone too. A batch carries on past
    // it; "IN OUT" has nothing else to do, and a shell pattern that named
    // two pictures ("*.jpg") makes the second one OUT: a failure.
    job->state = o.single ? Job::State::kFailed : Job::State::kLeftAlone;
    job->reason = o.single ? Shown(job->output) +
                                 ": exists; IN OUT replaces a file only with --overwrite (for many pictures "
                                 "give -o DIR, --suffix TEXT or --in-place); " +
                                 Shown(job->input) + " is not filtered"
                           : Shown(job->output) + ": exists; left alone (--overwrite replaces it)";
  }
}

// The output's folder: it takes pictures, and the temporaries a killed run
// left there are named (and cleared when provably that run's).
void CheckOutputFolder(const FilterOptions& o, Job* job, RunMemory* memory) {
  std::string why;
  if (!WritableFolder(job->output, o.dry_run, &memory->asked, &why)) {
    job->state = Job::State::kFailed;
    job->reason = Shown(job->output) + ": cannot be written: " + why + "; " + Shown(job->input) + " is not filtered";
    return;
  }
  const std::string folder = TemporariesFolder(Utf8FromPath(job->output));
  auto listed = memory->temporaries.find(folder);
  if (listed == memory->temporaries.end()) {
    listed = memory->temporaries.emplace(folder, TemporaryNamesIn(folder)).first;
  }
  job->notes = ClearStaleTemporaries(Utf8FromPath(job->output), listed->second, !o.dry_run);
}

}  // namespace

bool PlanJobs(const FilterOptions& o, std::vector<Job>* jobs, std::string* error) {
  if (!RunCanStart(o, error)) return false;
  RunMemory memory;
  for (Job& job : ListJobs(o)) {
    if (job.state == Job::State::kToDo && !NamedBefore(o, &job, &memory) && o.in_place) RefuseReadOnly(&job);
    if (job.state != Job::State::kToDo) {
      jobs->push_back(job);
      continue;
    }
    if (!ChooseFormat(o, &job, error)) return false;
    std::error_code failure;
    if (o.keep_time && !job.from_stdin) {
      job.input_time = fs::last_write_time(job.input, failure);
      job.has_time = !failure;
    }
    if (job.to_stdout) {
      jobs->push_back(job);
      continue;
    }
    const fs::path key = fs::absolute(job.output, failure).lexically_normal();
    const bool same_as_input = !job.from_stdin && SameFile(Utf8FromPath(job.input), Utf8FromPath(job.output));
    if (job.state == Job::State::kToDo) CheckOutputName(o, memory.outputs.count(key) != 0, same_as_input, &job);
    if (job.state == Job::State::kToDo) CheckOutputFolder(o, &job, &memory);
    memory.outputs.insert(key);
    jobs->push_back(job);
  }
  return true;
}

std::string Shown(const fs::path& path) {
  fs::path shown = path;
  return Utf8FromPath(shown.make_preferred());
}

namespace {

bool Given(const FilterOptions& o, const char* name) {
  return std::find(o.given.begin(), o.given.end(), name) != o.given.end();
}

}  // namespace

std::vector<std::string> IgnoredOptions(const FilterOptions& o, const std::vector<Job>& jobs, bool region_used) {
  std::vector<std::string> lines;
  const auto ignored = [&lines](const std::string& option, const std::string& why) {
    lines.push_back("warning: " + option + ": ignored: " + why);
  };
  const auto writes = [&jobs](const std::function<bool(const Job&)>& test) {
    return std::any_of(jobs.begin(), jobs.end(),
                       [&test](const Job& j) { return j.state != Job::State::kFailed && test(j); });
  };
  const bool any = writes([](const Job&) { return true; });
  if (o.has_quality && any &&
      !writes([](const Job& j) { return j.format == PhotoFormat::kJpeg || j.format_from_content; })) {
    ignored("--quality " + std::to_string(o.quality), "it sets the quality of JPEG files, and no output is one");
  }
  if (o.recursive && std::none_of(o.operands.begin(), o.operands.end(), [](const fs::path& operand) {
        std::error_code failure;
        return fs::is_directory(operand, failure);
      })) {
    ignored("-r", "it walks the subfolders of the folders given, and no folder is given");
  }
  if (o.overwrite && o.in_place) {
    ignored("--overwrite", "--in-place replaces the pictures themselves; --overwrite is about other outputs");
  }
  if (o.overwrite && o.single && o.operands[1] == "-") {
    ignored("--overwrite", "standard output replaces no file");
  }
  if (o.keep_time && writes([](const Job& j) { return j.to_stdout; })) {
    ignored("--keep-time", "standard output is no file to give a time");
  } else if (o.keep_time && writes([](const Job& j) { return j.from_stdin; })) {
    ignored("--keep-time", "standard input has no modification time");
  }
  if (Given(o, "--region") && any && !region_used) {
    ignored("--region", "it is the rectangle auto-levels measures, and auto-levels is on for no picture");
  }
  if (o.ignore_local && writes([](const Job& j) { return j.from_stdin; })) {
    ignored("--ignore-local", "standard input is in no folder whose settings files could apply");
  }
  if (Given(o, "--quiet") && Given(o, "--verbose")) {
    const bool verbose_last = std::find(o.given.rbegin(), o.given.rend(), "--verbose") <
                              std::find(o.given.rbegin(), o.given.rend(), "--quiet");
    ignored(verbose_last ? "-q" : "-v",
            std::string("the last of -q and -v given, ") + (verbose_last ? "-v" : "-q") + ", applies");
  }
  if (o.dry_run && o.save_store) ignored("--save-store", "a dry run writes nothing, the store included");
  if (o.dry_run && o.verbosity == Verbosity::kVerbose) {
    ignored("-v", "a dry run reads no picture, so it names no settings per picture");
  }
  // A value given again replaces the one before ("--store" and "--preset"
  // both name the store).
  std::set<std::string> seen;
  for (auto option = o.given.rbegin(); option != o.given.rend(); ++option) {
    const std::string group = *option == "--preset" ? "--store" : *option;
    const bool takes_value = group == "--store" || group == "--format" || group == "--quality" ||
                             group == "--region" || group == "--bitmap" || group == "--plugin" ||
                             group == "--output-dir" || group == "--suffix";
    if (takes_value && !seen.insert(group).second) ignored(*option, "given again later; the last value applies");
  }
  std::set<std::string> keys;
  for (auto set = o.sets.rbegin(); set != o.sets.rend(); ++set) {
    if (!keys.insert(set->key).second) ignored("--set " + set->key, "set again later; the last value applies");
  }
  return lines;
}

std::string DryRunLine(const Job& job, bool changes) {
  const std::string arrow =
      Shown(job.input) + (job.output.empty() ? std::string() : " -> " + Shown(job.output)) + ": ";
  switch (job.state) {
    case Job::State::kLeftAlone: return arrow + "left alone: " + job.reason;
    case Job::State::kFailed: return arrow + "would fail: " + job.reason;
    case Job::State::kToDo: break;
  }
  const std::string format = job.format_from_content ? "the format of standard input" : PhotoFormatName(job.format);
  if (changes) return arrow + "filtered (" + format + ")";
  if (job.input == job.output) return arrow + "left as it is (no stage is switched on for it)";
  return arrow + "copied unchanged (no stage is switched on for it)";
}
