// The checker's command line against a fake disk: which INI file, owner window and switch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "command_line.h"

namespace {

struct FakeDisk {
  std::vector<std::u16string> existing, asked;
};

bool Exists(void* context, const char16_t* path) {
  auto* disk = static_cast<FakeDisk*>(context);
  disk->asked.emplace_back(path);
  return std::find(disk->existing.begin(), disk->existing.end(), path) != disk->existing.end();
}

const std::u16string Exe = u"C:\\Apps\\Verlift.exe", ExeIni = u"C:\\Apps\\Verlift.ini";
// Paths of 259 and 260 characters, and those without their ".ini".
const std::u16string Stem255 = u"C:\\" + std::u16string(252, u'a'), Long259 = Stem255 + u".ini";
const std::u16string Stem256 = Stem255 + u'a', Long260 = Stem256 + u".ini";

struct Case {
  const char* name;
  std::vector<std::u16string> args, existing;
  std::u16string iniPath;
  bool force = false;
  int32_t owner = 0;
};

TEST(ParseArguments, Table) {
  const Case cases[] = {
      {"later existing path wins", {Exe, u"a.ini", u"b.ini"}, {u"a.ini", u"b.ini", ExeIni}, u"b.ini"},
      {"missing later path keeps earlier", {Exe, u"a.ini", u"nope.ini"}, {u"a.ini"}, u"a.ini"},
      {"/FORCE switch", {Exe, u"/FORCE"}, {ExeIni}, ExeIni, true, 0},
      {"lower-case /force is a path", {Exe, u"/force"}, {u"/force", ExeIni}, u"/force"},
      {"/FORCE with suffix is a path", {Exe, u"/FORCEX"}, {u"/FORCEX"}, u"/FORCEX"},
      {"/HANDLE: empty", {Exe, u"/HANDLE:"}, {ExeIni}, ExeIni},
      {"/HANDLE: letters", {Exe, u"/HANDLE:abc"}, {ExeIni}, ExeIni},
      {"/HANDLE:-5", {Exe, u"/HANDLE:-5"}, {ExeIni}, ExeIni, false, -5},
      {"later /HANDLE: replaces", {Exe, u"/HANDLE:7", u"/HANDLE:9"}, {ExeIni}, ExeIni, false, 9},
      {"/HANDLE, no colon: a path", {Exe, u"/HANDLE", u"/HANDLE5"}, {u"/HANDLE", u"/HANDLE5"}, u"/HANDLE5"},
      {"lower-case /handle: is a path", {Exe, u"/handle:5"}, {u"/handle:5"}, u"/handle:5"},
      {"missing path falls back", {Exe, u"C:\\none.ini", u"/HANDLE:123"}, {ExeIni}, ExeIni, false, 123},
      {"nothing found", {Exe, u"/HANDLE:1", u"/FORCE"}, {}, u"", true, 1},
      {"259-character path fits", {Exe, Long259}, {Long259}, Long259},
      {"260-character path is not found", {Exe, Long260}, {Long260, ExeIni}, ExeIni},
      {"program without extension", {u"C:\\Apps\\Verlift"}, {u"C:\\Apps\\Verlini"}, u"C:\\Apps\\Verlini"},
      {"argument 0 of three characters", {u"abc"}, {u"ini"}, u"ini"},
      {"argument 0 of two characters", {u"ab", u"/FORCE"}, {u"ini", u"ab"}, u"", true, 0},
      {"argument 0 of 259 characters", {Stem255 + u".exe"}, {Long259}, Long259},
      {"argument 0 of 260 characters", {Stem256 + u".exe"}, {Long260}, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<const char16_t*> argv;
    for (const auto& a : c.args) argv.push_back(a.c_str());
    FakeDisk disk{c.existing, {}};
    CommandLine out;
    std::fill(std::begin(out.IniPath), std::end(out.IniPath), u'#');
    out.ForceCheck = true;
    out.OwnerWindow = 77;
    EXPECT_EQ(ParseArguments(argv, Exists, &disk, out), !c.iniPath.empty());
    EXPECT_EQ(std::u16string(out.IniPath), c.iniPath);
    EXPECT_EQ(out.ForceCheck, c.force);
    EXPECT_EQ(out.OwnerWindow, c.owner);
    for (const auto& asked : disk.asked)
      EXPECT_LT(asked.size(), IniPathCapacity) << "an over-long path reached the existence test";
  }
}

TEST(ParseArguments, NoArgumentsAtAll) {
  FakeDisk disk{{u"ini"}, {}};
  CommandLine out;
  EXPECT_FALSE(ParseArguments({}, Exists, &disk, out));
  EXPECT_EQ(out.IniPath[0], u'\0');
  EXPECT_TRUE(disk.asked.empty());
}

// The reading itself is ParseDecimal's, whose table covers it; this is the handle's own case.
TEST(ParseHandleValue, TopBitTravelsAsNegativeDecimal) {
  EXPECT_EQ(ParseHandleValue(u"-60876"), static_cast<int32_t>(0xFFFF1234u));
}

}  // namespace
