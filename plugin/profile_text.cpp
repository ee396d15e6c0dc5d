// File: plugin/profile_text.cpp
#include "plugin/profile_text.h"

#include <cstring>
#include <vector>

#include "plugin/profile_values.h"

namespace {

const char kUtf8Mark[] = "\xEF\xBB\xBF";

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A';
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A name of the file against one the program asks for (whose own white
// space does not count, as with the system's functions).
bool SameName(const char* begin, const char* end, const char* wanted) {
  size_t length = std::strlen(wanted);
  while (length > 0 && IsSpace(*wanted)) ++wanted, --length;
  while (length > 0 && IsSpace(wanted[length - 1])) --length;
  if (static_cast<size_t>(end - begin) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (Lower(begin[i]) != Lower(wanted[i])) return false;
  }
  return true;
}

bool IsUtf16(const std::string& text) {
  return text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'));
}

size_t MarkLength(const std::string& text) { return text.compare(0, 3, kUtf8Mark) == 0 ? 3 : 0; }

// One non-blank line, split as the system's loader splits it.
struct Line {
  bool is_section = false;
  const char* name = nullptr;  // section or key name
  const char* name_end = nullptr;
  const char* value = nullptr;  // null: a key without "="
  const char* value_end = nullptr;
};

// Calls visit(line) for every non-blank line of text after the mark; stops
// early when visit returns false.
template <typename Visit>
void ForEachLine(const std::string& text, Visit visit) {
  const char* p = text.data() + MarkLength(text);
  const char* const end = text.data() + text.size();
  while (p < end) {
    const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    const char* next = newline ? newline + 1 : end;
    const char* start = p;
    const char* stop = next;
    p = next;
    while (start < stop && IsSpace(*start)) ++start;
    while (stop > start && IsSpace(stop[-1])) --stop;
    if (start == stop) continue;
    Line line;
    if (*start == '[') {
      const char* close = stop;
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
    const char* equals = static_cast<const char*>(std::memchr(start, '=', static_cast<size_t>(stop - start)));
    if (equals != nullptr) {
      line.name_end = equals;
      while (line.name_end > start && IsSpace(line.name_end[-1])) --line.name_end;
      line.value = equals + 1;
      while (line.value < stop && IsSpace(*line.value)) ++line.value;
      line.value_end = stop;
    }
    if (!visit(line)) return;
  }
}

// The value as a read with a buffer of kProfileValueBuffer characters
// returns it: one pair of matching quotes removed when the value fits.
std::string ValueAsRead(const char* value, const char* end) {
  const size_t limit = kProfileValueBuffer - 1;
  size_t length = static_cast<size_t>(end - value);
  bool quoted = false;
  if (length >= 2 && (*value == '"' || *value == '\'') && end[-1] == *value) {
    quoted = true;
    ++value;
    --length;  // the closing quote is still counted
  }
  std::string copy(value, length < limit ? length : limit);
  if (quoted && length <= kProfileValueBuffer) copy.pop_back();
  return copy;
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
  ForEachLine(text, [&](const Line& line) {
    if (line.is_section) {
      sections.push_back(Section{std::string(line.name, line.name_end), {}});
      after_unnamed_key = false;
      return true;
    }
    // Runs of keys without a name collapse into one, as the loader does.
    const bool unnamed = line.name == line.name_end;
    if (unnamed && after_unnamed_key) return true;
    after_unnamed_key = unnamed;
    Entry entry;
    entry.name.assign(line.name, line.name_end);
    if (line.value != nullptr) {
      entry.has_value = true;
      entry.value.assign(line.value, line.value_end);
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

void FindProfileValues(const std::string& text, const char* section, ProfileValue* values, size_t count) {
  if (IsUtf16(text)) return;
  std::vector<bool> found(count, false);
  int state = 0;  // 0 before the section, 1 inside it, 2 after it
  ForEachLine(text, [&](const Line& line) {
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

bool UpdateProfileText(const std::string& text, const char* section, const ProfileValue* values,
                       size_t count, std::string* out) {
  if (IsUtf16(text)) return false;
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
  *out = std::move(result);
  return true;
}
