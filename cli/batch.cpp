// File: cli/batch.cpp
#include "cli/batch.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <future>
#include <memory>
#include <random>

#include "cli/progress.h"
#include "cli/walk.h"
#include "cli/console.h"
#include "host/plugin_host.h"
#include "base/safe_file.h"
#include "plugin/local_settings.h"

namespace fs = std::filesystem;

namespace {

// A picture read and put into the bitmap the plug-in will rewrite, both on
// a worker thread: the copies are as long as the filtering of small
// pictures.
struct Loaded {
  bool ok = false;
  Photo photo;  // its image rows are in `bitmap` and left empty here
  std::shared_ptr<HostBitmap> bitmap;
  std::string error;
};

struct Written {
  bool ok = false;
  std::string error;
};

Loaded Load(const std::string& path, HostBitmap::Kind kind) {
  Loaded loaded;
  loaded.ok = ReadPhoto(path, &loaded.photo, &loaded.error);
  if (!loaded.ok) return loaded;
  Image& image = loaded.photo.image;
  loaded.bitmap = HostBitmap::Create(image, kind);
  if (!loaded.bitmap) {
    loaded.ok = false;
    loaded.error = path + ": no bitmap could be made for it (" + std::to_string(image.width) + "x" +
                   std::to_string(image.height) + ")";
  }
  image.bgr = std::vector<uint8_t>();
  return loaded;
}

// The filtered rows taken back from the bitmap, encoded and written.
Written Store(std::shared_ptr<Photo> photo, std::shared_ptr<HostBitmap> bitmap, const Job& job,
              const FilterOptions& o) {
  Written written;
  photo->image = bitmap->Read();
  bitmap.reset();
  EncodeOptions encode;
  encode.format = job.format;
  if (o.has_quality) encode.quality = o.quality;
  encode.jpeg_like_source = !o.has_quality;  // a JPEG's own quality unless one is given
  std::vector<uint8_t> bytes;
  // The codecs may decode one picture while they encode another
  // (photo/photo_io.h), so the two workers need no lock.
  if (!EncodePhoto(*photo, encode, &bytes, &written.error)) {
    written.error = job.output + ": cannot be encoded: " + written.error;
    return written;
  }
  const fs::path folder = fs::path(job.output).parent_path();
  std::error_code failure;
  if (!folder.empty() && !fs::is_directory(folder, failure)) {
    fs::create_directories(folder, failure);
    if (failure) {
      written.error = folder.string() + ": cannot be made: " + failure.message();
      return written;
    }
  }
  written.ok = WriteFileSafely(job.output, bytes.data(), bytes.size(), &written.error);
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

// Where the settings of a picture come from, for -v.
std::string SettingsSource(const std::string& path, bool ignore_local) {
  std::error_code failure;
  if (ignore_local) return "global settings (--ignore-local)";
  const std::string own = PictureSettingsFile(path);
  if (fs::exists(own, failure)) return own;
  const std::string folder = FolderSettingsFile(path);
  if (fs::exists(folder, failure)) return folder;
  return "global settings";
}

}  // namespace

int RunFilter(const FilterOptions& o) {
  const auto start = std::chrono::steady_clock::now();
  PluginHost host;
  Progress progress(o.verbosity, StderrIsTerminal(), 0);
  std::string error;
  if (!o.store.empty()) {
    std::error_code failure;
    const bool exists = fs::exists(o.store, failure);
    if (exists || !o.save_store) {
      if (!host.store().LoadFile(o.store, &error)) {
        progress.Error(error);
        return kExitFailure;
      }
    }
  }
  for (const SettingAssignment& set : o.sets) ApplySetting(host.store(), set);
  const FilterSettings global = SettingsFromStore(host.store());

  std::vector<Job> jobs;
  if (!PlanJobs(o, &jobs, &error)) {
    progress.Error(error);
    return kExitUsage;
  }
  EmptyFolder empty;
  if (o.ignore_local && !empty.Make(&error)) {
    progress.Error(error);
    return kExitFailure;
  }
  if (!host.Load(o.plugin, &error)) {
    progress.Error(error);
    return kExitFailure;
  }
  host.Send(7);                                  // the global settings from the store
  host.Send(40, reinterpret_cast<void*>(1), 1);  // this tool exists to filter

  // What message 14 is told, and the settings that will apply there.
  std::vector<std::string> paths(jobs.size());
  std::vector<FilterSettings> in_force(jobs.size(), global);
  bool any_stage = false;
  std::vector<size_t> todo;
  for (size_t i = 0; i < jobs.size(); ++i) {
    std::error_code failure;
    paths[i] = o.ignore_local ? (empty.path() / fs::path(jobs[i].input).filename()).string()
                              : fs::absolute(jobs[i].input, failure).string();
    in_force[i] = ReadLocalSettings(paths[i].c_str(), global);
    if (jobs[i].state == Job::State::kToDo) {
      any_stage = any_stage || in_force[i].AnyStageEnabled();
      todo.push_back(i);
    }
  }
  Progress shown(o.verbosity, StderrIsTerminal(), todo.size());
  for (const Job& job : jobs) {
    if (job.state == Job::State::kFailed) shown.Error(job.reason);
    if (job.state == Job::State::kLeftAlone) shown.Note(job.reason);
  }
  if (!todo.empty() && !any_stage) {
    shown.Error("no stage is enabled (no --set, --store or local settings file turns one on): "
                "the pictures are written unchanged");
  }

  size_t written = 0, failed = 0;
  bool interrupted = false;
  InstallInterruptHandler();
  host.SetStopAnswer([&](int n) {
    shown.OnStopQuery(n);
    return InterruptRequested() ? 1 : 0;
  });

  std::future<Loaded> loading;
  if (!todo.empty()) loading = std::async(std::launch::async, Load, jobs[todo[0]].input, o.kind);
  // Pictures being encoded and written, oldest first. Up to two stay in
  // flight, so one slow encode does not hold up the next filtering.
  struct Saving {
    std::future<Written> result;
    size_t position;
    size_t job;
  };
  std::deque<Saving> saving;
  constexpr size_t kInFlight = 2;
  const auto collect = [&](size_t keep) {
    while (saving.size() > keep ||
           (!saving.empty() &&
            saving.front().result.wait_for(std::chrono::seconds(0)) == std::future_status::ready)) {
      const Written result = saving.front().result.get();
      const Job& job = jobs[saving.front().job];
      if (result.ok) {
        ++written;
        shown.Done(saving.front().position, job.input + " -> " + job.output);
      } else {
        ++failed;
        shown.Error(result.error);
      }
      saving.pop_front();
    }
  };

  for (size_t k = 0; k < todo.size() && !interrupted; ++k) {
    const size_t i = todo[k];
    const Job& job = jobs[i];
    Loaded loaded = loading.get();
    if (k + 1 < todo.size() && !InterruptRequested()) {
      loading = std::async(std::launch::async, Load, jobs[todo[k + 1]].input, o.kind);
    }
    if (InterruptRequested()) {
      interrupted = true;
      break;
    }
    if (!loaded.ok) {
      ++failed;
      shown.Error(loaded.error);
      continue;
    }
    Photo& photo = loaded.photo;
    if (photo.source_bits > 8) {
      shown.Note(job.input + ": " + std::to_string(photo.source_bits) +
                 " bits per channel reduced to 8 (the filters work on 8 bits)");
    }
    for (const std::string& note : photo.notes) shown.Note(job.input + ": " + note);
    if (o.verbosity == Verbosity::kVerbose) {
      shown.Note(job.input + ": " + DescribeStages(in_force[i]) + " [from " + SettingsSource(paths[i], o.ignore_local) +
                 "]" + (photo.orientation != 1 ? ", turned upright from EXIF orientation " +
                                                    std::to_string(photo.orientation)
                                              : ""));
    }
    shown.StartPicture(k + 1, job.input, photo.image.width, photo.image.height, BlurCount(in_force[i]));
    host.FilterImage(paths[i].c_str(), static_cast<uint32_t>(k + 1), loaded.bitmap.get(), o.region);
    shown.EndPicture();
    if (InterruptRequested()) {
      interrupted = true;  // the picture in hand is dropped
      break;
    }
    collect(kInFlight - 1);
    saving.push_back({std::async(std::launch::async, Store, std::make_shared<Photo>(std::move(photo)),
                                 std::move(loaded.bitmap), job, o),
                      k + 1, i});
  }
  collect(0);  // a picture filtered before Ctrl+C is still written whole
  if (loading.valid()) loading.wait();
  shown.Finish();

  const size_t left_alone = static_cast<size_t>(
      std::count_if(jobs.begin(), jobs.end(), [](const Job& j) { return j.state == Job::State::kLeftAlone; }));
  const size_t refused = static_cast<size_t>(
      std::count_if(jobs.begin(), jobs.end(), [](const Job& j) { return j.state == Job::State::kFailed; }));
  failed += refused;
  const size_t not_done = todo.size() - std::min(todo.size(), written + failed - refused);
  if (interrupted || failed != 0 || (!o.single && o.verbosity != Verbosity::kQuiet)) {
    std::string summary = std::to_string(written) + " written";
    if (left_alone != 0) summary += ", " + std::to_string(left_alone) + " left alone (already there)";
    if (failed != 0) summary += ", " + std::to_string(failed) + " failed";
    if (interrupted) summary += ", " + std::to_string(not_done) + " not done: interrupted";
    if (written != 0) {
      // The filtering alone against the whole run: how well reading and
      // writing hide behind it.
      const double all = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      char speed[96];
      std::snprintf(speed, sizeof speed, " (filtering %.2f s at %.1f Mpx/s, %.2f s in all)", shown.filtering_seconds(),
                    shown.megapixels_per_second(), all);
      summary += speed;
    }
    shown.Error(summary);
  }
  if (interrupted) return kExitInterrupted;
  if (o.save_store && !host.store().SaveFile(o.store, &error)) {
    shown.Error(error);
    return kExitFailure;
  }
  if (failed != 0) return o.single ? kExitFailure : kExitSomeFailed;
  return kExitOk;
}
