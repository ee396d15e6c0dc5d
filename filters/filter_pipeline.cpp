// File: filters/filter_pipeline.cpp
//
// The fixed stage order and the region handling of the pipeline.
#include "filters/filter_pipeline.h"

#include <utility>

#include "filters/stages.h"

namespace {

// Weighting modes in the order of the dialog's list (thousandths).
constexpr ChannelWeight kChannelWeights[6] = {
    {299, 587, 114},  // Standard
    {212, 716, 72},   // BT709
    {500, 419, 81},   // RMY
    {1000, 0, 0},     // Red Channel
    {0, 0, 1000},     // Blue Channel
    {0, 1000, 0},     // Green Channel
};

// Local contrast works at one thirty-second of the picture height.
constexpr double kLocalContrastRadiusFactor = 0.03125;
constexpr int32_t kLocalContrastThreshold = 4;

// One sharpening stage: the engine writes a new buffer that replaces the
// working one, also when the host stopped it early. Without memory for the
// destination the stage is skipped and the working buffer kept.
void RunSharpening(PixelBuffer& buffer, double radius, int32_t amount, int32_t threshold,
                   const StopQuery& stop) {
  PixelBuffer destination = CreatePixelBuffer(buffer.width(), buffer.height(), buffer.bit_count());
  if (!destination) return;
  UnsharpMask(buffer, destination, radius, amount, threshold, stop);
  buffer = std::move(destination);
}

}  // namespace

ChannelWeight WeightsForFilterParam(int32_t filter_param) {
  const int mode = filter_param & 15;
  return kChannelWeights[mode < 6 ? mode : 0];
}

ImageRegion NormaliseRegion(const ImageRegion& region, int width, int height) {
  ImageRegion r = region;
  if (r.top == r.bottom || r.left == r.right) {
    r = ImageRegion{0, 0, width, height};
  } else {
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
  }
  if (r.right > width) r.right = width;
  if (r.bottom > height) r.bottom = height;
  return r;
}

void RunStages(PixelBuffer& buffer, const FilterSettings& settings, const ImageRegion& region,
               const StopQuery& stop) {
  const ImageRegion normalised = NormaliseRegion(region, buffer.width(), buffer.height());
  if (settings.GammaAdj != 0) ApplyGamma(buffer, settings.GammaVal + 1.0);
  if (settings.AutoLevels != 0) ApplyAutoLevels(buffer, normalised);
  if (settings.Defog != 0) {
    RunSharpening(buffer, buffer.height() * kLocalContrastRadiusFactor, settings.DefogVal,
                  kLocalContrastThreshold, stop);
  }
  if (settings.USMEnable != 0) {
    RunSharpening(buffer, settings.USMRadius, settings.USMAmount, settings.USMThreshold, stop);
  }
  if (settings.ToneFilter != 0) {
    const ChannelWeight w = WeightsForFilterParam(settings.FilterParam);
    if (IsSepia(settings.FilterParam)) {
      ApplySepia(buffer, w.red, w.green, w.blue);
    } else {
      ApplyGrayscale(buffer, w.red, w.green, w.blue);
    }
  }
}

void FilterPipeline(BitmapHandle bitmap, const FilterSettings& settings, const ImageRegion& region,
                    const StopQuery& stop) {
  if (!settings.AnyStageEnabled()) return;
  PixelBuffer buffer = ReadBitmapPixels(bitmap);
  if (!buffer) return;
  RunStages(buffer, settings, region, stop);  // reads the rectangle, never changes it
  WriteBitmapPixels(bitmap, buffer);
}
