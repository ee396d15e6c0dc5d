// File: plugin/setting_keys.cpp
#include "plugin/setting_keys.h"

const char kEnabledKey[] = "Enabled";
const char kHotKeyKey[] = "HotKey";

const SettingKey kFilterKeys[] = {
    {"ToneFilter", &FilterSettings::ToneFilter, nullptr, 0},
    {"FilterParam", &FilterSettings::FilterParam, nullptr, 0},
    {"GammaAdj", &FilterSettings::GammaAdj, nullptr, 0},
    {"GammaVal", nullptr, &FilterSettings::GammaVal, 0.0},
    {"Defog", &FilterSettings::Defog, nullptr, 0},
    {"DefogVal", &FilterSettings::DefogVal, nullptr, 10},
    {"AutoLevels", &FilterSettings::AutoLevels, nullptr, 0},
    {"USMRadius", nullptr, &FilterSettings::USMRadius, 0.5},
    {"USMAmount", &FilterSettings::USMAmount, nullptr, 100},
    {"USMThreshold", &FilterSettings::USMThreshold, nullptr, 4},
    {"USMEnable", &FilterSettings::USMEnable, nullptr, 0},
};
const size_t kFilterKeyCount = sizeof kFilterKeys / sizeof kFilterKeys[0];
