// Every parameter of the filter stages in one plain value record. Switches
// are off at 0 and on at any other value. Nothing here checks ranges: only
// the settings dialog does, and each stage says what it does with values
// outside them.
#ifndef CHROMALINE_FILTERS_FILTER_SETTINGS_H_
#define CHROMALINE_FILTERS_FILTER_SETTINGS_H_

#include <cstdint>

struct FilterSettings {
  int32_t ToneFilter = 0;    // tone stage on/off
  int32_t FilterParam = 0;   // bits 0-3 channel weighting, bit 4 sepia
  int32_t GammaAdj = 0;      // gamma stage on/off
  double GammaVal = 0.0;     // the stage uses gamma GammaVal + 1.0
  int32_t Defog = 0;         // local contrast stage on/off
  int32_t DefogVal = 10;     // local contrast amount, percent
  int32_t AutoLevels = 0;    // auto-levels stage on/off
  int32_t USMEnable = 0;     // unsharp-mask stage on/off
  double USMRadius = 0.5;    // pixels
  int32_t USMAmount = 100;   // percent
  int32_t USMThreshold = 4;  // channel levels
};

// Reals compare bit for bit in spirit: a stored 0.33 must equal 0.33.
inline bool operator==(const FilterSettings& a, const FilterSettings& b) {
  return a.ToneFilter == b.ToneFilter && a.FilterParam == b.FilterParam && a.GammaAdj == b.GammaAdj &&
         a.GammaVal == b.GammaVal && a.Defog == b.Defog && a.DefogVal == b.DefogVal &&
         a.AutoLevels == b.AutoLevels && a.USMEnable == b.USMEnable && a.USMRadius == b.USMRadius &&
         a.USMAmount == b.USMAmount && a.USMThreshold == b.USMThreshold;
}
inline bool operator!=(const FilterSettings& a, const FilterSettings& b) { return !(a == b); }

#endif  // CHROMALINE_FILTERS_FILTER_SETTINGS_H_
