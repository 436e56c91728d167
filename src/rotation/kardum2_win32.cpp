// kardum2.exe's entry: the run bound to the real Windows functions.
#include <windows.h>

#include "platform/platform_win32.h"
#include "rotation/kardum2.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  kardum::Win32Platform os;
  return kardum::Kardum2Main(os);
}

