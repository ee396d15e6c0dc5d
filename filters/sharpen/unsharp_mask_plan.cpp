// The blur's task list and the placing of its stop queries
// (unsharp_mask_plan.h). Pure arithmetic on the picture size and the
// radius: no pixels, no threads, no memory of its own.
#include <algorithm>

#include "filters/sharpen/unsharp_mask_plan.h"

namespace {

// Most source rows per horizontal task, and output rows per band: small
// enough that the rows of one band split over several threads, large
// enough that a strip's window of rows is reused across many output rows.
constexpr int kMostRowsPerGroup = 8;
constexpr int kMostBandRows = 64;

uint64_t RowWork(const BlurGeometry& g) { return uint64_t{3} * static_cast<uint64_t>(g.width) * g.taps; }

int Clamp(uint64_t value, int low, int high) {
  if (value < static_cast<uint64_t>(low)) return low;
  if (value > static_cast<uint64_t>(high)) return high;
  return static_cast<int>(value);
}

// Walks the plan; with null outputs it only counts.
void WalkPlan(const BlurGeometry& g, const BlurPlanShape& shape, BlurTask* tasks, BlurPhase* phases, int* task_count,
              int* phase_count) {
  const int values = 3 * g.width;
  const int strips = (values + kStripValues - 1) / kStripValues;
  const uint64_t strip_band_work = uint64_t{kStripValues} * static_cast<uint64_t>(shape.band_rows) * g.taps;
  // As few vertical tasks per band as the task size allows, holding equal
  // numbers of strips, so that no thread is left with a short remainder.
  const int most_strips = Clamp(kBlurTaskWork / strip_band_work, 1, strips);
  const int band_tasks = (strips + most_strips - 1) / most_strips;
  const int strips_per_task = (strips + band_tasks - 1) / band_tasks;
  int t = 0, p = 0;
  int ready = 0;
  auto add = [&](bool horizontal, int first_row, int end_row, int first_value, int end_value) {
    if (tasks != nullptr) {
      tasks[t] = BlurTask{horizontal,
                          first_row,
                          end_row,
                          first_value,
                          end_value,
                          static_cast<uint64_t>(end_row - first_row) *
                              static_cast<uint64_t>(end_value - first_value) * static_cast<uint64_t>(g.taps),
                          ready};
    }
    ++t;
  };
  // Tasks up to the end of the last two bands' vertical work.
  int band_done[2] = {0, 0};
  auto close_phase = [&](int first_task) {
    if (t == first_task) return;
    if (phases != nullptr) phases[p] = BlurPhase{first_task, t};
    ++p;
  };
  int next_row = 0;
  for (int band = 0; band < g.height; band += shape.band_rows) {
    const int band_end = std::min(g.height, band + shape.band_rows);
    const int needed = std::min(g.height - 1, band_end - 1 + g.reach);
    int first_task = t;
    ready = band_done[0];  // the rows replace those of two bands ago
    for (; next_row <= needed; next_row += shape.row_group) {
      const int group_end = std::min(needed + 1, next_row + shape.row_group);
      for (int v = 0; v < values; v += shape.piece_values)
        add(true, next_row, group_end, v, std::min(values, v + shape.piece_values));
    }
    next_row = needed + 1;
    close_phase(first_task);
    first_task = t;
    ready = t;  // the band's rows
    for (int s = 0; s < strips; s += strips_per_task) {
      add(false, band, band_end, s * kStripValues, std::min(values, (s + strips_per_task) * kStripValues));
    }
    close_phase(first_task);
    band_done[0] = band_done[1];
    band_done[1] = t;
  }
  *task_count = t;
  *phase_count = p;
}

// Whether the queries can be placed so that no stretch holds more than
// `bound` of work; with `ask_after` also writes the placing. `prerequisite`
// gives, per query, the last task it waits for.
bool PlaceQueries(const BlurTask* tasks, int task_count, const int* prerequisite, int queries, uint64_t bound,
                  int* ask_after) {
  int q = 0;
  uint64_t since = 0;  // work since the previous query
  for (int t = 0; t < task_count; ++t) {
    since += tasks[t].work;
    const uint64_t next = t + 1 < task_count ? tasks[t + 1].work : 0;
    if (t + 1 == task_count || since + next <= bound) continue;
    // One more task would overstep the bound: a query must come here.
    if (q >= queries || prerequisite[q] > t) return false;
    if (ask_after != nullptr) ask_after[q] = t;
    ++q;
    since = 0;
  }
  if (since > bound) return false;
  if (ask_after != nullptr) {
    for (; q < queries; ++q) ask_after[q] = task_count - 1;
  }
  return true;
}

}  // namespace

BlurPlanShape BlurPlanShapeFor(const BlurGeometry& g) {
  BlurPlanShape shape{};
  const int values = 3 * g.width;
  shape.band_rows = std::min(g.height, Clamp(kBlurTaskWork / (uint64_t{kStripValues} * g.taps), 1,
                                             g.taps <= kShortKernelTaps ? kShortKernelBandRows : kMostBandRows));
  const uint64_t row_work = RowWork(g);
  if (row_work <= kBlurTaskWork) {
    shape.row_group = Clamp(kBlurTaskWork / row_work, 1, kMostRowsPerGroup);
    shape.piece_values = values;
  } else {
    // A row longer than one task's work goes in pieces of whole strips.
    shape.row_group = 1;
    const uint64_t strips = kBlurTaskWork / g.taps / kStripValues;
    shape.piece_values = strips < 1 ? kStripValues : Clamp(strips * kStripValues, kStripValues, values);
  }
  // Two bands besides the reach: one being blurred, the next one's rows.
  shape.ring_rows = static_cast<int>(std::min<int64_t>(g.height, int64_t{2} * g.reach + 2 * shape.band_rows));
  WalkPlan(g, shape, nullptr, nullptr, &shape.tasks, &shape.phases);
  return shape;
}

void FillBlurPlan(const BlurGeometry& geometry, const BlurPlanShape& shape, BlurTask* tasks, BlurPhase* phases) {
  int task_count = 0, phase_count = 0;
  WalkPlan(geometry, shape, tasks, phases, &task_count, &phase_count);
}

uint64_t ScheduleBlurQueries(const BlurGeometry& g, const BlurTask* tasks, int task_count, int* ask_after) {
  const int queries = g.height + g.width;
  // Prerequisites first, in ask_after itself: a row waits for the last
  // task holding part of it; a column for the last band's task over it.
  for (int t = 0; t < task_count; ++t) {
    const BlurTask& task = tasks[t];
    if (task.horizontal) {
      for (int y = task.first_row; y < task.end_row; ++y) ask_after[y] = t;
    } else if (task.end_row == g.height) {
      for (int x = task.first_value / 3; x < (task.end_value + 2) / 3; ++x) ask_after[g.height + x] = t;
    }
  }
  uint64_t longest = 0, total = 0;
  for (int t = 0; t < task_count; ++t) {
    longest = std::max(longest, tasks[t].work);
    total += tasks[t].work;
  }
  // The smallest workable bound, by bisection: a larger bound never needs
  // more queries, so workability only grows with it.
  uint64_t low = longest, high = std::max(total, longest);
  while (low < high) {
    const uint64_t middle = low + (high - low) / 2;
    if (PlaceQueries(tasks, task_count, ask_after, queries, middle, nullptr)) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  // The placing overwrites each prerequisite only after reading it.
  PlaceQueries(tasks, task_count, ask_after, queries, low, ask_after);
  return low;
}
