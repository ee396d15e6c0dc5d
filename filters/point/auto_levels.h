// The pieces of the auto-levels stage (ApplyAutoLevels in filters/stages.h).
// The stage keeps its histogram and levels table in module-wide storage,
// cleared at the start of every run; they are reachable here so that the
// percentile search and the table can be checked on their own. Not
// re-entrant: one pipeline runs at a time.
//
// A region whose luminance is (nearly) one level, so that the high clipping
// level is not above the low one (a flat picture, a single pixel), has no
// range to stretch and is left unchanged; its histogram is still counted.
#ifndef CHROMALINE_FILTERS_POINT_AUTO_LEVELS_H_
#define CHROMALINE_FILTERS_POINT_AUTO_LEVELS_H_

#include <cstdint>

#include "chromaline/plugin_abi.h"
#include "filters/pixel_buffer.h"
#include "filters/point/point_rows.h"  // Luminance, the measure the histogram counts

// The module-wide histogram (pixels per luminance level) and levels table
// as the last run (or the calls below) left them.
int32_t (&AutoLevelsHistogram())[256];
int32_t (&AutoLevelsTable())[256];

// The first level at which the running count of the histogram is strictly
// greater than `fraction` (widened to double) times the number of pixels
// counted; 0 when the histogram is empty.
int32_t FindPercentileLevel(float fraction);

// Fills the levels table: out_min below `lo`, out_max from `hi` upward, and
// in between ((i - lo) / (hi - lo))^exponent * (out_max - out_min) + out_min
// in double precision, held to 0..255 and truncated.
void BuildLevelsTable(int32_t out_min, int32_t out_max, int32_t lo, int32_t hi, float exponent);

// ApplyAutoLevels that also tells what it did: true when it changed the
// region's bytes, then with the byte table it mapped them through and the
// region as it was held to the picture; false when it left every byte.
bool ApplyAutoLevelsTelling(PixelBuffer& buffer, const ImageRegion& region, uint8_t (&applied)[256],
                            ImageRegion& applied_region);

#endif  // CHROMALINE_FILTERS_POINT_AUTO_LEVELS_H_
