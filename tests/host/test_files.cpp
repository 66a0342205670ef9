// Temporary files, INI values, window procedures and the screen-saver flag for the tests.
#include "test_files.h"

#include <cstdio>

std::string UniqueTempPath(const char* prefix) {
  char folder[MAX_PATH] = {};
  char path[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  GetTempFileNameA(folder, prefix, 0, path);
  return path;
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return "<missing>";
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  fclose(file);
  return bytes;
}

std::string IniValue(const std::string& path, const char* key) {
  char value[128] = {};
  GetPrivateProfileStringA("Hushbell", key, "<absent>", value, sizeof value, path.c_str());
  return value;
}

void WriteIniValue(const std::string& path, const char* key, const char* value) {
  WritePrivateProfileStringA("Hushbell", key, value, path.c_str());
}

void WriteIniInt(const std::string& path, const char* key, int value) {
  char text[16];
  snprintf(text, sizeof text, "%d", value);
  WriteIniValue(path, key, text);
}

void WriteIniInts(const std::string& path, std::initializer_list<IniInt> values) {
  for (const IniInt& value : values) WriteIniInt(path, value.Key, value.Value);
}

WNDPROC WindowProcOf(HWND window) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
}

void SetScreenSaverRunning(bool running) {
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running ? TRUE : FALSE, nullptr, 0);
}
