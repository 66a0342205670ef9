// Opening a program or an address through the shell.
#pragma once
#include <windows.h>

// ShellExecuteW's "open" of file with parameters (may be null), with COM initialised on the
// calling thread around it; true when the shell reports success.
bool ShellOpen(const wchar_t* file, const wchar_t* parameters, int show);
