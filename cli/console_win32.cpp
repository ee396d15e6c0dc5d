// The console on Windows: the command line taken in UTF-16 (main's argv is
// in the ANSI code page, where a name beyond it is lost), and text written
// to a console in UTF-16 (a console shows UTF-8 bytes only in code page
// 65001), to a file or pipe as the UTF-8 it is.
#include <windows.h>
#include <shellapi.h>
#include <io.h>

#include <atomic>
#include <cstdio>

#include "base/scoped_win32.h"
#include "cli/console.h"

namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The second one goes on to the default handler, which ends the process.
  return g_interrupted.exchange(true) ? FALSE : TRUE;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

void WriteText(std::FILE* stream, const std::string& text) {
  const HANDLE handle = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    std::fputs(text.c_str(), stream);
    return;
  }
  std::fflush(stream);  // what went through the C library first stays first
  const std::wstring wide = WideFromUtf8(text);
  DWORD written = 0;
  WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void InstallInterruptHandler() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool InterruptRequested() { return g_interrupted.load(); }
