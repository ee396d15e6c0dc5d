// A batch takes and frees buffers of the picture's size several times for
// every picture (the rows read, the host's bitmap, the plug-in's working
// planes, the rows encoded). Handed back to the system at once, each must
// be mapped again, page by page and zeroed, for the next picture: with
// 15-megapixel photos that cost about as much processor time as a fifth of
// the filtering. The command line keeps what it frees for the next picture,
// in one heap for all its threads, so that what is kept is what one
// picture needs (the peak of a job stays below four pictures' rows and
// 64 MB).
#ifndef CHROMALINE_CLI_PROCESS_MEMORY_H_
#define CHROMALINE_CLI_PROCESS_MEMORY_H_

// Called once, before the first picture; the memory is the system's again
// when the process ends.
void KeepFreedMemoryForReuse();

#endif  // CHROMALINE_CLI_PROCESS_MEMORY_H_
