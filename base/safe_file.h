// File: base/safe_file.h
//
// The one way the command line replaces a file. The bytes go to a temporary
// file created exclusively (never opening an existing one) in the target's
// own folder under a name of its own; every write and the close are
// checked, the data is flushed to the disk, and the temporary file is then
// renamed over the target in one step. On any failure the temporary file
// is removed and the target is left exactly as it was. A target that
// exists keeps its permission bits. A target that is a symbolic link to a
// file is replaced where the link points, and the link stays (POSIX; the
// move on Windows replaces the link itself). A link that leads to no file
// is itself replaced by the new file on both, so nothing is ever created
// at the place it names.
//
// Errors name the target as the user gave it and the system's reason
// ("out/a.png: cannot be written: No space left on device").
//
// Also here, because it asks the same file system: whether two names lead
// to one file (another spelling, a hard link, a symbolic link).
#ifndef CHROMALINE_HOST_SAFE_FILE_H_
#define CHROMALINE_HOST_SAFE_FILE_H_

#include <cstddef>
#include <string>
#include <vector>

// Replaces (or creates) `target` with `size` bytes at `data`. Returns false
// with a line in *error when the target is unchanged.
bool WriteFileSafely(const std::string& target, const void* data, size_t size, std::string* error);

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

// The prefix and ending of the temporary files WriteFileSafely makes beside a
// target named `name`: ".<name>." + the writer's process id + "-" + random
// letters + ".tmp". Tests look for leftovers with it.
std::string TemporaryNamePrefix(const std::string& name);
constexpr char kTemporaryNameEnding[] = ".tmp";
// A fresh temporary name of that form (this process's id, eight random
// letters); the writer still creates it exclusively, so a name taken
// already is simply retried.
std::string NewTemporaryName(const std::string& name);

// The temporaries beside `target` that an earlier writer left (a run killed
// before it could remove them). One is removed when it is provably such a
// leftover of ours: its name carries a process id, no process of that id
// runs any more, and it is a regular file owned by this user. Returns one
// line per temporary found, naming it and saying what was done.
std::vector<std::string> ClearStaleTemporaries(const std::string& target);

// Whether a new file can be made in `folder`, found by making (and at once
// removing) one of the writer's own temporaries there. On failure *reason
// holds the system's text.
bool CanWriteIn(const std::string& folder, std::string* reason);

// What the two above ask the system (one implementation per platform).
unsigned long CurrentProcessId();
bool ProcessRunning(unsigned long id);
bool IsOwnRegularFile(const std::string& path);

#endif  // CHROMALINE_HOST_SAFE_FILE_H_
