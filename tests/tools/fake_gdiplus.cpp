// A stand-in gdiplus.dll for the test that the dialog loads GDI+ from the
// system folder only: being loaded sets CHROMALINE_FAKE_GDIPLUS_LOADED in
// the process environment, and the load then fails, so nothing of it stays.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  SetEnvironmentVariableA("CHROMALINE_FAKE_GDIPLUS_LOADED", "1");
  return FALSE;
}
