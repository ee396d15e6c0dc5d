// The INI reader and rewriter for platforms without the system's profile functions.
#include "settings/ini_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "settings/ini_encoding.h"
#include "settings/ini_values.h"

namespace {

const char kUtf8Mark[] = "\xEF\xBB\xBF";

// A byte of an ANSI file or a code unit of a Unicode one. Units above 0x7F
// are never white space, line ends or marks to the loader.
template <typename Unit>
bool IsSpace(Unit c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A';
}

template <typename Unit>
Unit Lower(Unit c) {
  return c >= 'A' && c <= 'Z' ? static_cast<Unit>(c - 'A' + 'a') : c;
}

// The loader keeps a name or value whole, but every later use of it stops
// at its first NUL: "K\0x=1" is a key "K", "1\0x" the value "1".
template <typename Unit>
const Unit* CutAtNul(const Unit* begin, const Unit* end) {
  return std::find(begin, end, Unit{0});
}

// A name of the file against one the program asks for (whose own white
// space does not count, as with the system's functions). Only ASCII letters
// fold: no other character of a file matches an ASCII letter.
template <typename Unit>
bool SameName(const Unit* begin, const Unit* end, const char* wanted) {
  end = CutAtNul(begin, end);
  size_t length = std::strlen(wanted);
  while (length > 0 && IsSpace(*wanted)) ++wanted, --length;
  while (length > 0 && IsSpace(wanted[length - 1])) --length;
  if (static_cast<size_t>(end - begin) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    const Unit w = static_cast<Unit>(static_cast<unsigned char>(wanted[i]));
    if (Lower(begin[i]) != Lower(w)) return false;
  }
  return true;
}

size_t MarkLength(const std::string& text) { return text.compare(0, 3, kUtf8Mark) == 0 ? 3 : 0; }

// One non-blank line, split as the system's loader splits it.
template <typename Unit>
struct Line {
  bool is_section = false;
  const Unit* name = nullptr;  // section or key name
  const Unit* name_end = nullptr;
  const Unit* value = nullptr;  // null: a key without "="
  const Unit* value_end = nullptr;
};

// Calls visit(line) for every non-blank line of [p, end); stops early when
// visit returns false. A line ends at "\n" or "\r", so CRLF, LF and CR-only
// files read alike.
template <typename Unit, typename Visit>
void ForEachLine(const Unit* p, const Unit* const end, Visit visit) {
  while (p < end) {
    const Unit* start = p;
    while (p < end && *p != '\n' && *p != '\r') ++p;
    const Unit* stop = p;
    if (p < end) ++p;
    while (start < stop && IsSpace(*start)) ++start;
    while (stop > start && IsSpace(stop[-1])) --stop;
    if (start == stop) continue;
    Line<Unit> line;
    if (*start == '[') {
      const Unit* close = stop;
      while (close > start && close[-1] != ']') --close;
      if (close > start + 1) {  // found a "]" after the "["
        line.is_section = true;
        line.name = start + 1;
        line.name_end = close - 1;
        if (!visit(line)) return;
        continue;
      }
    }
    line.name = start;
    line.name_end = stop;
    const Unit* equals = std::find(start, stop, Unit{'='});
    if (equals != stop) {
      line.name_end = equals;
      while (line.name_end > start && IsSpace(line.name_end[-1])) --line.name_end;
      line.value = equals + 1;
      while (line.value < stop && IsSpace(*line.value)) ++line.value;
      line.value_end = stop;
    }
    if (!visit(line)) return;
  }
}

char ToByte(char c) { return c; }
char ToByte(char16_t unit) { return AnsiFromUnit(unit); }

// The value as a read with a buffer of kIniValueBuffer characters
// returns it: one pair of matching quotes removed when the value fits,
// then each code unit turned into its ANSI byte.
template <typename Unit>
std::string ValueAsRead(const Unit* value, const Unit* end) {
  end = CutAtNul(value, end);
  const size_t limit = kIniValueBuffer - 1;
  size_t length = static_cast<size_t>(end - value);
  bool quoted = false;
  if (length >= 2 && (*value == '"' || *value == '\'') && end[-1] == *value) {
    quoted = true;
    ++value;
    --length;  // the closing quote is still counted
  }
  std::string copy(length < limit ? length : limit, '\0');
  for (size_t i = 0; i < copy.size(); ++i) copy[i] = ToByte(value[i]);
  if (quoted && length <= kIniValueBuffer) copy.pop_back();
  return copy;
}

template <typename Unit>
void FindValues(const Unit* begin, const Unit* end, const char* section, IniValue* values, size_t count) {
  std::vector<bool> found(count, false);
  int state = 0;  // 0 before the section, 1 inside it, 2 after it
  ForEachLine(begin, end, [&](const Line<Unit>& line) {
    if (line.is_section) {
      if (state == 1) state = 2;
      if (state == 0 && line.name != line.name_end && SameName(line.name, line.name_end, section)) state = 1;
      return state != 2;
    }
    if (state != 1) return true;
    for (size_t i = 0; i < count; ++i) {
      if (found[i] || !SameName(line.name, line.name_end, values[i].key)) continue;
      found[i] = true;  // the first key of a name wins, with or without "="
      if (line.value != nullptr) values[i].text = ValueAsRead(line.value, line.value_end);
    }
    return true;
  });
}

struct Entry {
  std::string name;
  bool has_value = false;
  std::string value;
};

struct Section {
  std::string name;  // empty: the lines before the first section
  std::vector<Entry> entries;
};

std::vector<Section> Parse(const std::string& text) {
  std::vector<Section> sections(1);
  bool after_unnamed_key = false;  // the previous key of this section had no name
  const char* begin = text.data() + MarkLength(text);
  ForEachLine(begin, text.data() + text.size(), [&](const Line<char>& line) {
    if (line.is_section) {
      sections.push_back(Section{std::string(line.name, CutAtNul(line.name, line.name_end)), {}});
      after_unnamed_key = false;
      return true;
    }
    // Runs of keys without a name collapse into one, as the loader does.
    const bool unnamed = line.name == line.name_end;
    if (unnamed && after_unnamed_key) return true;
    Entry entry;
    // The system writes names and values back only up to a NUL.
    entry.name.assign(line.name, CutAtNul(line.name, line.name_end));
    after_unnamed_key = entry.name.empty();
    if (line.value != nullptr) {
      entry.has_value = true;
      entry.value.assign(line.value, CutAtNul(line.value, line.value_end));
    }
    sections.back().entries.push_back(std::move(entry));
    return true;
  });
  return sections;
}

bool SameName(const std::string& name, const char* wanted) {
  return SameName(name.data(), name.data() + name.size(), wanted);
}

}  // namespace

void FindIniValues(const std::string& text, const char* section, IniValue* values, size_t count) {
  size_t mark = 0;
  const IniEncoding encoding = DetectIniEncoding(text, &mark);
  if (encoding == IniEncoding::kAnsi) {
    FindValues(text.data(), text.data() + text.size(), section, values, count);
    return;
  }
  const std::u16string units = DecodeIniUnits(text, encoding, mark);
  FindValues(units.data(), units.data() + units.size(), section, values, count);
}

bool UpdateIniText(const std::string& text, const char* section, const IniValue* values, size_t count,
                   std::string* out) {
  size_t mark = 0;
  const IniEncoding encoding = DetectIniEncoding(text, &mark);
  if (encoding == IniEncoding::kUtf16Le || encoding == IniEncoding::kUtf16Be) return false;
  std::vector<Section> sections = Parse(text);
  Section* target = nullptr;
  for (Section& s : sections) {
    if (!s.name.empty() && SameName(s.name, section)) {
      target = &s;
      break;
    }
  }
  bool changed = false;
  for (size_t i = 0; i < count; ++i) {
    if (target == nullptr) {
      sections.push_back(Section{section, {}});
      target = &sections.back();
    }
    Entry* entry = nullptr;
    for (Entry& e : target->entries) {
      if (SameName(e.name, values[i].key)) {
        entry = &e;
        break;
      }
    }
    if (entry == nullptr) {
      target->entries.push_back(Entry{values[i].key, false, {}});
      entry = &target->entries.back();
    }
    // The system drops white space in front of a value it writes.
    const std::string& value = values[i].text;
    size_t start = 0;
    while (start < value.size() && IsSpace(value[start])) ++start;
    if (entry->has_value && entry->value.compare(0, std::string::npos, value, start) == 0) continue;
    entry->has_value = true;
    entry->value.assign(value, start, std::string::npos);
    changed = true;
  }
  if (!changed) {
    *out = text;
    return true;
  }
  std::string result(text, 0, MarkLength(text));
  for (const Section& s : sections) {
    if (!s.name.empty()) result += "[" + s.name + "]\r\n";
    for (const Entry& e : s.entries) {
      result += e.name;
      if (e.has_value) result += "=" + e.value;
      result += "\r\n";
    }
  }
  // As the Windows build reads its copy back before it replaces a file: a
  // rewrite is kept only when a fresh read finds every value written. (A
  // key whose name ended at a NUL comes back without the rest of its name
  // and may then hide the key written after it.)
  std::vector<IniValue> check;
  for (size_t i = 0; i < count; ++i) check.push_back({values[i].key, "\n"});
  FindIniValues(result, section, check.data(), check.size());
  for (size_t i = 0; i < count; ++i) {
    const std::string& value = values[i].text;
    const char* begin = value.data();
    const char* end = begin + value.size();
    while (begin < end && IsSpace(*begin)) ++begin;
    while (end > begin && IsSpace(end[-1])) --end;
    if (check[i].text != ValueAsRead(begin, end)) return false;
  }
  *out = std::move(result);
  return true;
}
