// Worker threads for the filter stages, for whoever asks for them through
// the environment variable CHROMALINE_THREADS. Without it the plug-in
// starts no thread at all: a WorkerTeam of size 1 is the calling thread
// alone, and Run() then simply calls the body band after band.
//
// Work is handed out as numbered bands. The bands are the caller's own
// fixed division of the work (rows, strips), never derived from the
// thread count, so the bytes a stage writes cannot depend on it. The
// calling thread runs bands too, and it alone calls `between`, which is
// where a stage may talk to whoever started it (a stop query). Worker
// threads live exactly as long as their WorkerTeam: a stage makes one for
// one call and nothing is left running when the call returns.
//
// CHROMALINE_THREADS: unset, empty or "1" is one thread; "auto" or "0" is
// every logical processor the process may run on (its affinity mask);
// "N" is N threads. At most kMaxWorkerThreads; any other value counts as
// unset.
#ifndef CHROMALINE_FILTERS_ENGINE_WORKER_TEAM_H_
#define CHROMALINE_FILTERS_ENGINE_WORKER_TEAM_H_

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

constexpr int kMaxWorkerThreads = 64;

// The thread count a value of CHROMALINE_THREADS asks for; `value` may be
// null (unset). `available` is what "auto" means (at least 1 is assumed).
int ParseThreadCount(const char* value, int available);

// Logical processors in the process's affinity mask, at least 1
// (worker_team_posix.cpp / worker_team_win32.cpp).
int AvailableProcessorCount();

// Copies the value of CHROMALINE_THREADS from the process environment into
// `buffer` (`size` bytes, at least 2); false when the variable is unset. A
// value too long for the buffer comes back as "x" (neither a count nor
// "auto"). No thread-local or shared storage: any thread may call it.
bool ReadThreadVariable(char* buffer, size_t size);

// ParseThreadCount of the variable and AvailableProcessorCount(), reading
// the affinity mask only when the value is "auto" or "0".
int ThreadCountFromEnvironment();

class WorkerTeam {
 public:
  using BandFunction = void (*)(void* context, int band);
  // The same with the slot of the thread running it: 0 for the calling
  // thread, 1 to size() - 1 for the workers; no two bands that run at the
  // same time share a slot.
  using SlotBandFunction = void (*)(void* context, int band, int slot);
  // Called on the calling thread with the number of leading bands that are
  // all finished; false stops the run (no further band is started).
  using BetweenFunction = bool (*)(void* context, int done_prefix);

  // Starts threads - 1 workers (none for 1 or less). A worker that cannot
  // be started is simply missing: the team runs with those it has. Besides
  // the caller, at most `at_once` - 1 workers run bands at the same time
  // (by default the processors the process may use): more threads than
  // processors take turns rather than push each other's rows out of the
  // caches and hold up the bands others wait for.
  explicit WorkerTeam(int threads, int at_once = AvailableProcessorCount());
  // Stops and joins every worker.
  ~WorkerTeam();
  WorkerTeam(const WorkerTeam&) = delete;
  WorkerTeam& operator=(const WorkerTeam&) = delete;

  // Threads that run bands, the calling thread included.
  int size() const { return static_cast<int>(workers_.size()) + 1; }

  // Runs body(context, band) for every band in [0, bands), each once, on
  // the team, and returns when no band is running any more. `between`
  // (optional) is called on the calling thread after each band the caller
  // finishes and whenever another thread finishes one while the caller
  // waits, and a last time once every band is done. Returns false if
  // `between` stopped the run, true when every band ran.
  bool RunFunctions(int bands, BandFunction body, void* body_context, BetweenFunction between = nullptr,
                    void* between_context = nullptr);

  // `ready_after` (optional, one entry per band): band b starts only once
  // the first ready_after[b] bands have all finished (ready_after[b] <= b).
  // Bands are started in order, so a band that must wait holds back the
  // ones after it.
  bool RunSlotFunctions(int bands, SlotBandFunction body, void* body_context, BetweenFunction between = nullptr,
                        void* between_context = nullptr, const int* ready_after = nullptr);

  // The same for callables: body(int band), between(int done_prefix) -> bool.
  template <typename Body>
  void Run(int bands, Body&& body) {
    RunFunctions(bands, &CallBody<Body>, &body);
  }
  template <typename Body, typename Between>
  bool Run(int bands, Body&& body, Between&& between) {
    return RunFunctions(bands, &CallBody<Body>, &body, &CallBetween<Between>, &between);
  }
  // body(int band, int slot).
  template <typename Body, typename Between>
  bool RunWithSlots(int bands, Body&& body, Between&& between, const int* ready_after = nullptr) {
    return RunSlotFunctions(bands, &CallSlotBody<Body>, &body, &CallBetween<Between>, &between, ready_after);
  }

 private:
  template <typename Body>
  static void CallBody(void* context, int band) {
    (*static_cast<std::remove_reference_t<Body>*>(context))(band);
  }
  template <typename Body>
  static void CallSlotBody(void* context, int band, int slot) {
    (*static_cast<std::remove_reference_t<Body>*>(context))(band, slot);
  }
  template <typename Between>
  static bool CallBetween(void* context, int done_prefix) {
    return (*static_cast<std::remove_reference_t<Between>*>(context))(done_prefix);
  }

  static void PlainBody(void* context, int band, int slot);
  void WorkerLoop(int slot);
  // With the lock held: takes the next band, or returns kNoBand when none
  // is left (or the run stopped), kNotReady when the next must wait.
  static constexpr int kNoBand = -1;
  static constexpr int kNotReady = -2;
  static constexpr int kNoTurn = -3;  // a worker: as many workers busy as allowed
  int TakeBand(bool worker);
  // With the lock held: records a finished band.
  void FinishBand(int band);
  // With the lock held, from a worker that stops taking bands for now: lets
  // one worker waiting for a turn try again.
  void PassTurn();

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable work_ready_;  // workers wait for a run or the end
  std::condition_variable band_done_;   // the caller waits for bands
  std::condition_variable turn_;        // workers wait for a free processor
  unsigned generation_ = 0;
  bool quit_ = false;
  int waiting_ = 0;       // threads in band_done_.wait
  int turn_waiting_ = 0;  // workers in turn_.wait
  int workers_at_once_ = 0;
  int workers_running_ = 0;
  // The current run.
  SlotBandFunction body_ = nullptr;
  void* body_context_ = nullptr;
  int bands_ = 0;
  int next_ = 0;
  int running_ = 0;
  int done_prefix_ = 0;
  bool stopped_ = false;
  const int* ready_after_ = nullptr;
  std::vector<unsigned char> done_;
};

// Runs body(band) for every band in [0, bands) on a team of `threads`
// made for this call alone; the caller takes part.
template <typename Body>
void RunBands(int threads, int bands, Body&& body) {
  if (threads <= 1 || bands <= 1) {
    for (int band = 0; band < bands; ++band) body(band);
    return;
  }
  WorkerTeam team(threads < bands ? threads : bands);
  team.Run(bands, std::forward<Body>(body));
}

#endif  // CHROMALINE_FILTERS_ENGINE_WORKER_TEAM_H_
