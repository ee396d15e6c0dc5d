// The reference host: loads the plug-in, sends it messages and answers its callback.
#include "host/plugin_host.h"

#include <cstring>

namespace {
PluginHost* g_active_host = nullptr;
}  // namespace

PluginHost::PluginHost() = default;

PluginHost::~PluginHost() {
  library_.Unload();
  if (g_active_host == this) g_active_host = nullptr;
}

bool PluginHost::LoadWithoutCallback(const std::string& path, std::string* error) {
  if (!library_.Load(path, error)) return false;
  g_active_host = this;
  return true;
}

bool PluginHost::Load(const std::string& path, std::string* error) {
  if (!LoadWithoutCallback(path, error)) return false;
  Send(kMessageSetCallback, reinterpret_cast<void*>(callback()));
  return true;
}

HostCallback PluginHost::callback() { return &PluginHost::OnCallback; }

int32_t PluginHost::Send(uint32_t type, void* p, uint32_t a) {
  return library_.entry() != nullptr ? library_.entry()(type, p, a) : 0;
}

int32_t PluginHost::FilterImage(const char* path, uint32_t image_id, const HostBitmap* bitmap,
                                const ImageRegion& region) {
  bitmap_ = bitmap != nullptr ? bitmap->handle() : 0;
  region_ = region;
  stop_queries_ = 0;
  const int32_t result = SendText(kMessageFilterImage, path, image_id);
  bitmap_ = 0;
  return result;
}

std::vector<uint32_t> PluginHost::CallCodes() const {
  std::vector<uint32_t> codes;
  for (const CallRecord& call : calls_) codes.push_back(call.code);
  return codes;
}

int32_t CHROMALINE_STDCALL PluginHost::OnCallback(uint32_t code, void* p, uintptr_t a) {
  return g_active_host != nullptr ? g_active_host->Answer(code, p, a) : 0;
}

int32_t PluginHost::Answer(uint32_t code, void* p, uintptr_t a) {
  CallRecord call{code, reinterpret_cast<uintptr_t>(p), a, {}, {}, {}};
  if ((code == kHostWriteSetting || code == kHostReadSetting) && p != nullptr) {
    const auto* record = static_cast<const HostSettingRecord*>(p);
    const auto* bytes = static_cast<const unsigned char*>(p);
    call.record_bytes.assign(bytes, bytes + sizeof(HostSettingRecord));
    if (record->section != nullptr) call.section = record->section;
    if (record->key != nullptr) call.key = record->key;
  }
  calls_.push_back(std::move(call));

  switch (code) {
    case kHostWriteSetting:
      if (p != nullptr) store_.Write(*static_cast<HostSettingRecord*>(p));
      return 1;
    case kHostReadSetting:
      if (p != nullptr && !silent_store_) store_.Read(*static_cast<HostSettingRecord*>(p));
      return 1;
    case kHostGetBitmap:
      if (a != 0) *reinterpret_cast<uintptr_t*>(a) = bitmap_;
      return 1;
    case kHostGetRegion:
      if (a != 0) std::memcpy(reinterpret_cast<void*>(a), &region_, sizeof region_);
      return 1;
    case kHostStopQuery: return stop_answer_ ? stop_answer_(stop_queries_++) : (stop_queries_++, 0);
    default: return 0;
  }
}
