// The filter subcommand in three steps: PrepareBatch (the store, --set,
// the plan, the plug-in loaded), FilterPictures (here, or N at once in
// workers) and Summarize (the closing line, the exit status).
#include "cli/batch.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <set>

#include "base/file_name.h"
#include "cli/batch_workers.h"
#include "cli/console.h"
#include "cli/job_plan.h"
#include "cli/picture_job.h"
#include "cli/process_memory.h"
#include "cli/progress.h"
#include "cli/settings.h"
#include "filters/engine/worker_team.h"
#include "cli/job_output.h"
#include "cli/job_plan.h"
#include "cli/console.h"
#include "host/plugin_host.h"
#include "photo/encoding_check.h"
#include "base/file_name.h"
#include "base/safe_file.h"
#include "filters/stages.h"
#include "host/plugin_host.h"
#include "settings/local_settings.h"

namespace fs = std::filesystem;

namespace {

// A folder of our own with no settings files in it: message 14 names the
// picture there when --ignore-local asks that no local file apply.
class EmptyFolder {
 public:
  bool Make(std::string* error) {
    std::error_code failure;
    const fs::path base = fs::temp_directory_path(failure);
    std::random_device random;
    for (int attempt = 0; !failure && attempt < 100; ++attempt) {
      const fs::path candidate = base / ("chromaline-" + std::to_string(random()));
      if (fs::create_directory(candidate, failure)) {
        path_ = candidate;
        return true;
      }
    }
    *error = "no private temporary folder for --ignore-local: " + failure.message();
    return false;
  }
  ~EmptyFolder() {
    std::error_code failure;
    if (!path_.empty()) fs::remove(path_, failure);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Everything the run needs, made before the first picture is read.
struct Batch {
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  PluginHost host;
  std::vector<Job> jobs;
  EmptyFolder empty;
  std::vector<std::string> paths;        // per job to filter: what message 14 is told
  std::vector<FilterSettings> in_force;  // per job to filter: the settings that apply there
  std::vector<std::string> sources;      // per job: the settings file the plug-in finds from paths[i], or ""
  std::vector<size_t> todo;              // the jobs to filter, in order
  bool any_stage = false;                // whether any of them changes a picture
};

// What the run did.
struct Tally {
  size_t written = 0;
  size_t unchanged = 0;  // no pixel changed: left as they were, or copied
  size_t failed = 0;
  bool interrupted = false;
};

// One warning per settings file holding values the dialog would not let
// through: the plug-in uses them as they are, so the run does too.
void WarnOutsideRanges(const std::string& file, const FilterSettings& settings, const FilterSettings* except,
                       Progress& progress) {
  for (const std::string& value : OutsideDialogRanges(settings, except)) {
    progress.Error("warning: " + file + ": " + value + "; used as it is");
  }
}

// A picture the plug-in is given by its short name (its own has no form
// in the ANSI code page) does not find its own settings file, whose name
// is made from the picture's: said when there is one.
void WarnOwnSettingsUnseen(const Job& job, const std::string& full, const std::string& given, Progress& progress) {
  std::error_code failure;
  const std::string own = PictureSettingsFile(full);
  if (!fs::exists(PathFromUtf8(own), failure)) return;
  if (fs::exists(PathFromUtf8(Utf8FromPluginFileName(PictureSettingsFile(given))), failure)) return;
  progress.Error("warning: " + own + ": not used for " + Shown(job.input) +
                 ": the plug-in takes names in the system's code page, where this picture's name has no form, so "
                 "it is given the short name " +
                 given + ", from which this file is not found");
}

// What message 14 is told for each picture (in the form a viewer gives
// the plug-in), and the settings that will apply there. A local settings
// file with values out of the dialog's ranges is named once.
void ResolveSettings(const FilterOptions& o, const FilterSettings& global, Batch* b, Progress& progress) {
  b->paths.resize(b->jobs.size());
  b->in_force.assign(b->jobs.size(), global);
  b->sources.resize(b->jobs.size());
  std::set<std::string> looked_at;
  for (size_t i = 0; i < b->jobs.size(); ++i) {
    const Job& job = b->jobs[i];
    if (job.state != Job::State::kToDo) continue;
    if ((o.ignore_local || job.from_stdin) && b->empty.path().empty()) {
      // A dry run makes no folder of its own: the global settings, as in one.
      b->any_stage = b->any_stage || AnyStageEnabled(global);
      b->todo.push_back(i);
      continue;
    }
    std::error_code failure;
    // Standard input is kept aside in the run's own folder, where no
    // settings file is.
    const fs::path& input = job.read_from;
    const std::string full =
        Utf8FromPath(o.ignore_local ? b->empty.path() / input.filename() : fs::absolute(input, failure));
    bool shortened = false;
    b->paths[i] = PluginFileName(full, &shortened);
    b->in_force[i] = ReadLocalSettings(b->paths[i].c_str(), global);
    if (shortened && !o.ignore_local) WarnOwnSettingsUnseen(job, full, b->paths[i], progress);
    b->any_stage = b->any_stage || AnyStageEnabled(b->in_force[i]);
    b->todo.push_back(i);
    if (o.ignore_local) continue;
    const std::string file = LocalSettingsFile(b->paths[i]);
    if (file.empty()) continue;
    b->sources[i] = Utf8FromPluginFileName(file);
    if (looked_at.insert(b->sources[i]).second) WarnOutsideRanges(b->sources[i], b->in_force[i], &global, progress);
  }
}

// The run's own folder (for --ignore-local, and for standard input kept
// aside there); a dry run makes none and reads nothing.
bool KeepInput(const FilterOptions& o, Batch* b, std::string* error) {
  if (o.dry_run) return true;
  const auto from_stdin = std::find_if(b->jobs.begin(), b->jobs.end(), [](const Job& job) {
    return job.from_stdin && job.state == Job::State::kToDo;
  });
  if (!o.ignore_local && from_stdin == b->jobs.end()) return true;
  if (!b->empty.Make(error)) return false;
  return from_stdin == b->jobs.end() || KeepStandardInput(b->empty.path(), &*from_stdin, error);
}

// The settings store and --set applied, the pictures planned, the plug-in
// loaded and given the global settings. Returns kExitOk, or the status to
// end with once the error is shown.
int PrepareBatch(const FilterOptions& o, Batch* b) {
  Progress progress(o.verbosity, StderrIsTerminal(), 0);
  std::string error;
  if (!LoadStore(o, b->host.store(), &error)) {
    progress.Error(error);
    return kExitFailure;
  }
  if (!o.store.empty()) WarnOutsideRanges(o.store, SettingsFromStore(b->host.store()), nullptr, progress);
  for (const SettingAssignment& set : o.sets) ApplySetting(b->host.store(), set);
  // The viewer passes every picture by unfiltered while the plug-in is
  // switched off; a run told so, by --set or by the store, has nothing to do.
  if (StoreSwitchesPluginOff(b->host.store())) {
    progress.Error(std::string("Enabled=0 (from --set or the store): the plug-in switched off writes every picture "
                               "unchanged; nothing is filtered (stages are switched on with ") +
                   kStageSwitches + ")");
    return kExitUsage;
  }
  const FilterSettings global = SettingsFromStore(b->host.store());
  if (!PlanJobs(o, &b->jobs, &error)) {
    progress.Error(error);
    return kExitUsage;
  }
  const std::string refusal = StandardOutputRefusal(b->jobs, StdoutIsTerminal());
  if (!refusal.empty()) {
    progress.Error(refusal);
    return kExitUsage;
  }
  if (!KeepInput(o, b, &error)) {
    progress.Error(error);
    return kExitFailure;
  }
  if (!b->host.Load(o.plugin, &error)) {
    progress.Error(error);
    return kExitFailure;
  }
  b->host.Send(kMessageLoadSettings);                           // the global settings from the store
  b->host.Send(kMessageEnable, reinterpret_cast<void*>(1), 1);  // this tool exists to filter
  ResolveSettings(o, global, b, progress);
  const bool region_used =
      std::any_of(b->todo.begin(), b->todo.end(), [b](size_t i) { return b->in_force[i].AutoLevels != 0; });
  for (const std::string& line : IgnoredOptions(o, b->jobs, region_used)) progress.Error(line);
  if (!b->todo.empty() && !b->any_stage) {
    progress.Error(std::string("no stage is switched on: neither the global settings (--store, --preset, --set)") +
                   (o.ignore_local ? "" : " nor a .zprop or zprop.ini beside the pictures") +
                   " turn one on, so every picture would be written unchanged; nothing is filtered. Switch one on "
                   "with " +
                   kStageSwitches + " (for example --set USMEnable=1)");
    return kExitUsage;
  }
  return kExitOk;
}

// The pictures refused or left alone, and the temporaries old runs left
// beside the outputs.
void Announce(const Batch& b, Progress& shown) {
  for (const Job& job : b.jobs) {
    if (job.state == Job::State::kFailed) shown.Error(job.reason);
    if (job.state == Job::State::kLeftAlone) shown.Note(job.reason);
    for (const std::string& line : job.notes) shown.Error(line);
  }
}

// The reports of the pictures (cli/job_messages.h), from this process or
// from the workers, shown and counted.
class Outcomes {
 public:
  Outcomes(const FilterOptions& o, const Batch& b, Progress& shown, Tally& tally)
      : o_(o), b_(b), shown_(shown), tally_(tally) {}

  void On(const Message& m) {
    const size_t position = static_cast<size_t>(m.Number(0));
    if (position < 1 || position > b_.todo.size()) return;
    const size_t i = b_.todo[position - 1];
    const Job& job = b_.jobs[i];
    switch (m.kind) {
      case 'n': shown_.Note(position, m.Text(1)); break;
      case 's':
        Started(position, i, static_cast<int>(m.Number(1)), static_cast<int>(m.Number(2)), m.Number(3));
        break;
      case 'q': shown_.OnStopQuery(position, static_cast<int>(m.Number(1))); break;
      case 'f': shown_.EndPicture(position, static_cast<double>(m.Number(1)) / 1e6); break;
      case 'd': Ended(position, job, m); break;
      default: break;
    }
  }

 private:
  void Started(size_t position, size_t i, int width, int height, long long orientation) {
    const Job& job = b_.jobs[i];
    if (o_.verbosity == Verbosity::kVerbose) {
      const std::string source = o_.ignore_local         ? "global settings (--ignore-local)"
                                 : b_.sources[i].empty() ? "global settings"
                                                         : b_.sources[i];
      shown_.Note(
          position,
          Shown(job.input) + ": " + DescribeStages(b_.in_force[i]) + " [from " + source + "]" +
              (orientation != 1 ? ", turned upright from EXIF orientation " + std::to_string(orientation) : ""));
    }
    shown_.StartPicture(position, Shown(job.input), width, height, BlurCount(b_.in_force[i]));
  }

  void Ended(size_t position, const Job& job, const Message& m) {
    const std::string& outcome = m.Text(1);
    if (outcome == kOutcomeWritten) {
      ++tally_.written;
      for (size_t n = 3; n < m.fields.size(); ++n) shown_.Note(position, m.fields[n]);
      shown_.Done(position, m.Text(2));
    } else if (outcome == kOutcomeUnchanged) {
      ++tally_.unchanged;
      shown_.Done(position, m.Text(2));
    } else if (outcome == kOutcomeDropped) {
      tally_.interrupted = true;
    } else {
      ++tally_.failed;
      shown_.Failed(position, m.Text(2).empty() ? Shown(job.input) + ": failed" : m.Text(2));
    }
  }

  const FilterOptions& o_;
  const Batch& b_;
  Progress& shown_;
  Tally& tally_;
};

PictureJob JobAt(const Batch& b, size_t k) {
  const Job& job = b.jobs[b.todo[k]];
  PictureJob picture;
  picture.position = k + 1;
  picture.job = job;
  picture.given = b.paths[b.todo[k]];
  return picture;
}

// The pictures one after the other in this process. Ctrl+C stops before
// the next picture, and drops the one being filtered.
void FilterHere(const FilterOptions& o, Batch& b, Outcomes& outcomes, Tally& tally) {
  for (size_t k = 0; k < b.todo.size() && !tally.interrupted; ++k) {
    if (InterruptRequested()) {
      tally.interrupted = true;
      break;
    }
    RunPicture(o, b.host, JobAt(b, k), InterruptRequested, [&outcomes](const Message& m) { outcomes.On(m); });
  }
}

// The pictures `count` at once, each in a worker process; the workers
// hand their reports to `outcomes` on this thread. Ctrl+C (here or in a
// worker) stops every worker: the pictures being filtered are dropped,
// those being written are written whole. False when the workers cannot be
// started.
bool FilterInWorkers(size_t count, const std::vector<std::string>& arguments, Batch& b, Outcomes& outcomes,
                     Progress& shown, Tally& tally) {
  WorkerPool pool;
  std::string error;
  if (!pool.Start(count, arguments, &error)) {
    shown.Note(error + "; the pictures are filtered one at a time");
    return false;
  }
  size_t next = 0, finished = 0;
  bool stopping = false;
  for (;;) {
    if (!stopping && (InterruptRequested() || tally.interrupted)) {
      stopping = tally.interrupted = true;
      pool.StopAll();
    }
    while (!stopping && next < b.todo.size()) {
      PictureJob job = JobAt(b, next);
      job.threads = EngineThreadsFor(b.todo.size() - finished, count);
      if (!pool.Hand(job)) break;
      ++next;
    }
    if (pool.busy() == 0) break;
    Message m;
    if (!pool.Next(&m, std::chrono::milliseconds(50))) continue;
    if (m.kind == 'e') shown.Error(m.Text(0));
    if (m.kind == 'd') ++finished;
    if (m.kind != 0) {
      outcomes.On(m);
      continue;
    }
    const size_t position = static_cast<size_t>(m.Number(0));
    if (position == 0) continue;
    ++finished;
    ++tally.failed;
    shown.Failed(position, Shown(b.jobs[b.todo[position - 1]].input) +
                               ": not done: the worker process filtering it ended unexpectedly (exit status " +
                               m.Text(1) + ")");
  }
  // Every worker gone before the end: the pictures left are not done.
  for (; !stopping && next < b.todo.size(); ++next) {
    ++tally.failed;
    shown.Failed(next + 1, Shown(b.jobs[b.todo[next]].input) + ": not done: no worker process is left");
  }
  pool.Finish();
  return true;
}

// The pictures to do, in order of their positions; `jobs` at once when
// there is more than one to do.
Tally FilterPictures(const FilterOptions& o, const std::vector<std::string>& arguments, Batch& b, Progress& shown) {
  Tally tally;
  InstallInterruptHandler();
  Outcomes outcomes(o, b, shown, tally);
  for (size_t k = 0; k < b.todo.size(); ++k) {
    std::error_code failure;
    const fs::path& input = b.jobs[b.todo[k]].read_from;
    PhotoFormat kind = PhotoFormat::kPng;
    PhotoFormatFromName(Utf8FromPath(input), &kind);
    shown.SetInput(k + 1, fs::file_size(input, failure), static_cast<int>(kind));
  }
  const size_t jobs = std::min(
      b.todo.size(), o.jobs > 0 ? static_cast<size_t>(o.jobs) : static_cast<size_t>(AvailableProcessorCount()));
  if (jobs < 2 || !FilterInWorkers(jobs, arguments, b, outcomes, shown, tally)) FilterHere(o, b, outcomes, tally);
  shown.Finish();
  return tally;
}

// The closing line: what was written, left alone, failed (`failed` counts
// the pictures refused before the run too) and not done, and the
// filtering alone against the whole run: how well reading and writing
// hide behind it.
std::string SummaryLine(const FilterOptions& o, const Batch& b, const Tally& tally, size_t failed,
                        const Progress& shown) {
  const size_t left_alone = static_cast<size_t>(
      std::count_if(b.jobs.begin(), b.jobs.end(), [](const Job& j) { return j.state == Job::State::kLeftAlone; }));
  const size_t not_done = b.todo.size() - std::min(b.todo.size(), tally.written + tally.unchanged + tally.failed);
  std::string summary = std::to_string(tally.written) + " written";
  if (tally.unchanged != 0) {
    summary +=
        ", " + std::to_string(tally.unchanged) +
        (o.in_place ? " unchanged (no pixel changed: left as they were)" : " unchanged (no pixel changed: copied)");
  }
  if (left_alone != 0) summary += ", " + std::to_string(left_alone) + " left alone";
  if (failed != 0) summary += ", " + std::to_string(failed) + " failed";
  if (tally.interrupted) summary += ", " + std::to_string(not_done) + " not done: interrupted";
  if (tally.written != 0) {
    const double all = std::chrono::duration<double>(std::chrono::steady_clock::now() - b.start).count();
    char speed[96];
    std::snprintf(speed, sizeof speed, " (filtering %.2f s at %.1f Mpx/s, %.2f s in all)", shown.filtering_seconds(),
                  shown.megapixels_per_second(), all);
    summary += speed;
  }
  return summary;
}

// The closing line (always after an interruption or a failure, for a
// batch also unless -q), the store written back for --save-store unless
// interrupted, and the exit status.
int Summarize(const FilterOptions& o, Batch& b, const Tally& tally, Progress& shown) {
  const size_t refused = static_cast<size_t>(
      std::count_if(b.jobs.begin(), b.jobs.end(), [](const Job& j) { return j.state == Job::State::kFailed; }));
  const size_t failed = tally.failed + refused;
  if (tally.interrupted || failed != 0 || (!o.single && o.verbosity != Verbosity::kQuiet)) {
    shown.Error(SummaryLine(o, b, tally, failed, shown));
  }
  if (tally.interrupted) return kExitInterrupted;
  std::string error;
  if (o.save_store && !b.host.store().SaveFile(o.store, &error)) {
    shown.Error(error);
    return kExitFailure;
  }
  if (failed != 0) return o.single ? kExitFailure : kExitSomeFailed;
  return kExitOk;
}

}  // namespace

// -n: each job with what would happen, on standard output; the exit
// status the run would have had for what is known before filtering.
int DryRun(const FilterOptions& o, const Batch& b) {
  size_t failed = 0;
  for (size_t i = 0; i < b.jobs.size(); ++i) {
    const Job& job = b.jobs[i];
    failed += job.state == Job::State::kFailed;
    const bool changes = job.state == Job::State::kToDo && AnyStageEnabled(b.in_force[i]);
    WriteText(stdout, DryRunLine(job, changes) + "\n");
    for (const std::string& note : job.notes) WriteText(stdout, "  " + note + "\n");
  }
  if (failed != 0) return o.single ? kExitFailure : kExitSomeFailed;
  return kExitOk;
}

int RunFilter(const FilterOptions& o, const std::vector<std::string>& arguments) {
  KeepFreedMemoryForReuse();
  Batch batch;
  const int status = PrepareBatch(o, &batch);
  if (status != kExitOk) return status;
  if (o.dry_run) return DryRun(o, batch);
  Progress shown(o.verbosity, StderrIsTerminal(), batch.todo.size());
  Announce(batch, shown);
  const Tally tally = FilterPictures(o, arguments, batch, shown);
  return Summarize(o, batch, tally, shown);
}
