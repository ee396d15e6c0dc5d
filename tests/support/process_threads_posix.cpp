// The threads of this process, counted from /proc/self/task.
#include <dirent.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>

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

int ModuleLoaded(const std::string& path) {
  // The kernel lists a mapped file under its resolved path.
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return -1;
  std::ifstream maps("/proc/self/maps");
  if (!maps) return -1;
  for (std::string line; std::getline(maps, line);) {
    const size_t name = line.find('/');
    if (name != std::string::npos && line.compare(name, std::string::npos, resolved) == 0) return 1;
  }
  return 0;
}

void SetThreadVariable(const char* value) {
  if (value == nullptr) {
    unsetenv("CHROMALINE_THREADS");
  } else {
    setenv("CHROMALINE_THREADS", value, 1);
  }
}
