// The arithmetic of the preview panes, apart from any window system: how a
// sample picture is fitted to a pane, where a pane draws its picture, and
// how the full-screen time estimate is measured and worded.
#ifndef CHROMALINE_UI_PREVIEW_GEOMETRY_H_
#define CHROMALINE_UI_PREVIEW_GEOMETRY_H_

#include <cstdint>
#include <string>

struct PreviewSize {
  int width;
  int height;
};

// The size of the fitted sample for a pane of pane_width x pane_height and a
// picture of image_width x image_height: the pane's size, except that a
// picture of another size keeps its aspect, fitted by width when it is
// relatively wider than the pane and by height otherwise (rounded to the
// nearest pixel). Smaller pictures are enlarged the same way. With a zero
// picture or pane width the pane's size stands.
PreviewSize FitPreview(int pane_width, int pane_height, int image_width, int image_height);

struct PreviewRect {
  int x;
  int y;
  int width;
  int height;
};

// Where a pane draws a bitmap: always at the pane's full height, as wide as
// that scale makes it, centred horizontally (integer halves toward zero).
// A bitmap fitted by width comes out wider than the pane; the pane's
// clipping cuts off its sides.
PreviewRect PaneDrawRect(int item_left, int item_top, int item_width, int item_height, int bitmap_width,
                         int bitmap_height);

// The time of one pipeline run between two tick counts (wrapping like the
// 32-bit counter). Runs below the counter's resolution (under 10 ms) count
// as 100 ms.
uint32_t EstimateMilliseconds(uint32_t start_ticks, uint32_t end_ticks);

// The result line: `format` is the text with two %d (the screen size) and
// one %.1f (seconds).
std::string FormatEstimate(const std::string& format, int screen_width, int screen_height, uint32_t ms);

#endif  // CHROMALINE_UI_PREVIEW_GEOMETRY_H_
