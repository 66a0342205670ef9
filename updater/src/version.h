// Verlift's own version, fed to its version resource. The FileVersion text stays four decimals
// joined by ", ", the form the checker compares.
#pragma once
#define VERLIFT_VERSION_MAJOR 2
#define VERLIFT_VERSION_MINOR 0
#define VERLIFT_VERSION_PATCH 0
#define VERLIFT_VERSION_BUILD 7
#define VERLIFT_STR2(x) #x
#define VERLIFT_STR(x) VERLIFT_STR2(x)
#define VERLIFT_VERSION_TEXT                                                                        \
  VERLIFT_STR(VERLIFT_VERSION_MAJOR)                                                                \
  ", " VERLIFT_STR(VERLIFT_VERSION_MINOR) ", " VERLIFT_STR(VERLIFT_VERSION_PATCH) ", " VERLIFT_STR( \
      VERLIFT_VERSION_BUILD)
