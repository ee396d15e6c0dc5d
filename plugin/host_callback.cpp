// File: plugin/host_callback.cpp
#include "plugin/host_callback.h"

#include <cstring>

const char kHostSection[] = "ChromalinePlugIn";

namespace {

HostSettingRecord NewRecord(const char* section, const char* key, int32_t type) {
  HostSettingRecord record;
  std::memset(&record, 0, sizeof record);
  record.section = section;
  record.key = key;
  record.type = type;
  return record;
}

int32_t Call(HostCallback callback, uint32_t code, void* p, uintptr_t a) {
  return callback != nullptr ? callback(code, p, a) : 0;
}

}  // namespace

int32_t HostReadInt(HostCallback callback, const char* section, const char* key, int32_t fallback) {
  HostSettingRecord record = NewRecord(section, key, kSettingInt);
  std::memcpy(record.default_value, &fallback, sizeof fallback);
  Call(callback, kHostReadSetting, &record, 0);
  int32_t value;
  std::memcpy(&value, record.value, sizeof value);
  return value;
}

double HostReadDouble(HostCallback callback, const char* section, const char* key, double fallback) {
  HostSettingRecord record = NewRecord(section, key, kSettingDouble);
  std::memcpy(record.default_value, &fallback, sizeof fallback);
  Call(callback, kHostReadSetting, &record, 0);
  double value;
  std::memcpy(&value, record.value, sizeof value);
  return value;
}

void HostWriteInt(HostCallback callback, const char* section, const char* key, int32_t value) {
  HostSettingRecord record = NewRecord(section, key, kSettingInt);
  std::memcpy(record.value, &value, sizeof value);
  Call(callback, kHostWriteSetting, &record, 0);
}

void HostWriteDouble(HostCallback callback, const char* section, const char* key, double value) {
  HostSettingRecord record = NewRecord(section, key, kSettingDouble);
  std::memcpy(record.value, &value, sizeof value);
  Call(callback, kHostWriteSetting, &record, 0);
}

BitmapHandle HostGetBitmap(HostCallback callback, uint32_t image_id) {
  uintptr_t slot = 0;
  Call(callback, kHostGetBitmap, reinterpret_cast<void*>(static_cast<uintptr_t>(image_id)),
       reinterpret_cast<uintptr_t>(&slot));
  return slot;
}

ImageRegion HostGetRegion(HostCallback callback, uint32_t image_id) {
  ImageRegion region = {0, 0, 0, 0};
  Call(callback, kHostGetRegion, reinterpret_cast<void*>(static_cast<uintptr_t>(image_id)),
       reinterpret_cast<uintptr_t>(&region));
  return region;
}

void HostNotify(HostCallback callback, int32_t notification) {
  Call(callback, kHostNotify, reinterpret_cast<void*>(static_cast<intptr_t>(notification)), 0);
}

namespace {
bool AskHostToStop(void* context) {
  const auto* state = static_cast<const PluginState*>(context);
  return Call(state->Callback, kHostStopQuery, nullptr, 0) != 0;
}
}  // namespace

StopQuery HostStopQuery(const PluginState& state) {
  StopQuery query;
  query.ask = &AskHostToStop;
  query.context = const_cast<PluginState*>(&state);
  return query;
}
