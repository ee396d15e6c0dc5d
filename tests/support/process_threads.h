// For the tests of the plug-in's worker threads: how many threads this
// process has right now (/proc/self/task natively, a Toolhelp snapshot on
// Windows), whether the plug-in module is still loaded after its host let
// it go (/proc/self/maps, GetModuleHandle), and setting CHROMALINE_THREADS
// in the process environment the plug-in reads.
#ifndef CHROMALINE_TESTS_SUPPORT_PROCESS_THREADS_H_
#define CHROMALINE_TESTS_SUPPORT_PROCESS_THREADS_H_

#include <string>

// Threads of this process, or -1 when they cannot be counted.
int CountProcessThreads();

// Whether the module file at `path` is loaded in this process: 1 yes, 0 no,
// -1 when that cannot be told.
int ModuleLoaded(const std::string& path);

// Sets the variable (null: removes it).
void SetThreadVariable(const char* value);

#endif  // CHROMALINE_TESTS_SUPPORT_PROCESS_THREADS_H_
