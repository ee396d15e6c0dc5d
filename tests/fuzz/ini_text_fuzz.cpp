// The INI text reader and writer and the number conversions, in memory.
// The input is the text of a settings file. Properties:
// - reading the eleven keys (and odd names) never fails or reads outside
//   the text, and no value is longer than a read returns;
// - a rewrite of a text that may be rewritten reads back the values written,
//   and rewriting the result again with the same values changes nothing;
// - every value converts to a number, and numbers survive their own text:
//   an integer exactly, a real at two decimals.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/ini_text.h"
#include "settings/ini_values.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char* const kKeys[] = {"ToneFilter", "FilterParam", "GammaAdj",  "GammaVal",  "Defog",
                             "DefogVal",   "AutoLevels",  "USMRadius", "USMAmount", "USMThreshold",
                             "USMEnable",  " usmenable ", "",          "[",         "="};

void CheckNumbers(const std::string& text) {
  const int32_t i = ParseIniInt(text);
  FUZZ_CHECK(ParseIniInt(FormatIniInt(i)) == i, "an integer survives its text");
  const double d = ParseIniReal(text);
  FUZZ_CHECK(!std::isnan(d) && !std::isinf(d), "a real read from text is finite");
  const std::string once = FormatIniReal(d);
  FUZZ_CHECK(FormatIniReal(ParseIniReal(once)) == once, "a real survives its two-decimal text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<IniValue> values;
  for (const char* key : kKeys) values.push_back({key, "<default>"});
  FindIniValues(text, "ChromalinePlugIn", values.data(), values.size());
  for (const IniValue& v : values) {
    FUZZ_CHECK(v.text.size() < kIniValueBuffer, "a value fits the read buffer");
    CheckNumbers(v.text);
  }

  // A rewrite (every fourth input: it costs several times a read) with
  // values taken from the text's own bytes.
  if (size % 4 != 0) return 0;
  std::vector<IniValue> written;
  for (size_t i = 0; i < 11; ++i) {
    std::string value = i < size ? FormatIniInt(static_cast<int8_t>(data[i])) : "7";
    if (i == 3 && size > 8) value = FormatIniReal(ParseIniReal(text.substr(4)));
    written.push_back({kKeys[i], value});
  }
  std::string out;
  if (!UpdateIniText(text, "ChromalinePlugIn", written.data(), written.size(), &out)) return 0;
  std::vector<IniValue> back;
  for (const IniValue& v : written) back.push_back({v.key, "<missing>"});
  FindIniValues(out, "ChromalinePlugIn", back.data(), back.size());
  for (size_t i = 0; i < back.size(); ++i) FUZZ_CHECK(back[i].text == written[i].text, "a written value reads back");
  std::string again;
  FUZZ_CHECK(UpdateIniText(out, "ChromalinePlugIn", written.data(), written.size(), &again), "rewritable");
  FUZZ_CHECK(again == out, "the same values change nothing");
  return 0;
}
