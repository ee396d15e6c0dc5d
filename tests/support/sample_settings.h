// Filter settings with every stage switched on, for the tests and the
// benchmarks that want the whole pipeline at work.
#ifndef CHROMALINE_TESTS_SUPPORT_SAMPLE_SETTINGS_H_
#define CHROMALINE_TESTS_SUPPORT_SAMPLE_SETTINGS_H_

#include <cstdint>

#include "filters/filter_settings.h"

// Every stage on, with values the settings dialog shows exactly as they
// are written here ("0.5", "40", "2", "150", "9"); `filter_param` chooses
// the channel weighting (bits 0-3) and sepia (bit 4).
inline FilterSettings EveryStageOn(int32_t filter_param) {
  FilterSettings s;
  s.ToneFilter = 1;
  s.FilterParam = filter_param;
  s.GammaAdj = 1;
  s.GammaVal = 0.5;
  s.Defog = 1;
  s.DefogVal = 40;
  s.AutoLevels = 1;
  s.USMEnable = 1;
  s.USMRadius = 2.0;
  s.USMAmount = 150;
  s.USMThreshold = 9;
  return s;
}

// Every stage on with everyday values, sepia with the standard weights:
// the work the timings measure.
inline FilterSettings EveryStageEveryday() {
  FilterSettings s;
  s.GammaAdj = 1;
  s.GammaVal = 0.3;
  s.AutoLevels = 1;
  s.Defog = 1;
  s.DefogVal = 30;
  s.USMEnable = 1;
  s.USMRadius = 1.5;
  s.USMAmount = 120;
  s.USMThreshold = 3;
  s.ToneFilter = 1;
  s.FilterParam = 0x10;
  return s;
}

// Local contrast and the unsharp mask alone: the two stages that blur.
inline FilterSettings SharpeningOnly(int32_t defog_val, double usm_radius, int32_t usm_amount, int32_t usm_threshold) {
  FilterSettings s;
  s.Defog = 1;
  s.DefogVal = defog_val;
  s.USMEnable = 1;
  s.USMRadius = usm_radius;
  s.USMAmount = usm_amount;
  s.USMThreshold = usm_threshold;
  return s;
}

#endif  // CHROMALINE_TESTS_SUPPORT_SAMPLE_SETTINGS_H_
