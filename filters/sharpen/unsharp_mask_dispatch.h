// The one choice of the sharpening engine's row loops: the plain loops or
// the vector forms of one instruction set (CpuPath), never wider than
// filters/engine/cpu_paths.h allows. Tests and benchmarks name a path to
// compare it with the plain one on one machine; the stages leave the
// choice to the dispatcher (no path: the widest allowed).
#ifndef CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_DISPATCH_H_
#define CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_DISPATCH_H_

#include <optional>

#include "filters/engine/cpu_paths.h"
#include "filters/sharpen/unsharp_mask_rows.h"

// Whether the loops of `path` were built and may run here (CpuPathAllowed);
// kPlain always can.
bool BlurPathAvailable(CpuPath path);

// The loops of `path`; the plain ones where that path is not available.
// No path: the widest available.
BlurRowLoops BlurRowLoopsFor(std::optional<CpuPath> path);

// For tests: while set, BlurRowLoopsFor hands out `loops` for every path but
// kPlain, on any processor (the same loops over plain lanes, in another
// block shape); null restores the choice above. Safe to call while no
// stage runs.
void OverrideBlurRowLoops(const BlurRowLoops* loops);

#endif  // CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_DISPATCH_H_
