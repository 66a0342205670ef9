// The floor for start-up benchmarks: a GUI program that does nothing, built with the
// deliverables' compiler and flags.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
