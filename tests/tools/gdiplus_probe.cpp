// Starts GDI+ the way the settings dialog does, for the test that a
// gdiplus.dll put beside the viewer or in the current folder is never the
// one loaded. The stand-in (fake_gdiplus.cpp) marks the process when it is
// loaded.
//
// Exit codes: 0 GDI+ started and the stand-in was not loaded, 1 the
// stand-in was loaded, 2 GDI+ did not start.
#include <windows.h>

#include "ui/gdiplus_win32.h"

int main() {
  bool ready = false;
  {
    const gdiplus::Session session;
    ready = session.ready();
  }
  if (GetEnvironmentVariableA("CHROMALINE_FAKE_GDIPLUS_LOADED", nullptr, 0) != 0) return 1;
  return ready ? 0 : 2;
}
