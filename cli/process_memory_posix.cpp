// The C library's allocator: every block from one heap (none mapped on
// its own, which is what it does with large ones) and nothing trimmed
// from its top, so a freed picture buffer serves the next picture.
//
// One heap, not one per thread: the codecs' threads would otherwise each
// keep an arena of their own, every one holding on to the picture-sized
// blocks freed in it, and a batch of twelve 15-megapixel photos grew to
// 254 MiB resident where one heap stays at 187 MiB (about three pictures'
// rows and the plug-in's working rows; bench/README.md).
#include "cli/process_memory.h"

#include <malloc.h>

#include <climits>

void KeepFreedMemoryForReuse() {
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, INT_MAX);
}
