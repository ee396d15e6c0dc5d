// Pixels moved to undo an orientation (the Windows flip-rotator's stand-in
// where Wine's cannot turn), and the metadata of the picture turned
// upright, made once for both builds on the byte-level readers.
#include "photo/upright.h"

#include <cstring>
#include <utility>

#include "photo/codec_rules.h"
#include "photo/tiff_directory.h"
#include "photo/xmp_packet.h"

namespace {

// Upright position (x, y) of a width x height upright picture -> its
// position in the stored pixels.
void StoredPosition(int orientation, int x, int y, int width, int height, int* sx, int* sy) {
  switch (orientation) {
    case 2:
      *sx = width - 1 - x;
      *sy = y;
      break;
    case 3:
      *sx = width - 1 - x;
      *sy = height - 1 - y;
      break;
    case 4:
      *sx = x;
      *sy = height - 1 - y;
      break;
    case 5:
      *sx = y;
      *sy = x;
      break;
    case 6:
      *sx = y;
      *sy = width - 1 - x;
      break;
    case 7:
      *sx = height - 1 - y;
      *sy = width - 1 - x;
      break;
    case 8:
      *sx = height - 1 - y;
      *sy = x;
      break;
    default:
      *sx = x;
      *sy = y;
      break;
  }
}

}  // namespace

void TurnUpright(int orientation, Image* image, std::vector<uint8_t>* alpha) {
  if (orientation < 2 || orientation > 8) return;
  const bool swapped = orientation >= 5;
  const int width = swapped ? image->height : image->width;
  const int height = swapped ? image->width : image->height;
  const int stored_width = image->width;
  Image upright;
  upright.width = width;
  upright.height = height;
  upright.bgr.resize(image->bgr.size());
  std::vector<uint8_t> upright_alpha(alpha->size());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int sx = 0, sy = 0;
      StoredPosition(orientation, x, y, width, height, &sx, &sy);
      std::memcpy(upright.pixel(x, y), image->pixel(sx, sy), 3);
      if (!alpha->empty()) {
        upright_alpha[static_cast<size_t>(y) * width + x] = (*alpha)[static_cast<size_t>(sy) * stored_width + sx];
      }
    }
  }
  *image = std::move(upright);
  *alpha = std::move(upright_alpha);
}

void MakeMetadataUpright(PhotoMetadata* metadata, int width, int height, std::string* note) {
  metadata->thumbnail_side = 0;
  if (!metadata->exif.empty() && !MakeExifUpright(&metadata->exif, width, height, &metadata->thumbnail_side)) {
    metadata->exif.clear();
    AddToList(note, "its EXIF block is damaged: left out", "; ");
  }
  ResetXmpOrientation(&metadata->xmp);
}
