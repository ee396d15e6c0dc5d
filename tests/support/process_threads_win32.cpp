// The threads of this process, counted through a Toolhelp snapshot.
#include <windows.h>
#include <tlhelp32.h>

#include "tests/support/process_threads.h"

int CountProcessThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  const DWORD self = GetCurrentProcessId();
  int count = 0;
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == self) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

int ModuleLoaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr ? 1 : 0; }

void SetThreadVariable(const char* value) { SetEnvironmentVariableA("CHROMALINE_THREADS", value); }
