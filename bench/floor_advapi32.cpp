// The floor with ADVAPI32 among its imports, as kardum2.exe has it for the
// registry: tells how much of kardum2's start-up is loading that DLL alone.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  // Never true: the call is there only so that the import stays.
  if (show == -1) ::RegCloseKey(nullptr);
  return 0;
}
