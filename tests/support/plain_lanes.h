// The paths the sharpening tests walk: the dispatcher's own choice, each
// instruction set this processor has, and the vector loops of
// filters/sharpen/unsharp_mask_rows_lanes.h over plain eight-lane arrays in
// each block shape (the AVX-512 shapes among them), which run on every
// processor, bit for bit as the real lanes would.
#ifndef CHROMALINE_TESTS_SUPPORT_PLAIN_LANES_H_
#define CHROMALINE_TESTS_SUPPORT_PLAIN_LANES_H_

#include <optional>
#include <string>
#include <vector>

#include "filters/engine/cpu_paths.h"
#include "filters/sharpen/unsharp_mask_rows.h"

struct LoopPath {
  // The path asked of the engine; for plain lanes any vector path.
  std::optional<CpuPath> path;
  // The plain lanes' loops, or null for a real path.
  const BlurRowLoops* lanes;
  std::string name;
};

// "auto", every available path, then "lanes8 for 32 registers", "... 16",
// "... 8".
std::vector<LoopPath> LoopPathsToTest();

// While alive, the engine runs `path`'s plain lanes where it asks for a
// vector path (nothing for a real path).
class ScopedLoopPath {
 public:
  explicit ScopedLoopPath(const LoopPath& path);
  ~ScopedLoopPath();
  ScopedLoopPath(const ScopedLoopPath&) = delete;
  ScopedLoopPath& operator=(const ScopedLoopPath&) = delete;
};

// The loops `path` runs (the plain lanes' or the dispatcher's).
BlurRowLoops LoopsOf(const LoopPath& path);

#endif  // CHROMALINE_TESTS_SUPPORT_PLAIN_LANES_H_
