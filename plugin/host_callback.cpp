// The calls the plug-in makes back into the host, each with a freshly zeroed record.
#include "plugin/host_callback.h"

#include <cstring>
#include <type_traits>

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

// One record of code 6 or 5. A read sends `sent` as the default and gives
// back whatever the host left in the value bytes; a write sends it as the
// value.
template <typename T>
T ExchangeSetting(HostCallback callback, uint32_t code, const char* section, const char* key, T sent) {
  static_assert(std::is_same_v<T, int32_t> || std::is_same_v<T, double>, "the host stores these two types");
  HostSettingRecord record = NewRecord(section, key, std::is_same_v<T, double> ? kSettingDouble : kSettingInt);
  std::memcpy(code == kHostReadSetting ? record.default_value : record.value, &sent, sizeof sent);
  Call(callback, code, &record, 0);
  T value;
  std::memcpy(&value, record.value, sizeof value);
  return value;
}

}  // namespace

template <typename T>
T HostReadSetting(HostCallback callback, const char* section, const char* key, T fallback) {
  return ExchangeSetting(callback, kHostReadSetting, section, key, fallback);
}

template <typename T>
void HostWriteSetting(HostCallback callback, const char* section, const char* key, T value) {
  ExchangeSetting(callback, kHostWriteSetting, section, key, value);
}

template int32_t HostReadSetting(HostCallback, const char*, const char*, int32_t);
template double HostReadSetting(HostCallback, const char*, const char*, double);
template void HostWriteSetting(HostCallback, const char*, const char*, int32_t);
template void HostWriteSetting(HostCallback, const char*, const char*, double);

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
