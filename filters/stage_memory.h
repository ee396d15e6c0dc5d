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

#include "filters/pixel_buffer.h"
#include "filters/source_rows.h"

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

  // Where the working buffer can be had again from: the pipeline sets the
  // host's bitmap, a byte-table stage adds its table, and the pipeline
  // forgets it after any other stage.
  SourceRows& source() { return source_; }

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
  SourceRows source_;
};

#endif  // CHROMALINE_FILTERS_STAGE_MEMORY_H_
