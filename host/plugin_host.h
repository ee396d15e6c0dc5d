// PluginHost: the reference host viewer. It loads the plug-in, hands it a
// callback, keeps the settings store for codes 5 and 6, supplies the bitmap
// (code 8) and region (code 14) of the picture being filtered, answers the
// stop query (code 13) and records every callback with its arguments.
//
// The callback is a plain function, so one host is active per process: the
// one that loaded most recently.
#ifndef CHROMALINE_HOST_PLUGIN_HOST_H_
#define CHROMALINE_HOST_PLUGIN_HOST_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "chromaline/plugin_abi.h"
#include "host/host_bitmap.h"
#include "host/plugin_library.h"
#include "host/settings_store.h"

class PluginHost {
 public:
  struct CallRecord {
    uint32_t code;
    uintptr_t p;
    uintptr_t a;
    // Codes 5 and 6: the record as the plug-in passed it (before a read is
    // answered), with section and key copied out.
    std::vector<unsigned char> record_bytes;
    std::string section;
    std::string key;
  };

  PluginHost();
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Loads the plug-in and sends message 3 with this host's callback.
  bool Load(const std::string& path, std::string* error);
  // Loads without sending message 3 (for tests of a host that forgot it).
  bool LoadWithoutCallback(const std::string& path, std::string* error);

  int32_t Send(uint32_t type, void* p = nullptr, uint32_t a = 0);
  int32_t SendText(uint32_t type, const char* text, uint32_t a = 0) {
    return Send(type, const_cast<char*>(text), a);
  }
  static HostCallback callback();

  // Message 14 for an image: `bitmap` answers code 8 (null: slot left 0),
  // `region` answers code 14.
  int32_t FilterImage(const char* path, uint32_t image_id, const HostBitmap* bitmap,
                      const ImageRegion& region = ImageRegion{0, 0, 0, 0});

  SettingsStore& store() { return store_; }
  // Answers the n-th stop query (0-based) of the current message 14.
  void SetStopAnswer(std::function<int32_t(int)> answer) { stop_answer_ = std::move(answer); }
  // Whether code 6 answers from the store (true) or leaves the record alone.
  void SetSilentStore(bool silent) { silent_store_ = silent; }

  const std::vector<CallRecord>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  std::vector<uint32_t> CallCodes() const;
  int stop_queries() const { return stop_queries_; }

 private:
  static int32_t CHROMALINE_STDCALL OnCallback(uint32_t code, void* p, uintptr_t a);
  int32_t Answer(uint32_t code, void* p, uintptr_t a);

  PluginLibrary library_;
  SettingsStore store_;
  std::vector<CallRecord> calls_;
  std::function<int32_t(int)> stop_answer_;
  bool silent_store_ = false;
  int stop_queries_ = 0;
  uintptr_t bitmap_ = 0;
  ImageRegion region_ = {0, 0, 0, 0};
};

#endif  // CHROMALINE_HOST_PLUGIN_HOST_H_
