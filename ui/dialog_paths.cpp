// The settings dialog's text work on paths: the folder a file dialog opens in, the help page.
#include "ui/dialog_paths.h"

SplitPath SplitImagePath(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) return {path.substr(0, slash + 1), path.substr(slash + 1)};
  // A drive without a directory ("C:name") keeps its drive as the folder.
  if (path.size() >= 2 && path[1] == ':') return {path.substr(0, 2), path.substr(2)};
  return {std::string(), path};
}

std::string OpenFileFilter(const std::string& text) {
  std::string filter = text;
  for (char& c : filter) {
    if (c == '|') c = '\0';
  }
  // Whatever the text, the list ends with two NULs.
  filter.push_back('\0');
  filter.push_back('\0');
  return filter;
}
