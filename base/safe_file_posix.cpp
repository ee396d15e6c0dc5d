// The safe writer on POSIX systems: open(O_CREAT | O_EXCL), the old file's
// owner, group and mode given to the copy before any byte goes in, write,
// fsync, rename (renameat2 with RENAME_NOREPLACE for a new file), then
// fsync of the folder so that the rename itself survives a power cut.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/safe_file.h"

namespace {

// Where a replacement goes and what is there now.
struct Target {
  std::string real;  // the target, or the file its symbolic link leads to
  bool exists = false;
  bool dangling_link = false;  // the target is a link to no file: the link goes
  struct stat old = {};
};

bool Refuse(const std::string& target, const std::string& reason, std::string* error) {
  *error = target + ": cannot be written: " + reason;
  return false;
}

bool Inspect(const std::string& target, Target* where, std::string* error) {
  where->real = target;
  struct stat link;
  if (::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char* resolved = ::realpath(target.c_str(), nullptr);
    if (resolved == nullptr && errno == ENOENT) {
      // A link that leads nowhere is replaced itself: following it would
      // make a new file wherever it points, maybe far outside the folder
      // the caller named.
      where->dangling_link = true;
      return true;
    }
    if (resolved == nullptr) return Refuse(target, LastSystemError(), error);
    where->real = resolved;
    std::free(resolved);
  }
  if (::stat(where->real.c_str(), &where->old) != 0) {
    if (errno == ENOENT) return true;  // a new file
    return Refuse(target, LastSystemError(), error);
  }
  where->exists = true;
  if (S_ISDIR(where->old.st_mode)) return Refuse(target, "it is a folder", error);
  if (!S_ISREG(where->old.st_mode)) return Refuse(target, "it is not a regular file", error);
  // A file without any write permission is read-only even to the
  // superuser, whom access() lets through.
  if ((where->old.st_mode & 0222) == 0) {
    errno = EACCES;
  } else if (::access(where->real.c_str(), W_OK) == 0) {
    return true;
  }
  return Refuse(target, LastSystemError(), error);
}

// Gives the copy the old file's owner and group where the process may (the
// superuser may give any; others their own groups), then its permission
// bits. A group the copy cannot have gets no permission at all.
bool TakeOver(int fd, const struct stat& old) {
  mode_t mode = old.st_mode & 07777;
  if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
    struct stat now;
    if (::fstat(fd, &now) != 0) return false;
    if (now.st_gid != old.st_gid) mode &= static_cast<mode_t>(~(S_IRWXG | S_ISGID));
  }
  // After the change of owner, which clears the set-id bits.
  return ::fchmod(fd, mode) == 0;
}

// Brings the filled copy to the disk. A copy filled by name is opened
// again for it (never through a link put in its place).
bool Flush(const TemporaryFile& file) {
  if (file.open()) return ::fsync(static_cast<int>(file.handle())) == 0;
  const int fd = ::open(file.path().c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = ::fsync(fd) == 0;
  const int reason = errno;
  const bool closed = ::close(fd) == 0;
  if (!flushed) errno = reason;
  return flushed && closed;
}

// The copy takes the target's place. A new file goes in only if no file
// of its name has appeared meanwhile; a file system that cannot promise
// that gets a plain rename.
bool MoveIn(const std::string& temp, const Target& where) {
  if (!where.exists && !where.dangling_link) {
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, where.real.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
  }
  return ::rename(temp.c_str(), where.real.c_str()) == 0;
}

// A new temporary for `name` in a folder (`prefix`: its path with the
// separator, or empty for the current one), made exclusively (a name
// taken already is simply retried); -1 with errno when none can be made.
int CreateTemporary(const std::string& prefix, const std::string& name, mode_t mode, std::string* path) {
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    *path = prefix + NewTemporaryName(name);
    fd = ::open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  return fd;
}

}  // namespace

bool TemporaryFile::Write(const void* data, size_t size) {
  if (handle_ == kClosed) {
    errno = EBADF;
    return false;
  }
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(static_cast<int>(handle_), bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool TemporaryFile::Close() {
  if (handle_ == kClosed) return true;
  const bool closed = ::close(static_cast<int>(handle_)) == 0;
  handle_ = kClosed;
  return closed;
}

std::string LastSystemError() { return std::strerror(errno); }

bool CanReplace(const std::string& target, std::string* error) {
  Target where;
  return Inspect(target, &where, error);
}

bool ReplaceFileSafely(const std::string& target, const std::function<bool(TemporaryFile&)>& fill,
                       const SafeWriteOptions&, std::string* error) {
  Target where;
  if (!Inspect(target, &where, error)) return false;
  const size_t slash = where.real.find_last_of('/');
  const std::string prefix = slash == std::string::npos ? std::string() : where.real.substr(0, slash + 1);
  const std::string name = where.real.substr(prefix.size());
  const std::string folder = prefix.empty() ? "." : prefix.size() == 1 ? prefix : prefix.substr(0, slash);

  // A copy of an existing file stays private until it has that file's
  // owner and mode; a new file is made with the umask's mode directly.
  const mode_t mode = where.exists ? 0600 : 0666;
  std::string temp;
  const int fd = CreateTemporary(prefix, name, mode, &temp);
  if (fd < 0) {
    *error = target + ": cannot be written in " + folder + ": " + LastSystemError();
    return false;
  }

  TemporaryFile file(temp, fd);
  errno = 0;
  bool ok = (!where.exists || TakeOver(fd, where.old)) && fill(file) && Flush(file);
  int reason = errno != 0 ? errno : EIO;  // a filler that failed without a system call failing
  if (!file.Close() && ok) {
    ok = false;
    reason = errno;
  }
  if (ok && !MoveIn(temp, where)) {
    ok = false;
    reason = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = reason;
    return Refuse(target, LastSystemError(), error);
  }
  // The rename is in the folder's data: flush it too (a failure here leaves
  // the new file in place, so it is not reported).
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

bool ProcessRunning(unsigned long id) {
  if (id == 0 || id > static_cast<unsigned long>(INT32_MAX)) return false;
  return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

bool IsOwnRegularFile(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

bool CanWriteIn(const std::string& folder, std::string* reason) {
  const std::string where = folder.empty() ? std::string(".") : folder;
  // A file without a name, gone when closed: nothing to remove, so nothing
  // can be left behind. Where the file system cannot make one, a named
  // temporary is made and removed, and one that cannot be removed is
  // named, as it stays.
  int fd = ::open(where.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ::close(fd);
    reason->clear();
    return true;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    *reason = LastSystemError();
    return false;
  }
  std::string probe;
  fd = CreateTemporary(where + "/", "chromaline-probe", 0600, &probe);
  if (fd < 0) {
    *reason = LastSystemError();
    return false;
  }
  ::close(fd);
  if (::unlink(probe.c_str()) != 0) {
    *reason = "the test file " + probe + " made there cannot be removed: " + LastSystemError();
    return false;
  }
  reason->clear();
  return true;
}

bool MayWriteIn(const std::string& folder, std::string* reason) {
  // Superuser passes access() on any folder; a read-only file system still
  // answers EROFS.
  if (::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0) {
    *reason = LastSystemError();
    return false;
  }
  reason->clear();
  return true;
}

bool IdentifyFile(const std::string& path, FileIdentity* identity) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return false;
  identity->volume = static_cast<unsigned long long>(info.st_dev);
  identity->index = static_cast<unsigned long long>(info.st_ino);
  return true;
}
