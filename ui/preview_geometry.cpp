// Where the preview panes put the sample picture and how large they draw it.
#include "ui/preview_geometry.h"

#include <cmath>
#include <cstdio>
#include <vector>

PreviewSize FitPreview(int pane_width, int pane_height, int image_width, int image_height) {
  PreviewSize size = {pane_width, pane_height};
  const bool same = pane_width == image_width && pane_height == image_height;
  if (same || image_width == 0 || pane_width == 0) return size;
  const double aspect = static_cast<double>(image_height) / image_width;
  if (aspect < static_cast<double>(pane_height) / pane_width) {
    size.height = static_cast<int>(std::floor(pane_width * aspect + 0.5));
  } else {
    size.width = static_cast<int>(std::floor(pane_height * (1.0 / aspect) + 0.5));
  }
  return size;
}

PreviewRect PaneDrawRect(int item_left, int item_top, int item_width, int item_height, int bitmap_width,
                         int bitmap_height) {
  // A bitmap without height has no scale; it is drawn nowhere.
  if (bitmap_height <= 0) return {item_left, item_top, 0, item_height};
  const double scale = static_cast<double>(item_height) / bitmap_height;
  const int width = static_cast<int>(bitmap_width * scale + 0.5);
  return {item_left + (item_width - width) / 2, item_top, width, item_height};
}

uint32_t EstimateMilliseconds(uint32_t start_ticks, uint32_t end_ticks) {
  const uint32_t ms = end_ticks - start_ticks;
  return ms < 10 ? 100 : ms;
}

std::string FormatEstimate(const std::string& format, int screen_width, int screen_height, uint32_t ms) {
  const double seconds = ms * 0.001;
  const int length = std::snprintf(nullptr, 0, format.c_str(), screen_width, screen_height, seconds);
  if (length < 0) return std::string();
  std::vector<char> text(static_cast<size_t>(length) + 1);
  std::snprintf(text.data(), text.size(), format.c_str(), screen_width, screen_height, seconds);
  return text.data();
}
