// The project's own INI file reader and writer: what it finds in the
// texts the Windows functions write or a person edits, and the text it
// writes back (which must match what WritePrivateProfileStringA writes).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/ini_text.h"

namespace {

// The value of one key, or "<default>".
std::string Find(const std::string& text, const char* section, const char* key) {
  IniValue value{key, "<default>"};
  FindIniValues(text, section, &value, 1);
  return value.text;
}

TEST(IniText, FindsValuesAsTheWindowsReaderDoes) {
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
      {"CR alone ends a line", "[S]\r\nA=1\rK=2\r\n", "2"},
      {"CR-only line ends throughout", "[S]\rA=1\rK=2\r", "2"},
      {"CR-only lines before the section", "K=0\r[S]\rK=1\r", "1"},
      {"LF CR and CR CR between lines", "[S]\n\rA=1\r\rK=3", "3"},
      {"DOS end-of-file character is white space", "[S]\r\nK=5\x1A\r\n", "5"},
      {"UTF-8 mark", "\xEF\xBB\xBF[S]\r\nK=5\r\n", "5"},
      {"UTF-16 without a mark is ANSI", std::string("[\0S\0]\0\r\0\n\0K\0=\0005\0", 16), "<default>"},
      {"NUL ends a key name", std::string("[S]\r\nK\0x=5\r\n", 11), "5"},
      {"NUL ends a section name", std::string("[S\0x]\r\nK=5\r\n", 12), "5"},
      {"quotes are looked for before the NUL", std::string("[S]\r\nK=\"5\"\0x\r\n", 13), "5"},
      {"empty text", "", "<default>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Find(c.text, "S", "K"), c.expected) << c.what;
  }
  EXPECT_EQ(Find(std::string("[S]\r\nK=5\0\x01\r\n", 10), "S", "K"), "5") << "a value ends at NUL";
}

// The text as UTF-16 with its byte-order mark.
std::string Utf16(const std::u16string& text, bool little) {
  std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    out += little ? std::string{low, high} : std::string{high, low};
  }
  return out;
}

TEST(IniText, ReadsUtf16InBothByteOrdersAsTheWindowsReaderDoes) {
  const struct {
    const char* what;
    std::u16string text;
    const char* expected;
  } cases[] = {
      {"plain", u"[S]\r\nK=5\r\n", "5"},
      {"CR-only", u"[S]\rA=1\rK=6\r", "6"},
      {"names without regard to case", u"[s]\r\nk=7", "7"},
      {"Latin-1 letters are their own bytes", u"[S]\r\nK=\u00e9\u00e0", "\xE9\xE0"},
      {"code page 1252 punctuation", u"[S]\r\nK=\u20ac\u2026", "\x80\x85"},
      {"fullwidth digits read as digits", u"[S]\r\nK=\uff13\uff12", "32"},
      {"a minus sign and subscript digits", u"[S]\r\nK=\u2212\u2081\u2082", "-12"},
      {"no stand-in: '?'", u"[S]\r\nK=\u0663\u4e00", "??"},
      {"no-break space is no white space", u"[S]\r\nK=\u00a05",
       "\xA0"
       "5"},
      {"a wide space is no white space to the loader but a space after", u"[S]\r\nK=\u20005", " 5"},
      {"a wide '=' is part of the name", u"[S]\r\nK\u2261=5", "<default>"},
      {"a letter that folds only outside ASCII", u"[S]\r\n\u212a=5", "<default>"},
      {"fullwidth quotes are not removed", u"[S]\r\nK=\uff025\uff02", "\"5\""},
      {"a surrogate pair gives two '?'", u"[S]\r\nK=\U0001F600", "??"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Find(Utf16(c.text, true), "S", "K"), c.expected) << "little-endian: " << c.what;
    EXPECT_EQ(Find(Utf16(c.text, false), "S", "K"), c.expected) << "big-endian: " << c.what;
  }
  std::string odd = Utf16(u"[S]\r\nK=5", true) + "\x36";
  EXPECT_EQ(Find(odd, "S", "K"), "5") << "an odd last byte is dropped";
}

TEST(IniText, ReadsUtf8AfterItsMarkAsCodePage1252) {
  const struct {
    const char* what;
    std::string text;
    const char* expected;
  } cases[] = {
      {"accented letters", "\xEF\xBB\xBF[S]\r\nK=\xC3\xA9x", "\xE9x"},
      {"fullwidth digits", "\xEF\xBB\xBF[S]\r\nK=\xEF\xBC\x94", "4"},
      {"a broken sequence", "\xEF\xBB\xBF[S]\r\nK=1\xC3", "1?"},
      {"an overlong form", "\xEF\xBB\xBF[S]\r\nK=\xC0\xB1", "??"},
      {"a sequence cut short is one character", "\xEF\xBB\xBF[S]\r\nK=\xE2\x82x", "?x"},
      {"an encoded surrogate", "\xEF\xBB\xBF[S]\r\nK=\xED\xA0\x80", "??"},
      {"past U+10FFFF", "\xEF\xBB\xBF[S]\r\nK=\xF4\x90\x80\x80", "???"},
      {"cut off by the end of the text", "\xEF\xBB\xBF[S]\r\nK=1\xF0\x9F", "1?"},
      {"a four-byte character", "\xEF\xBB\xBF[S]\r\nK=\xF0\x9F\x98\x80", "??"},
      {"bytes of an ANSI file stay as they are", "[S]\r\nK=\xC3\xA9\x80", "\xC3\xA9\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(Find(c.text, "S", "K"), c.expected) << c.what;
}

TEST(IniText, LongValuesAreCutAsByAFourThousandCharacterBuffer) {
  const std::string digits(10000, '7');
  EXPECT_EQ(Find("[S]\r\nK=" + digits + "\r\n", "S", "K"), digits.substr(0, 4095));
  EXPECT_EQ(Find("[S]\r\nK=\"" + std::string(4094, '7') + "\"\r\n", "S", "K"), std::string(4094, '7'));
  // Too long for the buffer: the opening quote is skipped, the closing one
  // never reached.
  EXPECT_TRUE(Find("[S]\r\nK=\"" + std::string(5000, '7') + "\"\r\n", "S", "K") == std::string(4095, '7'));
  // An enormous line before the key does not hide it.
  EXPECT_EQ(Find("[S]\r\nJ=" + std::string(1 << 20, 'x') + "\r\nK=3\r\n", "S", "K"), "3");
}

TEST(IniText, FindsSeveralKeysInOnePass) {
  IniValue values[] = {{"A", "a"}, {"B", "b"}, {"C", "c"}};
  FindIniValues("[S]\r\nc=3\r\nA=1\r\n", "S", values, 3);
  EXPECT_EQ(values[0].text, "1");
  EXPECT_EQ(values[1].text, "b");
  EXPECT_EQ(values[2].text, "3");
}

std::string Update(const std::string& text, std::vector<IniValue> values) {
  std::string out = "<untouched>";
  EXPECT_TRUE(UpdateIniText(text, "ChromalinePlugIn", values.data(), values.size(), &out));
  return out;
}

TEST(IniText, WritesWhatWritePrivateProfileStringWrites) {
  // Each expected text is what Wine's WritePrivateProfileStringA made of
  // the same input with the same calls.
  const struct {
    const char* what;
    std::string before;
    std::vector<IniValue> values;
    std::string after;
  } cases[] = {
      {"new file",
       "",
       {{"ToneFilter", "0"}, {"GammaVal", "0.00"}},
       "[ChromalinePlugIn]\r\nToneFilter=0\r\nGammaVal=0.00\r\n"},
      {"value replaced in place, spelling kept",
       "[chromalineplugin]\r\ngammaval=1\r\nUSMEnable=0\r\n",
       {{"GammaVal", "0.25"}},
       "[chromalineplugin]\r\ngammaval=0.25\r\nUSMEnable=0\r\n"},
      {"missing key at the end of the section",
       "[ChromalinePlugIn]\r\nToneFilter=1\r\n[Last]\r\ny=2\r\n",
       {{"USMEnable", "1"}},
       "[ChromalinePlugIn]\r\nToneFilter=1\r\nUSMEnable=1\r\n[Last]\r\ny=2\r\n"},
      {"missing section at the end",
       "[A]\r\nx=1\r\n",
       {{"USMEnable", "1"}},
       "[A]\r\nx=1\r\n[ChromalinePlugIn]\r\nUSMEnable=1\r\n"},
      {"no final line end",
       "[ChromalinePlugIn]\r\nToneFilter=1",
       {{"USMEnable", "1"}},
       "[ChromalinePlugIn]\r\nToneFilter=1\r\nUSMEnable=1\r\n"},
      {"a messy file is tidied",
       "; lead comment\nfoo=bar\n\n[Other]\n  x = 1  \n[chromalineplugin]\n  gammaval =  '0.5'  \nnoeq\n\n;c\n"
       "[ChromalinePlugIn]\nToneFilter=7\n[Last]\ny=2",
       {{"GammaVal", "0.25"}, {"ToneFilter", "3"}},
       "; lead comment\r\nfoo=bar\r\n[Other]\r\nx=1\r\n[chromalineplugin]\r\ngammaval=0.25\r\nnoeq\r\n;c\r\n"
       "ToneFilter=3\r\n[ChromalinePlugIn]\r\nToneFilter=7\r\n[Last]\r\ny=2\r\n"},
      {"a key without '=' gets its value",
       "[ChromalinePlugIn]\r\nToneFilter\r\n",
       {{"ToneFilter", "2"}},
       "[ChromalinePlugIn]\r\nToneFilter=2\r\n"},
      {"white space in front of a value dropped", "", {{"K", "  v  "}}, "[ChromalinePlugIn]\r\nK=v  \r\n"},
      {"UTF-8 mark kept",
       "\xEF\xBB\xBF[ChromalinePlugIn]\r\nK=1\r\n",
       {{"K", "2"}},
       "\xEF\xBB\xBF[ChromalinePlugIn]\r\nK=2\r\n"},
      {"'[]' drops its line",
       "[ChromalinePlugIn]\r\nA=1\r\n[]\r\nB=2\r\n",
       {{"A", "3"}},
       "[ChromalinePlugIn]\r\nA=3\r\nB=2\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Update(c.before, c.values), c.after) << c.what;
}

TEST(IniText, NoChangeLeavesTheTextAsItWas) {
  const std::string messy = "\n\n[ChromalinePlugIn]\nK = 1 \n\n";
  EXPECT_EQ(Update(messy, {{"K", "1"}}), messy);
}

TEST(IniText, Utf16TextIsNeverRewritten) {
  const std::string text("\xFF\xFE[\0S\0]\0", 8);
  std::string out = "<untouched>";
  const IniValue value{"K", "1"};
  EXPECT_FALSE(UpdateIniText(text, "ChromalinePlugIn", &value, 1, &out));
  EXPECT_EQ(out, "<untouched>");
}

TEST(IniText, ARewriteThatWouldNotReadBackIsRefused) {
  // The key line "K\f\0x=1" is no key "K" (its name ends at the NUL, after
  // the form feed), so K=2 is added after it; but written back without the
  // rest of its name, "K\f=1" would read as K and hide K=2.
  const std::string text("[ChromalinePlugIn]\r\nK\f\0x=1\r\n", 28);
  std::string out = "<untouched>";
  const IniValue value{"K", "2"};
  EXPECT_FALSE(UpdateIniText(text, "ChromalinePlugIn", &value, 1, &out));
  EXPECT_EQ(out, "<untouched>");
}

TEST(IniText, BinaryJunkIsReadAndRewrittenWithoutHarm) {
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
