// The plug-in's version, fed to its version resource. The update checker compares the
// FileVersion text, so it stays four decimals joined by ", ".
#pragma once
#define HUSHBELL_VERSION_MAJOR 1
#define HUSHBELL_VERSION_MINOR 0
#define HUSHBELL_VERSION_PATCH 0
#define HUSHBELL_VERSION_BUILD 0
#define HUSHBELL_STR2(x) #x
#define HUSHBELL_STR(x) HUSHBELL_STR2(x)
#define HUSHBELL_VERSION_TEXT                                                                            \
  HUSHBELL_STR(HUSHBELL_VERSION_MAJOR)                                                                   \
  ", " HUSHBELL_STR(HUSHBELL_VERSION_MINOR) ", " HUSHBELL_STR(HUSHBELL_VERSION_PATCH) ", " HUSHBELL_STR( \
      HUSHBELL_VERSION_BUILD)
