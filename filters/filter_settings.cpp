// File: filters/filter_settings.cpp
#include "filters/filter_settings.h"

bool operator==(const FilterSettings& a, const FilterSettings& b) {
  // Reals compare bit for bit in spirit: a stored 0.33 must equal 0.33.
  return a.ToneFilter == b.ToneFilter && a.FilterParam == b.FilterParam && a.GammaAdj == b.GammaAdj &&
         a.GammaVal == b.GammaVal && a.Defog == b.Defog && a.DefogVal == b.DefogVal &&
         a.AutoLevels == b.AutoLevels && a.USMEnable == b.USMEnable && a.USMRadius == b.USMRadius &&
         a.USMAmount == b.USMAmount && a.USMThreshold == b.USMThreshold;
}
