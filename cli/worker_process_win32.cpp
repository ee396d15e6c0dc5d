// Workers on Windows: CreateProcessW with two anonymous pipes as the
// worker's standard input and output, each worker in a job object that
// ends it when the parent's handle closes (the parent ending, even
// killed). Only the worker's own pipe ends are inheritable, and only while
// it is created: a worker never holds another's pipe open.
#include <windows.h>

#include "base/scoped_win32.h"
#include "cli/worker_process.h"

namespace {

std::string SystemReason(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = text != nullptr ? Utf8FromWide(text) : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
    reason.pop_back();
  return reason;
}

// One job object for every worker of this process, closed by the system
// when the process ends.
HANDLE WorkerJob() {
  static HANDLE job = [] {
    HANDLE made = CreateJobObjectW(nullptr, nullptr);
    if (made == nullptr) return made;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return made;
  }();
  return job;
}

void CloseIfOpen(HANDLE* handle) {
  if (*handle != nullptr) CloseHandle(*handle);
  *handle = nullptr;
}

}  // namespace

struct WorkerProcess::Handles {
  HANDLE to = nullptr;    // the worker's standard input, our end
  HANDLE from = nullptr;  // its standard output, our end
  HANDLE process = nullptr;
};

WorkerProcess::WorkerProcess() : handles_(new Handles) {}

WorkerProcess::~WorkerProcess() {
  CloseInput();
  Wait();
}

bool WorkerProcess::Start(std::string* error) {
  wchar_t self[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    *error = "cannot find this program's own file to start a worker: " + SystemReason(GetLastError());
    return false;
  }
  HANDLE child_in = nullptr, child_out = nullptr, child_err = nullptr;
  if (!CreatePipe(&child_in, &handles_->to, nullptr, 0) || !CreatePipe(&handles_->from, &child_out, nullptr, 0)) {
    *error = "cannot make a pipe for a worker: " + SystemReason(GetLastError());
    CloseIfOpen(&child_in);
    CloseIfOpen(&handles_->to);
    return false;
  }
  DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE), GetCurrentProcess(), &child_err, 0, TRUE,
                  DUPLICATE_SAME_ACCESS);
  SetHandleInformation(child_in, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  SetHandleInformation(child_out, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_in;
  startup.hStdOutput = child_out;
  startup.hStdError = child_err;
  std::wstring command = L"\"" + std::wstring(self) + L"\" filter-worker";
  PROCESS_INFORMATION process = {};
  const BOOL made = CreateProcessW(self, &command[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                                   &startup, &process);
  const DWORD reason = GetLastError();
  CloseIfOpen(&child_in);
  CloseIfOpen(&child_out);
  CloseIfOpen(&child_err);
  if (!made) {
    *error = Utf8FromWide(self) + ": cannot be started as a worker: " + SystemReason(reason);
    CloseIfOpen(&handles_->to);
    CloseIfOpen(&handles_->from);
    return false;
  }
  // In the job before it runs a single instruction.
  if (WorkerJob() != nullptr) AssignProcessToJobObject(WorkerJob(), process.hProcess);
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);
  handles_->process = process.hProcess;
  return true;
}

bool WorkerProcess::Write(const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0 && handles_->to != nullptr) {
    DWORD written = 0;
    if (!WriteFile(handles_->to, p, static_cast<DWORD>(size), &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return size == 0;
}

bool WorkerProcess::Read(void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0 && handles_->from != nullptr) {
    DWORD read = 0;
    if (!ReadFile(handles_->from, p, static_cast<DWORD>(size), &read, nullptr) || read == 0) return false;
    p += read;
    size -= read;
  }
  return size == 0;
}

void WorkerProcess::CloseInput() { CloseIfOpen(&handles_->to); }

int WorkerProcess::Wait() {
  if (handles_->process == nullptr) return 0;
  WaitForSingleObject(handles_->process, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(handles_->process, &status);
  CloseIfOpen(&handles_->process);
  CloseIfOpen(&handles_->from);
  return static_cast<int>(status);
}

void BecomeWorker() {}

bool ReadFromParent(void* data, size_t size) {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  char* p = static_cast<char*>(data);
  while (size > 0) {
    DWORD read = 0;
    if (!ReadFile(in, p, static_cast<DWORD>(size), &read, nullptr) || read == 0) return false;
    p += read;
    size -= read;
  }
  return true;
}

bool WriteToParent(const void* data, size_t size) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(out, p, static_cast<DWORD>(size), &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}

std::string EngineThreads() {
  char value[32] = {};
  const DWORD length = GetEnvironmentVariableA("CHROMALINE_THREADS", value, sizeof value);
  if (length == 0 || length >= sizeof value) return length == 0 ? "" : "x";
  return value;
}

void SetEngineThreads(const std::string& value) { SetEnvironmentVariableA("CHROMALINE_THREADS", value.c_str()); }
