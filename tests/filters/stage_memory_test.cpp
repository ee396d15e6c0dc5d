// The memory one pipeline run lends its stages: blocks and a picture taken
// again instead of fresh ones, fresh memory asked again once the idle
// blocks are given back, and nothing kept past the run.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "filters/engine/pixel_memory.h"
#include "filters/filter_pipeline.h"
#include "filters/stage_memory.h"
#include "tests/support/sample_settings.h"

namespace {

// Requests made by `body`, none refused but the `refuse_at`-th.
template <typename Body>
long Requests(Body body, long refuse_at = 0) {
  RefusePixelMemoryAt(refuse_at);
  body();
  const long requests = PixelMemoryRequests();
  RefusePixelMemoryAt(0);
  return requests;
}

TEST(StageMemory, AGivenBackBlockServesTheSmallestRequestItHolds) {
  const long outstanding = PixelMemoryOutstanding();
  {
    StageMemory memory;
    void* small = nullptr;
    void* large = nullptr;
    EXPECT_EQ(Requests([&] {
                small = StageMemory::AllocateBlock(100, &memory);
                large = StageMemory::AllocateBlock(1000, &memory);
                StageMemory::ReleaseBlock(large, &memory);
                StageMemory::ReleaseBlock(small, &memory);
              }),
              2);
    struct Case {
      size_t bytes;
      void* expected;  // nullptr: a fresh block
    } cases[] = {{100, small}, {1, small}, {101, large}, {1000, large}, {1001, nullptr}};
    for (const Case& c : cases) {
      void* block = nullptr;
      const long requests = Requests([&] { block = StageMemory::AllocateBlock(c.bytes, &memory); });
      ASSERT_NE(block, nullptr) << c.bytes << " bytes";
      if (c.expected != nullptr) {
        EXPECT_EQ(block, c.expected) << c.bytes << " bytes";
        EXPECT_EQ(requests, 0) << c.bytes << " bytes";
      } else {
        EXPECT_NE(block, small);
        EXPECT_NE(block, large);
        EXPECT_EQ(requests, 1) << c.bytes << " bytes";
      }
      // A block in use is not handed out twice.
      void* second = StageMemory::AllocateBlock(c.bytes, &memory);
      EXPECT_NE(second, block) << c.bytes << " bytes";
      StageMemory::ReleaseBlock(second, &memory);
      StageMemory::ReleaseBlock(block, &memory);
    }
    // More blocks at once than the memory keeps track of: the others go
    // back to the system when given back.
    std::vector<void*> many(40);
    for (void*& b : many) b = StageMemory::AllocateBlock(8, &memory);
    for (void* b : many) StageMemory::ReleaseBlock(b, &memory);
  }
  EXPECT_EQ(PixelMemoryOutstanding(), outstanding) << "blocks kept past the end of the run";
}

// A refused request is made once more when idle memory (a block, the kept
// picture) could be given back first, and stands when there was none.
TEST(StageMemory, ARefusedRequestIsAskedAgainOnlyAfterIdleMemoryIsGivenBack) {
  struct Case {
    const char* name;
    bool idle_block, kept_picture, picture;  // what is idle; what is asked for
    bool granted;
  } cases[] = {
      {"a block, nothing idle", false, false, false, false},
      {"a block, a block idle", true, false, false, true},
      {"a block, a picture kept", false, true, false, true},
      {"a picture, nothing idle", false, false, true, false},
      {"a picture, a block idle", true, false, true, true},
      {"a picture, another size kept", false, true, true, true},
  };
  const long outstanding = PixelMemoryOutstanding();
  for (const Case& c : cases) {
    {
      StageMemory memory;
      void* held = StageMemory::AllocateBlock(64, &memory);  // in use: never given back
      if (c.idle_block) StageMemory::ReleaseBlock(StageMemory::AllocateBlock(64, &memory), &memory);
      if (c.kept_picture) memory.KeepPicture(CreatePixelBuffer(7, 3, 24));
      const PixelBuffer like = CreatePixelBuffer(5, 3, 24);
      PixelBuffer picture;
      void* block = nullptr;
      const long requests = Requests(
          [&] {
            if (c.picture) {
              picture = memory.TakePicture(like);
            } else {
              block = StageMemory::AllocateBlock(4096, &memory);
            }
          },
          1);
      EXPECT_EQ(c.picture ? static_cast<bool>(picture) : block != nullptr, c.granted) << c.name;
      EXPECT_EQ(requests, c.granted ? 2 : 1) << c.name;
      EXPECT_EQ(PixelMemoryOutstanding(), outstanding + 2 + (c.granted ? 1 : 0))
          << c.name << ": idle memory given back, the held block and `like` kept";
      StageMemory::ReleaseBlock(block, &memory);
      StageMemory::ReleaseBlock(held, &memory);
    }
    EXPECT_EQ(PixelMemoryOutstanding(), outstanding) << c.name;
  }
}

TEST(StageMemory, TheKeptPictureIsTakenOnlyForA24BitPictureOfItsSize) {
  struct Case {
    int width, height, bits;
    bool taken;
  } cases[] = {{5, 3, 24, true}, {6, 3, 24, false}, {5, 4, 24, false}, {5, 3, 8, false}};
  for (const Case& c : cases) {
    StageMemory memory;
    PixelBuffer kept = CreatePixelBuffer(5, 3, 24);
    std::memset(kept.pixels(), 0xC3, kept.pixel_bytes());
    const unsigned char* block = kept.block();
    memory.KeepPicture(std::move(kept));
    const PixelBuffer like = CreatePixelBuffer(c.width, c.height, c.bits);
    const PixelBuffer picture = memory.TakePicture(like);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture.block() == block, c.taken) << c.width << " x " << c.height << " x " << c.bits;
    EXPECT_EQ(picture.width(), c.width);
    EXPECT_EQ(picture.height(), c.height);
    EXPECT_EQ(picture.bit_count(), c.bits);
    for (int y = 0; y < picture.height(); ++y) {
      for (size_t i = 0; i < picture.stride(); ++i) {
        const bool padding = i >= static_cast<size_t>(picture.width()) * 3;
        const int expected = c.taken && !padding ? 0xC3 : 0;
        ASSERT_EQ(picture.row(y)[i], expected)
            << c.width << " x " << c.height << " x " << c.bits << " row " << y << " byte " << i;
      }
    }
  }
}

// The second sharpening stage of a run asks for no new picture, and for no
// block the first one's blocks could hold (its table of sharpened values
// included): no fresh request besides what the first stage asked.
TEST(StageMemory, TheSecondSharpeningStageAsksForNoFreshPictureOrBlock) {
  FilterSettings settings = SharpeningOnly(30, 1.5, 100, 4);
  auto run = [&](int32_t local_contrast, int32_t unsharp_mask) {
    settings.Defog = local_contrast;
    settings.USMEnable = unsharp_mask;
    PixelBuffer buffer = CreatePixelBuffer(45, 64, 24);
    for (size_t i = 0; i < buffer.pixel_bytes(); ++i) buffer.pixels()[i] = static_cast<unsigned char>(i * 13);
    return Requests([&] { RunStages(buffer, settings, ImageRegion{0, 0, 0, 0}, StopQuery()); });
  };
  const long local_contrast = run(1, 0);
  EXPECT_GT(local_contrast, 2);
  EXPECT_GT(run(0, 1), 2);
  EXPECT_EQ(run(1, 1), local_contrast);
}

// The peak counts what is held at once above what was held at the reset:
// a block given back no longer counts, one held before the reset never.
TEST(PixelMemory, PeakCountsTheBytesHeldAtOnceSinceTheReset) {
  unsigned char* before = AllocatePixelBlock(64);
  ResetPixelMemoryPeak();
  EXPECT_EQ(PixelMemoryPeakBytes(), 0);
  EXPECT_EQ(PixelBlockPeakBytes(), 0);
  void* engine = AllocateEngineBlock(1000);
  unsigned char* pixels = AllocatePixelBlock(300);
  FreePixelBlock(pixels);
  pixels = AllocatePixelBlock(300);
  EXPECT_EQ(PixelBlockPeakBytes(), 300) << "a pixel block given back still counted";
  FreeEngineBlock(engine);
  void* smaller = AllocateEngineBlock(500);
  EXPECT_EQ(PixelMemoryPeakBytes(), 1300);
  EXPECT_EQ(PixelBlockPeakBytes(), 300);
  FreeEngineBlock(smaller);
  FreePixelBlock(pixels);
  FreePixelBlock(before);
}

}  // namespace
