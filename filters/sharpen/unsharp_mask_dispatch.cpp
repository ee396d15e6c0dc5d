// Hands out the plain loops (unsharp_mask_rows.cpp) or one instruction
// set's vector forms (unsharp_mask_rows_vector.h). The vector forms exist
// only on x86 with SSE2; elsewhere every path gets the plain loops.
#include "filters/sharpen/unsharp_mask_dispatch.h"

#include "filters/sharpen/unsharp_mask_rows_vector.h"

namespace {

const BlurRowLoops* override_loops = nullptr;

}  // namespace

void OverrideBlurRowLoops(const BlurRowLoops* loops) { override_loops = loops; }

bool BlurPathAvailable(CpuPath path) {
  switch (path) {
    case CpuPath::kPlain: return true;
#if defined(CHROMALINE_BLUR_X86)
    case CpuPath::kSse2:
    case CpuPath::kAvx2:
    case CpuPath::kAvx512: return CpuPathAllowed(path);
#else
    default: return false;
#endif
  }
  return false;
}

BlurRowLoops BlurRowLoopsFor(std::optional<CpuPath> path) {
  // The limit itself may name a set this build lacks (32-bit code without
  // SSE2); then, as for any path not available, the plain loops run.
  const CpuPath chosen = path.value_or(CpuPathLimit());
  if (override_loops != nullptr && chosen != CpuPath::kPlain) return *override_loops;
  switch (BlurPathAvailable(chosen) ? chosen : CpuPath::kPlain) {
#if defined(CHROMALINE_BLUR_X86)
    case CpuPath::kSse2: return {HorizontalRowSse2, VerticalBandSse2, VerticalBandSse2, SharpenRowGeneric};
    case CpuPath::kAvx2: return {HorizontalRowAvx2, VerticalBandAvx2, VerticalBandAvx2, SharpenRowAvx2};
    case CpuPath::kAvx512: return {HorizontalRowAvx512, VerticalBandAvx512, VerticalBandAvx512, SharpenRowAvx512};
#endif
    default: return {HorizontalRowGeneric, VerticalBandGeneric, VerticalBandGeneric, SharpenRowGeneric};
  }
}
