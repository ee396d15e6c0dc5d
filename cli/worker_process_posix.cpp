// Workers on POSIX systems: posix_spawn with one socket pair as the
// worker's standard input and output (sent to with MSG_NOSIGNAL, so a
// worker that is gone is a failed write, not a SIGPIPE for the parent);
// on Linux the kernel sends the worker SIGINT when its parent ends.
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "cli/worker_process.h"

extern char** environ;

struct WorkerProcess::Handles {
  int socket = -1;
  pid_t pid = -1;
};

WorkerProcess::WorkerProcess() : handles_(new Handles) {}

WorkerProcess::~WorkerProcess() {
  CloseInput();
  Wait();
}

bool WorkerProcess::Start(std::string* error) {
  char self[PATH_MAX] = {};
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) {
    *error = std::string("cannot find this program's own file to start a worker: ") + std::strerror(errno);
    return false;
  }
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    *error = std::string("cannot make a pipe for a worker: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  char command[] = "filter-worker";
  char* argv[] = {self, command, nullptr};
  pid_t pid = -1;
  const int failure = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (failure != 0) {
    close(ends[0]);
    *error = std::string(self) + ": cannot be started as a worker: " + std::strerror(failure);
    return false;
  }
  handles_->socket = ends[0];
  handles_->pid = pid;
  return true;
}

bool WorkerProcess::Write(const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0 && handles_->socket >= 0) {
    const ssize_t n = send(handles_->socket, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return size == 0;
}

bool WorkerProcess::Read(void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0 && handles_->socket >= 0) {
    const ssize_t n = recv(handles_->socket, p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return size == 0;
}

void WorkerProcess::CloseInput() {
  // Only the direction to the worker: its results can still be read.
  if (handles_->socket >= 0) shutdown(handles_->socket, SHUT_WR);
}

int WorkerProcess::Wait() {
  if (handles_->pid < 0) return 0;
  int status = 0;
  while (waitpid(handles_->pid, &status, 0) < 0 && errno == EINTR) {
  }
  handles_->pid = -1;
  if (handles_->socket >= 0) close(handles_->socket);
  handles_->socket = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
}

void BecomeWorker() {
#if defined(__linux__)
  // The parent's end is a Ctrl+C here: the picture in hand is dropped.
  // (Checked after asking: the parent may have ended before.)
  prctl(PR_SET_PDEATHSIG, SIGINT);
  if (getppid() == 1) raise(SIGINT);
#endif
}

bool ReadFromParent(void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = read(STDIN_FILENO, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteToParent(const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = send(STDOUT_FILENO, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string EngineThreads() {
  const char* value = std::getenv("CHROMALINE_THREADS");
  return value != nullptr ? value : "";
}

void SetEngineThreads(const std::string& value) { setenv("CHROMALINE_THREADS", value.c_str(), 1); }
