// INI files through the system's own profile functions.
//
// WritePrivateProfileStringA rewrites a file in place, so a failure half
// way (full disk, a lost share) would leave it truncated. Writes therefore
// go through the safe writer (base/safe_file.h): the profile functions
// write a copy of the file beside it, the copy is read back, and only then
// does it replace the file, keeping the old one's attributes and security
// descriptor.
#include <windows.h>

#include <string>

#include "base/safe_file.h"
#include "base/scoped_win32.h"
#include "settings/ini_file.h"
#include "settings/ini_values.h"

namespace {

// The ANSI functions take no longer names; a longer one names no file.
bool Fits(const std::string& path) { return !path.empty() && path.size() < MAX_PATH; }

// The profile functions look for a bare file name in the Windows folder;
// every other file function looks in the current folder. A settings file
// belongs beside its picture, so a bare name is made relative to the
// current folder explicitly.
std::string IniPath(const std::string& path) {
  if (path.find_first_of("\\/:") == std::string::npos) return ".\\" + path;
  return path;
}

// The values as a fresh read of the file gives them back.
bool ReadsBack(const std::string& file, const char* section, const IniValue* values, size_t count) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());  // read the disk, not a cache
  for (size_t i = 0; i < count; ++i) {
    // A default no value can have: a missing key shows as a mismatch.
    char buffer[kIniValueBuffer] = {};
    GetPrivateProfileStringA(section, values[i].key, "\n", buffer, sizeof buffer, file.c_str());
    std::string expected = values[i].text;
    expected.erase(0, expected.find_first_not_of(" \t"));
    if (expected.size() >= 2 && (expected[0] == '"' || expected[0] == '\'') && expected.back() == expected[0]) {
      expected = expected.substr(1, expected.size() - 2);
    }
    if (expected.size() < kIniValueBuffer && expected != buffer) return false;
  }
  return true;
}

}  // namespace

bool PathExists(const std::string& path) {
  return Fits(path) && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool PathIsFolder(const std::string& path) {
  if (!Fits(path)) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void ReadIniValues(const std::string& file, const char* section, IniValue* values, size_t count) {
  const std::string path = IniPath(file);
  if (!Fits(file) || !Fits(path)) return;
  for (size_t i = 0; i < count; ++i) {
    char buffer[kIniValueBuffer] = {};
    GetPrivateProfileStringA(section, values[i].key, values[i].text.c_str(), buffer, sizeof buffer, path.c_str());
    values[i].text = buffer;
  }
}

bool WriteIniValues(const std::string& file, const char* section, const IniValue* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (values[i].text.find_first_of("\r\n") != std::string::npos) return false;
  }
  const std::string path = IniPath(file);
  if (!Fits(file) || !Fits(path)) return false;
  // A folder cannot be written as a file, and a read-only file is not to be
  // replaced (the writer refuses both, for any user).
  // The writer takes UTF-8 names; the plug-in's come in the ANSI code page.
  const std::string target = Utf8FromAnsi(path);
  std::string error;
  if (!CanReplace(target, &error)) return false;
  const bool exists = PathExists(path);
  const auto fill = [&](TemporaryFile& copy) {
    // The copy starts as the old text; it is written as a plain file (the
    // profile functions cannot rewrite a hidden one) by the functions that
    // take a name.
    copy.Close();
    bool exact = false;
    const std::string temp_name = AnsiFromUtf8(copy.path(), &exact);  // made from the target's name: it has one
    const char* temp = temp_name.c_str();
    bool ok = !exists || (CopyFileA(path.c_str(), temp, FALSE) && SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL));
    for (size_t i = 0; ok && i < count; ++i) {
      ok = WritePrivateProfileStringA(section, values[i].key, values[i].text.c_str(), temp) != 0;
    }
    ok = ok && ReadsBack(temp_name, section, values, count);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, temp);  // drop any cached copy
    return ok;
  };
  SafeWriteOptions options;
  options.keep_windows_attributes = true;
  if (!ReplaceFileSafely(target, fill, options, &error)) return false;
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // no stale cached copy
  return true;
}
