// The part of the safe writer both platforms share: the names of its
// temporary files, the writer of plain bytes, and clearing the temporaries
// a killed run left behind.
#include <cctype>
#include <filesystem>
#include <random>

#include "base/file_name.h"
#include "base/safe_file.h"

namespace fs = std::filesystem;

namespace {

// ".<name>.": what the writer's temporaries beside `name` begin with.
std::string TemporaryNamePrefix(const std::string& name) { return "." + name + "."; }

}  // namespace

std::string NewTemporaryName(const std::string& name) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::mt19937 random(device());
  std::string text = TemporaryNamePrefix(name) + std::to_string(CurrentProcessId()) + "-";
  for (int i = 0; i < 8; ++i) text += kLetters[random() % (sizeof kLetters - 1)];
  return text + kTemporaryNameEnding;
}

bool SameFile(const std::string& a, const std::string& b) {
  FileIdentity first, second;
  return IdentifyFile(a, &first) && IdentifyFile(b, &second) && first.volume == second.volume &&
         first.index == second.index;
}

bool WriteFileSafely(const std::string& target, const void* data, size_t size, std::string* error) {
  return ReplaceFileSafely(
      target, [&](TemporaryFile& file) { return file.Write(data, size); }, SafeWriteOptions(), error);
}

namespace {

// The writer's process id in a temporary's name ("<digits>-<letters>"
// between the prefix and the ending), or false for a name without one.
bool WriterOf(const std::string& middle, unsigned long* id) {
  const size_t dash = middle.find('-');
  if (dash == 0 || dash == std::string::npos || dash > 10) return false;
  unsigned long value = 0;
  for (size_t i = 0; i < dash; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(middle[i]))) return false;
    value = value * 10 + static_cast<unsigned long>(middle[i] - '0');
  }
  *id = value;
  return true;
}

}  // namespace

std::string TemporariesFolder(const std::string& target) {
  const fs::path path = PathFromUtf8(target);
  return path.has_parent_path() ? Utf8FromPath(path.parent_path()) : ".";
}

std::vector<std::string> TemporaryNamesIn(const std::string& folder) {
  const std::string ending = kTemporaryNameEnding;
  std::vector<std::string> names;
  std::error_code failure;
  fs::directory_iterator it(PathFromUtf8(folder), failure), end;
  for (; !failure && it != end; it.increment(failure)) {
    const std::string name = Utf8FromPath(it->path().filename());
    if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0) {
      names.push_back(name);
    }
  }
  return names;
}

std::vector<std::string> ClearStaleTemporaries(const std::string& target, const std::vector<std::string>& names,
                                               bool remove) {
  std::vector<std::string> lines;
  const fs::path folder = PathFromUtf8(TemporariesFolder(target));
  const std::string prefix = TemporaryNamePrefix(Utf8FromPath(PathFromUtf8(target).filename()));
  const std::string ending = kTemporaryNameEnding;
  for (const std::string& name : names) {
    if (name.size() <= prefix.size() + ending.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string file = Utf8FromPath(folder / PathFromUtf8(name));
    unsigned long writer = 0;
    const bool named = WriterOf(name.substr(prefix.size(), name.size() - prefix.size() - ending.size()), &writer);
    if (named && writer == CurrentProcessId()) continue;  // this run's own
    std::string why;
    if (!named) {
      why = "no writer is named in it";
    } else if (ProcessRunning(writer)) {
      why = "its writer, process " + std::to_string(writer) + ", still runs";
    } else if (!IsOwnRegularFile(file)) {
      why = "it is not a plain file of this user";
    } else if (!remove) {
      lines.push_back(file + ": would be removed, a temporary file left by an interrupted run (process " +
                      std::to_string(writer) + ") writing " + target);
      continue;
    } else {
      std::error_code removing;
      if (fs::remove(PathFromUtf8(file), removing)) {
        lines.push_back(file + ": removed, a temporary file left by an interrupted run (process " +
                        std::to_string(writer) + ") writing " + target);
        continue;
      }
      why = "it cannot be removed: " + removing.message();
    }
    lines.push_back("warning: " + file + ": a temporary file beside " + target + " left as it is (" + why + ")");
  }
  return lines;
}
