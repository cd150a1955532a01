#include <windows.h>

#include "win32/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return kelvaro::win::RunProgram(); }
