// StageMemory: what the stages of one pipeline run lend each other, all of
// it given back when the run ends, so that nothing picture-sized outlives
// the call. Memory new to the process costs a page fault and a page of
// zeroes from the system at its first touch; memory taken again costs
// neither. So the picture a sharpening stage replaced becomes the next
// sharpening stage's result, and the sharpening engine's blocks (ring,
// plan, slots) serve the next blur again.
#ifndef CHROMALINE_FILTERS_STAGE_MEMORY_H_
#define CHROMALINE_FILTERS_STAGE_MEMORY_H_

#include <cstddef>
#include <cstdint>

#include "chromaline/plugin_abi.h"
#include "filters/engine/bitmap_transfer.h"
#include "filters/pixel_buffer.h"

// How the working buffer can be made again, any band of rows at a time:
// the host's bitmap read again, then mapped through the byte tables of the
// point stages that ran since (gamma over every byte, then auto-levels over
// its region). No bitmap: the buffer cannot be made again.
struct BufferSource {
  BitmapHandle bitmap = 0;
  bool gamma = false;
  uint8_t gamma_table[256] = {};
  bool levels = false;
  uint8_t levels_table[256] = {};
  ImageRegion levels_region = {};

  // The point stages record themselves; a stage that changes the buffer in
  // any other way forgets the bitmap.
  void AddGamma(const uint8_t (&table)[256]);
  void AddLevels(const uint8_t (&table)[256], const ImageRegion& region);
  void Forget() { bitmap = 0; }

  // Image rows first .. first + count - 1 of a width x height buffer, as
  // the stages so far left them, into `out` (bottom-up rows of the
  // buffer's stride). False when there is no bitmap or it cannot be read.
  bool ReadRows(int width, int height, int first, int count, unsigned char* out) const;
};

class StageMemory {
 public:
  StageMemory() = default;
  ~StageMemory();
  StageMemory(const StageMemory&) = delete;
  StageMemory& operator=(const StageMemory&) = delete;

  // A picture of the size and depth of `like` for a stage's result: the
  // kept one when both are 24-bit and of one size, with its pixel bytes as
  // the last stage left them and its row padding zero (the caller must
  // write every pixel), else a new zero-filled one. Empty when no memory can be had, even after the
  // engine blocks kept idle were given back.
  PixelBuffer TakePicture(const PixelBuffer& like);
  // Keeps a picture a stage is done with for the next TakePicture (one at
  // a time; a picture kept before is released).
  void KeepPicture(PixelBuffer picture);

  // Engine blocks (BlurMemory's allocate and release, `memory` being this):
  // a block given back is kept, and a later request it can hold gets the
  // smallest such block again. When fresh memory is refused, the blocks kept
  // idle are given back and the request is made once more.
  static void* AllocateBlock(size_t bytes, void* memory);
  static void ReleaseBlock(void* block, void* memory);

  // Where the working buffer can be had again from.
  BufferSource& source() { return source_; }

 private:
  // Gives the idle engine blocks and the kept picture back; false when
  // there was nothing to give.
  bool ReleaseIdle();

  struct Block {
    void* block;
    size_t bytes;
    bool in_use;
  };
  // A RunBlur asks for at most 10 blocks at a time; beyond the table,
  // blocks are plain allocations, released when given back.
  static constexpr int kBlocks = 16;
  Block blocks_[kBlocks] = {};
  PixelBuffer spare_;
  BufferSource source_;
};

#endif  // CHROMALINE_FILTERS_STAGE_MEMORY_H_
