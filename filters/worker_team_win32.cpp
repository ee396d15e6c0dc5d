// File: filters/worker_team_win32.cpp
//
// The platform part of the worker facility on Windows: the affinity mask
// through GetProcessAffinityMask (a 32-bit process sees at most 32
// processors), the variable from the process environment block, which the
// host may have set with SetEnvironmentVariable whatever C runtime it uses.
#include <windows.h>

#include "filters/worker_team.h"

int AvailableProcessorCount() {
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) == 0) return 1;
  int count = 0;
  for (; process_mask != 0; process_mask &= process_mask - 1) ++count;
  return count > 0 ? count : 1;
}

const char* ThreadVariable() {
  // Values longer than this are not a count or "auto" anyway.
  static thread_local char value[32];
  const DWORD length = GetEnvironmentVariableA("CHROMALINE_THREADS", value, sizeof value);
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return nullptr;
  if (length >= sizeof value) return "invalid";
  value[length] = '\0';
  return value;
}
