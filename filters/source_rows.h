// SourceRows: the rows of a working picture that can be had again, any
// band of rows at a time, so that a sharpening stage can blur over the
// picture itself and still read the rows it started from. The rows come
// from a reader (the host's bitmap in a pipeline run) and then pass the
// byte tables of the point stages that ran since, in the order they ran.
#ifndef CHROMALINE_FILTERS_SOURCE_ROWS_H_
#define CHROMALINE_FILTERS_SOURCE_ROWS_H_

#include <cstdint>

#include "chromaline/plugin_abi.h"
#include "filters/engine/bitmap_transfer.h"
#include "filters/pixel_buffer.h"
#include "filters/point/point_rows.h"

class SourceRows {
 public:
  // Writes image rows first .. first + count - 1 (from the top) of a
  // width x height picture into `out`, bottom-up with RowStride(width, 24)
  // bytes a row as a PixelBuffer holds them; false when it cannot.
  using Reader = bool (*)(int width, int height, int first, int count, unsigned char* out, void* context);

  // Nothing to read again.
  SourceRows() = default;
  SourceRows(int width, int height, Reader read, void* context)
      : width_(width), height_(height), read_(read), context_(context) {}
  // The host's bitmap, read again through ReadBitmapRows.
  static SourceRows OfBitmap(BitmapHandle bitmap, int width, int height);

  bool Readable() const { return read_ != nullptr; }
  // After a stage that mapped every byte of `region` through `table`. More
  // tables than are kept make the rows unreadable.
  void AddTable(const uint8_t (&table)[256], const ImageRegion& region);
  // After a stage that changed the picture any other way.
  void Forget() { *this = SourceRows(); }

  // The rows as the stages so far left them (Reader's contract). False
  // when there is nothing to read or the reader fails.
  bool Read(int first, int count, unsigned char* out) const;
  // Whether every row reads back as `picture` holds it, read `band_rows`
  // rows at a time into `band` (rows of picture.stride() bytes). False for
  // a picture of another size, a failed read or a single byte that differs.
  bool Matches(const PixelBuffer& picture, unsigned char* band, int band_rows) const;

 private:
  struct Table {
    uint8_t bytes[256];
    ByteStretch stretch;
    ImageRegion region;
  };
  static constexpr int kTables = 4;

  int width_ = 0, height_ = 0;
  Reader read_ = nullptr;
  void* context_ = nullptr;
  Table tables_[kTables] = {};
  int table_count_ = 0;
};

#endif  // CHROMALINE_FILTERS_SOURCE_ROWS_H_
