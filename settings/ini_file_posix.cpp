// INI files on POSIX systems: the text is read whole and handled by
// ini_text; a rewrite goes through the safe writer (base/safe_file.h),
// so the new file keeps the old one's owner, group and permission bits and
// a private file stays private.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "base/safe_file.h"
#include "settings/ini_file.h"
#include "settings/ini_text.h"

namespace {

// Larger files are no settings files: they read as unreadable and are
// never rewritten, so a stray huge file costs no more than this.
constexpr off_t kMaxIniFile = off_t{32} << 20;

// The whole of a regular file, or false. Opened without blocking so that a
// FIFO or device carrying the name cannot hang the host.
bool ReadWholeFile(const std::string& path, std::string* text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxIniFile;
  if (ok) {
    text->resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < text->size()) {
      const ssize_t n = ::read(fd, &(*text)[done], text->size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the file shrank under us: keep what was there
      done += static_cast<size_t>(n);
    }
    text->resize(done);
  }
  ::close(fd);
  return ok;
}

}  // namespace

bool PathExists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool PathIsFolder(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void ReadIniValues(const std::string& file, const char* section, IniValue* values, size_t count) {
  std::string text;
  if (!ReadWholeFile(file, &text)) return;
  FindIniValues(text, section, values, count);
}

bool WriteIniValues(const std::string& file, const char* section, const IniValue* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (values[i].text.find_first_of("\r\n") != std::string::npos) return false;
  }
  if (file.empty()) return false;
  // Only a file the writer may replace is read and rewritten, as the
  // system's own function would only write such a file: a regular file
  // with write permission (a file without any is read-only even to the
  // superuser, like a file with the read-only attribute on Windows), or a
  // link that leads to one; the file it leads to is the one rewritten.
  std::string error;
  if (!CanReplace(file, &error)) return false;
  std::string old_text;
  if (PathExists(file) && !ReadWholeFile(file, &old_text)) return false;
  std::string new_text;
  if (!UpdateIniText(old_text, section, values, count, &new_text)) return false;
  if (new_text == old_text && !old_text.empty()) return true;  // nothing to change
  return WriteFileSafely(file, new_text.data(), new_text.size(), &error);
}
