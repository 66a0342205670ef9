// The plug-in starting the update checker: registry lookup, INI path beside the module and
// the host window, with a recorder program standing in for the checker.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "checker_registry.h"
#include "import_patch.h"
#include "presence_sim.h"
#include "standin_host.h"
#include "test_files.h"

namespace {

enum Apartment { NoCom, SingleThreaded, MultiThreaded, NotStarted };

// Probes this thread's COM with an initialisation that is undone at once.
Apartment ApartmentNow() {
  const HRESULT probe = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (probe == RPC_E_CHANGED_MODE) return MultiThreaded;
  CoUninitialize();
  return probe == S_FALSE ? SingleThreaded : NoCom;
}

// Written by the thread that starts the checker.
std::atomic<Apartment> AtStart;
std::atomic<DWORD> StartThread;
HINSTANCE WINAPI RecordApartment(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT) {
  StartThread = GetCurrentThreadId();
  AtStart = ApartmentNow();
  return reinterpret_cast<HINSTANCE>(42);
}

void SetCheckerValue(const void* data, DWORD bytes, DWORD type) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, CheckerRegistryKey, &key), ERROR_SUCCESS);
  RegSetValueExW(key, CheckerRegistryValue, 0, type, static_cast<const BYTE*>(data), bytes);
  RegCloseKey(key);
}

class UpdaterLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"gen_hushbell.dll").c_str(), Wide(dll_).c_str(), FALSE));
    SetEnvironmentVariableA("HB_RECORD_FILE", record_.c_str());
    WriteIniValue(settings_, "LockAction", "0");
  }
  void TearDown() override { RegDeleteKeyW(HKEY_LOCAL_MACHINE, CheckerRegistryKey); }
  // One start of the host with the plug-in; returns the host window it ran with. With `shell`,
  // the plug-in's ShellExecuteW goes there, and the host runs until it has been called.
  HWND RunHost(bool updateCheck, void* shell = nullptr) {
    WriteIniValue(settings_, "Verlift", updateCheck ? "1" : "0");
    EXPECT_TRUE(HostCreate(settings_.c_str()));
    HWND host = HostWindowHandle();
    EXPECT_NE(HostLoadPlugin(dll_.c_str()), nullptr);
    void* real = nullptr;
    if (shell != nullptr)
      EXPECT_TRUE(HostPatchImport(HostPluginModule(), "shell32.dll", "ShellExecuteW", shell, &real));
    EXPECT_EQ(HostInitPlugin(), 0);
    for (int wait = 0; shell != nullptr && AtStart == NotStarted && wait < 500; ++wait) Sleep(10);
    HostStop();
    return host;
  }
  size_t Starts() { return RecordedStarts(record_).size(); }
  bool WaitForRecord(size_t starts, DWORD timeoutMs) {
    return HostPumpUntil([&] { return Starts() >= starts; }, timeoutMs);
  }
  void SetRecorderAsChecker() {
    SetCheckerValue(recorder_.c_str(), static_cast<DWORD>((recorder_.size() + 1) * 2), REG_SZ);
  }
  // A folder with blanks: the INI path must reach the checker as one argument.
  TempFolder temp_{L"hb plug ins"};
  std::string folder_ = Utf8(temp_.Path), dll_ = folder_ + "gen_hushbell.dll",
              settings_ = folder_ + "winamp.ini", record_ = folder_ + "started.txt";
  std::wstring recorder_ = ProgramFolder() + L"arg_recorder.exe";
};

// Every start that must not launch anything runs first; the one real launch at the end
// then shows that it is the only one that reached the recorder.
TEST_F(UpdaterLaunchTest, StartsTheCheckerOnlyWhenEnabledAndFoundWithQuotedIniAndHostWindow) {
  // Value set but update checks off.
  SetRecorderAsChecker();
  RunHost(false);
  // Checks on, but no key.
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, CheckerRegistryKey);
  RunHost(true);
  // Key without the value.
  SetRecorderAsChecker();
  ASSERT_EQ(RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, CheckerRegistryKey, CheckerRegistryValue), ERROR_SUCCESS);
  RunHost(true);
  // Data that fill the whole buffer with no terminator: a cut path must start nothing, even
  // though its first 260 characters name the recorder.
  std::wstring padded = recorder_;
  padded.resize(261, L' ');
  SetCheckerValue(padded.c_str(), 522, REG_BINARY);
  RunHost(true);
  // A module path longer than the buffer: the system cuts it, and a cut path would hand the
  // checker an INI file that is not this plug-in's.
  SetRecorderAsChecker();
  std::wstring deep = L"\\\\?\\" + temp_.Path + std::wstring(240, L'd') + L"\\";
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  std::wstring deepDll = deep + L"gen_hushbell.dll";
  ASSERT_TRUE(CopyFileW(Wide(dll_).c_str(), deepDll.c_str(), FALSE));
  HMODULE deepModule = LoadLibraryW(deepDll.c_str());
  ASSERT_NE(deepModule, nullptr);
  wchar_t cut[261];
  ASSERT_EQ(GetModuleFileNameW(deepModule, cut, 261), 261u) << "the path must not fit";
  // Already loaded, the module is found by its name alone; the host then runs the deep copy.
  const std::string copy = std::exchange(dll_, "gen_hushbell.dll");
  RunHost(true);
  dll_ = copy;
  FreeLibrary(deepModule);
  // temp_ cannot remove a path past 260 characters.
  DeleteFileW(deepDll.c_str());
  RemoveDirectoryW(deep.c_str());

  SetRecorderAsChecker();
  HWND host = RunHost(true);
  ASSERT_TRUE(WaitForRecord(1, 5000));
  Sleep(300);
  std::string expected = folder_ + "gen_hushbell.ini\n/HANDLE:" +
                         std::to_string(static_cast<int>(reinterpret_cast<INT_PTR>(host))) + "\n--\n";
  EXPECT_EQ(FileBytes(record_), expected);
}

// ShellExecuteW may need COM on the calling thread: the checker starts from a thread of its own
// with COM set up, and the player's thread is left as it was found.
TEST_F(UpdaterLaunchTest, StartsTheCheckerOffThePlayersThreadWithComSetUp) {
  SetRecorderAsChecker();
  for (Apartment before : {NoCom, MultiThreaded}) {
    if (before != NoCom) CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    AtStart = NotStarted;
    StartThread = 0;
    RunHost(true, reinterpret_cast<void*>(RecordApartment));
    EXPECT_EQ(AtStart, SingleThreaded) << before;
    EXPECT_NE(StartThread, GetCurrentThreadId()) << before;
    EXPECT_EQ(ApartmentNow(), before);
    if (before != NoCom) CoUninitialize();
  }
}

// init leaves the checker, the poll and the plug-in's window until the player's message loop
// runs. Even cycles quit before that: they must start none of them, then or later. Odd cycles
// let the loop run: each starts the checker once, off the player's thread, whose reference
// keeps the module mapped until it is done.
TEST_F(UpdaterLaunchTest, FiftyCyclesStartTheCheckerOnlyFromStartsThePlayerFinished) {
  SetRecorderAsChecker();
  WriteIniSettings(settings_, "Verlift=1 LockAction=1");
  ASSERT_TRUE(HostCreate(settings_.c_str()));
  for (int cycle = 0; cycle < 50; ++cycle) {
    HostPluginRecord* record = HostLoadPlugin(dll_.c_str());
    ASSERT_NE(record, nullptr) << cycle;
    ASSERT_TRUE(SimInstall(HostPluginModule())) << cycle;
    const bool finished = cycle % 2 == 1;
    ASSERT_EQ(finished ? HostInitPlugin() : record->init(), 0) << cycle;
    EXPECT_EQ(SimNotificationWindow() != nullptr, finished) << cycle;
    HostQuitPlugin();
    // The message a quit overtook, and the first tick a timer would have made.
    HostPump(cycle == 0 ? 1200 : 5);
    EXPECT_EQ(SimNotificationWindow(), nullptr) << cycle;
    EXPECT_EQ(SimRegisteredWindow(), nullptr) << cycle;
    if (cycle == 0) EXPECT_EQ(SimTicksStarted(), 0u);
    HostUnloadPlugin();
  }
  HostDestroy();
  EXPECT_TRUE(WaitForRecord(25, 60000));
  Sleep(1000);
  EXPECT_EQ(Starts(), 25u);
  EXPECT_EQ(GetModuleHandleA("gen_hushbell.dll"), nullptr);
}

}  // namespace
