// Loading and saving through a fake profile that records every call.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "plugin_fakes.h"
#include "profile_section.h"
#include "settings.h"
#include "timeout_text.h"

namespace {

struct FakeProfile {
  std::map<std::string, std::string> Section;  // the "Hushbell" section as text
  std::vector<std::string> Log;                // "key=default" for reads, "key:=value" for writes

  static int32_t Read(void* c, const char* section, const char* key, int32_t def) {
    FakeProfile& p = *static_cast<FakeProfile*>(c);
    EXPECT_STREQ(section, "Hushbell");
    p.Log.push_back(std::string(key) + "=" + std::to_string(def));
    const auto it = p.Section.find(key);
    return it == p.Section.end() ? def : ParseDecimal(it->second.c_str());
  }
  static void Write(void* c, const char* section, const char* key, const char* value) {
    FakeProfile& p = *static_cast<FakeProfile*>(c);
    EXPECT_STREQ(section, "Hushbell");
    p.Log.push_back(std::string(key) + ":=" + value);
    p.Section[key] = value;
  }
  ProfileIo Io() { return {this, Read, Write}; }
};

TEST(Settings, EmptySectionGivesDefaultsReadInOrder) {
  FakeProfile profile;
  PluginState s{};
  for (const SettingRow& row : SettingRows) StoreSetting(s, row, 9);
  LoadSettingsWith(s, profile.Io());
  EXPECT_EQ(Read(s), Settings{});
  EXPECT_EQ(Read(s), (Settings{.LockAction = ActionPause, .LockAutoResume = 1})) << "the rest 0";
  EXPECT_EQ(profile.Log, (std::vector<std::string>{
                             "LockAction=1",
                             "LockAutoResume=1",
                             "LockTimeout=0",
                             "ScreenSaverAction=0",
                             "ScreenSaverAutoResume=0",
                             "ScreenSaverTimeout=0",
                             "StandbyAction=0",
                             "Verlift=0",
                             "ScreenSaverDisplayOff=0",
                             "ResumeFadeSeconds=0",
                             "UnplugAction=0",
                         }));
}

TEST(Settings, ActionsKeepLowEightBitsOthersAsRead) {
  FakeProfile profile;
  profile.Section = {
      {"LockAction", "258"},  // low 8 bits: 2
      {"LockTimeout", "-7"},
      {"ScreenSaverAction", "3"},
      {"ScreenSaverTimeout", "100000"},
      {"StandbyAction", "-1"},  // low 8 bits: 255
      {"Verlift", "1"},
      {"LockAutoResume", "0"},
      {"ScreenSaverAutoResume", "2"},
      {"ScreenSaverDisplayOff", "1"},
      {"UnplugAction", "514"},  // low 8 bits: 2
  };
  PluginState s{};
  LoadSettingsWith(s, profile.Io());
  EXPECT_EQ(Read(s), (Settings{
                         .LockAction = 2,
                         .LockAutoResume = 0,
                         .LockTimeout = -7,
                         .ScreenSaverAction = 3,
                         .ScreenSaverAutoResume = 2,
                         .ScreenSaverTimeout = 100000,
                         .StandbyAction = 255,
                         .UpdateCheck = 1,
                         .ScreenSaverDisplayOff = 1,
                         .UnplugAction = 2,
                     }));
}

// Every value differs from the others, so a fake field out of the table's order shows here.
TEST(Settings, SaveWritesDecimalsInOrder) {
  FakeProfile profile;
  PluginState s{};
  Store(s, {
               .LockAction = 255,
               .LockAutoResume = 1,
               .LockTimeout = -5,
               .ScreenSaverAction = 2,
               .ScreenSaverAutoResume = 0,
               .ScreenSaverTimeout = INT32_MIN,
               .StandbyAction = 3,
               .UpdateCheck = 7,
               .ScreenSaverDisplayOff = 4,
               .ResumeFadeSeconds = 6,
               .UnplugAction = 11,
           });
  SaveSettingsWith(s, profile.Io());
  EXPECT_EQ(profile.Log, (std::vector<std::string>{
                             "LockAction:=255",
                             "LockAutoResume:=1",
                             "LockTimeout:=-5",
                             "ScreenSaverAction:=2",
                             "ScreenSaverAutoResume:=0",
                             "ScreenSaverTimeout:=-2147483648",
                             "StandbyAction:=3",
                             "Verlift:=7",
                             "ScreenSaverDisplayOff:=4",
                             "ResumeFadeSeconds:=6",
                             "UnplugAction:=11",
                         }));
}

TEST(Settings, RoundTrip) {
  const Settings cases[] = {
      {},
      {.LockAction = 0,
       .LockAutoResume = 0,
       .LockTimeout = 65535,
       .ScreenSaverAction = 2,
       .ScreenSaverAutoResume = 1,
       .ScreenSaverTimeout = 100000,
       .StandbyAction = 1,
       .UpdateCheck = 1,
       .ScreenSaverDisplayOff = 1,
       .ResumeFadeSeconds = 10,
       .UnplugAction = 2},
      {.LockAction = 255,
       .LockAutoResume = -1,
       .LockTimeout = INT32_MAX,
       .ScreenSaverAction = 7,
       .ScreenSaverTimeout = -5,
       .StandbyAction = 2},
  };
  for (const Settings& v : cases) {
    FakeProfile profile;
    PluginState saved{}, loaded{};
    Store(saved, v);
    SaveSettingsWith(saved, profile.Io());
    LoadSettingsWith(loaded, profile.Io());
    EXPECT_EQ(Read(loaded), v);
  }
}

// A clamped number (the fade-in's seconds) is kept to its range however it arrives.
TEST(Settings, ClampedNumberKeepsToItsRange) {
  const SettingRow& Fade = *FindSetting("ResumeFadeSeconds");
  // clang-format off
  const std::pair<int32_t, int32_t> cases[] = {
      {-1, 0},  // below
      {0, 0},
      {10, 10},
      {11, 10},  // above
      {INT32_MIN, 0},
      {INT32_MAX, 10},
  };
  // clang-format on
  PluginState s{};
  for (auto [value, kept] : cases) {
    StoreSetting(s, Fade, value);
    EXPECT_EQ(SettingValue(s, Fade), kept) << value;
  }
}

// The section read once must give what one GetPrivateProfileInt per key gave (the Wine test
// compares the two on the same file).
TEST(Settings, SectionBlockReadsAsTheProfileFunctionsWould) {
  using namespace std::literals;
  const auto block = "LockAction=2\0lockaction=3\0LockActionX=4\0Verlift\0Name=\"5\"\0Single='6'\0Empty=\0"sv;
  // clang-format off
  const std::pair<std::string_view, int32_t> lookups[] = {
      {"LOCKACTION", 2},
      {"LockActio", 77},
      {"Verlift", 77},
      {"Name", 5},
      {"Single", 6},
      {"Empty", 77},
      {"Gone", 77},
  };
  // clang-format on
  for (const auto& [key, expected] : lookups) EXPECT_EQ(ProfileIntFromBlock(block, key, 77), expected) << key;
  EXPECT_EQ(ProfileIntFromBlock(u"LockAction=0x10\0"sv, "lockAction", 77), 16);
  EXPECT_EQ(ProfileIntFromBlock(""sv, "LockAction", 1), 1);

  // clang-format off
  const std::pair<std::string_view, int32_t> values[] = {
      {" 12", 12},
      {"-7", -7},
      {"+3", 3},
      {"0x1F", 31},
      {"-2147483648", INT32_MIN},
      {"0o17", 15},
      {"0b101", 5},
      {"12abc", 12},
      {"abc", 0},
      {"4294967297", 1},
      {"-0x10", -16},
      {"0x", 0},
      {"258", 258},
      {"0b2", 0},
  };
  // clang-format on
  for (const auto& [text, expected] : values) EXPECT_EQ(ProfileIntFromText(text, 77), expected) << text;
}

}  // namespace
