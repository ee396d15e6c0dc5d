// FilterPipeline: the one routine through which every picture is filtered.
// It copies the bitmap into a PixelBuffer, runs the enabled stages in the
// fixed order gamma, auto-levels, local contrast, unsharp mask, tone, and
// writes the result back into the same bitmap. Not re-entrant: auto-levels
// keeps module-wide tables.
#ifndef CHROMALINE_FILTERS_FILTER_PIPELINE_H_
#define CHROMALINE_FILTERS_FILTER_PIPELINE_H_

#include "chromaline/plugin_abi.h"
#include "filters/engine/bitmap_transfer.h"
#include "filters/filter_settings.h"
#include "filters/pixel_buffer.h"
#include "filters/engine/stop_query.h"

// Filters the bitmap in place. With no stage enabled, or a null handle, the
// bitmap is neither read nor written. A sharpening stage with only gamma
// and auto-levels before it reads its source rows from the bitmap again
// rather than keeping a second picture (stages.cpp, RunSharpening).
void FilterPipeline(BitmapHandle bitmap, const FilterSettings& settings, const ImageRegion& region,
                    const StopQuery& stop = StopQuery());

// The stages of the pipeline on a buffer already read from a bitmap. The
// buffer may be replaced (the sharpening stages produce a new one).
void RunStages(PixelBuffer& buffer, const FilterSettings& settings, const ImageRegion& region,
               const StopQuery& stop);

// The host's rectangle clipped for a picture of width x height: an empty
// rectangle (top == bottom or left == right) means the whole picture;
// otherwise negative left/top become 0; right and bottom are capped at the
// width and height. Nothing else is changed.
ImageRegion NormaliseRegion(const ImageRegion& region, int width, int height);

// The channel weights (thousandths; red, green, blue) of a weighting mode.
struct ChannelWeight {
  int32_t red, green, blue;
};
// FilterParam's low four bits; 6 to 15 select mode 0.
ChannelWeight WeightsForFilterParam(int32_t filter_param);
// Bit 4 of FilterParam selects sepia instead of grayscale.
inline bool IsSepia(int32_t filter_param) { return (filter_param & 16) != 0; }

#endif  // CHROMALINE_FILTERS_FILTER_PIPELINE_H_
