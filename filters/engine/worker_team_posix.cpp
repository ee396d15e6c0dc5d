// The platform part of the worker facility on Linux and other POSIX
// systems: the affinity mask through sched_getaffinity, the variable
// through getenv.
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "filters/engine/worker_team.h"

int AvailableProcessorCount() {
#if defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return count;
  }
#endif
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int>(online < 4096 ? online : 4096) : 1;
}

bool ReadThreadVariable(char* buffer, size_t size) {
  const char* value = std::getenv("CHROMALINE_THREADS");
  if (value == nullptr) return false;
  const size_t length = std::strlen(value);
  if (length >= size) {
    std::strcpy(buffer, "x");
  } else {
    std::memcpy(buffer, value, length + 1);
  }
  return true;
}
