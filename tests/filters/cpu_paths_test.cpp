// The choice of instruction-set path: CHROMALINE_ISA requests held to what
// the processor has, and the point stages and the sharpening engine
// following the one limit. tests/CMakeLists.txt also runs the CpuPaths
// tests once under each value of the variable, in processes of their own.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "filters/engine/cpu_paths.h"
#include "filters/filter_pipeline.h"
#include "filters/point/point_rows.h"
#include "filters/stages.h"
#include "filters/sharpen/unsharp_mask.h"
#include "tests/support/reference_point_stages.h"
#include "tests/support/reference_unsharp_mask.h"

namespace {

constexpr CpuPath kAllPaths[] = {CpuPath::kPlain, CpuPath::kSse2, CpuPath::kAvx2, CpuPath::kAvx512};

class CpuPaths : public ::testing::Test {
 protected:
  void SetUp() override { before_ = CpuPathLimit(); }
  void TearDown() override { SetCpuPathLimit(before_); }
  CpuPath before_ = CpuPath::kPlain;
};

TEST_F(CpuPaths, RequestsAreHeldToTheProcessor) {
  const struct {
    const char* request;
    CpuPath processor;
    CpuPath expected;
  } cases[] = {
      {nullptr, CpuPath::kAvx512, CpuPath::kAvx512},
      {"", CpuPath::kAvx2, CpuPath::kAvx2},
      {"plain", CpuPath::kAvx512, CpuPath::kPlain},
      {"sse2", CpuPath::kAvx512, CpuPath::kSse2},
      {"avx2", CpuPath::kAvx512, CpuPath::kAvx2},
      {"avx512", CpuPath::kAvx512, CpuPath::kAvx512},
      {"AVX2", CpuPath::kAvx512, CpuPath::kAvx2},
      {"Plain", CpuPath::kSse2, CpuPath::kPlain},
      // Wider than the processor: what the processor has.
      {"avx512", CpuPath::kAvx2, CpuPath::kAvx2},
      {"avx512", CpuPath::kSse2, CpuPath::kSse2},
      {"avx2", CpuPath::kSse2, CpuPath::kSse2},
      {"sse2", CpuPath::kPlain, CpuPath::kPlain},
      // Not one of the four names: as if unset.
      {"avx", CpuPath::kAvx512, CpuPath::kAvx512},
      {"avx-512", CpuPath::kAvx2, CpuPath::kAvx2},
      {" avx2", CpuPath::kAvx512, CpuPath::kAvx512},
      {"avx2 ", CpuPath::kAvx512, CpuPath::kAvx512},
      {"avx5120", CpuPath::kAvx512, CpuPath::kAvx512},
      {"2", CpuPath::kAvx2, CpuPath::kAvx2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CpuPathFromRequest(c.request, c.processor), c.expected)
        << (c.request != nullptr ? "\"" + std::string(c.request) + "\"" : std::string("unset")) << " on "
        << CpuPathName(c.processor);
  }
}

// In a process of its own (see tests/CMakeLists.txt) this checks the
// variable as the first query reads it; in the whole suite every test puts
// back the limit it found, so the same holds.
TEST_F(CpuPaths, LimitFollowsTheVariable) {
  const char* request = std::getenv("CHROMALINE_ISA");
  EXPECT_EQ(CpuPathLimit(), CpuPathFromRequest(request, ProcessorCpuPath()))
      << "CHROMALINE_ISA=" << (request != nullptr ? request : "(unset)") << ", processor "
      << CpuPathName(ProcessorCpuPath());
}

// Under an emulated processor model (tests/emulated/processor_models.sh)
// the script names the path the model must give.
TEST_F(CpuPaths, ProcessorPathIsTheEmulatedModels) {
  const char* expected = std::getenv("CHROMALINE_TEST_PROCESSOR_PATH");
  if (expected == nullptr) GTEST_SKIP() << "no processor model named (CHROMALINE_TEST_PROCESSOR_PATH)";
  EXPECT_STREQ(CpuPathName(ProcessorCpuPath()), expected);
}

TEST_F(CpuPaths, PointStagesAndSharpeningFollowTheLimit) {
  for (CpuPath path : kAllPaths) {
    SetCpuPathLimit(path);
    const CpuPath limit = CpuPathLimit();
    EXPECT_LE(static_cast<int>(limit), static_cast<int>(ProcessorCpuPath()));
    EXPECT_LE(static_cast<int>(limit), static_cast<int>(path));
    const CpuPath form = ActivePointRowsPath();
    const std::string label = std::string("limit ") + CpuPathName(limit) + ", point rows " + CpuPathName(form);
    EXPECT_EQ(form == CpuPath::kAvx512,
              limit == CpuPath::kAvx512 && ProcessorHasAvx512Vbmi() && PointRowsVectorFormsBuilt())
        << label;
    if (form == CpuPath::kAvx2) {
      EXPECT_GE(limit, CpuPath::kAvx2) << label;
    }
    if (limit < CpuPath::kAvx2) {
      EXPECT_EQ(form, CpuPath::kPlain) << label;
    }
    EXPECT_EQ(BlurPathAvailable(CpuPath::kAvx512), limit >= CpuPath::kAvx512) << label;
    EXPECT_EQ(BlurPathAvailable(CpuPath::kAvx2), limit >= CpuPath::kAvx2) << label;
    EXPECT_TRUE(BlurPathAvailable(CpuPath::kPlain)) << label;
    if (limit == CpuPath::kPlain) {
      EXPECT_FALSE(BlurPathAvailable(CpuPath::kSse2)) << label;
    }
  }
}

// Every stage with the path the limit gives (in the runs under
// CHROMALINE_ISA: the path the variable asks for) against the plain loops
// and the plain sharpening reference.
TEST_F(CpuPaths, StagesOnTheLimitsPathMatchThePlainLoops) {
  const PixelBuffer picture = RandomBuffer(101, 37, 11);
  const struct {
    const char* name;
    void (*stage)(PixelBuffer&);
  } stages[] = {
      {"gamma", [](PixelBuffer& b) { ApplyGamma(b, 0.6); }},
      {"auto-levels",
       [](PixelBuffer& b) {
         ApplyAutoLevels(b, ImageRegion{0, 0, b.width(), b.height()});
       }},
      {"grayscale", [](PixelBuffer& b) { ApplyGrayscale(b, 299, 587, 114); }},
      {"sepia", [](PixelBuffer& b) { ApplySepia(b, 299, 587, 114); }},
      {"gray then sepia",
       [](PixelBuffer& b) {
         ApplyGrayscale(b, 212, 716, 72);
         ApplySepia(b, 212, 716, 72);
       }},
  };
  const std::string label = std::string("limit ") + CpuPathName(before_);
  for (const auto& s : stages) {
    PixelBuffer on_path = CopyBuffer(picture);
    s.stage(on_path);
    PixelBuffer plain = CopyBuffer(picture);
    SetCpuPathLimit(CpuPath::kPlain);
    s.stage(plain);
    SetCpuPathLimit(before_);
    EXPECT_EQ(FirstDifference(on_path, plain), "") << s.name << ", " << label;
  }
  PixelBuffer sharpened = CreatePixelBuffer(picture.width(), picture.height(), 24);
  PixelBuffer reference = CreatePixelBuffer(picture.width(), picture.height(), 24);
  UnsharpMaskWith(picture, sharpened, 6.5, 80, 2, StopQuery(), BlurOptions());
  ReferenceUnsharpMask(picture, reference, 6.5, 80, 2, StopQuery());
  EXPECT_EQ(FirstDifference(sharpened, reference), "") << "unsharp mask, " << label;
}

}  // namespace
