// The floor of kardum2's start-up: a Windows program built like kardum2.exe
// that does nothing, so its cost is what process start-up alone takes.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
