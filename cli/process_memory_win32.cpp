// The Windows heap keeps its own large blocks as it sees fit; nothing to
// ask of it here.
#include "cli/process_memory.h"

void KeepFreedMemoryForReuse() {}
