// File: host/settings_store.cpp
#include "host/settings_store.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

void SettingsStore::SetInt(const std::string& section, const std::string& key, int32_t value) {
  Value& v = values_[{section, key}];
  v.type = kSettingInt;
  v.integer = value;
  v.real = 0.0;
}

void SettingsStore::SetDouble(const std::string& section, const std::string& key, double value) {
  Value& v = values_[{section, key}];
  v.type = kSettingDouble;
  v.integer = 0;
  v.real = value;
}

const SettingsStore::Value* SettingsStore::Find(const std::string& section, const std::string& key) const {
  auto it = values_.find({section, key});
  return it == values_.end() ? nullptr : &it->second;
}

void SettingsStore::Write(const HostSettingRecord& record) {
  if (record.section == nullptr || record.key == nullptr) return;
  if (record.type == kSettingDouble) {
    double value;
    std::memcpy(&value, record.value, sizeof value);
    SetDouble(record.section, record.key, value);
  } else {
    int32_t value;
    std::memcpy(&value, record.value, sizeof value);
    SetInt(record.section, record.key, value);
  }
}

void SettingsStore::Read(HostSettingRecord& record) const {
  if (record.section == nullptr || record.key == nullptr) return;
  const Value* v = Find(record.section, record.key);
  if (v == nullptr) {
    std::memcpy(record.value, record.default_value, sizeof record.value);
    return;
  }
  std::memset(record.value, 0, sizeof record.value);
  if (record.type == kSettingDouble) {
    const double real = v->type == kSettingDouble ? v->real : v->integer;
    std::memcpy(record.value, &real, sizeof real);
  } else {
    const int32_t integer = v->type == kSettingInt ? v->integer : static_cast<int32_t>(v->real);
    std::memcpy(record.value, &integer, sizeof integer);
  }
}

bool SettingsStore::LoadFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": cannot be opened";
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string section, key, type, value;
    if (!std::getline(fields, section, '\t') || !std::getline(fields, key, '\t') ||
        !std::getline(fields, type, '\t') || !std::getline(fields, value)) {
      *error = path + ":" + std::to_string(number) + ": expected section, key, type and value";
      return false;
    }
    if (type == "d") {
      SetDouble(section, key, std::strtod(value.c_str(), nullptr));
    } else {
      SetInt(section, key, static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 10)));
    }
  }
  return true;
}

bool SettingsStore::SaveFile(const std::string& path, std::string* error) const {
  // Written beside the target and renamed over it: never half a file.
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      *error = temp + ": cannot be written";
      return false;
    }
    for (const auto& [name, v] : values_) {
      char text[64];
      if (v.type == kSettingDouble) {
        std::snprintf(text, sizeof text, "%.17g", v.real);
      } else {
        std::snprintf(text, sizeof text, "%d", v.integer);
      }
      out << name.first << '\t' << name.second << '\t' << (v.type == kSettingDouble ? "d" : "i") << '\t'
          << text << '\n';
    }
    if (!out.flush()) {
      *error = temp + ": write failed";
      return false;
    }
  }
  std::remove(path.c_str());  // rename does not replace on Windows
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    *error = path + ": cannot be replaced";
    return false;
  }
  return true;
}
