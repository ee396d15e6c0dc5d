// The console on POSIX systems: whether standard error is a terminal, Ctrl+C as a flag.
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "cli/console.h"

namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted.store(true); }

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

void WriteText(std::FILE* stream, const std::string& text) { std::fputs(text.c_str(), stream); }

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

void InstallInterruptHandler() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // a second Ctrl+C ends the process
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() { return g_interrupted.load(); }
