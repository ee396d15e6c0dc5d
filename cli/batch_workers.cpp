// The parent's pool of workers and the worker's loop. Each worker has one
// reader thread in the parent, which only moves its reports into one
// queue; everything shown and counted happens on the batch's thread.
#include "cli/batch_workers.h"

#include <algorithm>
#include <atomic>

#include "cli/console.h"
#include "cli/process_memory.h"
#include "cli/settings.h"
#include "filters/engine/worker_team.h"

namespace {

bool Send(const Message& message) {
  const std::string frame = EncodeMessage(message);
  return WriteToParent(frame.data(), frame.size());
}

}  // namespace

WorkerPool::~WorkerPool() { Finish(); }

bool WorkerPool::Start(size_t count, const std::vector<std::string>& arguments, std::string* error) {
  const std::string first = EncodeMessage(MakeMessage('a', arguments));
  for (size_t i = 0; i < count; ++i) {
    auto worker = std::make_unique<Worker>();
    worker->process = std::make_unique<WorkerProcess>();
    if (!worker->process->Start(error)) {
      Finish();
      return false;
    }
    worker->process->Write(first.data(), first.size());
    workers_.push_back(std::move(worker));
    workers_.back()->reader = std::thread(&WorkerPool::Read, this, i);
  }
  return true;
}

void WorkerPool::Read(size_t index) {
  WorkerProcess& process = *workers_[index]->process;
  const auto read = [&process](void* data, size_t size) { return process.Read(data, size); };
  Message message;
  while (ReadMessage(read, &message)) {
    std::lock_guard<std::mutex> lock(mutex_);
    reports_.emplace_back(index, message);
    arrived_.notify_one();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  reports_.emplace_back(index, Message());
  arrived_.notify_one();
}

bool WorkerPool::Hand(const PictureJob& job) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& worker : workers_) {
    if (!worker->alive || worker->in_hand != 0) continue;
    worker->in_hand = job.position;
    // A worker gone by now is reported by its reader, with this picture.
    const std::string frame = EncodeMessage(JobMessage(job));
    worker->process->Write(frame.data(), frame.size());
    return true;
  }
  return false;
}

size_t WorkerPool::busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t count = 0;
  for (const auto& worker : workers_) count += worker->alive && worker->in_hand != 0;
  return count;
}

bool WorkerPool::Next(Message* message, std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!arrived_.wait_for(lock, wait, [this] { return !reports_.empty(); })) return false;
  const size_t index = reports_.front().first;
  *message = std::move(reports_.front().second);
  reports_.pop_front();
  Worker& worker = *workers_[index];
  if (message->kind == 'd' && static_cast<size_t>(message->Number(0)) == worker.in_hand) worker.in_hand = 0;
  if (message->kind != 0) return true;
  worker.alive = false;
  const size_t in_hand = worker.in_hand;
  worker.in_hand = 0;
  lock.unlock();
  worker.reader.join();
  const int status = worker.process->Wait();
  message->fields = {std::to_string(in_hand), std::to_string(status)};
  return true;
}

void WorkerPool::StopAll() {
  const std::string frame = EncodeMessage(MakeMessage('x'));
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& worker : workers_) {
    if (worker->alive) worker->process->Write(frame.data(), frame.size());
  }
}

void WorkerPool::Finish() {
  for (const auto& worker : workers_) worker->process->CloseInput();
  for (const auto& worker : workers_) {
    if (worker->reader.joinable()) worker->reader.join();
    worker->process->Wait();
  }
  workers_.clear();
  reports_.clear();
}

// CHROMALINE_THREADS for a picture handed out while `unfinished` pictures
// are not done, `workers` at once: the processors shared among the
// pictures being filtered, so that the last ones (or one big one) get the
// processors the others leave. "" when the user chose a number.
std::string EngineThreadsFor(size_t unfinished, size_t workers) {
  const std::string asked = EngineThreads();
  if (asked != "auto" && asked != "0") return "";
  const size_t at_once = std::max<size_t>(1, std::min(workers, unfinished));
  return std::to_string(std::max<size_t>(1, static_cast<size_t>(AvailableProcessorCount()) / at_once));
}

int RunFilterWorker() {
  InstallInterruptHandler();
  BecomeWorker();
  KeepFreedMemoryForReuse();
  const auto read = [](void* data, size_t size) { return ReadFromParent(data, size); };
  Message first;
  if (!ReadMessage(read, &first) || first.kind != 'a') return kExitUsage;
  std::vector<std::string> arguments = {"chromaline-host", "filter"};
  arguments.insert(arguments.end(), first.fields.begin(), first.fields.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  FilterOptions o;
  std::string error;
  PluginHost host;
  if (!ParseFilterOptions(static_cast<int>(arguments.size()), argv.data(), 2, &o, &error) ||
      !LoadStore(o, host.store(), &error) || !host.Load(o.plugin, &error)) {
    Send(MakeMessage('e', {error}));
    return kExitFailure;
  }
  for (const SettingAssignment& set : o.sets) ApplySetting(host.store(), set);
  host.Send(kMessageLoadSettings);
  host.Send(kMessageEnable, reinterpret_cast<void*>(1), 1);
  Send(MakeMessage('r'));

  // The pipe's end (the parent done, or gone) stops the picture in hand.
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<PictureJob> jobs;
  bool closed = false;
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    Message message;
    PictureJob job;
    while (ReadMessage(read, &message)) {
      if (message.kind == 'x') stop = true;
      if (!JobFromMessage(message, &job)) continue;
      std::lock_guard<std::mutex> lock(mutex);
      jobs.push_back(job);
      arrived.notify_one();
    }
    stop = true;
    std::lock_guard<std::mutex> lock(mutex);
    closed = true;
    arrived.notify_one();
  });
  for (;;) {
    std::unique_lock<std::mutex> lock(mutex);
    arrived.wait(lock, [&] { return !jobs.empty() || closed; });
    if (jobs.empty()) break;
    const PictureJob job = jobs.front();
    jobs.pop_front();
    lock.unlock();
    RunPicture(
        o, host, job, [&stop] { return stop.load() || InterruptRequested(); },
        [](const Message& message) { Send(message); });
  }
  reader.join();
  return kExitOk;
}
