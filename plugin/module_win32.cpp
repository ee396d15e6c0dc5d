// File: plugin/module_win32.cpp
//
// The module handle, taken from the linker's image base of whichever module
// this code is linked into: Chromaline.dll in the plug-in, the test program
// in the tests.
#include "plugin/module_win32.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE PluginModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }
