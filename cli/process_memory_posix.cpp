// The C library's allocator: every block from its heaps (none mapped on
// its own, which is what it does with large ones) and nothing trimmed
// from their tops, so a freed picture buffer serves the next picture.
#include "cli/process_memory.h"

#include <malloc.h>

#include <climits>

void KeepFreedMemoryForReuse() {
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, INT_MAX);
}
