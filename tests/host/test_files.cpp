// Temporary files, INI values, window procedures and the screen-saver flag for the tests.
#include "test_files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {
struct DialogWatch {
  const char* Caption;
  const std::function<void(HWND)>* Shown;
  HHOOK Hook;
  HWND Dialog;
  UINT_PTR Timer;
} Watching;

void CALLBACK DialogShown(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  Watching.Timer = 0;
  (*Watching.Shown)(Watching.Dialog);
}

LRESULT CALLBACK ActivationHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && Watching.Dialog == nullptr) {
    HWND window = reinterpret_cast<HWND>(wParam);
    char className[32] = {}, title[64] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (strcmp(className, "#32770") == 0 &&
        (Watching.Caption == nullptr || strcmp(title, Watching.Caption) == 0)) {
      Watching.Dialog = window;
      // Run from the modal loop, once the dialog is up.
      Watching.Timer = SetTimer(nullptr, 0, 1, DialogShown);
    }
  }
  return CallNextHookEx(Watching.Hook, code, wParam, lParam);
}

BOOL CALLBACK CollectTooltip(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<std::pair<HWND, std::vector<HWND>>*>(context);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (strcmp(className, "tooltips_class32") == 0 &&
      (search->first == nullptr || GetWindow(window, GW_OWNER) == search->first))
    search->second.push_back(window);
  return TRUE;
}
}  // namespace

int WithDialog(const char* caption, const std::function<int()>& open,
               const std::function<void(HWND)>& shown) {
  Watching = {caption, &shown, SetWindowsHookExA(WH_CBT, ActivationHook, nullptr, GetCurrentThreadId()),
              nullptr, 0};
  const int result = open();
  UnhookWindowsHookEx(Watching.Hook);
  if (Watching.Timer != 0) KillTimer(nullptr, Watching.Timer);
  Watching = {};
  return result;
}

std::vector<HWND> ThreadTooltips(HWND owner) {
  std::pair<HWND, std::vector<HWND>> search{owner, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectTooltip, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

std::string UniqueTempPath(const char* prefix, const std::wstring& folder) {
  wchar_t temp[MAX_PATH] = {}, path[MAX_PATH] = {};
  if (folder.empty()) GetTempPathW(MAX_PATH, temp);
  GetTempFileNameW(folder.empty() ? temp : folder.c_str(), Wide(prefix).c_str(), 0, path);
  return Utf8(path);
}

std::wstring Wide(const std::string& utf8) {
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, MAX_PATH);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  char utf8[4 * MAX_PATH] = {};
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return exe.substr(0, exe.find_last_of(L'\\') + 1);
}

TempFolder::TempFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  Path = temp + name + L" " + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(Path.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(Path), ignored);
}

std::string FileBytes(const std::string& path) { return FileBytes(Wide(path)); }

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && written;
}

std::string FileBytes(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) return "<missing>";
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> RecordedStarts(const std::string& path) {
  // Each argument is a line; "--" ends a start.
  std::vector<std::string> starts(1);
  const std::string bytes = FileBytes(path);
  for (size_t at = 0, end; (end = bytes.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = bytes.substr(at, end - at);
    if (line == "--")
      starts.emplace_back();
    else
      starts.back() += (starts.back().empty() ? "" : "\t") + line;
  }
  starts.pop_back();  // the start under way, or none
  return starts;
}

std::string IniValue(const std::string& path, const char* key) {
  wchar_t value[128] = {};
  GetPrivateProfileStringW(L"Hushbell", Wide(key).c_str(), L"<absent>", value, 128, Wide(path).c_str());
  return std::string(value, value + wcslen(value));  // the values are ASCII
}

void WriteIniValue(const std::string& path, const char* key, const char* value) {
  WritePrivateProfileStringW(L"Hushbell", Wide(key).c_str(), Wide(value).c_str(), Wide(path).c_str());
}

void WriteIniSettings(const std::string& path, const std::string& settings) {
  for (size_t at = 0, end; at < settings.size(); at = end + 1) {
    end = std::min(settings.find(' ', at), settings.size());
    const std::string pair = settings.substr(at, end - at);
    const size_t equals = pair.find('=');
    if (equals != std::string::npos)
      WriteIniValue(path, pair.substr(0, equals).c_str(), pair.c_str() + equals + 1);
  }
}

WNDPROC WindowProcOf(HWND window) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
}

void SetScreenSaverRunning(bool running) {
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running ? TRUE : FALSE, nullptr, 0);
}

double PreciseNowMs() {
  static LARGE_INTEGER frequency;
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}
