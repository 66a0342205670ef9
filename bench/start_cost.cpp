// What the plug-in costs the player's start: the stand-in player, with the DLLs the real
// player has loaded already, loads a plug-in, calls init, lets its messages run, calls quit
// and unloads it, Rounds times each for an empty plug-in and for gen_hushbell.dll with the
// update check off and on, and with the headphones-out action on (through a stand-in audio
// enumerator, as Wine's audio driver would measure Wine rather than the plug-in). Prints the medians and the ratios to the empty plug-in; exits 0
// when LoadLibrary + init stay within the goal in both Hushbell rows.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "audio_sim.h"
#include "presence_sim.h"
#include "checker_registry.h"
#include "standin_host.h"
#include "test_files.h"

namespace {
constexpr int Rounds = 15;
constexpr double GoalRatio = 2.0;
constexpr double DeferredGoalMs = 100;
constexpr DWORD DeferredDeadlineMs = 2000;

double Median(double (&values)[Rounds]) {
  double sorted[Rounds];
  std::copy(values, values + Rounds, sorted);
  std::sort(sorted, sorted + Rounds);
  return sorted[Rounds / 2];
}

// The plug-in's own window on this thread: the last thing its start-up makes.
bool PluginWindowExists() { return ModuleWindow(HostPluginModule()) != nullptr; }

struct Row {
  const char* Name;
  const char* Dll;
  int UpdateCheck;  // -1: not Hushbell
  int UnplugAction;
  double Load[Rounds], Init[Rounds], Deferred[Rounds], Quit[Rounds];
};

// One start and stop of the player with the plug-in; false when the plug-in would not run.
bool StartOnce(Row& row, int round, const char* dll) {
  const double before = PreciseNowMs();
  HostPluginRecord* record = HostLoadPlugin(dll);
  if (record == nullptr) return false;
  const double loaded = PreciseNowMs();
  if (row.UnplugAction != 0 && !AudioSimInstall(HostPluginModule())) return false;
  const double initStart = PreciseNowMs();
  // The record's own init, as the player calls it while it starts; its message loop runs after.
  const int result = record->init();
  const double initialised = PreciseNowMs();
  if (result != 0) return false;
  if (row.UpdateCheck >= 0)
    while (!PluginWindowExists() && PreciseNowMs() - initialised < DeferredDeadlineMs) HostPump(1);
  const double settled = PreciseNowMs();
  HostQuitPlugin();
  const double quitted = PreciseNowMs();
  const bool left = row.UpdateCheck >= 0 && PluginWindowExists();
  HostUnloadPlugin();
  // A checker's start may still hold the module: the next load must start from scratch.
  const char* name = strrchr(dll, '\\') + 1;
  for (int wait = 0; GetModuleHandleA(name) != nullptr && wait < 2000; ++wait) HostPump(1);
  row.Load[round] = loaded - before;
  row.Init[round] = initialised - initStart;
  row.Deferred[round] = row.UpdateCheck >= 0 ? settled - initialised : 0;
  row.Quit[round] = quitted - settled;
  return !left && GetModuleHandleA(name) == nullptr;
}

// The update checker the plug-in finds in the registry: a program that only records its start.
bool RegisterChecker(const char* folder, bool on) {
  HKEY key = nullptr;
  if (RegCreateKeyW(HKEY_LOCAL_MACHINE, CheckerRegistryKey, &key) != ERROR_SUCCESS) return false;
  char checker[MAX_PATH];
  snprintf(checker, sizeof checker, "%sarg_recorder.exe", folder);
  wchar_t wide[MAX_PATH];
  const int units = MultiByteToWideChar(CP_ACP, 0, checker, -1, wide, MAX_PATH);
  const LSTATUS status =
      !on         ? RegDeleteValueW(key, CheckerRegistryValue)
      : units > 0 ? RegSetValueExW(key, CheckerRegistryValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide),
                                   static_cast<DWORD>(units * sizeof(wchar_t)))
                  : ERROR_INVALID_DATA;
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

void Print(const Row& empty, Row (&rows)[3]) {
  Row copy = empty;
  const double emptyStart = Median(copy.Load) + Median(copy.Init);
  printf("Player start with one plug-in, median of %d, ms\n\n", Rounds);
  printf("%-28s %8s %8s %8s %9s %8s %8s\n", "", "load", "init", "total", "x empty", "deferred", "quit");
  printf("%-28s %8.2f %8.2f %8.2f %9.2f %8s %8.2f\n", empty.Name, Median(copy.Load), Median(copy.Init),
         emptyStart, 1.0, "-", Median(copy.Quit));
  for (Row& row : rows) {
    const double start = Median(row.Load) + Median(row.Init);
    printf("%-28s %8.2f %8.2f %8.2f %9.2f %8.2f %8.2f\n", row.Name, Median(row.Load), Median(row.Init), start,
           start / emptyStart, Median(row.Deferred), Median(row.Quit));
  }
}
}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  // What the player itself has loaded before it loads its plug-ins.
  for (const char* dll : {"winmm.dll", "shell32.dll", "advapi32.dll", "comctl32.dll"}) LoadLibraryA(dll);
  char folder[MAX_PATH], plugin[MAX_PATH], empty[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, folder, sizeof folder);
  if (length == 0 || length >= sizeof folder || !HostPluginBesideProgram(plugin, sizeof plugin)) return 2;
  *(strrchr(folder, '\\') + 1) = '\0';
  snprintf(empty, sizeof empty, "%sempty_plugin.dll", folder);
  const std::string ini = UniqueTempPath("hbs");
  const std::string record = UniqueTempPath("hbr");
  SetEnvironmentVariableA("HB_RECORD_FILE", record.c_str());
  if (!HostCreate(ini.c_str()) || !RegisterChecker(folder, true)) {
    printf("bench: cannot set up the stand-in player\n");
    return 2;
  }
  Row emptyRow{"empty plug-in", empty, -1, 0, {}, {}, {}, {}};
  Row rows[3] = {{"Hushbell, update check off", plugin, 0, 0, {}, {}, {}, {}},
                 {"Hushbell, update check on", plugin, 1, 0, {}, {}, {}, {}},
                 {"Hushbell, headphones out on", plugin, 0, 1, {}, {}, {}, {}}};
  bool ran = true;
  for (int round = 0; round < Rounds && ran; ++round) {
    ran = StartOnce(emptyRow, round, empty);
    for (Row& row : rows) {
      WriteIniSettings(ini, "LockAction=1 Verlift=" + std::to_string(row.UpdateCheck) +
                                " UnplugAction=" + std::to_string(row.UnplugAction));
      ran = ran && StartOnce(row, round, plugin);
    }
  }
  RegisterChecker(folder, false);
  HostDestroy();
  // The checkers started by the "on" rows end on their own; give them the moment they need.
  HostPump(500);
  DeleteFileA(ini.c_str());
  DeleteFileA(record.c_str());
  if (!ran) {
    printf("bench: a plug-in did not load, start or stop cleanly\n");
    return 2;
  }
  Print(emptyRow, rows);
  bool met = true;
  for (Row& row : rows) {
    met = met &&
          Median(row.Load) + Median(row.Init) <= GoalRatio * (Median(emptyRow.Load) + Median(emptyRow.Init));
    met = met && Median(row.Deferred) <= DeferredGoalMs;
  }
  printf("\ngoal: load + init within %.1fx the empty plug-in's, deferred work within %.0f ms: %s\n",
         GoalRatio, DeferredGoalMs, met ? "met" : "MISSED");
  return met ? 0 : 1;
}
