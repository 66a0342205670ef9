// Rewrites one entry of a loaded module's import address table, so a test host can put its own
// function between a plug-in and the system (a locked desktop, a clock that can be moved on)
// without touching the system for anyone else: only calls made by that module are redirected.
#pragma once
#include <windows.h>

// Points every import of `functionName` from `dllName` (case-insensitive, by name; by address
// when the module keeps no name table) at `replacement`, and stores the address it replaced in
// `*original`. A slot already holding `replacement` is left alone and `*original` unchanged, so
// patching the same module twice cannot make the replacement call itself. Returns false when the
// module is not a valid image, does not import the function by name, or a slot cannot be written.
bool HostPatchImport(HMODULE module, const char* dllName, const char* functionName, void* replacement,
                     void** original);
