// The reference host's settings store: typed values by section and key,
// answering callback codes 5 (write) and 6 (read). It can be kept in a text
// file so that a user's global settings survive between runs.
#ifndef CHROMALINE_HOST_SETTINGS_STORE_H_
#define CHROMALINE_HOST_SETTINGS_STORE_H_

#include <cstdint>
#include <map>
#include <string>

#include "chromaline/plugin_abi.h"

class SettingsStore {
 public:
  struct Value {
    int32_t type = kSettingInt;
    int32_t integer = 0;
    double real = 0.0;
  };

  void SetInt(const std::string& section, const std::string& key, int32_t value);
  void SetDouble(const std::string& section, const std::string& key, double value);
  // Null when the key was never stored.
  const Value* Find(const std::string& section, const std::string& key) const;
  void Clear() { values_.clear(); }
  size_t size() const { return values_.size(); }

  // Code 5: store the record's value under its section and key.
  void Write(const HostSettingRecord& record);
  // Code 6: put the stored value, or the record's default, into the record.
  // A real read as an integer is truncated toward zero, or 0 beyond range.
  void Read(HostSettingRecord& record) const;

  // One line per value: section<TAB>key<TAB>i|d<TAB>value. Reals are
  // written with 17 significant digits, so they come back exactly. Lines
  // starting with "#" and blank lines are skipped. Loading adds to the
  // store and stops at the first malformed line (an unknown type, a value
  // that is not wholly a number, an integer beyond 32 bits), naming it in
  // `error`. Saving replaces the file in one step or leaves it as it was;
  // a name holding a tab or line break cannot be saved.
  bool LoadFile(const std::string& path, std::string* error);
  bool SaveFile(const std::string& path, std::string* error) const;

 private:
  std::map<std::pair<std::string, std::string>, Value> values_;
};

#endif  // CHROMALINE_HOST_SETTINGS_STORE_H_
