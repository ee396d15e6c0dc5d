// The console on Windows: the command line taken in UTF-16 (main's argv is
// in the ANSI code page, where a name beyond it is lost) with its
// wildcards expanded (cmd.exe passes *.png on as it is), text written to a
// console in UTF-16 (a console shows UTF-8 bytes only in code page 65001),
// to a file or pipe as the UTF-8 it is, and pictures through standard
// input and output in binary mode.
#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/scoped_win32.h"
#include "cli/console.h"

namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The second one goes on to the default handler, which ends the process.
  return g_interrupted.exchange(true) ? FALSE : TRUE;
}

// The names `pattern` matches, its folder part kept as it was typed, in
// the order of their names; empty when nothing matches. Wildcards count in
// the last part only; "." and ".." are never matched.
std::vector<std::wstring> Expand(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  const size_t last = pattern.find_last_of(L"\\/:");
  const std::wstring folder = last == std::wstring::npos ? std::wstring() : pattern.substr(0, last + 1);
  if (pattern.find_first_of(L"*?", folder.size()) == std::wstring::npos) return names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(folder + name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> arguments;
  bool operands_only = false;
  for (int i = 0; i < count; ++i) {
    // No Windows file name holds * or ?, so a pattern names no file of its
    // own; the program name and what follows -- are taken as they are too.
    const std::vector<std::wstring> names = i == 0 || operands_only ? std::vector<std::wstring>() : Expand(wide[i]);
    if (std::wcscmp(wide[i], L"--") == 0) operands_only = true;
    if (names.empty()) arguments.push_back(Utf8FromWide(wide[i]));
    for (const std::wstring& name : names) arguments.push_back(Utf8FromWide(name));
  }
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
bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

bool ReadStandardInput(std::vector<uint8_t>* bytes, std::string* error) {
  _setmode(_fileno(stdin), _O_BINARY);  // no CR LF turned into LF, no stop at Ctrl+Z
  uint8_t block[65536];
  for (;;) {
    const size_t n = std::fread(block, 1, sizeof block, stdin);
    bytes->insert(bytes->end(), block, block + n);
    if (n < sizeof block) break;
  }
  if (!std::ferror(stdin)) return true;
  *error = std::strerror(errno);
  return false;
}

bool WriteStandardOutput(const std::vector<uint8_t>& bytes, std::string* error) {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);  // no CR added before each LF byte
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0) return true;
  *error = std::strerror(errno);
  return false;
}

void InstallInterruptHandler() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool InterruptRequested() { return g_interrupted.load(); }
