// The job planner and the option checks of `filter` on real files in a
// folder of the test's own: which names get an output, what "-" means, an
// existing OUT, a dry run that changes nothing, and the warnings for
// options a run ignores. (The real program is run in tests/cli/safety.sh.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/file_name.h"
#include "cli/job_plan.h"
#include "cli/options.h"

namespace fs = std::filesystem;

namespace {

// A folder of the test's own, the current folder while it lives, so that
// the paths given are relative as a person's would be.
class PlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    root_ = fs::temp_directory_path() / ("chromaline-plan-" + std::to_string(std::random_device()()));
    fs::create_directories(root_);
    fs::current_path(root_);
  }
  void TearDown() override {
    fs::current_path(old_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  // A file that begins as a PNG does, or as `head` says.
  static void Make(const std::string& name, const std::string& head = "\x89PNG\r\n\x1a\n") {
    fs::create_directories(PathFromUtf8(name).parent_path().empty() ? "." : PathFromUtf8(name).parent_path());
    std::ofstream(PathFromUtf8(name), std::ios::binary) << head << std::string(64, '\0');
  }
  // Parses `args` (after "filter"), then plans; false when either refuses.
  static bool Plan(std::vector<std::string> args, FilterOptions* o, std::vector<Job>* jobs, std::string* error) {
    args.insert(args.begin(), {"chromaline-host", "filter"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    return ParseFilterOptions(static_cast<int>(argv.size()), argv.data(), 2, o, error) && PlanJobs(*o, jobs, error);
  }
  fs::path old_, root_;
};

TEST_F(PlanTest, EveryPathGivenOrWalkedGetsItsOutputButInPlaceFiltersAFileOnce) {
  Make("lib/2024/s.png");
  fs::create_directories("lib/Favorites");
  fs::create_hard_link("lib/2024/s.png", "lib/Favorites/s.png");
  FilterOptions o;
  std::vector<Job> jobs;
  std::string error;
  ASSERT_TRUE(Plan({"-r", "-o", "out", "lib"}, &o, &jobs, &error)) << error;
  ASSERT_EQ(jobs.size(), 2u);
  for (const Job& job : jobs) EXPECT_EQ(job.state, Job::State::kToDo) << job.reason;
  EXPECT_EQ(jobs[1].output, fs::path("out/Favorites/s.png"));

  // The same path twice, spelt two ways: once, with -o as with --in-place.
  for (const char* mode : {"-o", "--in-place"}) {
    FilterOptions again;
    jobs.clear();
    std::vector<std::string> args = {mode, "lib/2024/s.png", "lib/./2024/../2024/s.png"};
    if (std::string(mode) == "-o") args.insert(args.begin() + 1, "out");
    ASSERT_TRUE(Plan(args, &again, &jobs, &error)) << error;
    ASSERT_EQ(jobs.size(), 2u) << mode;
    EXPECT_EQ(jobs[1].state, Job::State::kLeftAlone) << mode;
    EXPECT_NE(jobs[1].reason.find("named twice"), std::string::npos) << mode << ": " << jobs[1].reason;
  }
  FilterOptions in_place;
  jobs.clear();
  ASSERT_TRUE(Plan({"--in-place", "-r", "lib"}, &in_place, &jobs, &error)) << error;
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].state, Job::State::kToDo);
  EXPECT_EQ(jobs[1].state, Job::State::kLeftAlone) << "one file behind two links, filtered twice";
}

TEST_F(PlanTest, DashIsStandardInputAndOutputInTheInOutFormOnly) {
  Make("a.png");
  Make("b.bmp", "BM");
  struct Case {
    std::vector<std::string> args;
    bool from_stdin, to_stdout, from_content;
    PhotoFormat format;
  };
  const Case cases[] = {
      {{"-", "x.jpg"}, true, false, false, PhotoFormat::kJpeg},
      {{"a.png", "-"}, false, true, false, PhotoFormat::kPng},
      {{"b.bmp", "-"}, false, true, false, PhotoFormat::kBmp},
      {{"--format", "jpeg", "a.png", "-"}, false, true, false, PhotoFormat::kJpeg},
      {{"-", "-"}, true, true, true, PhotoFormat::kPng},
  };
  for (const Case& c : cases) {
    FilterOptions o;
    std::vector<Job> jobs;
    std::string error;
    ASSERT_TRUE(Plan(c.args, &o, &jobs, &error)) << c.args[0] << " " << c.args[1] << ": " << error;
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].state, Job::State::kToDo) << jobs[0].reason;
    EXPECT_EQ(jobs[0].from_stdin, c.from_stdin) << c.args[0];
    EXPECT_EQ(jobs[0].to_stdout, c.to_stdout) << c.args[1];
    EXPECT_EQ(jobs[0].format_from_content, c.from_content);
    if (!c.from_content) {
      EXPECT_EQ(jobs[0].format, c.format) << c.args[0] << " " << c.args[1];
    }
  }
  EXPECT_FALSE(fs::exists("-"));
  for (const std::vector<std::string>& refused :
       {std::vector<std::string>{"-o", "out", "-"}, {"--suffix", "-c", "a.png", "-"}, {"--in-place", "-"}}) {
    FilterOptions o;
    std::vector<Job> jobs;
    std::string error;
    EXPECT_FALSE(Plan(refused, &o, &jobs, &error)) << refused.back();
    EXPECT_NE(error.find("IN OUT"), std::string::npos) << error;
  }
  // "./-" is a file, written as any other.
  FilterOptions o;
  std::vector<Job> jobs;
  std::string error;
  ASSERT_TRUE(Plan({"--format", "png", "a.png", "./-"}, &o, &jobs, &error)) << error;
  EXPECT_FALSE(jobs[0].to_stdout);
}

TEST_F(PlanTest, AnExistingOutFailsInOutButIsLeftAloneByABatch) {
  Make("two/a.png");
  Make("two/b.png");
  FilterOptions o;
  std::vector<Job> jobs;
  std::string error;
  ASSERT_TRUE(Plan({"two/a.png", "two/b.png"}, &o, &jobs, &error)) << error;
  EXPECT_EQ(jobs[0].state, Job::State::kFailed);
  for (const char* way : {"--overwrite", "-o DIR", "--suffix", "--in-place"}) {
    EXPECT_NE(jobs[0].reason.find(way), std::string::npos) << way << " not named: " << jobs[0].reason;
  }
  FilterOptions overwrite;
  jobs.clear();
  ASSERT_TRUE(Plan({"--overwrite", "two/a.png", "two/b.png"}, &overwrite, &jobs, &error)) << error;
  EXPECT_EQ(jobs[0].state, Job::State::kToDo);
  Make("out/a.png");
  FilterOptions batch;
  jobs.clear();
  ASSERT_TRUE(Plan({"-o", "out", "two/a.png"}, &batch, &jobs, &error)) << error;
  EXPECT_EQ(jobs[0].state, Job::State::kLeftAlone);
}

TEST_F(PlanTest, ADryRunOnlyNamesAnOldTemporary) {
  Make("a.png");
  const std::string stale = ".a.png.999999999-abcdefgh.tmp";  // no process has such an id
  Make("out/" + stale);
  FilterOptions o;
  std::vector<Job> jobs;
  std::string error;
  ASSERT_TRUE(Plan({"-n", "-o", "out", "a.png"}, &o, &jobs, &error)) << error;
  ASSERT_EQ(jobs[0].notes.size(), 1u);
  EXPECT_NE(jobs[0].notes[0].find("would be removed"), std::string::npos) << jobs[0].notes[0];
  EXPECT_TRUE(fs::exists("out/" + stale));
  EXPECT_EQ(DryRunLine(jobs[0], true), "a.png -> " + Shown("out/a.png") + ": filtered (png)");
  EXPECT_NE(DryRunLine(jobs[0], false).find("copied unchanged"), std::string::npos);
}

TEST_F(PlanTest, EachIgnoredOptionIsNamed) {
  Make("a.png");
  Make("dir/b.png");
  struct Case {
    std::vector<std::string> args;
    bool region_used;
    const char* warning;  // the start of the one warning, or "" for none
  };
  const Case cases[] = {
      {{"--quality", "90", "a.png", "x.png"}, false, "warning: --quality 90: ignored"},
      {{"--quality", "90", "a.png", "x.jpg"}, false, ""},
      {{"--quality", "90", "-", "-"}, false, ""},  // the format is known only from the picture
      {{"--quality", "90", "--format", "jpeg", "-o", "out", "a.png"}, false, ""},
      {{"-r", "-o", "out", "a.png"}, false, "warning: -r: ignored"},
      {{"-r", "-o", "out", "dir"}, false, ""},
      {{"--overwrite", "--in-place", "a.png"}, false, "warning: --overwrite: ignored"},
      {{"--overwrite", "a.png", "-"}, false, "warning: --overwrite: ignored"},
      {{"--keep-time", "a.png", "-"}, false, "warning: --keep-time: ignored"},
      {{"--keep-time", "-", "x.png"}, false, "warning: --keep-time: ignored"},
      {{"--keep-time", "a.png", "x.png"}, false, ""},
      {{"--ignore-local", "-", "x.png"}, false, "warning: --ignore-local: ignored"},
      {{"--region", "0,0,1,1", "a.png", "x.png"}, false, "warning: --region: ignored"},
      {{"--region", "0,0,1,1", "a.png", "x.png"}, true, ""},
      {{"-q", "-v", "a.png", "x.png"}, false, "warning: -q: ignored"},
      {{"-v", "-q", "a.png", "x.png"}, false, "warning: -v: ignored"},
      {{"-n", "--store", "s.store", "--save-store", "a.png", "x.png"}, false, "warning: --save-store: ignored"},
      {{"-n", "-v", "a.png", "x.png"}, false, "warning: -v: ignored"},
      {{"--quality", "80", "--quality", "70", "a.png", "x.jpg"}, false, "warning: --quality: ignored"},
      {{"--preset", "p.store", "--store", "s.store", "a.png", "x.png"}, false, "warning: --preset: ignored"},
      {{"-o", "o1", "--output-dir", "o2", "a.png"}, false, "warning: --output-dir: ignored"},
      {{"--set", "GammaVal=1", "--set", "gammaval=2", "a.png", "x.png"}, false, "warning: --set GammaVal: ignored"},
      {{"--set", "GammaVal=1", "--set", "GammaAdj=1", "a.png", "x.png"}, false, ""},
  };
  for (const Case& c : cases) {
    FilterOptions o;
    std::vector<Job> jobs;
    std::string error;
    ASSERT_TRUE(Plan(c.args, &o, &jobs, &error)) << c.args[0] << ": " << error;
    const std::vector<std::string> lines = IgnoredOptions(o, jobs, c.region_used);
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    if (*c.warning == '\0') {
      EXPECT_TRUE(lines.empty()) << c.args[0] << " " << c.args[1] << ": " << all;
    } else {
      ASSERT_EQ(lines.size(), 1u) << c.args[0] << " " << c.args[1] << ": " << all;
      EXPECT_EQ(lines[0].rfind(c.warning, 0), 0u) << lines[0];
    }
  }
  FilterOptions o;
  std::vector<Job> jobs;
  std::string error;
  EXPECT_FALSE(Plan({"--in-place", "--format", "jpeg", "a.png"}, &o, &jobs, &error));
}

}  // namespace
