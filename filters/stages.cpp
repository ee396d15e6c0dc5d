// The stage table: what each stage reads of FilterSettings, and its words
// for the command line. A new stage is one row here, its entry point in
// stages.h and its own file.
#include "filters/stages.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "filters/engine/engine_block.h"
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

// The ways a sharpening stage can take, best first.
enum class SharpeningWay {
  kOverSource,     // one picture: blurred over itself, sharpened from its source read again
  kSecondPicture,  // the result written into a second picture that replaces the buffer
  kInPlace,        // blurred and sharpened over the buffer, band by band
};

// The one choice of a sharpening stage, made before anything is written,
// from what the host's bitmap and memory allow: over the source when the
// host's bitmap, through the byte tables of the stages since, reads back
// exactly as the buffer; else into a second picture when one can be had
// (the one an earlier stage replaced, or a new one: `destination`); else
// in place, the way that needs least. Over the source needs what in place
// needs and a band of source rows: refused its memory, it runs in place.
// The other two, refused memory for their blur, leave the buffer as it
// was: the stage is skipped.
SharpeningWay ChooseSharpeningWay(const PixelBuffer& buffer, StageMemory& memory, const BlurMemory& blocks,
                                  PixelBuffer& destination) {
  const SourceRows& source = memory.source();
  if (source.Readable()) {
    const int band_rows = std::min(buffer.height(), kSourceBandRows);
    const EngineBlock band(blocks, static_cast<uint64_t>(band_rows) * buffer.stride());
    if (band && source.Matches(buffer, band.as<unsigned char>(), band_rows)) return SharpeningWay::kOverSource;
  }
  destination = memory.TakePicture(buffer);
  return destination ? SharpeningWay::kSecondPicture : SharpeningWay::kInPlace;
}

// One sharpening stage, the way ChooseSharpeningWay finds. A second
// picture replaces the buffer also when the host stopped the engine early
// or the blur was refused (every outcome writes every pixel of it), and
// the replaced one is kept for the next sharpening stage to write into.
void RunSharpening(PixelBuffer& buffer, double radius, int32_t amount, int32_t threshold, const StopQuery& stop,
                   StageMemory& memory) {
  BlurOptions options;
  options.memory = BlurMemory{StageMemory::AllocateBlock, StageMemory::ReleaseBlock, &memory};
  options.threads = ThreadCountFromEnvironment();
  PixelBuffer destination;
  switch (ChooseSharpeningWay(buffer, memory, options.memory, destination)) {
    case SharpeningWay::kSecondPicture:
      UnsharpMaskWith(buffer, destination, radius, amount, threshold, stop, options);
      memory.KeepPicture(std::exchange(buffer, std::move(destination)));
      return;
    case SharpeningWay::kOverSource:
      if (UnsharpMaskOverSource(buffer, radius, amount, threshold, stop, options, memory.source()) !=
          BlurOutcome::kRefused) {
        return;
      }
      // Refused, it left the buffer untouched; in place is the same blur
      // without the band of source rows.
      [[fallthrough]];
    case SharpeningWay::kInPlace: UnsharpMaskInPlaceWith(buffer, radius, amount, threshold, stop, options); return;
  }
}

void RunGamma(PixelBuffer& buffer, const FS& s, const ImageRegion&, const StopQuery&, StageMemory& memory) {
  uint8_t table[256];
  BuildGammaTable(s.GammaVal + 1.0, table);
  ApplyGammaTable(buffer, table);
  memory.source().AddTable(table, ImageRegion{0, 0, buffer.width(), buffer.height()});
}

void RunAutoLevels(PixelBuffer& buffer, const FS&, const ImageRegion& region, const StopQuery&,
                   StageMemory& memory) {
  uint8_t table[256];
  ImageRegion applied;
  if (ApplyAutoLevelsTelling(buffer, region, table, applied)) memory.source().AddTable(table, applied);
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

void RunTone(PixelBuffer& buffer, const FS& s, const ImageRegion&, const StopQuery&, StageMemory&) {
  const ChannelWeight w = WeightsForFilterParam(s.FilterParam);
  if (IsSepia(s.FilterParam)) {
    ApplySepia(buffer, w.red, w.green, w.blue);
  } else {
    ApplyGrayscale(buffer, w.red, w.green, w.blue);
  }
}

const Stage kRows[] = {
    {"gamma", &FS::GammaAdj, "GammaAdj", RunGamma, 0, "gamma (offset {GammaVal})",
     "gamma: brightens (GammaVal above 0) or darkens the middle tones", true},
    {"auto-levels", &FS::AutoLevels, "AutoLevels", RunAutoLevels, 0, "auto-levels",
     "auto-levels: the darkest part becomes black, the brightest white", true},
    {"local contrast", &FS::Defog, "Defog", RunLocalContrast, 1, "local contrast ({DefogVal} %)",
     "local contrast: brings out detail in hazy, flat pictures (DefogVal %)", false},
    {"unsharp mask", &FS::USMEnable, "USMEnable", RunUnsharpMask, 1,
     "unsharp mask (radius {USMRadius}, amount {USMAmount} %, threshold {USMThreshold})",
     "unsharp mask: sharpens edges (USMRadius, USMAmount, USMThreshold)", false},
    // The tone choice reads as its kind and weighting: "sepia (Standard)".
    {"grayscale or sepia", &FS::ToneFilter, "ToneFilter", RunTone, 0, "{FilterParam}",
     "grayscale, or sepia (FilterParam)", false},
};

}  // namespace

const StageTable kStages = {kRows, sizeof kRows / sizeof kRows[0]};

bool AnyStageEnabled(const FilterSettings& settings) {
  for (const Stage& stage : kStages) {
    if (stage.IsOnIn(settings)) return true;
  }
  return false;
}
