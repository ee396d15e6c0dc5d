// Processor checks and the CHROMALINE_ISA request. GCC and Clang ask through
// __builtin_cpu_supports, which includes the operating system's support for
// the wider registers' state; MSVC asks CPUID and XGETBV itself.
#include "filters/engine/cpu_paths.h"

#include <atomic>
#include <cstdlib>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__) || defined(_M_IX86)
#define CHROMALINE_CPU_X86 1
#if defined(_MSC_VER) && !defined(__clang__)
#include <immintrin.h>
#include <intrin.h>
#endif
#endif

namespace {

#if defined(CHROMALINE_CPU_X86)
#if defined(_MSC_VER) && !defined(__clang__)

struct CpuidBits {
  int leaf1_ecx = 0, leaf1_edx = 0, leaf7_ebx = 0, leaf7_ecx = 0;
  unsigned long long xcr0 = 0;
};

CpuidBits ReadCpuid() {
  CpuidBits bits;
  int info[4];
  __cpuid(info, 0);
  const int top = info[0];
  __cpuid(info, 1);
  bits.leaf1_ecx = info[2];
  bits.leaf1_edx = info[3];
  if ((bits.leaf1_ecx & (1 << 27)) != 0) bits.xcr0 = _xgetbv(0);  // OSXSAVE
  if (top >= 7) {
    __cpuidex(info, 7, 0);
    bits.leaf7_ebx = info[1];
    bits.leaf7_ecx = info[2];
  }
  return bits;
}

CpuPath DetectPath() {
  const CpuidBits b = ReadCpuid();
  if ((b.leaf1_edx & (1 << 26)) == 0) return CpuPath::kPlain;  // no SSE2
  const bool fma = (b.leaf1_ecx & (1 << 12)) != 0;
  // The system must save the YMM state for AVX2, and the opmask and upper
  // ZMM state for AVX-512.
  if (!fma || (b.xcr0 & 6) != 6 || (b.leaf7_ebx & (1 << 5)) == 0) return CpuPath::kSse2;
  const int avx512 = (1 << 16) | (1 << 17) | (1 << 30) | (1 << 31);  // F, DQ, BW, VL
  if ((b.xcr0 & 0xE6) != 0xE6 || (b.leaf7_ebx & avx512) != avx512) return CpuPath::kAvx2;
  return CpuPath::kAvx512;
}

bool DetectVbmi() { return (ReadCpuid().leaf7_ecx & (1 << 1)) != 0; }

#else

CpuPath DetectPath() {
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("sse2")) return CpuPath::kPlain;
  if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) return CpuPath::kSse2;
  if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512bw") ||
      !__builtin_cpu_supports("avx512dq") || !__builtin_cpu_supports("avx512vl")) {
    return CpuPath::kAvx2;
  }
  return CpuPath::kAvx512;
}

bool DetectVbmi() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512vbmi");
}

#endif
#else  // not x86: only the plain loops exist

CpuPath DetectPath() { return CpuPath::kPlain; }
bool DetectVbmi() { return false; }

#endif

CpuPath Narrower(CpuPath a, CpuPath b) { return static_cast<int>(a) < static_cast<int>(b) ? a : b; }

bool SameLetters(const char* text, const char* lower_name) {
  for (; *text != '\0' && *lower_name != '\0'; ++text, ++lower_name) {
    const char c = (*text >= 'A' && *text <= 'Z') ? static_cast<char>(*text - 'A' + 'a') : *text;
    if (c != *lower_name) return false;
  }
  return *text == '\0' && *lower_name == '\0';
}

constexpr CpuPath kAllPaths[] = {CpuPath::kPlain, CpuPath::kSse2, CpuPath::kAvx2, CpuPath::kAvx512};

// The limit as an int; -1 until the variable has been read.
std::atomic<int> g_limit{-1};

}  // namespace

const char* CpuPathName(CpuPath path) {
  switch (path) {
    case CpuPath::kPlain: return "plain";
    case CpuPath::kSse2: return "sse2";
    case CpuPath::kAvx2: return "avx2";
    case CpuPath::kAvx512: return "avx512";
  }
  return "?";
}

CpuPath ProcessorCpuPath() {
  static const CpuPath path = DetectPath();
  return path;
}

bool ProcessorHasAvx512Vbmi() {
  static const bool vbmi = ProcessorCpuPath() == CpuPath::kAvx512 && DetectVbmi();
  return vbmi;
}

CpuPath CpuPathFromRequest(const char* request, CpuPath processor) {
  if (request == nullptr) return processor;
  for (CpuPath path : kAllPaths) {
    if (SameLetters(request, CpuPathName(path))) return Narrower(path, processor);
  }
  return processor;
}

CpuPath CpuPathLimit() {
  int limit = g_limit.load(std::memory_order_relaxed);
  if (limit < 0) {
    // Every thread that gets here computes the same value.
    limit = static_cast<int>(CpuPathFromRequest(std::getenv("CHROMALINE_ISA"), ProcessorCpuPath()));
    int unset = -1;
    if (!g_limit.compare_exchange_strong(unset, limit)) limit = unset;
  }
  return static_cast<CpuPath>(limit);
}

bool CpuPathAllowed(CpuPath path) { return static_cast<int>(path) <= static_cast<int>(CpuPathLimit()); }

void SetCpuPathLimit(CpuPath path) { g_limit.store(static_cast<int>(Narrower(path, ProcessorCpuPath()))); }
