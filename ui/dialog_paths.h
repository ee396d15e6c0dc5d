// Text work of the settings dialog that needs no window system: the folder
// and name of the sample picture for the open-file dialog, and the
// open-file dialog's filter string.
#ifndef CHROMALINE_UI_DIALOG_PATHS_H_
#define CHROMALINE_UI_DIALOG_PATHS_H_

#include <string>

// A path split into its folder (drive and directory, up to and including the
// last "\" or "/") and its file name (the rest). Both empty for "".
struct SplitPath {
  std::string folder;
  std::string name;
};
SplitPath SplitImagePath(const std::string& path);

// A filter of "description|patterns|...||" with every "|" turned into the
// NUL the open-file dialog expects (the trailing "||" gives the final
// double NUL).
std::string OpenFileFilter(const std::string& text);

#endif  // CHROMALINE_UI_DIALOG_PATHS_H_
