// File: filters/filter_settings.h
//
// Every parameter of the filter stages in one plain value record. Switches
// are off at 0 and on at any other value. Nothing here checks ranges: only
// the settings dialog does, and each stage says what it does with values
// outside them.
#ifndef CHROMALINE_FILTERS_FILTER_SETTINGS_H_
#define CHROMALINE_FILTERS_FILTER_SETTINGS_H_

#include <cstdint>

struct FilterSettings {
  int32_t ToneFilter = 0;     // tone stage on/off
  int32_t FilterParam = 0;    // bits 0-3 channel weighting, bit 4 sepia
  int32_t GammaAdj = 0;       // gamma stage on/off
  double GammaVal = 0.0;      // the stage uses gamma GammaVal + 1.0
  int32_t Defog = 0;          // local contrast stage on/off
  int32_t DefogVal = 10;      // local contrast amount, percent
  int32_t AutoLevels = 0;     // auto-levels stage on/off
  int32_t USMEnable = 0;      // unsharp-mask stage on/off
  double USMRadius = 0.5;     // pixels
  int32_t USMAmount = 100;    // percent
  int32_t USMThreshold = 4;   // channel levels

  // True when the pipeline has any stage to run.
  bool AnyStageEnabled() const {
    return AutoLevels != 0 || Defog != 0 || GammaAdj != 0 || ToneFilter != 0 || USMEnable != 0;
  }
};

bool operator==(const FilterSettings& a, const FilterSettings& b);
inline bool operator!=(const FilterSettings& a, const FilterSettings& b) { return !(a == b); }

#endif  // CHROMALINE_FILTERS_FILTER_SETTINGS_H_
