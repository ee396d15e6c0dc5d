// File: plugin/module_win32.h
//
// The plug-in module's own handle. Every dialog, string and resource is
// looked up in it, never in the host's module.
#ifndef CHROMALINE_PLUGIN_MODULE_WIN32_H_
#define CHROMALINE_PLUGIN_MODULE_WIN32_H_

#include <windows.h>

HINSTANCE PluginModule();

#endif  // CHROMALINE_PLUGIN_MODULE_WIN32_H_
