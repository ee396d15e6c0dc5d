// The worker facility: what CHROMALINE_THREADS asks for, every band run
// exactly once on any team size, `between` on the calling thread only, and
// a stop that starts no further band.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "filters/engine/worker_team.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace {

void SetVariableForTest(const char* value) {
#if defined(_WIN32)
  SetEnvironmentVariableA("CHROMALINE_THREADS", value);
#else
  if (value == nullptr) {
    unsetenv("CHROMALINE_THREADS");
  } else {
    setenv("CHROMALINE_THREADS", value, 1);
  }
#endif
}

TEST(ThreadVariable, ParsesCountsAutoAndAnythingElseAsUnset) {
  const struct {
    const char* value;
    int available;
    int expected;
  } cases[] = {
      {nullptr, 8, 1}, {"", 8, 1},     {"1", 8, 1},       {"2", 8, 2},
      {"7", 1, 7},     {"64", 2, 64},  {"65", 2, 64},     {"100000000000", 2, 64},
      {"auto", 8, 8},  {"0", 8, 8},    {"auto", 200, 64}, {"auto", 0, 1},
      {"00", 3, 1},    {"AUTO", 8, 1}, {"-2", 8, 1},      {"4x", 8, 1},
      {" 4", 8, 1},    {"4 ", 8, 1},   {"+4", 8, 1},      {"2.5", 8, 1},
      {"all", 8, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseThreadCount(c.value, c.available), c.expected)
        << "value " << (c.value ? std::string("\"") + c.value + "\"" : "unset") << ", " << c.available
        << " processors";
  }
}

TEST(ThreadVariable, ReadsTheEnvironmentAndRefusesOverlongValues) {
  char buffer[8];
  SetVariableForTest("5");
  ASSERT_TRUE(ReadThreadVariable(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "5");
  EXPECT_EQ(ThreadCountFromEnvironment(), 5);
  SetVariableForTest("auto-and-much-more");
  ASSERT_TRUE(ReadThreadVariable(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "x");
  EXPECT_EQ(ThreadCountFromEnvironment(), 1);
  SetVariableForTest(nullptr);
  EXPECT_FALSE(ReadThreadVariable(buffer, sizeof buffer));
  EXPECT_EQ(ThreadCountFromEnvironment(), 1);
}

TEST(ThreadVariable, AffinityCountIsPositiveAndBounded) {
  const int count = AvailableProcessorCount();
  EXPECT_GE(count, 1);
  EXPECT_LE(count, 4096);
}

TEST(WorkerTeam, RunsEveryBandOnceForAnyTeamSize) {
  for (int threads : {1, 2, 3, 7, 64}) {
    for (int bands : {0, 1, 2, 5, 63, 64, 65, 1000}) {
      WorkerTeam team(threads);
      EXPECT_GE(team.size(), 1);
      EXPECT_LE(team.size(), threads);
      std::vector<std::atomic<int>> runs(static_cast<size_t>(bands));
      team.Run(bands, [&](int band) { runs[static_cast<size_t>(band)].fetch_add(1); });
      for (int b = 0; b < bands; ++b) {
        EXPECT_EQ(runs[static_cast<size_t>(b)].load(), 1)
            << threads << " threads, " << bands << " bands, band " << b;
      }
      // The same team runs again.
      std::atomic<int> second{0};
      team.Run(bands, [&](int) { second.fetch_add(1); });
      EXPECT_EQ(second.load(), bands) << threads << " threads";
    }
  }
}

TEST(WorkerTeam, BetweenRunsOnTheCallingThreadWithAGrowingPrefix) {
  for (int threads : {1, 2, 7}) {
    WorkerTeam team(threads);
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<int> prefixes;
    std::atomic<int> finished{0};
    bool all_on_caller = true;
    const bool complete = team.Run(
        50, [&](int) { finished.fetch_add(1); },
        [&](int prefix) {
          all_on_caller = all_on_caller && std::this_thread::get_id() == caller;
          // Every band below the prefix has really finished.
          EXPECT_LE(prefix, finished.load());
          prefixes.push_back(prefix);
          return true;
        });
    EXPECT_TRUE(complete);
    EXPECT_TRUE(all_on_caller) << threads << " threads";
    ASSERT_FALSE(prefixes.empty());
    EXPECT_EQ(prefixes.back(), 50) << threads << " threads";
    for (size_t i = 1; i < prefixes.size(); ++i) EXPECT_GT(prefixes[i], prefixes[i - 1]);
  }
}

TEST(WorkerTeam, AStopStartsNoFurtherBand) {
  constexpr int kBands = 10000;
  // Bands from the sixth on wait for the first five, so the answer to the
  // prefix of five comes before any of them can finish; workers holding one
  // wait for that answer, so they cannot run ahead of a caller the system
  // has not scheduled yet.
  std::vector<int> ready_after(kBands, 5);
  for (int b = 0; b < 5; ++b) ready_after[static_cast<size_t>(b)] = 0;
  for (int threads : {1, 2, 7}) {
    WorkerTeam team(threads);
    std::atomic<int> started{0};
    std::atomic<bool> answered{false};
    const bool complete = team.RunWithSlots(
        kBands,
        [&](int band, int slot) {
          started.fetch_add(1);
          while (slot != 0 && band >= 5 && !answered.load()) std::this_thread::yield();
          if (band >= 5) std::this_thread::sleep_for(std::chrono::microseconds(100));
        },
        [&](int prefix) {
          if (prefix < 5) return true;
          answered.store(true);
          return false;
        },
        ready_after.data());
    EXPECT_FALSE(complete);
    if (team.size() == 1) {
      // The caller alone: the answer comes after each band, so exactly the
      // first five ran.
      EXPECT_EQ(started.load(), 5);
    } else {
      // Workers may take a few more bands while the answer travels back to
      // the team; a stop that went unheard runs all ten thousand.
      EXPECT_LT(started.load(), kBands / 2) << threads << " threads";
    }
  }
}

// A band that must wait for earlier ones never starts before they finish,
// and the run still ends (no thread waits for a band that never comes).
TEST(WorkerTeam, ABandStartsOnlyAfterTheBandsItWaitsFor) {
  constexpr int kBands = 300;
  std::vector<int> ready_after(kBands);
  for (int b = 0; b < kBands; ++b) ready_after[static_cast<size_t>(b)] = b % 10 == 0 ? b : std::max(0, b - 15);
  for (int threads : {1, 2, 7}) {
    for (int at_once : {1, 2, 64}) {
      WorkerTeam team(threads, at_once);
      std::vector<std::atomic<int>> finished(kBands);
      std::atomic<int> early{0};
      team.RunWithSlots(
          kBands,
          [&](int band, int) {
            for (int b = 0; b < ready_after[static_cast<size_t>(band)]; ++b) {
              if (finished[static_cast<size_t>(b)].load() == 0) early.fetch_add(1);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(band % 7 == 0 ? 300 : 20));
            finished[static_cast<size_t>(band)].store(1);
          },
          [](int) { return true; }, ready_after.data());
      EXPECT_EQ(early.load(), 0) << threads << " threads, " << at_once << " at once";
      for (auto& f : finished) EXPECT_EQ(f.load(), 1);
    }
  }
}

// More threads than processors take turns: no more bands run at once than
// the team allows (the caller's included), and every band still runs once.
TEST(WorkerTeam, NeverRunsMoreBandsAtOnceThanAllowed) {
  for (int at_once : {1, 2, 3}) {
    WorkerTeam team(6, at_once);
    std::vector<std::atomic<int>> runs(40);
    std::atomic<int> running{0}, most{0};
    team.Run(40, [&](int band) {
      const int now = running.fetch_add(1) + 1;
      int seen = most.load();
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(std::chrono::microseconds(500));
      running.fetch_sub(1);
      runs[static_cast<size_t>(band)].fetch_add(1);
    });
    EXPECT_LE(most.load(), at_once) << at_once << " at once";
    for (auto& r : runs) EXPECT_EQ(r.load(), 1);
  }
}

TEST(WorkerTeam, RunBandsCoversEveryBand) {
  for (int threads : {1, 3}) {
    std::vector<std::atomic<int>> runs(17);
    RunBands(threads, 17, [&](int band) { runs[static_cast<size_t>(band)].fetch_add(1); });
    for (auto& r : runs) EXPECT_EQ(r.load(), 1);
  }
}

}  // namespace
