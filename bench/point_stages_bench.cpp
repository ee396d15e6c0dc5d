// Speed of the point stages (gamma, auto-levels, grayscale, sepia) on one
// core, in megapixels per second, next to a plain copy of the same buffer
// (what memory alone allows), the plain reference stages and ImageMagick
// doing the nearest operation. Ends with each figure as a ratio to the copy
// of the same picture, all from this one run.
//
//   point_stages_bench [picture] [--benchmark_filter=...]
//
// The picture (JPEG or PNG; also CHROMALINE_BENCH_PICTURE) is the
// large one; without it a generated 5120 x 2880 picture stands in. The
// bundled samples are measured too (without ImageMagick).
// CHROMALINE_BENCH_NO_IMAGEMAGICK=1 skips the ImageMagick runs. The stages
// run with each form of their row loops this processor has: the widest
// under the stage's name, the others as stage@avx2 and stage@plain.
// CHROMALINE_ISA (filters/engine/cpu_paths.h) caps the widest path;
// CHROMALINE_BENCH_PLAIN=1 is CHROMALINE_ISA=plain.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_picture.h"
#include "filters/engine/cpu_paths.h"
#include "filters/filter_pipeline.h"
#include "filters/point/point_rows.h"
#include "filters/stages.h"
#include "tests/support/reference_point_stages.h"

namespace {

namespace fs = std::filesystem;

// The settings every figure uses: GammaVal 0.8, auto-levels over the whole
// picture, the "Standard" weights.
constexpr double kGamma = 1.8;
const ChannelWeight kStandard = {299, 587, 114};

struct Picture {
  std::string name;
  PixelBuffer pristine;
  PixelBuffer work;
  std::string magick_cache;  // the picture in ImageMagick's own pixel cache, or empty
};

std::vector<std::unique_ptr<Picture>> g_pictures;
fs::path g_temp;

// Smooth gradients with grain: a histogram spread like a photo's, not the
// flat one of random bytes.
PixelBuffer GeneratedPicture(int width, int height) {
  PixelBuffer buffer = CreatePixelBuffer(width, height, 24);
  std::mt19937 random(1);
  for (int y = 0; y < height; ++y) {
    unsigned char* row = buffer.row(y);
    for (int x = 0; x < width; ++x) {
      const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
      const int grain = static_cast<int>(random() % 17) - 8;
      const double base[3] = {60 + 120 * v, 90 + 100 * u * v, 140 + 80 * std::sin(6 * u + 3 * v)};
      for (int c = 0; c < 3; ++c)
        row[3 * x + c] = static_cast<unsigned char>(std::clamp(base[c] + grain, 0.0, 255.0));
    }
  }
  return buffer;
}

bool SavePpm(const PixelBuffer& buffer, const fs::path& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", buffer.width(), buffer.height());
  std::vector<unsigned char> rgb(static_cast<size_t>(buffer.width()) * 3);
  for (int y = 0; y < buffer.height(); ++y) {
    for (int x = 0; x < buffer.width(); ++x) {
      rgb[3 * x] = buffer.row(y)[3 * x + 2];
      rgb[3 * x + 1] = buffer.row(y)[3 * x + 1];
      rgb[3 * x + 2] = buffer.row(y)[3 * x];
    }
    std::fwrite(rgb.data(), 1, rgb.size(), file);
  }
  return std::fclose(file) == 0;
}

bool MagickWanted() {
  const char* skip = std::getenv("CHROMALINE_BENCH_NO_IMAGEMAGICK");
  return (skip == nullptr || std::strcmp(skip, "1") != 0) && std::system("command -v convert >/dev/null 2>&1") == 0;
}

void AddPicture(const std::string& name, PixelBuffer buffer, const std::string& source_path, bool magick) {
  auto picture = std::make_unique<Picture>();
  picture->name = name;
  picture->work = CopyBuffer(buffer);
  picture->pristine = std::move(buffer);
  if (magick) {
    std::string source = source_path;
    if (source.empty()) {
      source = (g_temp / (name + ".ppm")).string();
      if (!SavePpm(picture->pristine, source)) source.clear();
    }
    const std::string cache = (g_temp / (name + ".mpc")).string();
    const std::string command = "convert '" + source + "' '" + cache + "'";
    if (!source.empty() && std::system(command.c_str()) == 0) picture->magick_cache = cache;
  }
  g_pictures.push_back(std::move(picture));
}

// Writing this much pushes the picture out of every cache level, so that
// each timed pass over a large picture starts from main memory, as a fresh
// picture does. Pictures that fit the caches are timed as they sit there
// (emptying the caches would also cost far more than their passes).
std::vector<unsigned char> g_evictor(64u << 20);
constexpr size_t kCachedPictureBytes = 8u << 20;

void Evict(const Picture& picture) {
  if (picture.pristine.pixel_bytes() < kCachedPictureBytes) return;
  std::memset(g_evictor.data(), static_cast<int>(g_evictor[12345] + 1), g_evictor.size());
  benchmark::DoNotOptimize(g_evictor.data());
  benchmark::ClobberMemory();
}

void SetRate(benchmark::State& state, const PixelBuffer& buffer) {
  state.counters["Mpx/s"] = benchmark::Counter(buffer.width() * static_cast<double>(buffer.height()) / 1e6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

// The floor: the same bytes read once and written once.
void BenchCopy(benchmark::State& state, Picture* picture) {
  for (auto _ : state) {
    state.PauseTiming();
    Evict(*picture);
    state.ResumeTiming();
    std::memcpy(picture->work.pixels(), picture->pristine.pixels(), picture->pristine.pixel_bytes());
    benchmark::ClobberMemory();
  }
  SetRate(state, picture->pristine);
}

// A stage in place on a fresh copy of the picture every iteration (the
// copy and the eviction are not timed).
template <typename Stage>
void BenchInPlace(benchmark::State& state, Picture* picture, Stage stage) {
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(picture->work.pixels(), picture->pristine.pixels(), picture->pristine.pixel_bytes());
    Evict(*picture);
    state.ResumeTiming();
    stage(picture->work);
    benchmark::ClobberMemory();
  }
  SetRate(state, picture->pristine);
}

ImageRegion Whole(const PixelBuffer& buffer) { return ImageRegion{0, 0, buffer.width(), buffer.height()}; }

double SecondsOf(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const auto end = std::chrono::steady_clock::now();
  return status == 0 ? std::chrono::duration<double>(end - start).count() : -1.0;
}

// ImageMagick on one thread: the time of `convert cache OPERATION null:`
// less that of `convert cache null:` (start-up and opening the cache).
void BenchMagick(benchmark::State& state, Picture* picture, std::string operation) {
  const std::string prefix = "MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1 convert '" + picture->magick_cache + "' ";
  for (auto _ : state) {
    const double bare = SecondsOf(prefix + "null:");
    const double with = SecondsOf(prefix + operation + " null:");
    if (bare < 0 || with < 0) {
      state.SkipWithError("convert failed");
      break;
    }
    state.SetIterationTime(std::max(with - bare, 1e-9));
  }
  SetRate(state, picture->pristine);
}

// The stages run with the row loops of one path: the limit is set for the
// whole benchmark (google benchmark runs one at a time, on this thread).
template <typename Stage>
void BenchOnPath(benchmark::State& state, Picture* picture, CpuPath path, Stage stage) {
  const CpuPath before = CpuPathLimit();
  SetCpuPathLimit(path);
  BenchInPlace(state, picture, stage);
  SetCpuPathLimit(before);
}

// The same with CHROMALINE_THREADS set to `threads` for the benchmark's
// duration (the stages read it at every call).
template <typename Stage>
void BenchWithThreads(benchmark::State& state, Picture* picture, CpuPath path, int threads, Stage stage) {
  const char* previous = std::getenv("CHROMALINE_THREADS");
  const std::string saved = previous != nullptr ? previous : "";
  setenv("CHROMALINE_THREADS", std::to_string(threads).c_str(), 1);
  BenchOnPath(state, picture, path, stage);
  if (previous != nullptr) {
    setenv("CHROMALINE_THREADS", saved.c_str(), 1);
  } else {
    unsetenv("CHROMALINE_THREADS");
  }
}

// One path per form of the point-stage row loops, up to the limit in force
// at the start (CHROMALINE_ISA, CHROMALINE_BENCH_PLAIN).
std::vector<CpuPath> g_paths;

void FindPaths() {
  const CpuPath widest = CpuPathLimit();
  CpuPath last = CpuPath::kAvx512;
  for (CpuPath path : {CpuPath::kPlain, CpuPath::kAvx2, CpuPath::kAvx512}) {
    if (path > widest) break;
    SetCpuPathLimit(path);
    if (g_paths.empty() || ActivePointRowsPath() != last) g_paths.push_back(path);
    last = ActivePointRowsPath();
  }
  SetCpuPathLimit(widest);
}

using StageFunction = void (*)(PixelBuffer&);

void RunAllFour(PixelBuffer& b) {
  ApplyGamma(b, kGamma);
  ApplyAutoLevels(b, Whole(b));
  ApplyGrayscale(b, kStandard.red, kStandard.green, kStandard.blue);
  ApplySepia(b, kStandard.red, kStandard.green, kStandard.blue);
}

void RunPipeline(PixelBuffer& b) {
  FilterSettings s;
  s.GammaAdj = 1;
  s.GammaVal = kGamma - 1.0;
  s.AutoLevels = 1;
  s.ToneFilter = 1;
  s.FilterParam = 16;
  RunStages(b, s, ImageRegion{0, 0, 0, 0}, StopQuery());
}

const std::pair<const char*, StageFunction> kStages[] = {
    {"gamma", [](PixelBuffer& b) { ApplyGamma(b, kGamma); }},
    {"auto_levels", [](PixelBuffer& b) { ApplyAutoLevels(b, Whole(b)); }},
    {"grayscale", [](PixelBuffer& b) { ApplyGrayscale(b, kStandard.red, kStandard.green, kStandard.blue); }},
    {"sepia", [](PixelBuffer& b) { ApplySepia(b, kStandard.red, kStandard.green, kStandard.blue); }},
    {"all_four", RunAllFour},
    {"pipeline_gamma_levels_sepia", RunPipeline},
};

void RegisterPicture(Picture* p) {
  using benchmark::RegisterBenchmark;
  const std::string n = p->name + "/";
  auto ms = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond); };
  ms(RegisterBenchmark((n + "copy").c_str(), BenchCopy, p));
  // The widest path first, under the stage's own name; then each narrower
  // path as stage@path.
  for (auto path = g_paths.rbegin(); path != g_paths.rend(); ++path) {
    SetCpuPathLimit(*path);
    const std::string suffix = path == g_paths.rbegin() ? "" : std::string("@") + CpuPathName(ActivePointRowsPath());
    for (const auto& [stage, function] : kStages) {
      ms(RegisterBenchmark((n + stage + suffix).c_str(), BenchOnPath<StageFunction>, p, *path, function));
    }
  }
  if (!g_paths.empty()) SetCpuPathLimit(g_paths.back());
  // The widest path and AVX2 again on two threads (wall time counts).
  for (CpuPath path : {CpuPath::kAvx512, CpuPath::kAvx2}) {
    if (g_paths.empty() || path > g_paths.back()) continue;
    SetCpuPathLimit(path);
    const std::string suffix =
        (path == g_paths.back() ? std::string() : std::string("@") + CpuPathName(ActivePointRowsPath())) +
        "#2threads";
    for (const auto& [stage, function] : kStages) {
      ms(RegisterBenchmark((n + stage + suffix).c_str(), BenchWithThreads<StageFunction>, p, path, 2, function)
             ->UseRealTime());
    }
  }
  if (!g_paths.empty()) SetCpuPathLimit(g_paths.back());
  ms(RegisterBenchmark((n + "reference/gamma").c_str(), BenchInPlace<void (*)(PixelBuffer&)>, p,
                       [](PixelBuffer& b) { ReferenceGamma(b, kGamma); }));
  ms(RegisterBenchmark((n + "reference/auto_levels").c_str(), BenchInPlace<void (*)(PixelBuffer&)>, p,
                       [](PixelBuffer& b) { ReferenceAutoLevels(b, Whole(b)); }));
  ms(RegisterBenchmark(
      (n + "reference/grayscale").c_str(), BenchInPlace<void (*)(PixelBuffer&)>, p,
      [](PixelBuffer& b) { ReferenceGrayscale(b, kStandard.red, kStandard.green, kStandard.blue); }));
  ms(RegisterBenchmark((n + "reference/sepia").c_str(), BenchInPlace<void (*)(PixelBuffer&)>, p,
                       [](PixelBuffer& b) { ReferenceSepia(b, kStandard.red, kStandard.green, kStandard.blue); }));
  if (p->magick_cache.empty()) return;
  const std::pair<const char*, const char*> magick[] = {{"gamma", "-gamma 1.8"},
                                                        {"auto_levels", "-contrast-stretch 0.01%"},
                                                        {"grayscale", "-grayscale Rec601Luma"},
                                                        {"sepia", "-sepia-tone 80%"}};
  for (const auto& [stage, operation] : magick) {
    RegisterBenchmark((n + "imagemagick/" + stage).c_str(), BenchMagick, p, std::string(operation))
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
  }
}

// Prints as usual and keeps every time for the ratio table at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // With --benchmark_repetitions the fastest repetition counts: the
    // one least disturbed by whatever else runs on the machine.
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const std::string name = run.run_name.str();
      // The thread's processor time where it is measured (the machine may
      // be busy with other work); ImageMagick's runs have only wall time.
      const double time =
          name.find("/manual_time") != std::string::npos ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
      // (For the runs on two threads this is the calling thread's share.)
      auto found = times_.find(name);
      if (found == times_.end() || time < found->second) times_[name] = time;
      const double wall = run.GetAdjustedRealTime();
      auto found_wall = walls_.find(name);
      if (found_wall == walls_.end() || wall < found_wall->second) walls_[name] = wall;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::printf(
        "\nTimes as multiples of the copy of the same picture (this run; fastest repetition): processor time of "
        "the calling thread (wall time for ImageMagick), then wall time (with CHROMALINE_THREADS the work of the "
        "other threads shows only there):\n");
    for (const auto& picture : g_pictures) {
      const std::string prefix = picture->name + "/";
      auto copy = times_.find(prefix + "copy");
      if (copy == times_.end()) continue;
      const double copy_wall = walls_.at(copy->first);
      std::printf("%s (%d x %d, copy %.2f ms, wall %.2f ms)\n", picture->name.c_str(), picture->pristine.width(),
                  picture->pristine.height(), copy->second, copy_wall);
      for (const auto& [name, time] : times_) {
        if (name.compare(0, prefix.size(), prefix) != 0 || name == copy->first) continue;
        std::string label = name.substr(prefix.size());
        for (const char* suffix : {"/iterations:", "/repeats:", "/manual_time", "/real_time"}) {
          const size_t at = label.find(suffix);
          if (at != std::string::npos) label.erase(at);
        }
        const double wall = walls_.at(name);
        std::printf("  %-36s %9.2f ms %7.2fx   wall %9.2f ms %7.2fx\n", label.c_str(), time, time / copy->second,
                    wall, wall / copy_wall);
      }
    }
  }

 private:
  std::map<std::string, double> times_;
  std::map<std::string, double> walls_;
};

std::string SamplesDir() {
  if (const char* dir = std::getenv("CHROMALINE_SAMPLES_DIR")) return dir;
  return (fs::path(__FILE__).parent_path().parent_path() / "samples").string();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (const char* plain = std::getenv("CHROMALINE_BENCH_PLAIN"); plain != nullptr && std::strcmp(plain, "1") == 0) {
    SetCpuPathLimit(CpuPath::kPlain);
  }
  std::string large = argc > 1 ? argv[1] : "";
  if (large.empty() && std::getenv("CHROMALINE_BENCH_PICTURE") != nullptr)
    large = std::getenv("CHROMALINE_BENCH_PICTURE");

  g_temp = fs::temp_directory_path() / ("chromaline-bench-" + std::to_string(std::random_device()()));
  fs::create_directories(g_temp);
  const bool magick = MagickWanted();

  PixelBuffer photo = large.empty() ? PixelBuffer() : LoadBenchPicture(large.c_str());
  if (!large.empty() && !photo)
    std::fprintf(stderr, "%s: cannot be read; using a generated picture\n", large.c_str());
  if (photo) {
    AddPicture("photo", std::move(photo), large, magick);
  } else {
    AddPicture("generated", GeneratedPicture(5120, 2880), "", magick);
  }
  for (const char* sample : {"astronaut.png", "chelsea.png", "coffee.png", "rocket.png"}) {
    const std::string path = SamplesDir() + "/" + sample;
    PixelBuffer buffer = LoadBenchPicture(path.c_str());
    // ImageMagick's start-up outweighs its work on pictures this small.
    if (buffer) AddPicture(fs::path(sample).stem().string(), std::move(buffer), path, false);
  }
  FindPaths();
  for (const auto& picture : g_pictures) RegisterPicture(picture.get());

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(g_temp, ec);
  return 0;
}
