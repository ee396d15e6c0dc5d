// File: tests/support/process_threads_posix.cpp
#include <dirent.h>

#include <cstdlib>

#include "tests/support/process_threads.h"

int CountProcessThreads() {
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(tasks);
  return count;
}

void SetThreadVariable(const char* value) {
  if (value == nullptr) {
    unsetenv("CHROMALINE_THREADS");
  } else {
    setenv("CHROMALINE_THREADS", value, 1);
  }
}
