// Plans a run's jobs: each picture's output, and the checks that keep a run from harm.
#include "cli/job_plan.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "base/file_name.h"
#include "base/safe_file.h"

namespace fs = std::filesystem;

// Names are UTF-8 here, as everywhere in the program; std::filesystem is
// given and gives them through PathFromUtf8 and Utf8FromPath
// (base/file_name.h).

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
std::string OutputIn(const FilterOptions& o, const fs::path& folder, const fs::path& input) {
  const std::string extension = o.has_format ? ExtensionOf(o.format) : Utf8FromPath(input.extension());
  const std::string name = Utf8FromPath(input.stem()) + (o.has_suffix ? o.suffix : "") + extension;
  return Utf8FromPath((folder / PathFromUtf8(name)).lexically_normal());
}

// The output of `input`, found at `relative` under the operand given.
std::string OutputFor(const FilterOptions& o, const fs::path& input, const fs::path& relative) {
  return OutputIn(
      o, o.output_dir.empty() ? input.parent_path() : PathFromUtf8(o.output_dir) / relative.parent_path(), input);
}

void AddFolder(const FilterOptions& o, const fs::path& root, std::vector<fs::path>* found, std::vector<Job>* jobs) {
  std::error_code failure;
  std::vector<fs::path> files;
  const auto take = [&](const fs::directory_entry& entry) {
    if (entry.is_regular_file(failure) && IsPictureName(entry.path()) && !IsOurs(entry.path(), o)) {
      files.push_back(entry.path());
    }
  };
  const fs::path output_dir = PathFromUtf8(o.output_dir);
  const bool output_inside = !o.output_dir.empty() && fs::exists(output_dir, failure);
  if (o.recursive) {
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, failure), end;
    for (; !failure && it != end; it.increment(failure)) {
      // The output folder inside the walked one holds results, not pictures.
      if (output_inside && it->is_directory(failure) && fs::equivalent(it->path(), output_dir, failure)) {
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
    job.input = Utf8FromPath(root);
    job.state = Job::State::kFailed;
    job.reason = job.input + ": cannot be read: " + failure.message();
    jobs->push_back(job);
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) found->push_back(file);
}

// "IN OUT", and as cp does, "IN FOLDER": the picture under its own name
// in that folder (with --format, that format's extension).
std::string SingleOutput(const FilterOptions& o) {
  std::error_code failure;
  const std::string& out = o.operands[1];
  if (!fs::is_directory(PathFromUtf8(out), failure)) return out;
  return OutputIn(o, PathFromUtf8(out), PathFromUtf8(o.operands[0]));  // "IN OUT" takes no --suffix
}

// Whether pictures can be written in the folder of `output` (or, when it
// is still to be made, in the nearest folder above it that exists).
// Asked once per folder.
bool WritableFolder(const std::string& output, std::map<std::string, std::string>* asked, std::string* reason) {
  std::error_code failure;
  fs::path folder = fs::absolute(PathFromUtf8(output), failure).parent_path();
  while (!folder.empty() && !fs::exists(folder, failure) && folder.has_relative_path())
    folder = folder.parent_path();
  const std::string key = Utf8FromPath(folder);
  auto found = asked->find(key);
  if (found == asked->end()) {
    std::string why;
    CanWriteIn(key, &why);
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
  if (!o.output_dir.empty() && fs::exists(PathFromUtf8(o.output_dir), failure) &&
      !fs::is_directory(PathFromUtf8(o.output_dir), failure)) {
    *error = "-o " + o.output_dir + ": is a file, not a folder";
    return false;
  }
  return true;
}

// The job of an operand taken as one picture: a file, a name that is not
// there, a folder given where a picture is wanted, or any operand of "IN OUT".
Job OperandJob(const FilterOptions& o, const std::string& operand, const fs::file_status& status,
               const std::error_code& failure) {
  const fs::path operand_path = PathFromUtf8(operand);
  Job job;
  job.input = operand;
  job.output = o.single     ? SingleOutput(o)
               : o.in_place ? operand
                            : OutputFor(o, operand_path, operand_path.filename());
  if (!fs::exists(status)) {
    job.state = Job::State::kFailed;
    job.reason = operand + ": cannot be read: " + (failure ? failure.message() : "no such file");
  } else if (fs::is_directory(status)) {
    job.state = Job::State::kFailed;
    job.reason = operand + ": is a folder (give -o DIR or --suffix TEXT to filter the pictures in it)";
  } else if (!o.single && o.has_suffix && IsOurs(operand_path, o)) {
    // A shell pattern (*.png) run twice names the first run's outputs.
    job.state = Job::State::kLeftAlone;
    job.reason = operand + ": its name ends with the suffix " + o.suffix +
                 ", so it is taken for an output of this command; left alone";
  }
  return job;
}

// The inputs with their outputs, in the order given (folders sorted).
std::vector<Job> ListJobs(const FilterOptions& o) {
  std::vector<Job> planned;
  for (const std::string& operand : o.operands) {
    std::error_code failure;
    const fs::path operand_path = PathFromUtf8(operand);
    const fs::file_status status = fs::status(operand_path, failure);
    if (o.single || !fs::is_directory(status)) {
      planned.push_back(OperandJob(o, operand, status, failure));
      if (o.single) break;
      continue;
    }
    std::vector<fs::path> files;
    AddFolder(o, operand_path, &files, &planned);
    for (const fs::path& file : files) {
      Job job;
      job.input = Utf8FromPath(file);
      job.output = o.in_place ? job.input : OutputFor(o, file, file.lexically_relative(operand_path));
      planned.push_back(job);
    }
  }
  return planned;
}

// What the checks of one run remember from job to job.
struct RunMemory {
  std::set<std::string> outputs;
  std::map<std::string, std::string> asked;                     // folder -> why pictures cannot be written there
  std::map<std::string, std::vector<std::string>> temporaries;  // folder -> the temporary names in it
  std::map<FileIdentity, std::string> inputs;  // the files themselves, whatever their names -> the first name
};

// One picture named twice (the same name, another, a link): the second is
// left alone with a note, so it is filtered once.
bool NamedBefore(Job* job, std::map<FileIdentity, std::string>* inputs) {
  FileIdentity identity;
  if (!IdentifyFile(job->input, &identity)) return false;
  const auto first = inputs->emplace(identity, job->input);
  if (first.second) return false;
  job->state = Job::State::kLeftAlone;
  job->reason = job->input + ": named twice (also as " + first.first->second + "); filtered once";
  return true;
}

// --in-place refuses a read-only picture.
void RefuseReadOnly(Job* job) {
  std::error_code failure;
  if ((fs::status(PathFromUtf8(job->input), failure).permissions() & fs::perms::owner_write) == fs::perms::none) {
    job->state = Job::State::kFailed;
    job->reason = job->input + ": is read-only; --in-place leaves it as it is";
  }
}

// The job's format, from --format or the output's extension. False with
// *error when the run as a whole cannot go on.
bool ChooseFormat(const FilterOptions& o, Job* job, std::string* error) {
  if (!o.has_format && !PhotoFormatFromName(job->output, &job->format)) {
    if (o.single) {
      *error =
          job->output + ": the extension names no picture format (.png, .jpg, .bmp, .tif) and no --format is given";
      return false;
    }
    job->state = Job::State::kFailed;
    job->reason = job->output + ": the extension names no picture format; give --format";
  } else if (o.has_format) {
    PhotoFormat named;
    if (o.single && PhotoFormatFromName(job->output, &named) && named != o.format) {
      *error = job->output + ": the extension says " + PhotoFormatName(named) + " but --format says " +
               PhotoFormatName(o.format) + "; give an output named for the format, or leave --format out";
      return false;
    }
    job->format = o.format;
  }
  if (job->state == Job::State::kToDo && !PhotoFormatWritable(job->format)) {
    *error =
        job->output + ": this build cannot write " + PhotoFormatName(job->format) + " pictures (give --format png)";
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
    job->reason = job->output + ": another picture of this run is written there; " + job->input + " is not filtered";
  } else if (fs::is_directory(PathFromUtf8(job->output), failure)) {
    job->state = Job::State::kFailed;
    job->reason = job->output + ": is a folder; " + job->input + " is not filtered";
  } else if (same_as_input && !o.in_place) {
    job->state = Job::State::kFailed;
    job->reason = job->output + ": is the input picture " + job->input +
                  " itself; it is never written unless --in-place is given";
  } else if (!same_as_input && fs::exists(fs::symlink_status(PathFromUtf8(job->output), failure)) && !o.overwrite) {
    // The name itself, not where a link leads: a link to nowhere is an
    // output someone made, and is left alone too.
    job->state = Job::State::kLeftAlone;
    job->reason = job->output + ": exists; left alone (--overwrite replaces it)";
  }
}

// The output's folder: it takes pictures, and the temporaries a killed run
// left there are named (and cleared when provably that run's).
void CheckOutputFolder(Job* job, RunMemory* memory) {
  std::string why;
  if (!WritableFolder(job->output, &memory->asked, &why)) {
    job->state = Job::State::kFailed;
    job->reason = job->output + ": cannot be written: " + why + "; " + job->input + " is not filtered";
    return;
  }
  const std::string folder = TemporariesFolder(job->output);
  auto listed = memory->temporaries.find(folder);
  if (listed == memory->temporaries.end()) {
    listed = memory->temporaries.emplace(folder, TemporaryNamesIn(folder)).first;
  }
  job->notes = ClearStaleTemporaries(job->output, listed->second);
}

}  // namespace

bool PlanJobs(const FilterOptions& o, std::vector<Job>* jobs, std::string* error) {
  if (!RunCanStart(o, error)) return false;
  RunMemory memory;
  for (Job& job : ListJobs(o)) {
    if (job.state == Job::State::kToDo && !NamedBefore(&job, &memory.inputs) && o.in_place) RefuseReadOnly(&job);
    if (job.state != Job::State::kToDo) {
      jobs->push_back(job);
      continue;
    }
    if (!ChooseFormat(o, &job, error)) return false;
    std::error_code failure;
    const std::string key = Utf8FromPath(fs::absolute(PathFromUtf8(job.output), failure).lexically_normal());
    const bool same_as_input = SameFile(job.input, job.output);
    if (job.state == Job::State::kToDo) CheckOutputName(o, memory.outputs.count(key) != 0, same_as_input, &job);
    if (job.state == Job::State::kToDo) CheckOutputFolder(&job, &memory);
    memory.outputs.insert(key);
    jobs->push_back(job);
  }
  return true;
}
