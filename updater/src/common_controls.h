// The common controls, which only the dialog needs, loaded at run time so that the common start,
// a check that is not due, never pays for them.
#pragma once
#include <windows.h>

// Loads the common controls as the manifest asks for them; null when they cannot be had.
HMODULE LoadCommonControls();
