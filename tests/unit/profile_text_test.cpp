// The project's own profile-file reader and writer: what it finds in the
// texts the Windows functions write or a person edits, and the text it
// writes back (which must match what WritePrivateProfileStringA writes).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/profile_text.h"

namespace {

// The value of one key, or "<default>".
std::string Find(const std::string& text, const char* section, const char* key) {
  ProfileValue value{key, "<default>"};
  FindProfileValues(text, section, &value, 1);
  return value.text;
}

TEST(ProfileText, FindsValuesAsTheWindowsReaderDoes) {
  const struct {
    const char* what;
    std::string text;
    const char* expected;
  } cases[] = {
      {"plain", "[S]\r\nK=5\r\n", "5"},
      {"names without regard to case", "[s]\r\nk=5\r\n", "5"},
      {"LF line ends", "[S]\nK=5\n", "5"},
      {"no final line end", "[S]\r\nK=5", "5"},
      {"white space around everything", "  [S]  \r\n\t K \t=  5 \t\r\n", "5"},
      {"white space inside a value stays", "[S]\r\nK=5 6\r\n", "5 6"},
      {"double quotes removed", "[S]\r\nK=\"5\"\r\n", "5"},
      {"single quotes removed", "[S]\r\nK='5'\r\n", "5"},
      {"unmatched quote stays", "[S]\r\nK=\"5\r\n", "\"5"},
      {"empty value", "[S]\r\nK=\r\n", ""},
      {"key without '='", "[S]\r\nK\r\n", "<default>"},
      {"first key of a name wins", "[S]\r\nK=1\r\nK=2\r\n", "1"},
      {"a key without '=' hides a later one", "[S]\r\nK\r\nK=2\r\n", "<default>"},
      {"only the first section of a name", "[S]\r\nA=1\r\n[S]\r\nK=2\r\n", "<default>"},
      {"other sections ignored", "[T]\r\nK=1\r\n[S]\r\nK=2\r\n", "2"},
      {"keys before any section", "K=1\r\n[S]\r\n", "<default>"},
      {"section name is not trimmed", "[ S ]\r\nK=1\r\n", "<default>"},
      {"section name runs to the last ']'", "[S]x]\r\nK=1\r\n", "<default>"},
      {"']' then text", "[S] ; note\r\nK=1\r\n", "1"},
      {"'[' without ']' is a key line", "[S]\r\n[K=1\r\n", "<default>"},
      {"'[]' ends the section", "[S]\r\n[]\r\nK=1\r\n", "<default>"},
      {"comment lines are just odd keys", "[S]\r\n;K=1\r\nK=2\r\n", "2"},
      {"'=' inside the value", "[S]\r\nK=a=b\r\n", "a=b"},
      {"CR alone does not end a line", "[S]\r\nA=1\rK=2\r\n", "<default>"},
      {"DOS end-of-file character is white space", "[S]\r\nK=5\x1A\r\n", "5"},
      {"UTF-8 mark", "\xEF\xBB\xBF[S]\r\nK=5\r\n", "5"},
      {"UTF-16 is not understood", std::string("\xFF\xFE[\0S\0]\0", 8), "<default>"},
      {"empty text", "", "<default>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Find(c.text, "S", "K"), c.expected) << c.what;
  }
  EXPECT_EQ(Find(std::string("[S]\r\nK=5\0\x01\r\n", 10), "S", "K"), std::string("5\0\x01", 3))
      << "NUL bytes are ordinary";
}

TEST(ProfileText, LongValuesAreCutAsByAFourThousandCharacterBuffer) {
  const std::string digits(10000, '7');
  EXPECT_EQ(Find("[S]\r\nK=" + digits + "\r\n", "S", "K"), digits.substr(0, 4095));
  EXPECT_EQ(Find("[S]\r\nK=\"" + std::string(4094, '7') + "\"\r\n", "S", "K"), std::string(4094, '7'));
  // Too long for the buffer: the opening quote is skipped, the closing one
  // never reached.
  EXPECT_TRUE(Find("[S]\r\nK=\"" + std::string(5000, '7') + "\"\r\n", "S", "K") == std::string(4095, '7'));
  // An enormous line before the key does not hide it.
  EXPECT_EQ(Find("[S]\r\nJ=" + std::string(1 << 20, 'x') + "\r\nK=3\r\n", "S", "K"), "3");
}

TEST(ProfileText, FindsSeveralKeysInOnePass) {
  ProfileValue values[] = {{"A", "a"}, {"B", "b"}, {"C", "c"}};
  FindProfileValues("[S]\r\nc=3\r\nA=1\r\n", "S", values, 3);
  EXPECT_EQ(values[0].text, "1");
  EXPECT_EQ(values[1].text, "b");
  EXPECT_EQ(values[2].text, "3");
}

std::string Update(const std::string& text, std::vector<ProfileValue> values) {
  std::string out = "<untouched>";
  EXPECT_TRUE(UpdateProfileText(text, "ChromalinePlugIn", values.data(), values.size(), &out));
  return out;
}

TEST(ProfileText, WritesWhatWritePrivateProfileStringWrites) {
  // Each expected text is what Wine's WritePrivateProfileStringA made of
  // the same input with the same calls.
  const struct {
    const char* what;
    std::string before;
    std::vector<ProfileValue> values;
    std::string after;
  } cases[] = {
      {"new file", "", {{"ToneFilter", "0"}, {"GammaVal", "0.00"}},
       "[ChromalinePlugIn]\r\nToneFilter=0\r\nGammaVal=0.00\r\n"},
      {"value replaced in place, spelling kept", "[chromalineplugin]\r\ngammaval=1\r\nUSMEnable=0\r\n",
       {{"GammaVal", "0.25"}}, "[chromalineplugin]\r\ngammaval=0.25\r\nUSMEnable=0\r\n"},
      {"missing key at the end of the section", "[ChromalinePlugIn]\r\nToneFilter=1\r\n[Last]\r\ny=2\r\n",
       {{"USMEnable", "1"}}, "[ChromalinePlugIn]\r\nToneFilter=1\r\nUSMEnable=1\r\n[Last]\r\ny=2\r\n"},
      {"missing section at the end", "[A]\r\nx=1\r\n", {{"USMEnable", "1"}},
       "[A]\r\nx=1\r\n[ChromalinePlugIn]\r\nUSMEnable=1\r\n"},
      {"no final line end", "[ChromalinePlugIn]\r\nToneFilter=1", {{"USMEnable", "1"}},
       "[ChromalinePlugIn]\r\nToneFilter=1\r\nUSMEnable=1\r\n"},
      {"a messy file is tidied",
       "; lead comment\nfoo=bar\n\n[Other]\n  x = 1  \n[chromalineplugin]\n  gammaval =  '0.5'  \nnoeq\n\n;c\n"
       "[ChromalinePlugIn]\nToneFilter=7\n[Last]\ny=2",
       {{"GammaVal", "0.25"}, {"ToneFilter", "3"}},
       "; lead comment\r\nfoo=bar\r\n[Other]\r\nx=1\r\n[chromalineplugin]\r\ngammaval=0.25\r\nnoeq\r\n;c\r\n"
       "ToneFilter=3\r\n[ChromalinePlugIn]\r\nToneFilter=7\r\n[Last]\r\ny=2\r\n"},
      {"a key without '=' gets its value", "[ChromalinePlugIn]\r\nToneFilter\r\n", {{"ToneFilter", "2"}},
       "[ChromalinePlugIn]\r\nToneFilter=2\r\n"},
      {"white space in front of a value dropped", "", {{"K", "  v  "}}, "[ChromalinePlugIn]\r\nK=v  \r\n"},
      {"UTF-8 mark kept", "\xEF\xBB\xBF[ChromalinePlugIn]\r\nK=1\r\n", {{"K", "2"}},
       "\xEF\xBB\xBF[ChromalinePlugIn]\r\nK=2\r\n"},
      {"'[]' drops its line", "[ChromalinePlugIn]\r\nA=1\r\n[]\r\nB=2\r\n", {{"A", "3"}},
       "[ChromalinePlugIn]\r\nA=3\r\nB=2\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Update(c.before, c.values), c.after) << c.what;
}

TEST(ProfileText, NoChangeLeavesTheTextAsItWas) {
  const std::string messy = "\n\n[ChromalinePlugIn]\nK = 1 \n\n";
  EXPECT_EQ(Update(messy, {{"K", "1"}}), messy);
}

TEST(ProfileText, Utf16TextIsNeverRewritten) {
  const std::string text("\xFF\xFE[\0S\0]\0", 8);
  std::string out = "<untouched>";
  const ProfileValue value{"K", "1"};
  EXPECT_FALSE(UpdateProfileText(text, "ChromalinePlugIn", &value, 1, &out));
  EXPECT_EQ(out, "<untouched>");
}

TEST(ProfileText, BinaryJunkIsReadAndRewrittenWithoutHarm) {
  std::string junk;
  uint32_t state = 12345;
  for (int i = 0; i < 200000; ++i) {
    state = state * 1103515245u + 12345u;
    junk += static_cast<char>(state >> 24);
  }
  EXPECT_EQ(Find(junk, "ChromalinePlugIn", "USMEnable"), "<default>");
  const std::string out = Update(junk, {{"USMEnable", "1"}});
  EXPECT_EQ(Find(out, "ChromalinePlugIn", "USMEnable"), "1");
}

}  // namespace
