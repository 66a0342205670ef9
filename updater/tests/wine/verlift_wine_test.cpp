// The real Verlift.exe under Wine: started as a child process against a local HTTP server, its
// INI files, its notification dialog and what it hands to the shell.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "dialog_template.h"
#include "file_version.h"
#include "resource.h"
#include "test_server.h"
#include "test_version.h"
#include "version.h"

namespace {

constexpr wchar_t DialogTitle[] = L"Automatic Update Check";
constexpr char MessageStart[] = "A newer version of ";
constexpr char MessageMiddle[] = " is available.\n\nPlease logon to the website ";
constexpr char MessageEnd[] =
    " to get further information or press the download button to download the latest version now.";
const std::string MessageTemplate = MessageStart + std::string("%s") + MessageMiddle + "%s" + MessageEnd;
constexpr DWORD RunTimeoutMs = 20000;
constexpr uint64_t TicksPerSecond = 10000000, TicksPerDay = 86400 * TicksPerSecond;

// ---------------------------------------------------------------------------------------------
// Text, files and time (ASCII throughout, but for one reply text)

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// 8-bit text as the checker widens the reply: the thread's ANSI code page.
std::wstring FromThreadCodePage(const std::string& text) {
  wchar_t wide[256];
  const int length =
      MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), wide, 256);
  return std::wstring(wide, length > 0 ? length : 0);
}

std::wstring BinDir() {
  wchar_t path[MAX_PATH];
  const std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return exe.substr(0, exe.find_last_of(L'\\') + 1);
}

std::wstring VerliftExe() { return BinDir() + L"Verlift.exe"; }
std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }
bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A folder of this test run, with a blank in its name so that quoting is always exercised.
const std::wstring& WorkDir() {
  static const std::wstring dir = [] {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring made = temp + (L"verlift test " + std::to_wstring(GetCurrentProcessId())) + L"\\";
    CreateDirectoryW(made.c_str(), nullptr);
    return made;
  }();
  return dir;
}

std::wstring UniquePath(const wchar_t* stem) {
  static int counter = 0;
  return WorkDir() + stem + L" " + std::to_wstring(++counter) + L".ini";
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream file(std::filesystem::path(path), std::ios::binary);
  ASSERT_TRUE(file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) << Narrow(path);
}

std::string ReadBytes(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

uint64_t Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

// "[LastCheck]" with both halves as signed decimals, as the checker stores them.
std::string LastCheckSection(uint64_t time) {
  auto half = [time](int shift) {
    return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(time >> shift)));
  };
  return "[LastCheck]\r\nlo=" + half(0) + "\r\nhi=" + half(32) + "\r\n";
}

// Checks that the file holds a "LastCheck" written within [before, after]: "lo" first, each half
// a signed 32-bit decimal exactly as "%i" writes it, and the profile functions read both back.
void ExpectLastCheckBetween(const std::wstring& ini, uint64_t before, uint64_t after) {
  const std::string text = ReadBytes(ini);
  const std::string lines = R"((?:[^[\r\n].*\r?\n)*?)", number = R"((-?(?:0|[1-9]\d*))\r?\n)";
  const std::regex form(R"(\[LastCheck\]\r?\n)" + lines + "lo=" + number + lines + "hi=" + number);
  std::smatch found;
  ASSERT_TRUE(std::regex_search(text, found, form)) << "\"lo\" then \"hi\", each as \"%i\" writes it, in:\n"
                                                    << text;
  const long long lo = std::stoll(found.str(1)), hi = std::stoll(found.str(2));
  ASSERT_TRUE(lo >= INT32_MIN && lo <= INT32_MAX && hi >= INT32_MIN && hi <= INT32_MAX) << text;
  const uint64_t stored = (uint64_t{static_cast<uint32_t>(hi)} << 32) | static_cast<uint32_t>(lo);
  EXPECT_GE(stored, before);
  EXPECT_LE(stored, after);
  EXPECT_EQ(static_cast<int32_t>(GetPrivateProfileIntW(L"LastCheck", L"lo", 7, ini.c_str())), lo);
  EXPECT_EQ(static_cast<int32_t>(GetPrivateProfileIntW(L"LastCheck", L"hi", 7, ini.c_str())), hi);
}

// ---------------------------------------------------------------------------------------------
// Versions, replies and products

std::string VersionText(int build) {
  return std::to_string(VERLIFT_VERSION_MAJOR) + ", " + std::to_string(VERLIFT_VERSION_MINOR) + ", " +
         std::to_string(VERLIFT_VERSION_PATCH) + ", " + std::to_string(build);
}

static_assert(VERLIFT_VERSION_BUILD > 0, "the older-version case counts the build number down");
const std::string InstalledVersion = VersionText(VERLIFT_VERSION_BUILD);
const std::string NewerVersion = VersionText(VERLIFT_VERSION_BUILD + 1);
const std::string OlderVersion = VersionText(VERLIFT_VERSION_BUILD - 1);
const std::string Download = "https://example.invalid/setup.exe";

// NUL-ended strings, as the version reply is made.
std::string Reply(std::initializer_list<std::string> strings) {
  std::string reply;
  for (const std::string& text : strings) reply += text + '\0';
  return reply;
}

// A reply that lists the installed file "verlift", closed by an empty key.
std::string ReplyFor(const std::string& version, const std::string& display = "9.9",
                     const std::string& url = Download) {
  return Reply({"Tavo-Verlift", display, url, "verlift", version, ""});
}

std::string ServerAddress(const std::string& path = "/product", uint16_t port = ServerPort()) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

// A new INI file naming Verlift.exe itself as the installed file "verlift".
std::wstring ProductIni(const std::string& name, const std::string& homepage,
                        const std::string& extraFiles = "") {
  const std::wstring ini = UniquePath(L"product");
  WriteBytes(ini, "[Update]\r\n" + (name.empty() ? "" : "Name=" + name + "\r\n") + "homepage=" + homepage +
                      "\r\ninterval=0\r\n[Files]\r\nverlift=" + Narrow(VerliftExe()) + "\r\n" + extraFiles);
  return ini;
}

// ---------------------------------------------------------------------------------------------
// Running the checker

struct Outcome {
  bool Ended = false, DialogShown = false;
  DWORD ExitCode = 0xDEAD, Milliseconds = 0;
  DWORD Processes = 0;  // every process of the run: the checker and whatever it started
};

// Collects the file of every DLL the debuggee loads until it ends, in lower case. The loader's
// initial breakpoint comes in as an empty entry: under Wine it falls after the static imports and
// their initialisation, where the program's own code begins.
void CollectLoads(std::vector<std::wstring>& loaded) {
  bool first = true;
  for (DEBUG_EVENT event; WaitForDebugEvent(&event, 2 * RunTimeoutMs);) {
    const DWORD code = event.dwDebugEventCode;
    const HANDLE file = code == CREATE_PROCESS_DEBUG_EVENT ? event.u.CreateProcessInfo.hFile
                        : code == LOAD_DLL_DEBUG_EVENT     ? event.u.LoadDll.hFile
                                                           : nullptr;
    wchar_t path[MAX_PATH] = {};
    const DWORD length =
        code == LOAD_DLL_DEBUG_EVENT ? GetFinalPathNameByHandleW(file, path, MAX_PATH, 0) : 0;
    if (code == LOAD_DLL_DEBUG_EVENT)
      loaded.push_back(length > 0 && length < MAX_PATH ? CharLowerW(path) : L"(unnamed)");
    const bool initial = code == EXCEPTION_DEBUG_EVENT && std::exchange(first, false) &&
                         event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT;
    if (initial) loaded.push_back(L"");
    if (file != nullptr) CloseHandle(file);
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId,
                       code == EXCEPTION_DEBUG_EVENT && !initial ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE);
    if (code == EXIT_PROCESS_DEBUG_EVENT) return;
  }
}

// Runs the checker, directly or as the plug-in does, through the shell; it must end with exit
// code 0. A dialog that shows up is handed to onDialog to be left, or else closed with the
// close box. With loaded, it is the debuggee of the thread that starts it (only that thread gets
// its debug events), which collects the DLLs it loads.
Outcome RunVerlift(const std::wstring& arguments, const std::wstring& exe = VerliftExe(),
                   const std::function<void(HWND)>& onDialog = nullptr, bool throughShell = false,
                   std::vector<std::wstring>* loaded = nullptr) {
  Outcome outcome;
  const HANDLE job = CreateJobObjectW(nullptr, nullptr);
  PROCESS_INFORMATION info = {};
  std::jthread debugger;
  if (throughShell) {
    SHELLEXECUTEINFOW shell = {sizeof shell, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI,
                               nullptr,      L"open",
                               exe.c_str(),  arguments.c_str(),
                               nullptr,      SW_SHOWNORMAL};
    info.hProcess = ShellExecuteExW(&shell) ? shell.hProcess : nullptr;
  } else {
    const HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    debugger = std::jthread([&] {
      std::wstring line = Quoted(exe) + L" " + arguments;
      STARTUPINFOW startup = {sizeof startup};
      const DWORD flags = CREATE_SUSPENDED | (loaded != nullptr ? DEBUG_ONLY_THIS_PROCESS : 0);
      if (CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, flags, nullptr, WorkDir().c_str(),
                         &startup, &info)) {
        AssignProcessToJobObject(job, info.hProcess);
        ResumeThread(info.hThread);
        CloseHandle(info.hThread);
      }
      SetEvent(created);
      if (loaded != nullptr && info.hProcess != nullptr) CollectLoads(*loaded);
    });
    WaitForSingleObject(created, INFINITE);
    CloseHandle(created);
  }
  const HANDLE process = info.hProcess;
  const DWORD started = GetTickCount();
  if (job == nullptr || process == nullptr) {
    ADD_FAILURE() << "cannot start " << Narrow(exe);
    return outcome;
  }
  // Its visible notification dialog (visible means initialised), unless it ends without one.
  HWND dialog = nullptr;
  while (dialog == nullptr && GetTickCount() - started < RunTimeoutMs &&
         WaitForSingleObject(process, 10) == WAIT_TIMEOUT) {
    for (HWND window = nullptr;
         (window = FindWindowExW(nullptr, window, L"#32770", DialogTitle)) != nullptr;) {
      DWORD processId = 0;
      GetWindowThreadProcessId(window, &processId);
      if (processId == GetProcessId(process) && IsWindowVisible(window)) dialog = window;
    }
  }
  outcome.DialogShown = dialog != nullptr;
  if (dialog != nullptr && onDialog)
    onDialog(dialog);
  else if (dialog != nullptr)
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);

  // The end of the checker, then of everything it started (the recorder).
  outcome.Ended = WaitForSingleObject(process, RunTimeoutMs) == WAIT_OBJECT_0;
  outcome.Milliseconds = GetTickCount() - started;
  if (!outcome.Ended) TerminateProcess(process, 99);
  GetExitCodeProcess(process, &outcome.ExitCode);
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
  for (DWORD waited = 0;
       waited < RunTimeoutMs && QueryInformationJobObject(job, JobObjectBasicAccountingInformation,
                                                          &accounting, sizeof accounting, nullptr);
       waited += 10) {
    outcome.Processes = accounting.TotalProcesses;
    if (accounting.ActiveProcesses == 0) break;
    Sleep(10);
  }
  CloseHandle(process);
  CloseHandle(job);
  EXPECT_TRUE(outcome.Ended);
  EXPECT_EQ(outcome.ExitCode, 0u);
  return outcome;
}

// A forced check of a product; the check is recorded before the query, whatever the reply.
Outcome ForcedCheck(const std::string& homepage, const std::string& extraFiles = "",
                    const std::wstring& exe = VerliftExe()) {
  const std::wstring ini = ProductIni("Product", homepage, extraFiles);
  const uint64_t before = Now();
  const Outcome outcome = RunVerlift(Quoted(ini) + L" /FORCE", exe);
  ExpectLastCheckBetween(ini, before, Now());
  return outcome;
}

class ServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(ServerStart()); }
  void TearDown() override {
    ServerStop();
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(WorkDir()), ignored);
  }
};

[[maybe_unused]] const auto* const serverEnvironment =
    ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

// =============================================================================================
// Resources of Verlift.exe

const HMODULE VerliftData = LoadLibraryExW(VerliftExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);

const BYTE* VerliftResource(int id, const void* type, DWORD* size = nullptr) {
  const HRSRC found = VerliftData == nullptr
                          ? nullptr
                          : FindResourceW(VerliftData, MAKEINTRESOURCEW(id), static_cast<LPCWSTR>(type));
  if (found != nullptr && size != nullptr) *size = SizeofResource(VerliftData, found);
  return found == nullptr ? nullptr
                          : static_cast<const BYTE*>(LockResource(LoadResource(VerliftData, found)));
}

template <typename T>
T At(const void* bytes, size_t offset) {
  T value;
  memcpy(&value, static_cast<const BYTE*>(bytes) + offset, sizeof value);
  return value;
}

TEST(VerliftResources, DialogTemplateHasTheLayoutStylesAndTexts) {
  DWORD size = 0;
  const BYTE* bytes = VerliftResource(IDD_UPDATE, RT_DIALOG, &size);
  ASSERT_NE(bytes, nullptr);
  DialogTemplate dialog;
  ASSERT_TRUE(ReadDialogTemplate({bytes, size}, dialog));
  // No menu, the standard class; 8 points, FW_DONTCARE, not italic, DEFAULT_CHARSET.
  EXPECT_EQ(
      std::tie(dialog.Style, dialog.ExStyle, dialog.Width, dialog.Height, dialog.Menu, dialog.Class,
               dialog.Caption, dialog.PointSize, dialog.Weight, dialog.Italic, dialog.Charset, dialog.Face),
      std::make_tuple(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_3DLOOK | DS_SETFONT,
                      WS_EX_CONTROLPARENT, 235, 106, "", "", Narrow(DialogTitle), 8, 0, 0, 1,
                      "MS Sans Serif"));
  constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
  const std::vector<DialogItem> expected = {
      {1, "BUTTON", "&Download", Child | WS_TABSTOP | BS_DEFPUSHBUTTON, 121, 85, 50, 14},
      {2, "BUTTON", "&Later", Child | WS_TABSTOP | BS_PUSHBUTTON, 178, 85, 50, 14},
      {12, "STATIC", MessageTemplate, Child | WS_GROUP | SS_LEFT, 7, 7, 221, 58},
      {11, "BUTTON", "", Child | WS_TABSTOP | BS_PUSHBUTTON, 7, 85, 107, 14},
      {13, "STATIC", "Current Version:", WS_CHILD | WS_GROUP | SS_LEFT, 7, 55, 53, 8},
      {14, "STATIC", "0, 0, 0, 0", WS_CHILD | WS_GROUP | SS_RIGHT, 60, 55, 54, 8},
      {15, "STATIC", "New Version:", Child | WS_GROUP | SS_LEFT, 7, 71, 53, 8},
      {16, "STATIC", "0, 0, 0, 0", Child | WS_GROUP | SS_CENTER, 60, 71, 53, 8},
  };
  EXPECT_EQ(dialog.Items, expected);
}

TEST(VerliftResources, IconManifestAndVersionResource) {
  // Icon 101: 32, 16 and 48 pixels, in that order, 16 colours each.
  const BYTE* group = VerliftResource(IDI_APP, RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(std::make_tuple(At<WORD>(group, 2), At<WORD>(group, 4)),
            std::make_tuple(WORD{1}, WORD{3}));  // 3 icons
  const BYTE sizes[] = {32, 16, 48};
  for (int i = 0; i < 3; ++i) {
    const BYTE* entry = group + 6 + 14 * i;  // width, height, colours, reserved, planes, bits, ...
    EXPECT_EQ(std::make_tuple(entry[0], entry[1], entry[2], At<WORD>(entry, 6)),
              std::make_tuple(sizes[i], sizes[i], BYTE{16}, WORD{4}));
  }
  EXPECT_NE(LoadImageW(VerliftData, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 48, 48, 0), nullptr);

  // The manifest that asks for the version 6 common controls.
  DWORD size = 0;
  const BYTE* manifest = VerliftResource(1, RT_MANIFEST, &size);
  ASSERT_NE(manifest, nullptr);
  const std::string text(reinterpret_cast<const char*>(manifest), size);
  const size_t dependency = text.find("name=\"Microsoft.Windows.Common-Controls\"");
  ASSERT_NE(dependency, std::string::npos);
  const std::string identity = text.substr(dependency, text.find("/>", dependency) - dependency);
  // It names the processor of this build (the shipped 32-bit file is checked natively).
  const char* processor =
      sizeof(void*) == 4 ? "processorArchitecture=\"X86\"" : "processorArchitecture=\"amd64\"";
  for (const char* attribute : {"version=\"6.0.0.0\"", processor, "language=\"*\""})
    EXPECT_NE(identity.find(attribute), std::string::npos) << attribute;

  // The version resource: one translation, neutral with the Unicode code page (its FileVersion
  // text is checked with ReadFileVersion below).
  DWORD ignored = 0;
  std::vector<BYTE> block(GetFileVersionInfoSizeW(VerliftExe().c_str(), &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(VerliftExe().c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  WORD* translation = nullptr;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT bytes = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &bytes));
  EXPECT_EQ(std::vector<WORD>(translation, translation + bytes / 2), (std::vector<WORD>{0x0000, 1200}));
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &bytes));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(VERLIFT_VERSION_MAJOR << 16 | VERLIFT_VERSION_MINOR));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(VERLIFT_VERSION_PATCH << 16 | VERLIFT_VERSION_BUILD));
}

TEST(VerliftResources, ReadFileVersionTakesTheFirstTranslationAndCutsAt31Units) {
  static_assert(sizeof TEST_FIRST_FILE_VERSION - 1 > 31, "the first text must be too long to fit");
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const struct {
    std::wstring Path;
    int Result;
    std::string Text;
  } cases[] = {
      {VerliftExe(), 1, InstalledVersion},
      {self, 1, std::string(TEST_FIRST_FILE_VERSION).substr(0, 31)},
      {BinDir() + L"arg_recorder.exe", 0, ""},  // no version resource
      {WorkDir() + L"no such file.dll", 0, ""},
  };
  ASSERT_EQ(LoadVersionLibrary(), 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.Path));
    // Units behind the destination show any write past its 32 units.
    struct {
      char16_t Version[LocalVersionCapacity];
      char16_t Behind[8];
    } guarded;
    std::fill(std::begin(guarded.Version), std::end(guarded.Version), u'#');
    std::fill(std::begin(guarded.Behind), std::end(guarded.Behind), u'#');
    EXPECT_EQ(ReadFileVersion(guarded.Version, reinterpret_cast<const char16_t*>(c.Path.c_str())), c.Result);
    const auto* version = reinterpret_cast<const wchar_t*>(guarded.Version);
    EXPECT_EQ(Narrow(std::wstring(version, wcsnlen(version, LocalVersionCapacity))), c.Text);
    EXPECT_EQ(std::u16string(guarded.Behind, 8), u"########");
  }
  FreeVersionLibrary();
}

// =============================================================================================
// Command line, INI file and schedule

TEST(VerliftSchedule, TheTimeIsRecordedOnlyWhenACheckIsForcedOrDue) {
  const uint64_t now = Now();
  const std::string idle = "[Update]\r\ninterval=0\r\n", daily = "[Update]\r\ninterval=1\r\n";
  const std::string weekly = "[Update]\r\ninterval=7\r\n";
  const struct {
    const char* Name;
    std::string Ini;
    const wchar_t* Switches;
    bool Recorded;
  } cases[] = {
      // No homepage: the check counts as made, nothing else happens.
      {"/FORCE with interval 0", idle, L"/FORCE", true},
      {"7 days, checked 7 days ago", weekly + LastCheckSection(now - 7 * TicksPerDay - TicksPerSecond), L"",
       true},
      {"1 day, never checked", daily, L"", true},
      {"1 day, both halves 0", daily + "[LastCheck]\r\nlo=0\r\nhi=0\r\n", L"", true},
      {"interval 0 without /FORCE", idle + "homepage=http://127.0.0.1:1\r\n", L"", false},
      {"interval absent", "[Update]\r\nhomepage=http://127.0.0.1:1\r\n", L"/HANDLE:0", false},
      {"/force in lower case is no switch", idle, L"/force", false},
      {"/FORCE with anything appended is no switch", idle, L"/FORCE2", false},
      {"7 days, checked 6 days 23 hours ago",
       weekly + LastCheckSection(now - 7 * TicksPerDay + 3600 * TicksPerSecond), L"", false},
      {"1 day, checked a minute ago", daily + LastCheckSection(now - 60 * TicksPerSecond), L"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::wstring ini = UniquePath(L"schedule");
    WriteBytes(ini, c.Ini);
    const uint64_t before = Now();
    EXPECT_FALSE(RunVerlift(Quoted(ini) + L" " + c.Switches).DialogShown);
    if (c.Recorded)
      ExpectLastCheckBetween(ini, before, Now());
    else
      EXPECT_EQ(ReadBytes(ini), c.Ini) << "the file is unchanged, byte for byte";
  }
}

TEST(VerliftSchedule, TheIniFileIsTheLaterExistingPathElseTheOneBesideTheProgram) {
  const std::string daily = "[Update]\r\ninterval=1\r\n";
  const std::wstring first = UniquePath(L"first"), second = UniquePath(L"second");
  WriteBytes(first, daily);
  WriteBytes(second, daily);
  uint64_t before = Now();
  RunVerlift(Quoted(first) + L" " + Quoted(second));
  EXPECT_EQ(ReadBytes(first), daily);
  ExpectLastCheckBetween(second, before, Now());

  // Beside the program: its path with the last three characters replaced.
  const std::wstring missing = WorkDir() + L"missing.ini", copy = WorkDir() + L"Product Check.exe";
  ASSERT_TRUE(CopyFileW(VerliftExe().c_str(), copy.c_str(), FALSE));
  WriteBytes(WorkDir() + L"Product Check.ini", daily);
  before = Now();
  RunVerlift(Quoted(missing), copy);
  ExpectLastCheckBetween(WorkDir() + L"Product Check.ini", before, Now());

  // No INI file at all: nothing is written anywhere.
  ASSERT_FALSE(PathExists(BinDir() + L"Verlift.ini"));
  EXPECT_LT(RunVerlift(Quoted(missing) + L" /FORCE /HANDLE:123").Milliseconds, 5000u);
  EXPECT_FALSE(PathExists(missing));
  EXPECT_FALSE(PathExists(BinDir() + L"Verlift.ini"));
}

// =============================================================================================
// The version query

TEST(VerliftQuery, AsksForVersionPhpBehindTheHomepageWithItsUserAgent) {
  // The query address holds 259 characters: a homepage of 247 is asked, one of 248 is not
  // asked at all (rather than at a cut address).
  const std::string longest = "/" + std::string(247 - ServerAddress("/").size(), 'p');
  const struct {
    std::string HomepagePath;
    std::string RequestLine;  // empty: no request
  } cases[] = {
      {"/product", "GET /product/version.php HTTP/1.1"},
      {"/product/", "GET /product//version.php HTTP/1.1"},
      {"", "GET /version.php HTTP/1.1"},
      {"/a/b?c=d", "GET /a/b?c=d/version.php HTTP/1.1"},
      {longest, "GET " + longest + "/version.php HTTP/1.1"},
      {longest + "p", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.HomepagePath);
    ServerServe(ServeMode::Answer, 404, "<html><body>Not Found</body></html>");
    EXPECT_FALSE(ForcedCheck(ServerAddress(c.HomepagePath)).DialogShown);
    const std::vector<std::string> requests = ServerRequests();
    ASSERT_EQ(requests.size(), c.RequestLine.empty() ? 0u : 1u);
    for (const std::string& request : requests) {
      EXPECT_EQ(request.substr(0, request.find("\r\n")), c.RequestLine);
      EXPECT_NE(request.find("\r\nUser-Agent: Tavo Verlift v/2.0\r\n"), std::string::npos) << request;
    }
  }
}

TEST(VerliftQuery, ReplyUpToTheFirstMebibyteDecidesWhetherTheDialogShows) {
  constexpr size_t Cap = 1u << 20;
  const std::string head = Reply({"Tavo-Verlift", "9.9", Download}), pair = Reply({"verlift", NewerVersion});
  // A key too long for any "Files" entry is skipped with its version; it pads the reply.
  auto padding = [](size_t length) { return std::string(length - 1, 'k') + '\0' + Reply({"1"}); };
  // The newer pair ends on the last byte within the cap; half a mebibyte follows.
  std::string inside = head + padding(Cap - head.size() - pair.size() - 2) + pair;
  ASSERT_EQ(inside.size(), Cap);
  inside += std::string(Cap / 2, 'x');
  // The padding key runs across the cap, and the newer pair lies behind it.
  std::string across = head + padding(Cap - head.size() + 100) + pair;
  across += std::string(Cap + Cap / 2 - across.size(), 'x');
  // Entries of a key that "Files" does not list, each one a profile lookup.
  auto absent = [](size_t count) {
    std::string entries;
    for (size_t i = 0; i < count; ++i) entries += Reply({"k", "1"});
    return entries;
  };

  const struct {
    const char* Name;
    std::string Body;
    bool Shown;
    int Status = 200;
    std::string ExtraFiles = "";
    ServeMode Mode = ServeMode::Answer;
  } cases[] = {
      {"newer version of the listed file", ReplyFor(NewerVersion), true},
      {"same version", ReplyFor(InstalledVersion), false},
      {"older version", ReplyFor(OlderVersion), false},
      {"error page", "<html><body>Not Found</body></html>", false, 404},
      {"the status is not looked at", head + pair, true, 404},
      {"magic in another case", Reply({"tavo-verlift", "9.9", Download, "verlift", NewerVersion, ""}), false},
      {"unlisted key", head + Reply({"other", NewerVersion, ""}), false},
      {"key in another case", head + Reply({"VERLIFT", NewerVersion, ""}), true},
      {"equal first, then a missing file", head + Reply({"verlift", InstalledVersion, "gone", "1, 0", ""}),
       true, 200, "gone=" + Narrow(WorkDir()) + "gone.dll\r\n"},
      {"listed with an empty path", head + Reply({"blank", "1, 0", ""}), false, 200, "blank=\r\n"},
      {"advertised version empty", ReplyFor(""), false},
      {"pair ends at the cap", inside, true},
      {"pair lies past the cap", across, false},
      // The walk examines ReplyEntryLimit entries and ignores the rest, so that a mebibyte of
      // absent ones costs no more lookups than that.
      {"newer pair as the last entry examined", head + absent(ReplyEntryLimit - 1) + pair, true},
      {"newer pair behind a mebibyte of absent entries",
       head + absent((Cap - head.size() - pair.size()) / 4) + pair, false},
      // A body that never ends is read up to the cap only, and that part decides.
      {"endless body", ReplyFor(NewerVersion), true, 200, "", ServeMode::Endless},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ServerServe(c.Mode, c.Status, c.Body);
    EXPECT_EQ(ForcedCheck(ServerAddress(), c.ExtraFiles).DialogShown, c.Shown);
    EXPECT_EQ(ServerRequests().size(), 1u);
  }
}

TEST(VerliftQuery, RefusedOrStalledQueryShowsNothingAndEndsInTime) {
  // The test build of the checker gives the query 3 s and a further 1 s to return.
  const std::wstring quick = BinDir() + L"VerliftQuick.exe";
  const struct {
    const char* Name;
    ServeMode Mode;
    uint16_t Port;
    std::wstring Exe;
    DWORD AtLeastMs, UnderMs;
    std::string Body = ReplyFor(NewerVersion);
  } cases[] = {
      {"refused connection", ServeMode::Answer, RefusedPort(), VerliftExe(), 0, 5000},
      {"accepts and never answers", ServeMode::NeverAnswer, ServerPort(), quick, 2900, 10000},
      {"trickles a newer reply forever", ServeMode::Trickle, ServerPort(), quick, 2900, 10000},
      // Read up to the cap, then closed under the limit: Wine's close would drain the body
      // forever. The reply names no newer file, as a close that drops the connection at once
      // would go on to show the dialog.
      {"streams an endless chunked body", ServeMode::EndlessChunked, ServerPort(), quick, 0, 10000,
       ReplyFor(InstalledVersion)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ServerServe(c.Mode, 200, c.Body);
    const Outcome outcome = ForcedCheck(ServerAddress("/product", c.Port), "", c.Exe);
    EXPECT_FALSE(outcome.DialogShown);
    if (c.AtLeastMs > 0) EXPECT_GE(outcome.Milliseconds, c.AtLeastMs);
    EXPECT_LT(outcome.Milliseconds, c.UnderMs);
    EXPECT_EQ(ServerRequests().size(), c.Port == ServerPort() ? 1u : 0u);
  }
  ServerServe(ServeMode::Answer, 404, "");
}

// =============================================================================================
// The notification dialog

std::wstring ControlText(HWND dialog, int id) {
  wchar_t text[1024] = {};
  GetDlgItemTextW(dialog, id, text, 1024);
  return text;
}

std::wstring RecordFile() { return WorkDir() + L"opened.txt"; }

// What the stand-in browser was started with, one entry per start (its arguments joined by
// tabs). The recorder writes each argument as a UTF-8 line and ends each start with "--".
std::vector<std::wstring> Opened() {
  std::istringstream text(ReadBytes(RecordFile()));
  std::vector<std::wstring> starts;
  std::wstring start;
  bool first = true;
  for (std::string line; std::getline(text, line);) {
    if (line == "--") {
      starts.push_back(start);
      start.clear();
      first = true;
      continue;
    }
    wchar_t wide[4096] = {};
    MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide, 4095);
    start += (first ? L"" : L"\t") + std::wstring(wide);
    first = false;
  }
  return starts;
}

// Sets the default value of a key under HKEY_LOCAL_MACHINE; previous gets the one it had.
bool SwapDefaultValue(const wchar_t* path, const std::wstring& value, std::wstring& previous) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr))
    return false;
  wchar_t old[1024] = {};
  DWORD bytes = sizeof old - sizeof(wchar_t);
  previous =
      RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old), &bytes) ? L"" : old;
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return true;
}

enum class WayOut { ClickDownload, ClickHomepage, ClickLater, EnterKey, EscapeKey, CloseBox };

void Leave(HWND dialog, WayOut way) {
  if (way == WayOut::CloseBox) {
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else if (way == WayOut::EnterKey || way == WayOut::EscapeKey) {
    // Keys go where typed keys go: to the control with the focus.
    GUITHREADINFO info = {sizeof info};
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    const HWND target = info.hwndFocus != nullptr ? info.hwndFocus : dialog;
    const WPARAM key = way == WayOut::EnterKey ? VK_RETURN : VK_ESCAPE;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
  } else {
    constexpr int Buttons[] = {IDC_DOWNLOAD, IDC_HOMEPAGE, IDC_LATER};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, Buttons[static_cast<int>(way)]), BM_CLICK, 0, 0, SMTO_NORMAL, 5000,
                        &ignored);
  }
}

class VerliftDialog : public ::testing::Test {
 protected:
  // The stand-in browser becomes the handler of http and https addresses in this prefix
  // (Wine merges HKLM classes only); the previous handlers come back at the end.
  static void SetUpTestSuite() {
    SetEnvironmentVariableW(L"HB_RECORD_FILE", RecordFile().c_str());
    const std::wstring command = Quoted(BinDir() + L"arg_recorder.exe") + L" \"%1\"";
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(SwapDefaultValue(HandlerKeys[i], command, savedHandlers[i]));
  }
  static void TearDownTestSuite() {
    std::wstring ignored;
    for (int i = 0; i < 2; ++i)
      if (!savedHandlers[i].empty()) SwapDefaultValue(HandlerKeys[i], savedHandlers[i], ignored);
  }
  // A window that stands in for the host player's main window, on a thread of its own that
  // keeps pumping messages (the checker's dialog disables and re-enables it).
  void SetUp() override {
    const HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ownerThread = std::thread([this, ready] {
      ownerThreadId = GetCurrentThreadId();
      owner = CreateWindowExW(0, L"STATIC", L"Stand-in player", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200,
                              nullptr, nullptr, nullptr, nullptr);
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's message queue
      SetEvent(ready);
      while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
      DestroyWindow(owner);
    });
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
    ASSERT_NE(owner, nullptr);
  }
  void TearDown() override {
    PostThreadMessageW(ownerThreadId, WM_QUIT, 0, 0);
    ownerThread.join();
    ServerServe(ServeMode::Answer, 404, "");
  }

  // Serves a reply that makes the dialog show, with the given display version and download
  // address, and writes the INI file (homepage: the server).
  std::wstring Prepare(const std::string& name, const std::string& newVersion, const std::string& downloadUrl,
                       const std::string& homepagePath = "/product") {
    DeleteFileW(RecordFile().c_str());
    ServerServe(ServeMode::Answer, 200, ReplyFor(NewerVersion, newVersion, downloadUrl));
    return ProductIni(name, ServerAddress(homepagePath));
  }
  static std::wstring OwnedBy(HWND window) {
    return L" /FORCE /HANDLE:" + std::to_wstring(static_cast<long>(reinterpret_cast<intptr_t>(window)));
  }
  // Runs the checker owned by the stand-in player: its dialog shows, onDialog leaves it, and
  // the owner is given back.
  Outcome RunOwned(const std::wstring& ini, const std::function<void(HWND)>& onDialog,
                   bool throughShell = false) {
    const Outcome outcome = RunVerlift(Quoted(ini) + OwnedBy(owner), VerliftExe(), onDialog, throughShell);
    EXPECT_TRUE(outcome.DialogShown);
    EXPECT_TRUE(IsWindowEnabled(owner));
    return outcome;
  }

  static constexpr const wchar_t* HandlerKeys[2] = {L"Software\\Classes\\http\\shell\\open\\command",
                                                    L"Software\\Classes\\https\\shell\\open\\command"};
  static std::wstring savedHandlers[2];
  std::thread ownerThread;
  DWORD ownerThreadId = 0;
  HWND owner = nullptr;
};

std::wstring VerliftDialog::savedHandlers[2];

TEST_F(VerliftDialog, ShowsNameHomepageAndVersionOwnedByTheDisabledOwner) {
  const struct {
    std::string Name;
    std::string NewVersion;
    WayOut Way;
    bool ThroughShell = false;
  } cases[] = {
      {"Tavo Hushbell", "2, 1, 0, 0", WayOut::ClickLater},
      {"100% Product %d", "",
       WayOut::ClickLater},  // an empty display version stays empty; % in the name is text
      // Over 19 characters: cut to 19, not dropped. 8-bit text comes in the thread's code page.
      {"Product",
       "2, 1, 0, 0 \xE9"
       "dition sp\xE9"
       "ciale",
       WayOut::ClickLater},
      // Without a name the template texts stay, and the buttons still work.
      {"", "2, 1, 0, 0", WayOut::ClickDownload},
      // As the plug-in starts the checker: through the shell, the INI path in quotes, then
      // "/HANDLE:" with the host window.
      {"Product", "2, 1", WayOut::ClickLater, true},
  };
  ASSERT_NE(WorkDir().find(L' '), std::wstring::npos) << "the INI path holds a blank";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name + (c.ThroughShell ? " through the shell" : ""));
    RunOwned(
        Prepare(c.Name, c.NewVersion, Download),
        [&](HWND dialog) {
          EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
          EXPECT_FALSE(IsWindowEnabled(owner));
          const std::string homepage = c.Name.empty() ? "" : ServerAddress();
          EXPECT_EQ(ControlText(dialog, IDC_MESSAGE),
                    Widen(c.Name.empty() ? MessageTemplate
                                         : MessageStart + c.Name + MessageMiddle + homepage + MessageEnd));
          EXPECT_EQ(ControlText(dialog, IDC_HOMEPAGE), Widen(homepage));
          EXPECT_EQ(ControlText(dialog, IDC_NEW_VERSION),
                    c.Name.empty() ? L"0, 0, 0, 0" : FromThreadCodePage(c.NewVersion).substr(0, 19));
          EXPECT_EQ(ControlText(dialog, IDC_NEW_LABEL), L"New Version:");
          EXPECT_EQ(ControlText(dialog, IDC_CURRENT_LABEL), L"Current Version:");
          EXPECT_EQ(ControlText(dialog, IDC_CURRENT_VERSION), L"0, 0, 0, 0");
          EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_CURRENT_LABEL)));
          EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_CURRENT_VERSION)));
          EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_NEW_VERSION)));
          // The window icons are not checked: Wine 8 answers WM_GETICON from another process
          // with 0 even for an icon set with WM_SETICON.
          Leave(dialog, c.Way);
        },
        c.ThroughShell);
    EXPECT_EQ(Opened(),
              c.Way == WayOut::ClickDownload ? std::vector{Widen(Download)} : std::vector<std::wstring>{});
  }
}

TEST_F(VerliftDialog, EachWayOutOpensOnlyWhatItShould) {
  // Opened as one argument, exactly as given, whatever a shell or a browser might make of it.
  const std::string web = "https://example.invalid/get?file=set%20up.exe&lang=en&x='a'(b)*;c=%31,$!#top";
  const struct {
    const char* Name;
    std::string DownloadUrl;
    WayOut Way;
    bool OpensDownload, OpensHomepage;
    std::string HomepagePath = "/product";
  } cases[] = {
      {"Download", web, WayOut::ClickDownload, true, false},
      {"Enter presses Download", "HTTPS://Example.Invalid/Setup.exe", WayOut::EnterKey, true, false},
      {"homepage button", web, WayOut::ClickHomepage, false, true},
      {"Later", web, WayOut::ClickLater, false, false},
      {"Esc", web, WayOut::EscapeKey, false, false},
      {"close box", web, WayOut::CloseBox, false, false},
      {"Download of a program path", "C:\\windows\\notepad.exe", WayOut::ClickDownload, false, false},
      {"Download of a file address", "file:///C:/windows/win.ini", WayOut::ClickDownload, false, false},
      {"Download of an empty address", "", WayOut::ClickDownload, false, false},
      // Plain http only to this computer: on the way to another, anyone could swap the download.
      {"Download over http to another computer", "http://example.invalid/setup.exe", WayOut::ClickDownload,
       false, false},
      {"Download over http to this computer", "http://localhost:8080/setup.exe", WayOut::ClickDownload, true,
       false},
      // A reply never chooses the browser's arguments, nor anything but a whole web address.
      {"Download of an address with a quote", "http://127.0.0.1/dl\" \"--injected-flag",
       WayOut::ClickDownload, false, false},
      {"Download of an address with a blank", "http://example.invalid/set up.exe", WayOut::ClickDownload,
       false, false},
      {"Download of an address with a tab", "http://example.invalid/setup.exe\t-x", WayOut::ClickDownload,
       false, false},
      {"Download of an address with a backslash", "http://example.invalid\\setup.exe", WayOut::ClickDownload,
       false, false},
      // The homepage from the INI file gets the same check.
      {"homepage with a blank", web, WayOut::ClickHomepage, false, false, "/product page"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const Outcome outcome = RunOwned(Prepare("Product", "2, 1", c.DownloadUrl, c.HomepagePath),
                                     [&](HWND dialog) { Leave(dialog, c.Way); });
    std::vector<std::wstring> expected;
    if (c.OpensDownload) expected.push_back(Widen(c.DownloadUrl));
    if (c.OpensHomepage) expected.push_back(Widen(ServerAddress(c.HomepagePath)));
    EXPECT_EQ(Opened(), expected);
    // Nothing else was started either (a program path would have run as it stands).
    EXPECT_EQ(outcome.Processes, 1 + expected.size());
  }
}

TEST_F(VerliftDialog, OnlyADueCheckLoadsWinInetAndTheCommonControlsAndNeverFromBesideTheProgram) {
  std::vector<std::wstring> loaded;
  // DLLs of that name (any, if empty) loaded in the whole run or only once the program's code runs.
  auto count = [&loaded](const std::wstring& name, bool runningOnly) {
    const auto running = std::find(loaded.cbegin(), loaded.cend(), L"");
    EXPECT_NE(running, loaded.cend()) << "no initial breakpoint";
    return std::count_if(
        runningOnly && running != loaded.cend() ? running + 1 : loaded.cbegin(), loaded.cend(),
        [&](const std::wstring& path) { return name.empty() || path.ends_with(L"\\" + name); });
  };
  // Weekly, checked a moment ago: the common start loads nothing once its own code runs.
  // (Wine's user32 imports version.dll itself; the checker's imports are checked on the shipped
  // file.)
  const std::wstring ini = UniquePath(L"weekly");
  const std::string weekly = "[Update]\r\nName=Product\r\nhomepage=" + ServerAddress() +
                             "\r\ninterval=7\r\n" + LastCheckSection(Now());
  WriteBytes(ini, weekly);
  EXPECT_FALSE(RunVerlift(Quoted(ini), VerliftExe(), nullptr, false, &loaded).DialogShown);
  EXPECT_EQ(ReadBytes(ini), weekly);
  EXPECT_EQ(count(L"", true), 0) << "the last: " << Narrow(loaded.empty() ? L"" : loaded.back());
  EXPECT_EQ(count(L"wininet.dll", false) + count(L"comctl32.dll", false), 0);

  // Due, with DLLs of those names beside the program, which Wine is told to prefer to its own
  // for this program, as Windows does: the system's are loaded, and the check works to the end.
  const std::wstring planted = WorkDir() + L"planted\\", exe = L"Planted Verlift.exe";
  const std::wstring settings = L"Software\\Wine\\AppDefaults\\" + exe, order = L"native,builtin";
  CreateDirectoryW(planted.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(VerliftExe().c_str(), (planted + exe).c_str(), FALSE));
  for (const wchar_t* name : {L"wininet", L"comctl32"}) {
    ASSERT_TRUE(
        CopyFileW((BinDir() + L"arg_recorder.exe").c_str(), (planted + name + L".dll").c_str(), FALSE));
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, (settings + L"\\DllOverrides").c_str(), name, REG_SZ,
                              order.c_str(), static_cast<DWORD>((order.size() + 1) * sizeof(wchar_t))),
              0);
  }
  loaded.clear();
  EXPECT_TRUE(RunVerlift(
                  Quoted(Prepare("Product", "2, 1", Download)) + OwnedBy(owner), planted + exe,
                  [](HWND dialog) { Leave(dialog, WayOut::ClickDownload); }, false, &loaded)
                  .DialogShown);
  RegDeleteTreeW(HKEY_CURRENT_USER, settings.c_str());
  EXPECT_EQ(Opened(), std::vector{Widen(Download)});
  EXPECT_EQ(count(L"wininet.dll", true), 1);
  EXPECT_EQ(count(L"comctl32.dll", true), 1);
  for (const std::wstring& path : loaded)
    EXPECT_EQ(path.find(L"\\planted\\"), std::wstring::npos) << Narrow(path);
}

TEST_F(VerliftDialog, OwnerWindowThatIsGoneMeansNoDialog) {
  const HWND gone =
      CreateWindowExW(0, L"STATIC", L"gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(gone, nullptr);
  DestroyWindow(gone);
  ASSERT_FALSE(IsWindow(gone));
  EXPECT_FALSE(RunVerlift(Quoted(Prepare("Product", "2, 1", Download)) + OwnedBy(gone)).DialogShown);
  EXPECT_EQ(ServerRequests().size(), 1u) << "the query was made; only the dialog could not be";
  EXPECT_TRUE(Opened().empty());
}

}  // namespace
