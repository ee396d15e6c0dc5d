// The console on POSIX systems: whether standard error is a terminal, Ctrl+C as a
// flag, pictures through standard input and output.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "cli/console.h"

namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted.store(true); }

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

void WriteText(std::FILE* stream, const std::string& text) { std::fputs(text.c_str(), stream); }

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }
bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) != 0; }

bool ReadStandardInput(std::vector<uint8_t>* bytes, std::string* error) {
  uint8_t block[65536];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = std::strerror(errno);
      return false;
    }
    if (n == 0) return true;
    bytes->insert(bytes->end(), block, block + n);
  }
}

bool WriteStandardOutput(const std::vector<uint8_t>& bytes, std::string* error) {
  std::fflush(stdout);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = std::strerror(n < 0 ? errno : EIO);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

void InstallInterruptHandler() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // a second Ctrl+C ends the process
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() { return g_interrupted.load(); }
