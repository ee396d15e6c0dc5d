// The processes of a batch filtered N pictures at once (-j N). The
// plug-in's pipeline keeps module-wide tables, so two pictures are never
// filtered in one process: this program starts itself again as a worker
// (`chromaline-host filter-worker`, a command not shown in --help), hands it
// jobs through its standard input and reads its results from its standard
// output, as make runs its recipes. Standard error is shared with the
// parent. A worker never outlives its parent: when the parent ends, even
// killed, the worker is told (Linux: SIGINT from the kernel, Windows: a job
// object that ends it) and its pipe reaches its end.
#ifndef CHROMALINE_CLI_WORKER_PROCESS_H_
#define CHROMALINE_CLI_WORKER_PROCESS_H_

#include <cstddef>
#include <memory>
#include <string>

// The parent's side of one worker.
class WorkerProcess {
 public:
  WorkerProcess();
  ~WorkerProcess();  // closes its input and waits for it to end
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  // Starts this program as a worker; false with the system's reason.
  bool Start(std::string* error);
  // All of `size` bytes to its standard input; false once it is gone.
  bool Write(const void* data, size_t size);
  // Exactly `size` bytes from its standard output; false at its end.
  bool Read(void* data, size_t size);
  // Its standard input reaches its end: the worker stops and ends.
  void CloseInput();
  // Waits for it to end; its exit status.
  int Wait();

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;
};

// The worker's side: its standard input and output as binary pipes, and
// the end of the parent made a Ctrl+C of its own.
void BecomeWorker();
bool ReadFromParent(void* data, size_t size);
bool WriteToParent(const void* data, size_t size);

// CHROMALINE_THREADS of this process, which the plug-in reads for every
// picture; "" when it is not set.
std::string EngineThreads();
void SetEngineThreads(const std::string& value);

#endif  // CHROMALINE_CLI_WORKER_PROCESS_H_
