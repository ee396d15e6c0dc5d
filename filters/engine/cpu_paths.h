// The one place that decides which instruction-set path the vector loops
// (the point stages' rows and the sharpening engine's) take: the widest the
// processor and its operating system support, narrowed by the environment
// variable CHROMALINE_ISA when it is set to plain, sse2, avx2 or avx512. A
// request wider than the processor has gives what the processor has, so no
// setting can make the plug-in run an instruction the processor lacks;
// any other value counts as unset. The variable is read once, at the first
// query.
#ifndef CHROMALINE_FILTERS_ENGINE_CPU_PATHS_H_
#define CHROMALINE_FILTERS_ENGINE_CPU_PATHS_H_

// Ordered from narrowest to widest.
// - kPlain: the plain loops only.
// - kSse2: 128-bit vectors of SSE2 (every processor the 32-bit DLL runs on
//   and every x86-64 processor).
// - kAvx2: AVX2 with FMA.
// - kAvx512: AVX-512 F, BW, DQ and VL (the x86-64-v4 level).
enum class CpuPath { kPlain = 0, kSse2 = 1, kAvx2 = 2, kAvx512 = 3 };

// "plain", "sse2", "avx2" or "avx512".
const char* CpuPathName(CpuPath path);

// The widest path this processor supports (kPlain off x86).
CpuPath ProcessorCpuPath();

// Whether the processor also has AVX-512 VBMI (byte permutes), which the
// point stages' AVX-512 loops need on top of kAvx512.
bool ProcessorHasAvx512Vbmi();

// The path a request names, held to `processor`: an empty, absent or unknown
// request (letter case aside) gives `processor`.
CpuPath CpuPathFromRequest(const char* request, CpuPath processor);

// The widest path the loops may take: CHROMALINE_ISA applied to
// ProcessorCpuPath(), or what SetCpuPathLimit() set last.
CpuPath CpuPathLimit();

// Whether loops of `path` may run: path <= CpuPathLimit().
bool CpuPathAllowed(CpuPath path);

// For tests and benchmarks: narrows the loops to `path` (held to the
// processor, like the variable). Safe to call while no stage runs.
void SetCpuPathLimit(CpuPath path);

#endif  // CHROMALINE_FILTERS_ENGINE_CPU_PATHS_H_
