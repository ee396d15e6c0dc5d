// The order of the blur's work and of its stop queries, worked out before
// any pixel is touched (filters/sharpen/unsharp_mask_plan.cpp), so that the engine
// (filters/sharpen/unsharp_mask_blur.cpp) only follows it, on one thread or many.
//
// The work is a list of tasks in a fixed order: pieces of the horizontal
// pass (a few source rows, or part of one very long row) and pieces of the
// vertical pass (one band of output rows across a few strips). The tasks
// come in phases: the rows a band of the vertical pass needs, then that
// band. Tasks of one phase are independent of each other. A band's tasks
// wait for its rows; the rows of band b wait for band b - 2 to be done
// with the ring's rows they replace, so the next band's rows are worked
// out while the stragglers of a band finish. Every boundary follows from
// the picture size and the radius alone.
//
// The H + W stop queries keep their order: one per source row, then one
// per column. Query q may be asked only once every task up to its
// prerequisite has finished (the row's horizontal pass; for a column, the
// last band's strip that holds it). The plan holds each query back as long
// as it can and spends it where the work since the previous query would
// otherwise exceed `longest_gap`, the smallest bound for which that works.
#ifndef CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_PLAN_H_
#define CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_PLAN_H_

#include <cstdint>

// Tap-values of blur work (one tap applied to one channel value) that one
// task holds at most, unless a single source row is longer still: a row's
// query needs the whole row first. About 3 ms on one core with the widest
// vector loops, 25 ms with the plain ones.
constexpr uint64_t kBlurTaskWork = uint64_t{1} << 25;

// Values (three per pixel) per strip of the vertical pass; every task's
// value range starts on a strip boundary.
constexpr int kStripValues = 192;

// Kernels of this many taps or fewer (radii up to 3) are short: the blur
// is memory work, so bands hold 16 rows at most and the ring stays small
// (and holds floats, unsharp_mask_blur.cpp).
constexpr int kShortKernelTaps = 8;
constexpr int kShortKernelBandRows = 16;

struct BlurTask {
  bool horizontal;
  // Horizontal: source rows [first_row, end_row). Vertical: output rows.
  int first_row, end_row;
  // Values [first_value, end_value) of each of those rows.
  int first_value, end_value;
  uint64_t work;  // tap-values
  // The task may start once the first `ready_after` tasks have finished.
  int ready_after;
};

struct BlurPhase {
  int first_task, end_task;
};

struct BlurGeometry {
  int width, height;
  int reach;  // n: the kernel reads n pixels either side
  int taps;   // 2n + 2
};

struct BlurPlanShape {
  int band_rows;     // output rows per band of the vertical pass
  int row_group;     // source rows per horizontal task
  int piece_values;  // values per horizontal task when a row is split
  int ring_rows;     // horizontal rows the engine keeps at once
  int tasks;
  int phases;
};

// The sizes of the plan for this geometry.
BlurPlanShape BlurPlanShapeFor(const BlurGeometry& geometry);

// Fills `tasks` (shape.tasks entries) and `phases` (shape.phases entries).
void FillBlurPlan(const BlurGeometry& geometry, const BlurPlanShape& shape, BlurTask* tasks, BlurPhase* phases);

// For each of the H + W queries, the task after which it is asked (a
// query asked after task t is asked once tasks 0..t have all finished).
// Returns the blur work of the longest stretch between two queries, or
// between the start or the last query and the end of the blur.
uint64_t ScheduleBlurQueries(const BlurGeometry& geometry, const BlurTask* tasks, int task_count, int* ask_after);

#endif  // CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_PLAN_H_
