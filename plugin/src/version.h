// The plug-in's version, fed to its version resource (and read by the installer's script).
#pragma once
#include "version_text.h"
#define HUSHBELL_VERSION_MAJOR 1
#define HUSHBELL_VERSION_MINOR 0
#define HUSHBELL_VERSION_PATCH 0
#define HUSHBELL_VERSION_BUILD 0
#define HUSHBELL_VERSION_TEXT                                                             \
  HB_VERSION_TEXT(HUSHBELL_VERSION_MAJOR, HUSHBELL_VERSION_MINOR, HUSHBELL_VERSION_PATCH, \
                  HUSHBELL_VERSION_BUILD)
