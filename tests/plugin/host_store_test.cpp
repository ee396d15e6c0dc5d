// Messages 6 and 7 through the host store: the keys, their order, the
// record bytes and the defaults.
#include <cstring>

#include <gtest/gtest.h>

#include "host/plugin_host.h"
#include "tests/support/test_support.h"

namespace {

const char* const kKeys[] = {"Enabled",   "HotKey",       "ToneFilter", "FilterParam", "GammaAdj",
                             "GammaVal",  "Defog",        "DefogVal",   "AutoLevels",  "USMRadius",
                             "USMAmount", "USMThreshold", "USMEnable"};
const bool kReal[] = {false, false, false, false, false, true, false, false, false, true, false, false, false};
const double kDefaults[] = {0, 0, 0, 0, 0, 0.0, 0, 10, 0, 0.5, 100, 4, 0};

class HostStore : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host_.Load(DefaultPluginPath(), &error)) << error;
    host_.ClearCalls();
  }
  void TearDown() override {
    host_.store().Clear();
    host_.SetSilentStore(false);
    host_.Send(kMessageLoadSettings);  // leave the module with the load defaults
    host_.Send(kMessageEnable, reinterpret_cast<void*>(1), 0);
  }
  PluginHost host_;
};

// Offsets of the record's fields in this build (4-byte pointers in the
// 32-bit plug-in, 8-byte ones natively).
constexpr size_t kType = 2 * sizeof(void*);
constexpr size_t kValue = kType + 8;
constexpr size_t kDefault = kValue + 8;

TEST_F(HostStore, LoadReadsThirteenKeysInOrderWithTheirDefaults) {
  host_.Send(kMessageLoadSettings);
  ASSERT_EQ(host_.calls().size(), 13u);
  for (size_t i = 0; i < 13; ++i) {
    const PluginHost::CallRecord& call = host_.calls()[i];
    SCOPED_TRACE(kKeys[i]);
    EXPECT_EQ(call.code, 6u);
    EXPECT_EQ(call.a, 0u);
    EXPECT_EQ(call.section, "ChromalinePlugIn");
    EXPECT_EQ(call.key, kKeys[i]);
    ASSERT_EQ(call.record_bytes.size(), kDefault + 16);
    int32_t type;
    std::memcpy(&type, &call.record_bytes[kType], 4);
    EXPECT_EQ(type, kReal[i] ? 2 : 1);
    for (size_t b = kType + 4; b < kValue + 8; ++b) EXPECT_EQ(call.record_bytes[b], 0) << "byte " << b;
    unsigned char expected_default[8] = {};
    if (kReal[i]) {
      std::memcpy(expected_default, &kDefaults[i], 8);
    } else {
      const int32_t value = static_cast<int32_t>(kDefaults[i]);
      std::memcpy(expected_default, &value, 4);
    }
    EXPECT_EQ(std::memcmp(&call.record_bytes[kDefault], expected_default, 8), 0);
    for (size_t b = kDefault + 8; b < kDefault + 16; ++b) EXPECT_EQ(call.record_bytes[b], 0) << "byte " << b;
  }
}

TEST_F(HostStore, SaveWritesWhatLoadRead) {
  SettingsStore& store = host_.store();
  store.SetInt("ChromalinePlugIn", "Enabled", 1);
  store.SetInt("ChromalinePlugIn", "HotKey", 0x0241);
  store.SetDouble("ChromalinePlugIn", "GammaVal", 0.333);
  store.SetDouble("ChromalinePlugIn", "USMRadius", 1.0 / 3.0);
  store.SetInt("ChromalinePlugIn", "USMAmount", -7);
  host_.Send(kMessageLoadSettings);
  store.Clear();
  host_.ClearCalls();
  EXPECT_EQ(host_.Send(kMessageSaveSettings), 1);
  ASSERT_EQ(host_.calls().size(), 13u);
  for (size_t i = 0; i < 13; ++i) {
    EXPECT_EQ(host_.calls()[i].code, 5u);
    EXPECT_EQ(host_.calls()[i].key, kKeys[i]);
    const auto& bytes = host_.calls()[i].record_bytes;
    if (!kReal[i]) {
      for (size_t b = kValue + 4; b < kValue + 8; ++b) EXPECT_EQ(bytes[b], 0) << kKeys[i];
    }
    for (size_t b = kDefault; b < kDefault + 16; ++b) EXPECT_EQ(bytes[b], 0) << kKeys[i];
  }
  EXPECT_EQ(store.Find("ChromalinePlugIn", "HotKey")->integer, 0x0241);
  EXPECT_EQ(store.Find("ChromalinePlugIn", "GammaVal")->real, 0.333) << "full precision";
  EXPECT_EQ(store.Find("ChromalinePlugIn", "USMRadius")->real, 1.0 / 3.0);
  EXPECT_EQ(store.Find("ChromalinePlugIn", "USMAmount")->integer, -7);
  EXPECT_EQ(store.Find("ChromalinePlugIn", "DefogVal")->integer, 10) << "load default";
  EXPECT_EQ(store.Find("ChromalinePlugIn", "USMThreshold")->integer, 4);
  EXPECT_EQ(host_.Send(kMessageEnable, nullptr, 0), 2) << "Enabled loaded";
}

TEST_F(HostStore, SilentHostYieldsZerosNotDefaults) {
  host_.SetSilentStore(true);
  host_.Send(kMessageLoadSettings);
  host_.SetSilentStore(false);
  host_.Send(kMessageSaveSettings);
  for (const char* key : kKeys) {
    const SettingsStore::Value* v = host_.store().Find("ChromalinePlugIn", key);
    ASSERT_NE(v, nullptr) << key;
    EXPECT_EQ(v->integer, 0) << key;
    EXPECT_EQ(v->real, 0.0) << key;
  }
}

}  // namespace
