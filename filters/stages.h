// The entry points of the filter stages, in pipeline order, and the one
// table of the stages (kStages) that the pipeline, the command line's notes
// and its help all walk. Each stage works on 24-bit PixelBuffers and knows
// nothing of the window system.
#ifndef CHROMALINE_FILTERS_STAGES_H_
#define CHROMALINE_FILTERS_STAGES_H_

#include <cstddef>
#include <cstdint>

#include "chromaline/plugin_abi.h"
#include "filters/filter_settings.h"
#include "filters/pixel_buffer.h"
#include "filters/stage_memory.h"
#include "filters/table_view.h"
#include "filters/engine/stop_query.h"

// Gamma: every channel value v becomes 255 * (v / 255)^(1 / gamma), rounded
// half up, through a 256-entry table (BuildGammaTable, ApplyGammaTable in
// filters/point/gamma.h).
void ApplyGamma(PixelBuffer& buffer, double gamma);

// Auto-levels over a normalised region (columns left..right-1, rows
// top..bottom-1 from the top). Pixels outside the region are untouched.
void ApplyAutoLevels(PixelBuffer& buffer, const ImageRegion& region);

// The sharpening engine: blurs `source` into `destination` (same size,
// zero-filled) with a separable kernel built from `radius`, then moves each
// channel away from its blurred value by `amount` percent where they differ
// by more than `threshold`. Asks `stop` after every row and every column of
// the blur; a stop leaves the partial blur in `destination`, unsharpened.
void UnsharpMask(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                 int32_t threshold, const StopQuery& stop);

// The same result written over `picture` itself, for when there is no room
// for a second picture: needs a band of rows per thread besides the blur's
// own memory, and without that leaves the picture as it was. A stop at a
// row's query leaves it black; a stop at a column's query ends the queries
// and leaves the finished result (the blur is not kept for a late stop).
void UnsharpMaskInPlace(PixelBuffer& picture, double radius, int32_t amount, int32_t threshold,
                        const StopQuery& stop);

// Tone stages; weights are in thousandths (red, green, blue).
void ApplyGrayscale(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight);
void ApplySepia(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight);

// One stage of the pipeline, as everything that lists stages sees it.
struct Stage {
  const char* name;                       // "unsharp mask"
  int32_t FilterSettings::*switch_field;  // the stage runs when this is not 0
  const char* switch_key;                 // that field's key in the store and the settings files
  // Runs the stage on the buffer; `region` is already clipped to it
  // (NormaliseRegion). A stage that blurs may replace the buffer, and
  // takes its memory from `memory`, which lives as long as the run.
  void (*run)(PixelBuffer& buffer, const FilterSettings& settings, const ImageRegion& region, const StopQuery& stop,
              StageMemory& memory);
  int blurs;            // blurs it runs; each asks the stop question once per row and once per column
  const char* summary;  // the stage in force, "{Key}" standing for that setting's value
  const char* help;     // its line in the command line's help, after the switch key
  // Whether the stage maps each byte of a region through a table, and
  // records that table and region (memory.source().AddTable): the buffer
  // can then still be made again from the host's bitmap. After any other
  // stage the pipeline forgets the bitmap.
  bool byte_table;

  bool IsOnIn(const FilterSettings& settings) const { return settings.*switch_field != 0; }
};

// Every stage in the order the pipeline runs them
// ("for (const Stage& stage : kStages)").
using StageTable = TableView<Stage>;
extern const StageTable kStages;

// True when the pipeline has any stage to run.
bool AnyStageEnabled(const FilterSettings& settings);

#endif  // CHROMALINE_FILTERS_STAGES_H_
