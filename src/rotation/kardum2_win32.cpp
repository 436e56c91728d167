// kardum2.exe's entry: the run bound to the real Windows functions.
#include <windows.h>

#include <cstdlib>

#include "platform/platform_win32.h"
#include "rotation/kardum2.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  kardum::Win32Platform os;
  return kardum::Kardum2Main(os);
}

// The run catches every failure itself, so the C++ run-time's verbose handler
// for uncaught ones would only add its name demangler to the program.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
