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

std::wstring Wide(const std::string& utf8) {
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, MAX_PATH);
  return wide;
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  FILE* file = _wfopen(Wide(path).c_str(), L"rb");
  if (file == nullptr) return "<missing>";
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  fclose(file);
  return bytes;
}

std::string IniValue(const std::string& path, const char* key) {
  wchar_t value[128] = {};
  GetPrivateProfileStringW(L"Hushbell", Wide(key).c_str(), L"<absent>", value, 128, Wide(path).c_str());
  return std::string(value, value + wcslen(value));  // the values are ASCII
}

void WriteIniValue(const std::string& path, const char* key, const char* value) {
  WritePrivateProfileStringW(L"Hushbell", Wide(key).c_str(), Wide(value).c_str(), Wide(path).c_str());
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
