// Running Verlift.exe for the tests, and what its INI files and replies look like.
#include "verlift_run.h"

#include <shellapi.h>

#include <latch>
#include <regex>
#include <thread>
#include <utility>

#include "resource.h"
#include "version.h"

std::string LastCheckSection(uint64_t time) {
  auto half = [time](int shift) {
    return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(time >> shift)));
  };
  return "[LastCheck]\r\nlo=" + half(0) + "\r\nhi=" + half(32) + "\r\n";
}

void ExpectLastCheckBetween(const std::wstring& ini, uint64_t before, uint64_t after) {
  const std::string text = FileBytes(ini);
  const std::string lines = R"((?:[^[\r\n].*\r?\n)*?)", number = R"((-?(?:0|[1-9]\d*))\r?\n)";
  const std::regex form(R"(\[LastCheck\]\r?\n)" + lines + "lo=" + number + lines + "hi=" + number);
  std::smatch found;
  ASSERT_TRUE(std::regex_search(text, found, form)) << "\"lo\", then \"hi\", as \"%i\" writes:\n" << text;
  const long long lo = std::stoll(found.str(1)), hi = std::stoll(found.str(2));
  ASSERT_TRUE(lo >= INT32_MIN && lo <= INT32_MAX && hi >= INT32_MIN && hi <= INT32_MAX) << text;
  const uint64_t stored = (uint64_t{static_cast<uint32_t>(hi)} << 32) | static_cast<uint32_t>(lo);
  EXPECT_GE(stored, before);
  EXPECT_LE(stored, after);
  EXPECT_EQ(static_cast<int32_t>(GetPrivateProfileIntW(L"LastCheck", L"lo", 7, ini.c_str())), lo);
  EXPECT_EQ(static_cast<int32_t>(GetPrivateProfileIntW(L"LastCheck", L"hi", 7, ini.c_str())), hi);
}

std::span<const uint8_t> VerliftResource(int id, const void* type) {
  // Without the module, FindResourceW would search this test program instead.
  const HRSRC found =
      VerliftData ? FindResourceW(VerliftData, MAKEINTRESOURCEW(id), static_cast<LPCWSTR>(type)) : nullptr;
  if (found == nullptr) return {};
  return {static_cast<const uint8_t*>(LockResource(LoadResource(VerliftData, found))),
          SizeofResource(VerliftData, found)};
}

DialogTemplate VerliftTemplate() {
  DialogTemplate dialog;
  return ReadDialogTemplate(VerliftResource(IDD_UPDATE, RT_DIALOG), dialog) ? dialog : DialogTemplate{};
}

std::string TemplateText(int id) {
  for (const DialogItem& item : VerliftTemplate().Items)
    if (item.Id == id) return item.Text;
  return "(no control " + std::to_string(id) + ")";
}

// The installed version with its last number, the build, one up.
const std::string InstalledVersion = VERLIFT_VERSION_TEXT;
const std::string NewerVersion =
    InstalledVersion.substr(0, InstalledVersion.rfind(' ') + 1) + std::to_string(VERLIFT_VERSION_BUILD + 1);
const std::string Download = "https://example.invalid/setup.exe";

std::wstring ProductIni(const std::string& name, const std::string& homepage, const std::string& extraFiles) {
  const std::wstring ini = UniquePath(L"product");
  WriteBytes(ini, "[Update]\r\n" + (name.empty() ? "" : "Name=" + name + "\r\n") + "homepage=" + homepage +
                      "\r\ninterval=0\r\n[Files]\r\nverlift=" + Utf8(VerliftExe()) + "\r\n" + extraFiles);
  return ini;
}

namespace {
struct ServerEnvironment : ::testing::Environment {
  void SetUp() override { ASSERT_TRUE(ServerStart()); }
  void TearDown() override { ServerStop(); }
};

[[maybe_unused]] const auto* const serverEnvironment =
    ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

// Collects the file of every DLL the debuggee loads until it ends, in lower case. The loader's
// initial breakpoint comes in as an empty entry: under Wine it falls after the static imports and
// their initialisation, where the program's own code begins.
void CollectLoads(std::vector<std::wstring>& loaded) {
  bool first = true;
  for (DEBUG_EVENT event; WaitForDebugEvent(&event, 2 * RunTimeoutMs);) {
    const DWORD code = event.dwDebugEventCode;
    if (code == CREATE_PROCESS_DEBUG_EVENT) CloseHandle(event.u.CreateProcessInfo.hFile);
    if (code == LOAD_DLL_DEBUG_EVENT) {
      wchar_t path[MAX_PATH] = {};
      const DWORD length = GetFinalPathNameByHandleW(event.u.LoadDll.hFile, path, MAX_PATH, 0);
      loaded.push_back(length > 0 && length < MAX_PATH ? CharLowerW(path) : L"(unnamed)");
      CloseHandle(event.u.LoadDll.hFile);
    }
    const bool initial = code == EXCEPTION_DEBUG_EVENT && std::exchange(first, false) &&
                         event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT;
    if (initial) loaded.push_back(L"");
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId,
                       code == EXCEPTION_DEBUG_EVENT && !initial ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE);
    if (code == EXIT_PROCESS_DEBUG_EVENT) return;
  }
}
}  // namespace

Outcome RunVerlift(const std::wstring& arguments, const RunOptions& options) {
  const std::wstring& exe = options.Exe;
  Outcome outcome;
  const HANDLE job = CreateJobObjectW(nullptr, nullptr);
  PROCESS_INFORMATION info = {};
  std::latch created(1);  // outlives the thread that counts it down
  std::jthread debugger;
  if (options.ThroughShell) {
    SHELLEXECUTEINFOW shell = {sizeof shell, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI,
                               nullptr,      L"open",
                               exe.c_str(),  arguments.c_str(),
                               nullptr,      SW_SHOWNORMAL};
    info.hProcess = ShellExecuteExW(&shell) ? shell.hProcess : nullptr;
  } else {
    debugger = std::jthread([&] {
      std::wstring line = Quoted(exe) + L" " + arguments;
      STARTUPINFOW startup = {sizeof startup};
      const DWORD flags = CREATE_SUSPENDED | (options.Loaded != nullptr ? DEBUG_ONLY_THIS_PROCESS : 0);
      if (CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                         options.Folder.c_str(), &startup, &info)) {
        AssignProcessToJobObject(job, info.hProcess);
        ResumeThread(info.hThread);
        CloseHandle(info.hThread);
      }
      created.count_down();
      if (options.Loaded != nullptr && info.hProcess != nullptr) CollectLoads(*options.Loaded);
    });
    created.wait();
  }
  const HANDLE process = info.hProcess;
  const DWORD started = GetTickCount();
  if (job == nullptr || process == nullptr) {
    ADD_FAILURE() << "cannot start " << Utf8(exe);
    return outcome;
  }
  // Its visible notification dialog (visible means initialised), unless it ends without one.
  HWND dialog = nullptr;
  const std::wstring caption = Wide(VerliftTemplate().Caption);
  while (dialog == nullptr && GetTickCount() - started < RunTimeoutMs &&
         WaitForSingleObject(process, 10) == WAIT_TIMEOUT) {
    for (HWND window = nullptr;
         (window = FindWindowExW(nullptr, window, L"#32770", caption.c_str())) != nullptr;) {
      DWORD processId = 0;
      GetWindowThreadProcessId(window, &processId);
      if (processId == GetProcessId(process) && IsWindowVisible(window)) dialog = window;
    }
  }
  outcome.DialogShown = dialog != nullptr;
  if (dialog != nullptr && options.OnDialog) options.OnDialog(dialog);
  if (dialog != nullptr && !options.OnDialog) PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);

  // The end of the checker, then of everything it started (the recorder).
  outcome.Ended = WaitForSingleObject(process, RunTimeoutMs) == WAIT_OBJECT_0;
  outcome.Milliseconds = GetTickCount() - started;
  if (!outcome.Ended) TerminateProcess(process, 99);
  GetExitCodeProcess(process, &outcome.ExitCode);
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
  auto running = [&] {
    return QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                     nullptr) &&
           accounting.ActiveProcesses > 0;
  };
  for (DWORD waited = 0; waited < RunTimeoutMs && running(); waited += 10) Sleep(10);
  outcome.Processes = accounting.TotalProcesses;
  CloseHandle(process);
  CloseHandle(job);
  EXPECT_TRUE(outcome.Ended);
  EXPECT_EQ(outcome.ExitCode, 0u);
  return outcome;
}

Outcome ForcedCheck(const std::string& homepage, const std::string& extraFiles, const std::wstring& exe) {
  const std::wstring ini = ProductIni("Product", homepage, extraFiles);
  const uint64_t before = Now();
  const Outcome outcome = RunVerlift(Quoted(ini) + L" /FORCE", {.Exe = exe});
  ExpectLastCheckBetween(ini, before, Now());
  return outcome;
}
