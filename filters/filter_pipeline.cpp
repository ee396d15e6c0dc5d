// The region handling of the pipeline and the stages' walk (kStages).
#include "filters/filter_pipeline.h"

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

namespace {

// The stages over a buffer read from `bitmap` (0: a buffer of no bitmap).
void RunStagesFrom(BitmapHandle bitmap, PixelBuffer& buffer, const FilterSettings& settings,
                   const ImageRegion& region, const StopQuery& stop) {
  const ImageRegion normalised = NormaliseRegion(region, buffer.width(), buffer.height());
  StageMemory memory;  // given back before the result is written out
  memory.source() = SourceRows::OfBitmap(bitmap, buffer.width(), buffer.height());
  for (const Stage& stage : kStages) {
    if (!stage.IsOnIn(settings)) continue;
    stage.run(buffer, settings, normalised, stop, memory);
    if (!stage.byte_table) memory.source().Forget();
  }
}

}  // namespace

void RunStages(PixelBuffer& buffer, const FilterSettings& settings, const ImageRegion& region,
               const StopQuery& stop) {
  RunStagesFrom(0, buffer, settings, region, stop);
}

void FilterPipeline(BitmapHandle bitmap, const FilterSettings& settings, const ImageRegion& region,
                    const StopQuery& stop) {
  if (!AnyStageEnabled(settings)) return;
  PixelBuffer buffer = ReadBitmapPixels(bitmap);
  if (!buffer) return;
  RunStagesFrom(bitmap, buffer, settings, region, stop);  // reads the rectangle, never changes it
  WriteBitmapPixels(bitmap, buffer);
}
