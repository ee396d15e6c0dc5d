// The filter subcommand in three steps: PrepareBatch (the store, --set,
// the plan, the plug-in loaded), FilterPictures (reading, filtering and
// writing overlapped) and Summarize (the closing line, the exit status).
#include "cli/batch.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <random>
#include <set>

#include "cli/process_memory.h"
#include "cli/progress.h"
#include "cli/settings.h"
#include "cli/job_output.h"
#include "cli/job_plan.h"
#include "cli/console.h"
#include "host/plugin_host.h"
#include "photo/encoding_check.h"
#include "base/file_name.h"
#include "base/safe_file.h"
#include "filters/stages.h"
#include "settings/local_settings.h"

namespace fs = std::filesystem;

namespace {

// A picture read and put into the bitmap the plug-in will rewrite, both on
// a worker thread: the copies are as long as the filtering of small
// pictures.
struct Loaded {
  bool ok = false;
  Photo photo;  // its image rows are in `bitmap` and left empty here
  std::shared_ptr<HostBitmap> bitmap;
  std::vector<uint8_t> original;  // the rows as read, to tell whether the filters changed any
  std::string error;
};

struct Written {
  bool ok = false;
  bool unchanged = false;  // no pixel changed: the input left as it was, or copied byte for byte
  std::string error;
  std::vector<std::string> notes;  // the metadata the output could not hold, what the encoder did not do
};

Loaded Load(const Job& job, HostBitmap::Kind kind) {
  Loaded loaded;
  loaded.ok = ReadPhoto(Shown(job.read_from), &loaded.photo, &loaded.error);
  if (!loaded.ok && job.from_stdin) loaded.error = "-: standard input: " + loaded.error;
  if (!loaded.ok) return loaded;
  Image& image = loaded.photo.image;
  loaded.bitmap = HostBitmap::Create(image, kind);
  if (!loaded.bitmap) {
    loaded.ok = false;
    loaded.error = Shown(job.input) + ": no bitmap could be made for it (" + std::to_string(image.width) + "x" +
                   std::to_string(image.height) + ")";
  }
  loaded.original = std::move(image.bgr);
  image.bgr = std::vector<uint8_t>();
  return loaded;
}

EncodeOptions EncodeOptionsFor(const Job& job, const FilterOptions& o) {
  EncodeOptions encode;
  encode.format = job.format;
  if (o.has_quality) encode.quality = o.quality;
  encode.jpeg_like_source = !o.has_quality;  // a JPEG's own quality unless one is given
  return encode;
}

// The whole file, for a byte-for-byte copy.
bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>* bytes, std::string* error) {
  std::error_code failure;
  const uintmax_t size = fs::file_size(path, failure);
  std::ifstream in(path, std::ios::binary);
  if (!failure && in) {
    bytes->resize(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(size));
    if (in && in.peek() == std::ifstream::traits_type::eof()) return true;
  }
  *error = Shown(path) + ": cannot be read again to be copied unchanged";
  return false;
}

// The output of a picture the filters left as it was: nothing for
// --in-place, the input's own bytes where they are of the output's format
// (a new encoding would only lose), else an encoding of the same pixels.
// False with *copy empty when an encoding is needed.
bool CopyUnchanged(const Job& job, const FilterOptions& o, std::vector<uint8_t>* copy, std::string* error) {
  if (o.in_place) return true;
  if (!ReadWholeFile(job.read_from, copy, error)) return true;
  PhotoFormat format;
  if (PhotoFormatOfBytes(copy->data(), copy->size(), &format) && format == job.format) return true;
  copy->clear();
  return false;
}

// The filtered rows taken back from the bitmap, encoded and written.
Written Store(std::shared_ptr<Photo> photo, std::shared_ptr<HostBitmap> bitmap, std::vector<uint8_t> original,
              const Job& job, const FilterOptions& o) {
  Written written;
  photo->image = bitmap->Read();
  bitmap.reset();
  if (photo->image.bgr == original) {
    std::vector<uint8_t> copy;
    if (CopyUnchanged(job, o, &copy, &written.error)) {
      written.unchanged = true;
      written.ok = written.error.empty() && (o.in_place || WriteJobOutput(job, o, copy, &written.error));
      return written;
    }
  }
  original = std::vector<uint8_t>();
  const EncodeOptions encode = EncodeOptionsFor(job, o);
  std::vector<uint8_t> bytes;
  // The codecs may decode one picture while they encode another
  // (photo/photo_io.h), so the two workers need no lock.
  if (!EncodePhoto(*photo, encode, &bytes, &written.error)) {
    written.error = Shown(job.output) + ": cannot be encoded: " + written.error;
    return written;
  }
  // The bytes read back before they replace anything: the platform's
  // encoder may have passed over what was asked of it.
  const EncodingCheck check = CheckEncoding(*photo, encode, bytes);
  if (o.in_place && !check.lowered.empty()) {
    written.error = Shown(job.input) + ": the encoder wrote " + check.lowered +
                    "; --in-place leaves it as it is (write it elsewhere with -o DIR or --suffix TEXT)";
    return written;
  }
  written.ok = WriteJobOutput(job, o, bytes, &written.error);
  if (!written.ok) return written;
  if (!check.shortfall.empty()) {
    written.notes.push_back(Shown(job.input) + " -> " + Shown(job.output) +
                            ": the encoder did not do all that was asked: " + check.shortfall);
  }
  const std::string left_out = MetadataLeftOut(*photo, encode);
  if (!left_out.empty()) {
    written.notes.push_back(Shown(job.input) + " -> " + Shown(job.output) + ": left out, no place for it in a " +
                            PhotoFormatName(job.format) + " file: " + left_out);
  }
  return written;
}

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

// --store (or --preset): read, unless --save-store is to create it.
bool LoadStore(const FilterOptions& o, SettingsStore& store, std::string* error) {
  if (o.store.empty()) return true;
  std::error_code failure;
  const bool exists = fs::exists(PathFromUtf8(o.store), failure);
  if (!exists && o.save_store) return true;
  return store.LoadFile(o.store, error);
}

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

// Pictures being encoded and written on worker threads, oldest first. Up
// to two stay in flight, so one slow encode does not hold up the next
// filtering; their results are shown and counted on this thread.
class Writers {
 public:
  Writers(const FilterOptions& o, const std::vector<Job>& jobs, Progress& shown, Tally& tally)
      : o_(o), jobs_(jobs), shown_(shown), tally_(tally) {}

  // The filtered picture of jobs[job], at `position` in the run.
  void Start(Loaded& loaded, size_t position, size_t job) {
    Collect(kInFlight - 1);
    saving_.push_back({std::async(std::launch::async, Store, std::make_shared<Photo>(std::move(loaded.photo)),
                                  std::move(loaded.bitmap), std::move(loaded.original), jobs_[job], o_),
                       position, job});
  }

  // The results of the writes done by now, waiting for the oldest until
  // no more than `keep` are left.
  void Collect(size_t keep) {
    while (saving_.size() > keep || (!saving_.empty() && saving_.front().result.wait_for(std::chrono::seconds(0)) ==
                                                             std::future_status::ready)) {
      const Written result = saving_.front().result.get();
      const Job& job = jobs_[saving_.front().job];
      if (result.ok && result.unchanged) {
        ++tally_.unchanged;
        shown_.Done(saving_.front().position, o_.in_place ? Shown(job.input) + ": no pixel changed; left as it was"
                                                          : Shown(job.input) + " -> " + Shown(job.output) +
                                                                " (no pixel changed; copied as it was)");
      } else if (result.ok) {
        ++tally_.written;
        for (const std::string& note : result.notes) shown_.Note(note);
        shown_.Done(saving_.front().position, Shown(job.input) + " -> " + Shown(job.output));
      } else {
        ++tally_.failed;
        shown_.Failed(saving_.front().position, result.error);
      }
      saving_.pop_front();
    }
  }

 private:
  static constexpr size_t kInFlight = 2;
  struct Saving {
    std::future<Written> result;
    size_t position;
    size_t job;
  };
  const FilterOptions& o_;
  const std::vector<Job>& jobs_;
  Progress& shown_;
  Tally& tally_;
  std::deque<Saving> saving_;
};

// What --in-place would lose of `photo` by writing it back, or "": the
// filters work on 8-bit RGB rows, and the output is encoded from them.
std::string KeptInPlace(const Photo& photo, const EncodeOptions& encode) {
  if (photo.source_bits > 8) {
    return "a " + std::to_string(photo.source_bits) + "-bit picture would be replaced by an 8-bit one";
  }
  if (photo.cmyk) return "a CMYK picture would be replaced by an RGB one";
  if (photo.palette) return "a picture of palette colours would be replaced by one of full colours";
  if (!photo.unread.empty()) return "its " + photo.unread + " cannot be read by this build and would be lost";
  const std::string left_out = MetadataLeftOut(photo, encode);
  if (!left_out.empty()) {
    return std::string("its ") + left_out + " would be lost (no place for it in a " +
           PhotoFormatName(encode.format) + " file written here)";
  }
  return "";
}

// One picture through message 14, with its notes and its progress.
void FilterOne(const FilterOptions& o, Batch& b, size_t k, Loaded& loaded, Progress& shown) {
  const size_t i = b.todo[k];
  const Job& job = b.jobs[i];
  const Photo& photo = loaded.photo;
  for (const std::string& note : photo.notes) shown.Note(Shown(job.input) + ": " + note);
  if (photo.source_bits > 8) {
    shown.Note(Shown(job.input) + ": " + std::to_string(photo.source_bits) +
               " bits per channel reduced to 8 (the filters work on 8 bits)");
  }
  if (o.verbosity == Verbosity::kVerbose) {
    const std::string source = o.ignore_local         ? "global settings (--ignore-local)"
                               : b.sources[i].empty() ? "global settings"
                                                      : b.sources[i];
    shown.Note(Shown(job.input) + ": " + DescribeStages(b.in_force[i]) + " [from " + source + "]" +
               (photo.orientation != 1
                    ? ", turned upright from EXIF orientation " + std::to_string(photo.orientation)
                    : ""));
  }
  shown.StartPicture(k + 1, Shown(job.input), photo.image.width, photo.image.height, BlurCount(b.in_force[i]));
  b.host.FilterImage(b.paths[i].c_str(), static_cast<uint32_t>(k + 1), loaded.bitmap.get(), o.region);
  shown.EndPicture();
}

// The pictures to do, in order: the next one read and the last ones
// written on worker threads while the plug-in filters the current one on
// this thread. Ctrl+C stops before the next picture; what is filtered by
// then is written whole.
Tally FilterPictures(const FilterOptions& o, Batch& b, Progress& shown) {
  Tally tally;
  InstallInterruptHandler();
  b.host.SetStopAnswer([&shown](int n) {
    shown.OnStopQuery(n);
    return InterruptRequested() ? 1 : 0;
  });
  Writers writers(o, b.jobs, shown, tally);
  const std::vector<size_t>& todo = b.todo;
  std::future<Loaded> loading;
  if (!todo.empty()) loading = std::async(std::launch::async, Load, b.jobs[todo[0]], o.kind);
  for (size_t k = 0; k < todo.size(); ++k) {
    Loaded loaded = loading.get();
    if (k + 1 < todo.size() && !InterruptRequested()) {
      loading = std::async(std::launch::async, Load, b.jobs[todo[k + 1]], o.kind);
    }
    if (InterruptRequested()) {
      tally.interrupted = true;
      break;
    }
    if (!loaded.ok) {
      ++tally.failed;
      shown.Failed(k + 1, loaded.error);
      continue;
    }
    const std::string lost = o.in_place ? KeptInPlace(loaded.photo, EncodeOptionsFor(b.jobs[todo[k]], o)) : "";
    if (!lost.empty()) {
      ++tally.failed;
      shown.Failed(k + 1, Shown(b.jobs[todo[k]].input) + ": " + lost +
                              "; --in-place leaves it as it is (write it elsewhere with -o DIR or --suffix TEXT)");
      continue;
    }
    FilterOne(o, b, k, loaded, shown);
    if (InterruptRequested()) {
      tally.interrupted = true;  // the picture in hand is dropped
      break;
    }
    writers.Start(loaded, k + 1, todo[k]);
  }
  writers.Collect(0);  // a picture filtered before Ctrl+C is still written whole
  if (loading.valid()) loading.wait();
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

int RunFilter(const FilterOptions& o) {
  KeepFreedMemoryForReuse();
  Batch batch;
  const int status = PrepareBatch(o, &batch);
  if (status != kExitOk) return status;
  if (o.dry_run) return DryRun(o, batch);
  Progress shown(o.verbosity, StderrIsTerminal(), batch.todo.size());
  Announce(batch, shown);
  const Tally tally = FilterPictures(o, batch, shown);
  return Summarize(o, batch, tally, shown);
}
