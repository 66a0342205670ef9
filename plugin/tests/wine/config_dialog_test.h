// The configuration dialog's tests share this fixture: a stand-in host with the common controls
// registered, temporary settings files, and the poll timer seen through the host.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "dialog_driver.h"
#include "host_test.h"
#include "standin_host.h"

inline constexpr int ActionCombos[] = {IDC_LOCK_ACTION, IDC_SAVER_ACTION, IDC_STANDBY_ACTION,
                                       IDC_UNPLUG_ACTION};
inline constexpr WORD NeutralLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

// The controls that follow each action choice.
inline void ExpectGroups(HWND dialog, bool lockOn, bool saverOn) {
  for (int id : {IDC_LOCK_RESUME, IDC_LOCK_TIMEOUT, IDC_LOCK_ARROWS, IDC_LOCK_MINUTES})
    EXPECT_EQ(IsControlEnabled(dialog, id), lockOn) << id;
  for (int id :
       {IDC_SAVER_RESUME, IDC_SAVER_TIMEOUT, IDC_SAVER_ARROWS, IDC_SAVER_MINUTES, IDC_SAVER_DISPLAY_OFF})
    EXPECT_EQ(IsControlEnabled(dialog, id), saverOn) << id;
}

enum class Timer { Stopped, Running };

// Starts the screen saver with music playing: a running poll timer pauses within about a
// second; with a stopped one the host sees neither a query nor a command.
inline bool TimerIs(Timer expected, DWORD milliseconds = 2500) {
  HostSetPlayState(HostPlaying);
  size_t commands = HostCommandCount();
  int queries = HostPlayQueries();
  SetScreenSaverRunning(true);
  const bool seen =
      expected == Timer::Running
          ? HostWaitForCommands(commands + 1, milliseconds) &&
                HostCommandAt(commands).Command == HostCommandPause
          : !HostPumpUntil([&] { return HostCommandCount() != commands || HostPlayQueries() != queries; },
                           milliseconds);
  SetScreenSaverRunning(false);
  return seen;
}

class ConfigDialogTest : public HostTest {
 protected:
  static void SetUpTestSuite() {
    // The host registers the common controls, so the dialog gets its tips.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
  }
  // An INI file in a folder named outside the ANSI code page (1252 here), as under a user
  // profile named so: its 8-bit name is not the file's.
  std::string NewForeignIni() {
    std::string folder = NewIni() + " Łódź 日本";
    EXPECT_TRUE(CreateDirectoryW(Wide(folder).c_str(), nullptr));
    return folder + "\\winamp.ini";
  }
};
