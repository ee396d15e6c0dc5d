// A batch's pictures filtered several at once (-j N), each worker a
// process of its own with its own plug-in (cli/worker_process.h): the
// parent's pool hands each idle worker one picture at a time and reads
// back what it reports (cli/job_messages.h); RunFilterWorker is the
// worker's side. A worker that ends unexpectedly is reported with the
// picture it had in hand; the others carry on.
#ifndef CHROMALINE_CLI_BATCH_WORKERS_H_
#define CHROMALINE_CLI_BATCH_WORKERS_H_

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/job_messages.h"
#include "cli/picture_job.h"
#include "cli/worker_process.h"

// The hidden command a worker is started with.
constexpr const char* kWorkerCommand = "filter-worker";

class WorkerPool {
 public:
  WorkerPool() = default;
  ~WorkerPool();  // Finish()
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Starts `count` workers, each handed `arguments` (those of `filter`);
  // false with the reason when one cannot be started (none are left).
  bool Start(size_t count, const std::vector<std::string>& arguments, std::string* error);
  // Hands `job` to a worker with nothing in hand; false when there is none.
  bool Hand(const PictureJob& job);
  // Workers with a picture in hand.
  size_t busy() const;
  // The next report of any worker, waiting up to `wait`; false when none
  // came. A worker that ended comes as kind 0 with the position it had
  // in hand (0: none) and its exit status.
  bool Next(Message* message, std::chrono::milliseconds wait);
  // Ctrl+C for every worker: the pictures in hand are dropped.
  void StopAll();
  // Every worker told to end and waited for.
  void Finish();

 private:
  struct Worker {
    std::unique_ptr<WorkerProcess> process;
    std::thread reader;
    size_t in_hand = 0;  // position, 0: none
    bool alive = true;
  };
  void Read(size_t index);

  std::vector<std::unique_ptr<Worker>> workers_;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::pair<size_t, Message>> reports_;  // worker index, message
};

// CHROMALINE_THREADS for a picture handed out while `unfinished` pictures
// are not done, `workers` at once; "" when the user chose a number.
std::string EngineThreadsFor(size_t unfinished, size_t workers);

// `chromaline-host filter-worker`: the arguments first, then one picture
// after another until the parent closes the pipe. Returns the exit status.
int RunFilterWorker();

#endif  // CHROMALINE_CLI_BATCH_WORKERS_H_
