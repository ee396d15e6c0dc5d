// File: base/safe_file_posix.cpp
//
// The safe writer on POSIX systems: open(O_CREAT | O_EXCL), write, fsync,
// fchmod to the old file's mode, rename, then fsync of the folder so the
// rename itself survives a power cut.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include "base/safe_file.h"

namespace fs = std::filesystem;

namespace {

// Where the bytes must go: the file a symbolic link leads to, else the name.
// A link that leads to no file is replaced itself: following it would make
// a new file wherever it points, maybe far outside the folder the user named.
std::string ResolvedTarget(const std::string& target) {
  std::error_code failure;
  if (fs::is_symlink(fs::symlink_status(target, failure)) && fs::exists(fs::status(target, failure))) {
    const fs::path real = fs::canonical(target, failure);
    if (!failure) return real.string();
  }
  return target;
}

bool WriteAll(int fd, const unsigned char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string LastSystemError() { return std::strerror(errno); }

bool WriteFileSafely(const std::string& target, const void* data, size_t size, std::string* error) {
  const fs::path real(ResolvedTarget(target));
  const fs::path folder = real.has_parent_path() ? real.parent_path() : fs::path(".");
  const auto fail = [&](const std::string& what) {
    *error = target + ": " + what + ": " + LastSystemError();
    return false;
  };

  struct stat old_file;
  const bool exists = ::stat(real.c_str(), &old_file) == 0;
  if (exists && S_ISDIR(old_file.st_mode)) {
    *error = target + ": cannot be written: it is a folder";
    return false;
  }

  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = (folder / NewTemporaryName(real.filename().string())).string();
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return fail("cannot be written in " + folder.string());

  bool ok = WriteAll(fd, static_cast<const unsigned char*>(data), size);
  if (ok && exists) ok = ::fchmod(fd, old_file.st_mode & 07777) == 0;
  if (ok) ok = ::fsync(fd) == 0;
  const int saved = errno;
  const bool closed = ::close(fd) == 0;
  if (ok) ok = closed;
  else errno = saved;
  if (ok) ok = ::rename(temp.c_str(), real.c_str()) == 0;
  if (!ok) {
    const int reason = errno;
    ::unlink(temp.c_str());
    errno = reason;
    return fail("cannot be written");
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

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
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
  const fs::path where = folder.empty() ? fs::path(".") : fs::path(folder);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string probe = (where / NewTemporaryName("chromaline-probe")).string();
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      ::unlink(probe.c_str());
      reason->clear();
      return true;
    }
    if (errno != EEXIST) break;
  }
  *reason = LastSystemError();
  return false;
}

bool IdentifyFile(const std::string& path, FileIdentity* identity) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return false;
  identity->volume = static_cast<unsigned long long>(info.st_dev);
  identity->index = static_cast<unsigned long long>(info.st_ino);
  return true;
}
