// File names inside the program are UTF-8 in std::string, on every
// platform. These turn them into what std::filesystem and the C library
// take, and into the form a plug-in is given by a viewer.
//
// A std::filesystem::path made straight from a std::string reads it in the
// ANSI code page on Windows, so a name beyond that code page names another
// file there: paths are made with PathFromUtf8 and read back with
// Utf8FromPath.
#ifndef CHROMALINE_BASE_FILE_NAME_H_
#define CHROMALINE_BASE_FILE_NAME_H_

#include <cstdio>
#include <filesystem>
#include <string>

inline std::filesystem::path PathFromUtf8(const std::string& name) { return std::filesystem::u8path(name); }
inline std::string Utf8FromPath(const std::filesystem::path& path) { return path.u8string(); }

// std::fopen for a UTF-8 name; errno says why when it gives nullptr.
std::FILE* OpenFile(const std::string& name, const char* mode);

// The name the plug-in is given for the file `name`. Natively the same
// text. On Windows the plug-in takes names in the ANSI code page, as its
// viewer gives them: the ANSI form of the name, or, when some character
// has none, the ANSI form of the file's short name (*shortened is then
// true; the plug-in still opens the file, but a file whose name is made
// from it, such as the picture's own settings file, is not found).
std::string PluginFileName(const std::string& name, bool* shortened);

// A name in the plug-in's form (above) as UTF-8 again.
std::string Utf8FromPluginFileName(const std::string& name);

#endif  // CHROMALINE_BASE_FILE_NAME_H_
