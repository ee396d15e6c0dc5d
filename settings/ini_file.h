// Windows INI files and the file-system queries the local
// settings need. On Windows these are the system's own profile functions;
// elsewhere a reader and writer of this project's own that keep the same
// format: "[Section]" lines, "key=value" lines, CRLF line ends, section and
// key names matched without regard to case, the first matching section and
// the first matching key winning.
//
// Both implementations replace a file only through the safe writer
// (base/safe_file.h): a complete new copy is written beside it first, so a
// write that cannot finish leaves the old file (or none) behind, never a
// truncated one, and the new file keeps the old one's owner, group and
// permission bits (natively) or attributes (Windows).
#ifndef CHROMALINE_SETTINGS_INI_FILE_H_
#define CHROMALINE_SETTINGS_INI_FILE_H_

#include <cstddef>
#include <string>

// One key of an INI read or write.
struct IniValue {
  const char* key;
  // Read: the default going in, the value text (at most 4095 characters)
  // coming out. Write: the value to store.
  std::string text;
};

// A file or folder of that name exists.
bool PathExists(const std::string& path);
// The name is that of an existing folder (with or without a final
// separator).
bool PathIsFolder(const std::string& path);

// Reads each key of `values` from `section` of `file`. A key whose file,
// section or key is missing, or that stands without "=", keeps its default.
// Surrounding quotes of a value are removed, as the Windows function does.
void ReadIniValues(const std::string& file, const char* section, IniValue* values, size_t count);

// Stores each key=value in `section` of `file`, replacing values in place,
// adding missing keys at the end of the section and a missing section at the
// end of the file, creating the file when needed. All or nothing: returns
// false, with the file as it was, when any part fails. Values must not hold
// line breaks.
bool WriteIniValues(const std::string& file, const char* section, const IniValue* values, size_t count);

#endif  // CHROMALINE_SETTINGS_INI_FILE_H_
