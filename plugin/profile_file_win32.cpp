// File: plugin/profile_file_win32.cpp
//
// Profile files through the system's own profile functions.
//
// WritePrivateProfileStringA rewrites a file in place, so a failure half
// way (full disk, a lost share) would leave it truncated. Writes therefore
// go to a copy of the file beside it, are read back, and only then does the
// copy replace the file: with ReplaceFileA, which gives the new file the old
// one's attributes and security descriptor (a plain rename would leave the
// copy's, inherited from the folder, and so make a private file public).
#include <windows.h>

#include <cstdio>
#include <string>

#include "plugin/profile_file.h"
#include "plugin/profile_values.h"

namespace {

// The ANSI functions take no longer names; a longer one names no file.
bool Fits(const std::string& path) { return !path.empty() && path.size() < MAX_PATH; }

// The profile functions look for a bare file name in the Windows folder;
// every other file function looks in the current folder. A settings file
// belongs beside its picture, so a bare name is made relative to the
// current folder explicitly.
std::string ProfilePath(const std::string& path) {
  if (path.find_first_of("\\/:") == std::string::npos) return ".\\" + path;
  return path;
}

std::string FolderOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  if (separator != std::string::npos) return path.substr(0, separator + 1);
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  return std::string();
}

// A new, empty file beside `path`, or the empty text.
std::string CreateTempBeside(const std::string& path) {
  static unsigned counter = 0;
  const std::string folder = FolderOf(path);
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "~zprop%lx%lx%x.tmp", static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long>(GetTickCount()), ++counter);
    const std::string temp = folder + name;
    if (!Fits(temp)) return std::string();
    const HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return temp;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return std::string();
}

void RemoveTemp(const std::string& temp) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, temp.c_str());  // drop any cached copy
  SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(temp.c_str());
}

// The values as a fresh read of the file gives them back.
bool ReadsBack(const std::string& file, const char* section, const ProfileValue* values, size_t count) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());  // read the disk, not a cache
  for (size_t i = 0; i < count; ++i) {
    // A default no value can have: a missing key shows as a mismatch.
    char buffer[kProfileValueBuffer] = {};
    GetPrivateProfileStringA(section, values[i].key, "\n", buffer, sizeof buffer, file.c_str());
    std::string expected = values[i].text;
    expected.erase(0, expected.find_first_not_of(" \t"));
    if (expected.size() >= 2 && (expected[0] == '"' || expected[0] == '\'') && expected.back() == expected[0]) {
      expected = expected.substr(1, expected.size() - 2);
    }
    if (expected.size() < kProfileValueBuffer && expected != buffer) return false;
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

void ReadProfileValues(const std::string& file, const char* section, ProfileValue* values, size_t count) {
  const std::string path = ProfilePath(file);
  if (!Fits(file) || !Fits(path)) return;
  for (size_t i = 0; i < count; ++i) {
    char buffer[kProfileValueBuffer] = {};
    GetPrivateProfileStringA(section, values[i].key, values[i].text.c_str(), buffer, sizeof buffer,
                             path.c_str());
    values[i].text = buffer;
  }
}

bool WriteProfileValues(const std::string& file, const char* section, const ProfileValue* values,
                        size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (values[i].text.find_first_of("\r\n") != std::string::npos) return false;
  }
  const std::string path = ProfilePath(file);
  if (!Fits(file) || !Fits(path)) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  // A folder cannot be written as a file, and a read-only file is not to be
  // replaced (the system refuses both; the check makes it so for any user).
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    return false;
  }

  const std::string temp = CreateTempBeside(path);
  if (temp.empty()) return false;
  // The copy starts as the old text; it is written as a plain file (the
  // profile functions cannot rewrite a hidden one) and takes the old file's
  // place below.
  bool ok = attributes == INVALID_FILE_ATTRIBUTES ||
            (CopyFileA(path.c_str(), temp.c_str(), FALSE) && SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL));
  for (size_t i = 0; ok && i < count; ++i) {
    ok = WritePrivateProfileStringA(section, values[i].key, values[i].text.c_str(), temp.c_str()) != 0;
  }
  ok = ok && ReadsBack(temp, section, values, count);
  if (ok && attributes == INVALID_FILE_ATTRIBUTES) {
    // A new file: nothing to keep, and no file to replace may appear in
    // the meantime.
    ok = MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
  } else if (ok) {
    ok = ReplaceFileA(path.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    // Not every implementation carries the attributes over; put them back
    // where it did not (the file was neither a folder nor read-only).
    if (ok && GetFileAttributesA(path.c_str()) != attributes) SetFileAttributesA(path.c_str(), attributes);
  }
  if (!ok) {
    RemoveTemp(temp);
    return false;
  }
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // no stale cached copy
  return true;
}
