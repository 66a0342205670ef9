// Stands in for a program the system under test starts: appends one line per argument
// (UTF-8), then a line "--", to the file named by HB_RECORD_FILE, so tests can see exactly
// what reached the child's argv.
#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t target[MAX_PATH];
  if (GetEnvironmentVariableW(L"HB_RECORD_FILE", target, MAX_PATH) - 1u >= MAX_PATH - 1u) return 1;
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr) return 1;
  HANDLE file = CreateFileW(target, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  char line[4096];
  DWORD written = 0;
  for (int i = 1; i < count; ++i) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, args[i], -1, line, sizeof line - 1, nullptr, nullptr);
    if (bytes <= 0) continue;
    line[bytes - 1] = '\n';
    WriteFile(file, line, bytes, &written, nullptr);
  }
  WriteFile(file, "--\n", 3, &written, nullptr);
  CloseHandle(file);
  LocalFree(args);
  return 0;
}
