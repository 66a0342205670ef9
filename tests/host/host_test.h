// The fixture the plug-in's Windows tests share: a fresh stand-in host with a settings file of
// its own in a temporary folder, the screen saver off, and at the end whatever plug-in a case
// loaded stopped and unloaded.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "presence_sim.h"
#include "standin_host.h"
#include "test_files.h"

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { Fresh(); }
  void TearDown() override { Finish(); }
  // A new host and settings file, for the next case of a table.
  void Fresh() {
    Finish();
    ini_ = NewIni();
    ASSERT_TRUE(HostCreate(ini_.c_str()));
  }
  void Finish() {
    SimHoldTicks(false);
    SetScreenSaverRunning(false);
    HostStop();
  }
  std::string NewIni() { return UniqueTempPath("hbt", temp_.Path); }
  // The commands the host has received so far.
  static std::vector<UINT> Commands() {
    std::vector<UINT> result;
    for (size_t i = 0; i < HostCommandCount(); ++i) result.push_back(HostCommandAt(i).Command);
    return result;
  }
  // Loads gen_hushbell.dll from beside the program, under the presence simulations if told so,
  // and, unless told not to, starts it.
  static bool Start(bool init = true, bool simulated = false) {
    return HostLoadPlugin("gen_hushbell.dll") != nullptr && (!simulated || SimInstall(HostPluginModule())) &&
           (!init || HostInitPlugin() == 0);
  }
  static void Unload() {
    if (HostPluginModule() == nullptr) return;
    HostQuitPlugin();
    HostUnloadPlugin();
  }

  TempFolder temp_{L"hb host test"};  // holds every file a case makes
  std::string ini_;
};
