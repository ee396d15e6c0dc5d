// The portable part of the worker facility: reading CHROMALINE_THREADS and
// handing bands to a team of std::threads under one mutex. Bands are
// coarse (milliseconds of work each), so one lock per band costs nothing
// worth measuring.
#include "filters/engine/worker_team.h"

#include <cstdlib>
#include <cstring>
#include <system_error>

int ParseThreadCount(const char* value, int available) {
  if (value == nullptr) return 1;
  if (std::strcmp(value, "auto") == 0 || std::strcmp(value, "0") == 0) {
    if (available < 1) return 1;
    return available < kMaxWorkerThreads ? available : kMaxWorkerThreads;
  }
  // Decimal digits only: "-2", "4x", " 4" and "" count as unset.
  if (*value == '\0') return 1;
  long count = 0;
  for (const char* p = value; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 1;
    if (count < 1000) count = count * 10 + (*p - '0');
  }
  if (count < 1) return 1;
  return count < kMaxWorkerThreads ? static_cast<int>(count) : kMaxWorkerThreads;
}

int ThreadCountFromEnvironment() {
  char value[32];
  if (!ReadThreadVariable(value, sizeof value)) return 1;
  const bool automatic = std::strcmp(value, "auto") == 0 || std::strcmp(value, "0") == 0;
  return ParseThreadCount(value, automatic ? AvailableProcessorCount() : 1);
}

WorkerTeam::WorkerTeam(int threads, int at_once) {
  if (threads > kMaxWorkerThreads) threads = kMaxWorkerThreads;
  workers_at_once_ = at_once < 1 ? 0 : at_once - 1;
  for (int i = 1; i < threads; ++i) {
    try {
      workers_.emplace_back(&WorkerTeam::WorkerLoop, this, i);
    } catch (const std::system_error&) {
      break;  // the system has no more threads for us: work with fewer
    }
  }
}

WorkerTeam::~WorkerTeam() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  work_ready_.notify_all();
  turn_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

int WorkerTeam::TakeBand(bool worker) {
  if (stopped_ || next_ >= bands_) return kNoBand;
  if (ready_after_ != nullptr && done_prefix_ < ready_after_[next_]) return kNotReady;
  if (worker) {
    if (workers_running_ >= workers_at_once_) return kNoTurn;
    ++workers_running_;
  }
  ++running_;
  return next_++;
}

void WorkerTeam::PassTurn() {
  if (turn_waiting_ > 0 && workers_running_ < workers_at_once_) turn_.notify_one();
}

void WorkerTeam::FinishBand(int band) {
  --running_;
  done_[static_cast<size_t>(band)] = 1;
  while (done_prefix_ < bands_ && done_[static_cast<size_t>(done_prefix_)] != 0) ++done_prefix_;
}

void WorkerTeam::WorkerLoop(int slot) {
  unsigned seen = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [&] { return quit_ || generation_ != seen; });
    if (quit_) return;
    seen = generation_;
    for (;;) {
      const int band = TakeBand(true);
      if (band == kNoBand) {
        PassTurn();  // a worker waiting for a turn learns that the run is over
        break;
      }
      if (band == kNoTurn) {
        // As many workers busy as the processors allow: wait until one
        // stops taking bands, rather than waking at every band finished.
        ++turn_waiting_;
        turn_.wait(lock);
        --turn_waiting_;
        continue;
      }
      if (band == kNotReady) {
        PassTurn();
        ++waiting_;
        band_done_.wait(lock);
        --waiting_;
        continue;
      }
      const SlotBandFunction body = body_;
      void* const context = body_context_;
      lock.unlock();
      body(context, band, slot);
      lock.lock();
      FinishBand(band);
      --workers_running_;
      // The caller and any worker waiting for this band to be done. Waking
      // costs a system call (a server call under Wine): only when needed.
      if (waiting_ > 0) band_done_.notify_all();
    }
  }
}

namespace {

struct PlainBand {
  WorkerTeam::BandFunction body;
  void* context;
};

}  // namespace

void WorkerTeam::PlainBody(void* context, int band, int) {
  const PlainBand* plain = static_cast<const PlainBand*>(context);
  plain->body(plain->context, band);
}

bool WorkerTeam::RunFunctions(int bands, BandFunction body, void* body_context, BetweenFunction between,
                              void* between_context) {
  PlainBand plain{body, body_context};
  return RunSlotFunctions(bands, &WorkerTeam::PlainBody, &plain, between, between_context, nullptr);
}

bool WorkerTeam::RunSlotFunctions(int bands, SlotBandFunction body, void* body_context, BetweenFunction between,
                                  void* between_context, const int* ready_after) {
  if (bands <= 0) return between == nullptr || between(between_context, 0);
  std::unique_lock<std::mutex> lock(mutex_);
  body_ = body;
  body_context_ = body_context;
  bands_ = bands;
  next_ = 0;
  running_ = 0;
  done_prefix_ = 0;
  stopped_ = false;
  ready_after_ = ready_after;
  done_.assign(static_cast<size_t>(bands), 0);
  if (!workers_.empty()) {
    ++generation_;
    work_ready_.notify_all();
  }
  int reported = 0;  // the prefix `between` last saw
  for (;;) {
    if (between != nullptr && done_prefix_ > reported && !stopped_) {
      reported = done_prefix_;
      lock.unlock();
      const bool go_on = between(between_context, reported);
      lock.lock();
      if (!go_on) {
        stopped_ = true;
        if (waiting_ > 0) band_done_.notify_all();
      }
      continue;  // more bands may have finished meanwhile
    }
    const int band = TakeBand(false);
    if (band >= 0) {
      lock.unlock();
      body(body_context, band, 0);
      lock.lock();
      FinishBand(band);
      if (waiting_ > 0) band_done_.notify_all();  // workers waiting for this band
      continue;
    }
    // Nothing running means every band this run will start has finished
    // (a band that is not ready waits only for running ones).
    if (running_ == 0) break;
    ++waiting_;
    band_done_.wait(lock);
    --waiting_;
  }
  // Every band that was started has finished; no worker touches this run's
  // body or context any more (they only take bands under the lock).
  bands_ = 0;
  ready_after_ = nullptr;
  return !stopped_;
}
