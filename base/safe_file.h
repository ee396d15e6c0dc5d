// The one way the plug-in (its settings files) and the command line (its
// pictures and the settings store) replace a file. The new content goes
// to a temporary file created exclusively (never opening an existing one)
// in the target's own folder under a name of its own; every write and the
// close are checked, the data is flushed to the disk, and the temporary
// file then takes the target's place in one step. On any failure the
// temporary file is removed and the target is left exactly as it was.
//
// The rules, the same for every caller:
// - Only a regular file that may be written is replaced: a folder, a
//   device or pipe, and a file without write permission (natively) or
//   with the read-only attribute (Windows) are refused.
// - A target that is a symbolic link is replaced where the link points,
//   and the link stays; a link that leads nowhere is itself replaced by
//   the new file, so nothing is ever created at the place it names.
// - Natively the new file keeps the old one's permission bits and, where
//   the process may give them, its owner and group (a group the new file
//   cannot have gets no permission, so a file shared with one group is
//   never opened to another). On Windows it keeps the old one's attributes
//   and security descriptor when the caller asks (SafeWriteOptions).
// - A new file gets the process's defaults (the umask natively) and is
//   moved in only if no file of that name has appeared in the meantime.
//
// File names are UTF-8, on Windows too (base/file_name.h).
//
// Errors name the target as the caller gave it and the system's reason
// ("out/a.png: cannot be written: No space left on device").
//
// Also here, because it asks the same file system: whether two names lead
// to one file (another spelling, a hard link, a symbolic link).
#ifndef CHROMALINE_BASE_SAFE_FILE_H_
#define CHROMALINE_BASE_SAFE_FILE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// The temporary file of a replacement in progress, handed to the code that
// fills it. It starts empty and open for writing.
class TemporaryFile {
 public:
  TemporaryFile(std::string path, intptr_t handle) : path_(std::move(path)), handle_(handle) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() { Close(); }

  const std::string& path() const { return path_; }
  // Appends the bytes; false when any of them is refused (LastSystemError
  // says why) or the file was closed.
  bool Write(const void* data, size_t size);
  // Closes the file, for functions that write a file by its name (the
  // Windows profile functions); the writer opens it again to flush it.
  // False when the system reports a failure on closing.
  bool Close();
  bool open() const { return handle_ != kClosed; }
  // The file descriptor or Windows HANDLE, for the writer.
  intptr_t handle() const { return handle_; }

  static constexpr intptr_t kClosed = -1;

 private:
  std::string path_;
  intptr_t handle_;
};

struct SafeWriteOptions {
  // Windows: an existing target is replaced with ReplaceFile, which gives
  // the new file the old one's attributes and security descriptor (a
  // rename leaves the copy's own, inherited from the folder, and so would
  // make a hidden or private file visible or public). ReplaceFile is not
  // one step everywhere (Wine's moves the old file away first), so without
  // this MoveFileEx replaces the file in one step. Natively owner, group
  // and mode are kept either way.
  bool keep_windows_attributes = false;
};

// Replaces (or creates) `target` with what `fill` writes into the
// temporary file it is given. `fill` returns false when the content cannot
// be made complete; the target then stays as it was. Returns false with a
// line in *error when the target is unchanged.
bool ReplaceFileSafely(const std::string& target, const std::function<bool(TemporaryFile&)>& fill,
                       const SafeWriteOptions& options, std::string* error);

// Replaces (or creates) `target` with `size` bytes at `data`.
bool WriteFileSafely(const std::string& target, const void* data, size_t size, std::string* error);

// Whether the target may be replaced as it is now under the rules above
// (false with the reason in *error), for callers that read the old file
// first and must not read one they may not replace.
bool CanReplace(const std::string& target, std::string* error);

// Whether both names exist and lead to the same file.
bool SameFile(const std::string& a, const std::string& b);

// What makes a file itself, whatever name leads to it: the device and
// inode, or on Windows the volume serial number and the file index.
struct FileIdentity {
  unsigned long long volume = 0;
  unsigned long long index = 0;
  bool operator<(const FileIdentity& other) const {
    return volume != other.volume ? volume < other.volume : index < other.index;
  }
};
// False when `path` leads to no file that can be asked.
bool IdentifyFile(const std::string& path, FileIdentity* identity);

// The system's text for the last failed call of this thread (errno or
// GetLastError), for messages that name a file and the reason.
std::string LastSystemError();

// The temporary files the writer makes beside a target named `name` are
// named ".<name>." + the writer's process id + "-" + random letters + ".tmp"
// (on Windows, where that would make the path too long for the plug-in's
// ANSI profile functions, without the name: ".." + the rest). The command
// line skips files of that ending when it walks a folder.
constexpr char kTemporaryNameEnding[] = ".tmp";
// A fresh temporary name of that form (this process's id, eight random
// letters); the writer still creates it exclusively, so a name taken
// already is simply retried.
std::string NewTemporaryName(const std::string& name);

// The folder the writer's temporaries for `target` are made in, and the
// names there that end as temporaries do: read once for all the targets
// of a run in one folder.
std::string TemporariesFolder(const std::string& target);
std::vector<std::string> TemporaryNamesIn(const std::string& folder);

// The temporaries beside `target` that an earlier writer left (a run killed
// before it could remove them), among `names`, the folder's temporary names
// above. One is removed when it is provably such a leftover of ours: its
// name carries a process id, no process of that id runs any more, and it
// is a regular file owned by this user. Returns one line per temporary
// found, naming it and saying what was done (without `remove`: what would
// be done; nothing is removed).
std::vector<std::string> ClearStaleTemporaries(const std::string& target, const std::vector<std::string>& names,
                                               bool remove = true);

// Whether a new file can be made in `folder`, found by making one that
// leaves no name behind (natively a file without a name where the file
// system has them, on Windows one the system deletes when it is closed).
// On failure *reason holds the system's text, and names the test file when
// one had to be made and could not be removed.
bool CanWriteIn(const std::string& folder, std::string* reason);
// The same question asked without making anything (a dry run): whether
// the system's permission check lets files be made there.
bool MayWriteIn(const std::string& folder, std::string* reason);

// What the two above ask the system (one implementation per platform).
unsigned long CurrentProcessId();
bool ProcessRunning(unsigned long id);
bool IsOwnRegularFile(const std::string& path);

#endif  // CHROMALINE_BASE_SAFE_FILE_H_
