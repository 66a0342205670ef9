// What the tests of Verlift.exe share: its resources, versions and replies, its INI files, and
// running it as a child process against the tests' HTTP server (test_server.h).
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "dialog_template.h"
#include "schedule.h"
#include "test_files.h"
#include "test_server.h"
#include "version_reply.h"

inline constexpr DWORD RunTimeoutMs = 20000;
inline constexpr uint64_t TicksPerSecond = TicksPerDay / 86400;

// Text, files and time
inline std::wstring VerliftExe() { return ProgramFolder() + L"Verlift.exe"; }
inline std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }
// A folder of this test run, with a blank in its name so that quoting is always exercised.
inline const std::wstring& WorkDir() {
  static const TempFolder folder(L"verlift test");
  return folder.Path;
}
inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  ASSERT_TRUE(WriteFileBytes(path, bytes)) << Utf8(path);
}
inline std::wstring UniquePath(const wchar_t* stem) {
  static int counter = 0;
  return WorkDir() + stem + L" " + std::to_wstring(++counter) + L".ini";
}
inline uint64_t Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}
// "[LastCheck]" with both halves as signed decimals, as the checker stores them.
std::string LastCheckSection(uint64_t time);
// Checks that the file holds a "LastCheck" written within [before, after]: "lo" first, each half
// a signed 32-bit decimal exactly as "%i" writes it, and the profile functions read both back.
void ExpectLastCheckBetween(const std::wstring& ini, uint64_t before, uint64_t after);

// Verlift.exe's resources, read from the file: one by id and type (empty when missing), its
// dialog template (empty when unreadable) and the initial text of one of its controls.
inline const HMODULE VerliftData = LoadLibraryExW(VerliftExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
std::span<const uint8_t> VerliftResource(int id, const void* type);
DialogTemplate VerliftTemplate();
std::string TemplateText(int id);

// Versions, replies and products
extern const std::string InstalledVersion, NewerVersion, Download;
// NUL-ended strings, as the version reply is made.
inline std::string Reply(std::initializer_list<std::string> strings) {
  std::string reply;
  for (const std::string& text : strings) reply += text + '\0';
  return reply;
}
// A reply that lists the installed file "verlift", closed by an empty key.
inline std::string ReplyFor(const std::string& version, const std::string& display = "9.9",
                            const std::string& url = Download) {
  return Reply({ReplyMagic, display, url, "verlift", version, ""});
}
inline std::string ServerAddress(const std::string& path = "/product", uint16_t port = ServerPort()) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}
// A new INI file naming Verlift.exe itself as the installed file "verlift".
std::wstring ProductIni(const std::string& name, const std::string& homepage,
                        const std::string& extraFiles = "");

// Running the checker
struct Outcome {
  bool Ended = false, DialogShown = false;
  // Processes: every process of the run, the checker and whatever it started.
  DWORD ExitCode = 0xDEAD, Milliseconds = 0, Processes = 0;
};
struct RunOptions {
  std::wstring Exe = VerliftExe();
  // A dialog that shows up is handed to this to be left, or else closed with the close box.
  std::function<void(HWND)> OnDialog = nullptr;
  bool ThroughShell = false;  // as the plug-in starts it
  // With this, it is the debuggee of the thread that starts it (only that thread gets its debug
  // events), which collects the DLLs it loads.
  std::vector<std::wstring>* Loaded = nullptr;
  std::wstring Folder = WorkDir();  // its current folder
};
// Runs the checker; it must end with exit code 0.
Outcome RunVerlift(const std::wstring& arguments, const RunOptions& options = {});
// A forced check of a product; the check is recorded before the query, whatever the reply.
Outcome ForcedCheck(const std::string& homepage, const std::string& extraFiles = "",
                    const std::wstring& exe = VerliftExe());
