// Follows the settings dialog's Help button from wherever a plug-in DLL was
// put: loads the DLL, asks the system for the loaded module's file name,
// builds the help file's path from it the way the button does, and opens
// and reads that file. A script then compares what was read with the help
// page it shipped.
//
//   help_page_probe DLL COPY    loads DLL, writes the help page it finds
//                               to COPY, prints the help page's path
//
// Exit codes: 0 the page was found and copied, 2 usage, 3 the DLL or the
// page could not be used (the system's reason on standard error).
#include <windows.h>

#include <cstdio>
#include <string>

#include "plugin/dialog_messages.h"

namespace {

int Fail(const char* what, const std::string& path) {
  std::fprintf(stderr, "help_page_probe: %s %s: error %lu\n", what, path.c_str(), GetLastError());
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: help_page_probe DLL COPY\n");
    return 2;
  }
  HMODULE module = LoadLibraryA(argv[1]);
  if (module == nullptr) return Fail("cannot load", argv[1]);
  char name[MAX_PATH + 1] = {};
  if (GetModuleFileNameA(module, name, MAX_PATH) == 0) return Fail("no file name for", argv[1]);
  const std::string help = HelpFilePath(name);
  std::printf("%s\n", help.c_str());

  HANDLE in = CreateFileA(help.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return Fail("cannot open", help);
  std::string page;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0) page.append(buffer, got);
  CloseHandle(in);
  FreeLibrary(module);

  FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) return Fail("cannot write", argv[2]);
  const bool written = std::fwrite(page.data(), 1, page.size(), out) == page.size();
  if (std::fclose(out) != 0 || !written) return Fail("cannot write", argv[2]);
  return 0;
}
