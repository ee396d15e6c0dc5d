// DllMain does nothing: no GDI+, no file or registry access under the
// loader lock. The module handle comes from the image base
// (plugin_module_win32.cpp), and PluginState is built on the first message.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
