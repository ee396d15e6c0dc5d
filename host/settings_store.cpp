// The reference host's settings store and the settings file it is kept in.
#include "host/settings_store.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "base/file_name.h"
#include "base/safe_file.h"

namespace {

// A real read back as an integer: truncated toward zero when it fits,
// else 0 (converting a real beyond the range is undefined).
int32_t TruncatedInt(double real) {
  if (!(real > -2147483649.0 && real < 2147483648.0)) return 0;
  return static_cast<int32_t>(real);
}

// The whole text as an integer of the 32-bit range.
bool ParseInt(const std::string& text, int32_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = static_cast<int32_t>(parsed);
  return true;
}

// The whole text as a real, as "%.17g" wrote it (including nan and inf).
bool ParseReal(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

bool FitsTheFormat(const std::string& name) { return name.find_first_of("\t\r\n") == std::string::npos; }

}  // namespace

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
    const int32_t integer = v->type == kSettingInt ? v->integer : TruncatedInt(v->real);
    std::memcpy(record.value, &integer, sizeof integer);
  }
}

bool SettingsStore::LoadFile(const std::string& path, std::string* error) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) {
    *error = path + ": cannot be read: " + std::strerror(errno);
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
    const std::string where = path + ":" + std::to_string(number) + ": ";
    if (!std::getline(fields, section, '\t') || !std::getline(fields, key, '\t') ||
        !std::getline(fields, type, '\t') || !std::getline(fields, value)) {
      *error = where + "expected section, key, type and value";
      return false;
    }
    int32_t integer = 0;
    double real = 0.0;
    if (type == "d" && ParseReal(value, &real)) {
      SetDouble(section, key, real);
    } else if (type == "i" && ParseInt(value, &integer)) {
      SetInt(section, key, integer);
    } else if (type == "d" || type == "i") {
      *error = where + "\"" + value + "\" is not " + (type == "d" ? "a real" : "a 32-bit integer");
      return false;
    } else {
      *error = where + "type \"" + type + "\" is neither i nor d";
      return false;
    }
  }
  if (in.bad()) {
    *error = path + ": read failed";
    return false;
  }
  return true;
}

bool SettingsStore::SaveFile(const std::string& path, std::string* error) const {
  for (const auto& entry : values_) {
    if (!FitsTheFormat(entry.first.first) || !FitsTheFormat(entry.first.second)) {
      *error = path + ": the name \"" + entry.first.first + "/" + entry.first.second +
               "\" holds a tab or line break and cannot be saved";
      return false;
    }
  }
  // Through the safe writer: never half a file, and no moment without one.
  std::ostringstream out;
  for (const auto& [name, v] : values_) {
    char text[64];
    if (v.type == kSettingDouble) {
      std::snprintf(text, sizeof text, "%.17g", v.real);
    } else {
      std::snprintf(text, sizeof text, "%d", v.integer);
    }
    out << name.first << '\t' << name.second << '\t' << (v.type == kSettingDouble ? "d" : "i") << '\t' << text
        << '\n';
  }
  const std::string bytes = out.str();
  return WriteFileSafely(path, bytes.data(), bytes.size(), error);
}
