// Small helpers the Windows tests share: temporary files and folders, INI values, window
// procedures and the screen-saver flag.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A new empty file with a unique name in `folder` (UTF-16), else in %TEMP% (tests run in
// parallel and share %TEMP%).
std::string UniqueTempPath(const char* prefix, const std::wstring& folder = L"");
// Narrow paths are UTF-8, so they can name files outside the ANSI code page.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// The folder of this program, with its final backslash.
std::wstring ProgramFolder();
// A new folder in %TEMP%, `name` and this process's id, removed with all it holds at the end.
struct TempFolder {
  explicit TempFolder(const std::wstring& name);
  ~TempFolder();
  std::wstring Path;  // with its final backslash
};
std::string FileBytes(const std::string& path);  // "<missing>" when it cannot be read
std::string FileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// What arg_recorder wrote to `path`: one entry per start, its arguments joined by tabs.
std::vector<std::string> RecordedStarts(const std::string& path);
// Section "Hushbell" of an INI file.
std::string IniValue(const std::string& path, const char* key);  // "<absent>" when missing
void WriteIniValue(const std::string& path, const char* key, const char* value);
// Blank-separated "Key=Value" pairs, as they stand in the file: "LockAction=1 Verlift=0".
void WriteIniSettings(const std::string& path, const std::string& settings);
// The procedure a window runs now, to see subclassing come and go.
WNDPROC WindowProcOf(HWND window);
// Calls `open`, which shows a modal dialog on this thread; once a "#32770" window (with this
// caption; nullptr: any) is activated, `shown` runs from the dialog's own modal loop. Returns
// what `open` returned.
int WithDialog(const char* caption, const std::function<int()>& open, const std::function<void(HWND)>& shown);
// Tooltip controls of this thread owned by `owner` (nullptr: any owner).
std::vector<HWND> ThreadTooltips(HWND owner);
// Milliseconds of the performance counter, for measurements.
double PreciseNowMs();
// Global to the wineserver session: every test that sets it resets it in teardown.
void SetScreenSaverRunning(bool running);
