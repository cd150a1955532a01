#include <windows.h>

#include "win/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return kelvaro::win::RunProgram(); }
