// File: tests/support/process_threads.h
//
// For the tests of the plug-in's worker threads: how many threads this
// process has right now (/proc/self/task natively, a Toolhelp snapshot on
// Windows), and setting CHROMALINE_THREADS in the process environment the
// plug-in reads.
#ifndef CHROMALINE_TESTS_SUPPORT_PROCESS_THREADS_H_
#define CHROMALINE_TESTS_SUPPORT_PROCESS_THREADS_H_

// Threads of this process, or -1 when they cannot be counted.
int CountProcessThreads();

// Sets the variable (null: removes it).
void SetThreadVariable(const char* value);

#endif  // CHROMALINE_TESTS_SUPPORT_PROCESS_THREADS_H_
