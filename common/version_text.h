// The FileVersion text of a version resource: four decimals joined by ", ", the form the update
// checker compares. For the resource scripts and the C++ that reads them alike.
#pragma once
#define HB_STRINGIFY2(x) #x
#define HB_STRINGIFY(x) HB_STRINGIFY2(x)
#define HB_VERSION_TEXT(major, minor, patch, build) \
  HB_STRINGIFY(major) ", " HB_STRINGIFY(minor) ", " HB_STRINGIFY(patch) ", " HB_STRINGIFY(build)
