// The platform part of the worker facility on Windows: the affinity mask
// through GetProcessAffinityMask (a 32-bit process sees at most 32
// processors), the variable from the process environment block, which the
// host may have set with SetEnvironmentVariable whatever C runtime it uses.
#include <windows.h>

#include "filters/engine/worker_team.h"

int AvailableProcessorCount() {
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) == 0) return 1;
  int count = 0;
  for (; process_mask != 0; process_mask &= process_mask - 1) ++count;
  return count > 0 ? count : 1;
}

bool ReadThreadVariable(char* buffer, size_t size) {
  SetLastError(0);  // an empty value also gives 0, without an error
  const DWORD length = GetEnvironmentVariableA("CHROMALINE_THREADS", buffer, static_cast<DWORD>(size));
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
  if (length >= size) {
    buffer[0] = 'x';  // too long to be a count or "auto"
    buffer[1] = '\0';
  } else {
    buffer[length] = '\0';
  }
  return true;
}
