// The stage table: what each stage reads of FilterSettings, and its words
// for the command line. A new stage is one row here, its entry point in
// stages.h and its own file.
#include "filters/stages.h"

#include <utility>

#include "filters/engine/worker_team.h"
#include "filters/filter_pipeline.h"
#include "filters/point/auto_levels.h"
#include "filters/point/gamma.h"
#include "filters/sharpen/unsharp_mask.h"

namespace {

using FS = FilterSettings;

// Local contrast works at one thirty-second of the picture height.
constexpr double kLocalContrastRadiusFactor = 0.03125;
constexpr int32_t kLocalContrastThreshold = 4;

// The working buffer's rows read again for UnsharpMaskOverSource.
struct SourceOfBuffer {
  const BufferSource* source;
  int width, height;

  static bool Read(int first, int count, unsigned char* out, void* context) {
    const auto& self = *static_cast<const SourceOfBuffer*>(context);
    return self.source->ReadRows(self.width, self.height, first, count, out);
  }
};

// One sharpening stage. When the working buffer can be read again from the
// host's bitmap, the engine needs that one picture alone: it blurs over it
// and sharpens from the source read again. Otherwise the engine writes a
// second buffer that replaces the working one, also when the host stopped it early. The replaced one is
// kept for the next sharpening stage to write into: every outcome of the
// engine (finished, stopped, refused) writes every pixel of it. Without
// memory for that buffer (big pictures in a 32-bit host) it sharpens the
// working buffer in place, and without memory for that either the stage is
// skipped.
void RunSharpening(PixelBuffer& buffer, double radius, int32_t amount, int32_t threshold, const StopQuery& stop,
                   StageMemory& memory) {
  BlurOptions options;
  options.memory = BlurMemory{StageMemory::AllocateBlock, StageMemory::ReleaseBlock, &memory};
  options.threads = ThreadCountFromEnvironment();
  BufferSource& source = memory.source();
  if (source.bitmap != 0) {
    SourceOfBuffer rows{&source, buffer.width(), buffer.height()};
    const bool done = UnsharpMaskOverSource(buffer, radius, amount, threshold, stop, options,
                                            SourceRows{SourceOfBuffer::Read, &rows});
    source.Forget();  // from here on the buffer is no longer the bitmap's
    if (done) return;
  }
  PixelBuffer destination = memory.TakePicture(buffer);
  if (!destination) {
    UnsharpMaskInPlaceWith(buffer, radius, amount, threshold, stop, options);
    return;
  }
  UnsharpMaskWith(buffer, destination, radius, amount, threshold, stop, options);
  memory.KeepPicture(std::exchange(buffer, std::move(destination)));
}

void RunGamma(PixelBuffer& buffer, const FS& s, const ImageRegion&, const StopQuery&, StageMemory& memory) {
  ApplyGamma(buffer, s.GammaVal + 1.0);
  uint8_t table[256];
  BuildGammaTable(s.GammaVal + 1.0, table);
  memory.source().AddGamma(table);
}

void RunAutoLevels(PixelBuffer& buffer, const FS&, const ImageRegion& region, const StopQuery&,
                   StageMemory& memory) {
  uint8_t table[256];
  ImageRegion applied;
  if (ApplyAutoLevelsTelling(buffer, region, table, applied)) memory.source().AddLevels(table, applied);
}

void RunLocalContrast(PixelBuffer& buffer, const FS& s, const ImageRegion&, const StopQuery& stop,
                      StageMemory& memory) {
  RunSharpening(buffer, buffer.height() * kLocalContrastRadiusFactor, s.DefogVal, kLocalContrastThreshold, stop,
                memory);
}

void RunUnsharpMask(PixelBuffer& buffer, const FS& s, const ImageRegion&, const StopQuery& stop,
                    StageMemory& memory) {
  RunSharpening(buffer, s.USMRadius, s.USMAmount, s.USMThreshold, stop, memory);
}

void RunTone(PixelBuffer& buffer, const FS& s, const ImageRegion&, const StopQuery&, StageMemory& memory) {
  memory.source().Forget();
  const ChannelWeight w = WeightsForFilterParam(s.FilterParam);
  if (IsSepia(s.FilterParam)) {
    ApplySepia(buffer, w.red, w.green, w.blue);
  } else {
    ApplyGrayscale(buffer, w.red, w.green, w.blue);
  }
}

const Stage kRows[] = {
    {"gamma", &FS::GammaAdj, "GammaAdj", RunGamma, 0, "gamma (offset {GammaVal})",
     "gamma: brightens (GammaVal above 0) or darkens the middle tones"},
    {"auto-levels", &FS::AutoLevels, "AutoLevels", RunAutoLevels, 0, "auto-levels",
     "auto-levels: the darkest part becomes black, the brightest white"},
    {"local contrast", &FS::Defog, "Defog", RunLocalContrast, 1, "local contrast ({DefogVal} %)",
     "local contrast: brings out detail in hazy, flat pictures (DefogVal %)"},
    {"unsharp mask", &FS::USMEnable, "USMEnable", RunUnsharpMask, 1,
     "unsharp mask (radius {USMRadius}, amount {USMAmount} %, threshold {USMThreshold})",
     "unsharp mask: sharpens edges (USMRadius, USMAmount, USMThreshold)"},
    // The tone choice reads as its kind and weighting: "sepia (Standard)".
    {"grayscale or sepia", &FS::ToneFilter, "ToneFilter", RunTone, 0, "{FilterParam}",
     "grayscale, or sepia (FilterParam)"},
};

}  // namespace

const StageTable kStages = {kRows, sizeof kRows / sizeof kRows[0]};

bool AnyStageEnabled(const FilterSettings& settings) {
  for (const Stage& stage : kStages) {
    if (stage.IsOnIn(settings)) return true;
  }
  return false;
}
