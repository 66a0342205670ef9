// The real gen_hushbell.dll loaded by the stand-in host under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "standin_host.h"
#include "test_files.h"

namespace {

constexpr UINT Play = 40045, Pause = 40046, Stop = 40047;

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetScreenSaverRunning(false);
    ini_ = UniqueTempPath("hb");
    ASSERT_TRUE(HostCreate(ini_.c_str()));
  }
  void TearDown() override {
    if (HostPluginModule() != nullptr) {
      HostQuitPlugin();
      HostUnloadPlugin();
    }
    HostDestroy();
    SetScreenSaverRunning(false);
    DeleteFileA(ini_.c_str());
  }
  HostPluginRecord* Load() {
    HostPluginRecord* record = HostLoadPlugin("gen_hushbell.dll");
    EXPECT_NE(record, nullptr);
    return record;
  }
  std::string ini_;
};

struct ExportEntry {
  std::string Name;
  DWORD Ordinal;
};

// Reads the export directory of a loaded module.
std::vector<ExportEntry> Exports(HMODULE module, DWORD* functionCount) {
  auto base = reinterpret_cast<const BYTE*>(module);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  auto ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
  std::vector<ExportEntry> result;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    result.push_back({reinterpret_cast<const char*>(base + names[i]), exports->Base + ordinals[i]});
  }
  *functionCount = 0;
  auto functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
  for (DWORD i = 0; i < exports->NumberOfFunctions; ++i) *functionCount += functions[i] != 0;
  return result;
}

TEST_F(PluginTest, ExportsExactlyThreeNamesAtFixedOrdinalsAndHandsOverItsRecord) {
  HostPluginRecord* record = Load();
  ASSERT_NE(record, nullptr);
  DWORD functionCount = 0;
  std::vector<ExportEntry> exports = Exports(HostPluginModule(), &functionCount);
  ASSERT_EQ(exports.size(), 3u);
  EXPECT_EQ(functionCount, 3u);
  std::sort(exports.begin(), exports.end(),
            [](const ExportEntry& a, const ExportEntry& b) { return a.Ordinal < b.Ordinal; });
  EXPECT_EQ(exports[0].Name, "instConfig");
  EXPECT_EQ(exports[0].Ordinal, 1u);
  EXPECT_EQ(exports[1].Name, "winampGetGeneralPurposePlugin");
  EXPECT_EQ(exports[1].Ordinal, 2u);
  EXPECT_EQ(exports[2].Name, "DllMain");
  EXPECT_EQ(exports[2].Ordinal, 12u);

  EXPECT_EQ(sizeof(HostPluginRecord), 28u);
  EXPECT_EQ(record->version, 16);
  EXPECT_STREQ(record->description, "Tavo Hushbell");
  EXPECT_NE(record->init, nullptr);
  EXPECT_NE(record->config, nullptr);
  EXPECT_NE(record->quit, nullptr);
  // The same record every time, and the module handle was filled in by the entry point too.
  using GetRecord = HostPluginRecord* (*)();
  auto get = reinterpret_cast<GetRecord>(reinterpret_cast<void*>(
      GetProcAddress(HostPluginModule(), "winampGetGeneralPurposePlugin")));
  EXPECT_EQ(get(), record);
  EXPECT_EQ(record->ModuleInstance, HostPluginModule());
}

TEST_F(PluginTest, SecondInitFailsWithoutReloadingOrResubclassing) {
  Load();
  WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongA(HostWindowHandle(), GWL_WNDPROC));
  EXPECT_EQ(HostInitPlugin(), 0);
  WNDPROC hooked = reinterpret_cast<WNDPROC>(GetWindowLongA(HostWindowHandle(), GWL_WNDPROC));
  EXPECT_NE(hooked, original);
  int iniQueries = HostIniQueries();
  EXPECT_GE(iniQueries, 1);

  EXPECT_EQ(HostInitPlugin(), 1);
  EXPECT_EQ(HostIniQueries(), iniQueries);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongA(HostWindowHandle(), GWL_WNDPROC)), hooked);

  HostQuitPlugin();
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongA(HostWindowHandle(), GWL_WNDPROC)), original);
}

WNDPROC ChainedPrevious;
LRESULT CALLBACK LaterSubclass(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return CallWindowProcA(ChainedPrevious, w, m, wp, lp);
}

TEST_F(PluginTest, QuitRestoresExactlyTheProcedureItReplaced) {
  Load();
  WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongA(HostWindowHandle(), GWL_WNDPROC));
  ASSERT_EQ(HostInitPlugin(), 0);
  ChainedPrevious = reinterpret_cast<WNDPROC>(SetWindowLongA(
      HostWindowHandle(), GWL_WNDPROC, reinterpret_cast<LONG>(LaterSubclass)));
  HostQuitPlugin();
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongA(HostWindowHandle(), GWL_WNDPROC)), original);
  // quit again only stops the (already stopped) timer and leaves the window alone.
  HostQuitPlugin();
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongA(HostWindowHandle(), GWL_WNDPROC)), original);
}

// Standby travels through the hooked window procedure of the host's main window.
TEST_F(PluginTest, StandbyCommandGoesOutOnceAtResumeWithSettingsFromTheHostsIniFile) {
  WriteIniInt(ini_, "StandbyAction", 2);
  WriteIniInt(ini_, "LockAction", 0);
  Load();
  ASSERT_EQ(HostInitPlugin(), 0);
  HostSetPlayState(HostPlaying);
  HWND host = HostWindowHandle();

  SendMessageA(host, WM_POWERBROADCAST, 5, 0);  // standby request: nothing
  SendMessageA(host, WM_POWERBROADCAST, 7, 0);  // resume without a suspend: nothing
  EXPECT_EQ(HostCommandCount(), 0u);

  SendMessageA(host, WM_POWERBROADCAST, 4, 0);
  EXPECT_EQ(HostCommandCount(), 0u) << "nothing goes out on suspend";
  SendMessageA(host, WM_POWERBROADCAST, 8, 0);
  EXPECT_EQ(HostCommandCount(), 0u);
  SendMessageA(host, WM_POWERBROADCAST, 7, 0);
  ASSERT_EQ(HostCommandCount(), 1u);
  EXPECT_EQ(HostCommandAt(0).Command, Stop);
  SendMessageA(host, WM_POWERBROADCAST, 7, 0);
  SendMessageA(host, WM_POWERBROADCAST, 18, 0);
  EXPECT_EQ(HostCommandCount(), 1u) << "a second resume sends nothing";
}

TEST_F(PluginTest, StandbyPauseIsNotSentToAPausedPlayer) {
  WriteIniInt(ini_, "StandbyAction", 1);
  Load();
  ASSERT_EQ(HostInitPlugin(), 0);
  HostSetPlayState(HostPaused);
  SendMessageA(HostWindowHandle(), WM_POWERBROADCAST, 4, 0);
  SendMessageA(HostWindowHandle(), WM_POWERBROADCAST, 6, 0);
  EXPECT_EQ(HostCommandCount(), 0u);
  EXPECT_EQ(HostGetPlayState(), HostPaused) << "pause toggles: it would have restarted the music";
}

TEST_F(PluginTest, ScreenSaverPausesWithinASecondOfPollingAndResumesWhenItEnds) {
  WriteIniInt(ini_, "ScreenSaverAction", 2);
  WriteIniInt(ini_, "ScreenSaverAutoResume", 1);
  WriteIniInt(ini_, "LockAction", 0);
  Load();
  ASSERT_EQ(HostInitPlugin(), 0);
  HostSetPlayState(HostPlaying);

  SetScreenSaverRunning(true);
  ASSERT_TRUE(HostWaitForCommands(1, 2500));
  EXPECT_EQ(HostCommandAt(0).Command, Pause) << "the screen saver always pauses";
  EXPECT_EQ(HostGetPlayState(), HostPaused);

  SetScreenSaverRunning(false);
  ASSERT_TRUE(HostWaitForCommands(2, 2500));
  EXPECT_EQ(HostCommandAt(1).Command, Play);
  EXPECT_FALSE(HostCommandAt(1).Restarted);
  EXPECT_EQ(HostGetPlayState(), HostPlaying);
  HostPump(1200);
  EXPECT_EQ(HostCommandCount(), 2u);
}

TEST_F(PluginTest, NoPollingWhenNoLockOrScreenSaverActionIsSet) {
  WriteIniInt(ini_, "LockAction", 0);
  WriteIniInt(ini_, "ScreenSaverAction", 0);
  WriteIniInt(ini_, "ScreenSaverAutoResume", 1);
  Load();
  ASSERT_EQ(HostInitPlugin(), 0);
  HostSetPlayState(HostPlaying);
  SetScreenSaverRunning(true);
  HostPump(1600);
  EXPECT_EQ(HostPlayQueries(), 0);
  EXPECT_EQ(HostCommandCount(), 0u);
}

// A tick blocked in SendMessageA waits for this very thread; quit must still return, and no
// tick may run once it has.
TEST_F(PluginTest, QuitDoesNotDeadlockOnATickWaitingForTheHostThread) {
  WriteIniInt(ini_, "ScreenSaverAction", 1);
  Load();
  ASSERT_EQ(HostInitPlugin(), 0);
  HostSetPlayState(HostPlaying);
  SetScreenSaverRunning(true);
  Sleep(1600);  // not pumping: the tick now waits in its query to this thread
  ULONGLONG start = GetTickCount64();
  HostQuitPlugin();
  EXPECT_LT(GetTickCount64() - start, 3000u);
  EXPECT_GE(HostPlayQueries(), 1) << "the waiting tick was answered";
  HostUnloadPlugin();
  size_t commands = HostCommandCount();
  HostPump(2200);
  EXPECT_EQ(HostCommandCount(), commands);
}

// After a failed subclassing init runs again in full; the first timer must not be lost, or
// it would call into the module after it is unloaded.
TEST_F(PluginTest, InitAfterFailedSubclassingLeavesNoTimerBehind) {
  HostPluginRecord* record = Load();
  ASSERT_NE(record, nullptr);
  HWND host = record->HostWindow;
  HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  record->HostWindow = gone;
  EXPECT_EQ(HostInitPlugin(), 0);
  EXPECT_EQ(HostInitPlugin(), 0) << "not initialised after the failed subclassing";
  HostQuitPlugin();
  HostUnloadPlugin();
  Sleep(2200);  // a lost timer would fire into unmapped code here
  SUCCEED();
  (void)host;
}

TEST_F(PluginTest, FiftyLoadInitQuitUnloadCyclesWithTheTimerRunning) {
  WriteIniInt(ini_, "LockAction", 1);
  WriteIniInt(ini_, "ScreenSaverAction", 1);
  HostSetPlayState(HostPlaying);
  for (int cycle = 0; cycle < 50; ++cycle) {
    ASSERT_NE(Load(), nullptr) << cycle;
    ASSERT_EQ(HostInitPlugin(), 0) << cycle;
    SetScreenSaverRunning(cycle % 2 == 1);
    // Every tenth cycle lets ticks run so quit meets them in flight.
    HostPump(cycle % 10 == 9 ? 1100 : 10);
    HostQuitPlugin();
    HostUnloadPlugin();
  }
  SetScreenSaverRunning(false);
  HostPump(1200);
  EXPECT_EQ(HostPluginModule(), nullptr);
  EXPECT_EQ(GetModuleHandleA("gen_hushbell.dll"), nullptr);
}

}  // namespace
