// The module this code is linked into (Chromaline.dll, chromaline.so, or a
// test program), as plain values for code that must not see the platform's
// own types: the settings dialog is handed these.
#ifndef CHROMALINE_PLUGIN_PLUGIN_MODULE_H_
#define CHROMALINE_PLUGIN_PLUGIN_MODULE_H_

#include <cstdint>
#include <string>

// The module's handle (its HINSTANCE on Windows; 0 elsewhere, where nothing
// is looked up in it). Every dialog, string and resource is looked up in
// it, never in the host's module.
uintptr_t PluginModuleHandle();

// The module's file, however long its path; the empty text when the system
// cannot say.
std::string PluginModulePath();

#endif  // CHROMALINE_PLUGIN_PLUGIN_MODULE_H_
