// What the tests of Verlift.exe share: its texts, versions and replies, its INI files, and
// running it as a child process against the tests' HTTP server (test_server.h).
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "schedule.h"
#include "test_files.h"
#include "test_server.h"

inline constexpr wchar_t DialogTitle[] = L"Automatic Update Check";
inline constexpr char MessageStart[] = "A newer version of ";
inline constexpr char MessageMiddle[] = " is available.\n\nPlease logon to the website ";
inline constexpr char MessageEnd[] =
    " to get further information or press the download button to download the latest version now.";
extern const std::string MessageTemplate;
inline constexpr DWORD RunTimeoutMs = 20000;
inline constexpr uint64_t TicksPerSecond = TicksPerDay / 86400;

// Text, files and time (ASCII throughout, but for one reply text)
inline std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }
inline std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
inline std::wstring VerliftExe() { return ProgramFolder() + L"Verlift.exe"; }
inline std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }
inline bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
// A folder of this test run, with a blank in its name so that quoting is always exercised.
const std::wstring& WorkDir();
inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  ASSERT_TRUE(WriteFileBytes(path, bytes)) << Narrow(path);
}
std::wstring UniquePath(const wchar_t* stem);
uint64_t Now();
// "[LastCheck]" with both halves as signed decimals, as the checker stores them.
std::string LastCheckSection(uint64_t time);
// Checks that the file holds a "LastCheck" written within [before, after]: "lo" first, each half
// a signed 32-bit decimal exactly as "%i" writes it, and the profile functions read both back.
void ExpectLastCheckBetween(const std::wstring& ini, uint64_t before, uint64_t after);

// Versions, replies and products
extern const std::string InstalledVersion, NewerVersion, OlderVersion, Download;
// NUL-ended strings, as the version reply is made.
std::string Reply(std::initializer_list<std::string> strings);
// A reply that lists the installed file "verlift", closed by an empty key.
std::string ReplyFor(const std::string& version, const std::string& display = "9.9",
                     const std::string& url = Download);
std::string ServerAddress(const std::string& path = "/product", uint16_t port = ServerPort());
// A new INI file naming Verlift.exe itself as the installed file "verlift".
std::wstring ProductIni(const std::string& name, const std::string& homepage,
                        const std::string& extraFiles = "");

// Running the checker
struct Outcome {
  bool Ended = false, DialogShown = false;
  DWORD ExitCode = 0xDEAD, Milliseconds = 0;
  DWORD Processes = 0;  // every process of the run: the checker and whatever it started
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
