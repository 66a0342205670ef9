// The FileVersion text of a file's version resource.
#pragma once
#include "version_reply.h"

// VERSION.DLL from the system folder, for as long as a check reads versions. Load returns whether
// its functions are at hand; Free lets it go again.
bool LoadVersionLibrary();
void FreeVersionLibrary();

// Puts the FileVersion text of the first translation of path's version resource into
// destination, cut to 31 characters, and returns true; leaves it empty and returns false when the file,
// its version resource, its translation table or the text is missing, or when VERSION.DLL is
// not loaded.
bool ReadFileVersion(char16_t (&destination)[LocalVersionCapacity], const char16_t* path);
