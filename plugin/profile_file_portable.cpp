// File: plugin/profile_file_portable.cpp
//
// Profile files on POSIX systems: the text is read whole and handled by
// profile_text; a rewrite goes to a temporary file in the same folder,
// reaches the disk, and is then renamed over the old file. The new file
// keeps the old one's owner, group and permission bits, so a private file
// stays private.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "plugin/profile_file.h"
#include "plugin/profile_text.h"

namespace {

// Larger files are no settings files: they read as unreadable and are
// never rewritten, so a stray huge file costs no more than this.
constexpr off_t kMaxProfileFile = off_t{32} << 20;

// The whole of a regular file, or false. Opened without blocking so that a
// FIFO or device carrying the name cannot hang the host.
bool ReadWholeFile(const std::string& path, std::string* text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxProfileFile;
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

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The owner and permissions the new copy of a file takes over. A new file
// has the process's owner and the umask's permissions.
struct FileOwnership {
  bool existed = false;
  uid_t owner = 0;
  gid_t group = 0;
  mode_t mode = 0;
};

// Gives the copy the old file's owner and group where the process may (the
// superuser may give any; others their own groups), then its permission
// bits. A group the copy cannot have gets no permission at all, so a file
// shared with one group is never opened to another.
bool TakeOver(int fd, const FileOwnership& old) {
  if (!old.existed) return ::fchmod(fd, old.mode) == 0;
  mode_t mode = old.mode;
  if (::fchown(fd, old.owner, old.group) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.group) != 0) {
    struct stat info;
    if (::fstat(fd, &info) != 0) return false;
    if (info.st_gid != old.group) mode &= static_cast<mode_t>(~(S_IRWXG | S_ISGID));
  }
  // After the change of owner, which clears the set-id bits.
  return ::fchmod(fd, mode) == 0;
}

// Writes text to a new file beside `path` and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& text, const FileOwnership& ownership) {
  const std::string folder = FolderOf(path);
  std::string temp = folder + ".zprop-XXXXXX";
  const int fd = ::mkstemp(&temp[0]);
  if (fd < 0) return false;
  bool ok = TakeOver(fd, ownership) && WriteAll(fd, text) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder.
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);  // read it back; the plug-in runs no threads
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
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

void ReadProfileValues(const std::string& file, const char* section, ProfileValue* values, size_t count) {
  std::string text;
  if (!ReadWholeFile(file, &text)) return;
  FindProfileValues(text, section, values, count);
}

bool WriteProfileValues(const std::string& file, const char* section, const ProfileValue* values,
                        size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (values[i].text.find_first_of("\r\n") != std::string::npos) return false;
  }
  if (file.empty()) return false;
  // A link is followed: the file it names is the one rewritten.
  std::string target = file;
  struct stat info;
  if (::lstat(file.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char* resolved = ::realpath(file.c_str(), nullptr);
    if (resolved == nullptr) return false;
    target = resolved;
    std::free(resolved);
  }
  std::string old_text;
  FileOwnership ownership;
  ownership.mode = NewFileMode();
  if (::stat(target.c_str(), &info) == 0) {
    // Only a regular file that may be written is replaced, as the system's
    // own function would only write such a file. A file without any write
    // permission is read-only even to the superuser, like a file with the
    // read-only attribute on Windows.
    if (!S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
      return false;
    }
    if (!ReadWholeFile(target, &old_text)) return false;
    ownership = FileOwnership{true, info.st_uid, info.st_gid, static_cast<mode_t>(info.st_mode & 07777)};
  } else if (errno != ENOENT) {
    return false;
  }
  std::string new_text;
  if (!UpdateProfileText(old_text, section, values, count, &new_text)) return false;
  if (new_text == old_text && !old_text.empty()) return true;  // nothing to change
  return ReplaceFile(target, new_text, ownership);
}
