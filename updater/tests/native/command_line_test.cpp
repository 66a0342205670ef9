// The checker's command line against a fake disk: which INI file, owner window and switch.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "command_line.h"

namespace {

struct FakeDisk {
  std::vector<std::u16string> existing;
  std::vector<std::u16string> asked;
};

bool Exists(void* context, const char16_t* path) {
  auto* disk = static_cast<FakeDisk*>(context);
  disk->asked.emplace_back(path);
  for (const auto& e : disk->existing)
    if (e == path) return true;
  return false;
}

const std::u16string Program = u"C:\\Apps\\Verlift.exe";
const std::u16string ProgramIni = u"C:\\Apps\\Verlift.ini";
const std::u16string Long259 = u"C:\\" + std::u16string(252, u'a') + u".ini";
const std::u16string Long260 = u"C:\\" + std::u16string(253, u'a') + u".ini";

struct Case {
  const char* name;
  std::vector<std::u16string> args;
  std::vector<std::u16string> existing;
  int result;
  std::u16string iniPath;
  int32_t force;
  int32_t owner;
};

TEST(ParseArguments, Table) {
  const Case cases[] = {
      {"later existing path wins",
       {Program, u"a.ini", u"b.ini"},
       {u"a.ini", u"b.ini", ProgramIni},
       1,
       u"b.ini",
       0,
       0},
      {"missing later path keeps earlier", {Program, u"a.ini", u"nope.ini"}, {u"a.ini"}, 1, u"a.ini", 0, 0},
      {"/FORCE switch", {Program, u"/FORCE"}, {ProgramIni}, 1, ProgramIni, 1, 0},
      {"lower-case /force is a path", {Program, u"/force"}, {u"/force", ProgramIni}, 1, u"/force", 0, 0},
      {"/FORCE with suffix is a path", {Program, u"/FORCEX"}, {u"/FORCEX"}, 1, u"/FORCEX", 0, 0},
      {"/HANDLE: empty", {Program, u"/HANDLE:"}, {ProgramIni}, 1, ProgramIni, 0, 0},
      {"/HANDLE: letters", {Program, u"/HANDLE:abc"}, {ProgramIni}, 1, ProgramIni, 0, 0},
      {"/HANDLE:-5", {Program, u"/HANDLE:-5"}, {ProgramIni}, 1, ProgramIni, 0, -5},
      {"later /HANDLE: replaces", {Program, u"/HANDLE:7", u"/HANDLE:9"}, {ProgramIni}, 1, ProgramIni, 0, 9},
      {"/HANDLE without colon is a path",
       {Program, u"/HANDLE", u"/HANDLE5"},
       {u"/HANDLE", u"/HANDLE5"},
       1,
       u"/HANDLE5",
       0,
       0},
      {"lower-case /handle: is a path", {Program, u"/handle:5"}, {u"/handle:5"}, 1, u"/handle:5", 0, 0},
      {"missing path then handle falls back",
       {Program, u"C:\\none.ini", u"/HANDLE:123"},
       {ProgramIni},
       1,
       ProgramIni,
       0,
       123},
      {"nothing found", {Program, u"/HANDLE:1", u"/FORCE"}, {}, 0, u"", 1, 1},
      {"259-character path fits", {Program, Long259}, {Long259}, 1, Long259, 0, 0},
      {"260-character path is not found", {Program, Long260}, {Long260, ProgramIni}, 1, ProgramIni, 0, 0},
      {"program without extension",
       {u"C:\\Apps\\Verlift"},
       {u"C:\\Apps\\Verlini"},
       1,
       u"C:\\Apps\\Verlini",
       0,
       0},
      {"argument 0 of three characters", {u"abc"}, {u"ini"}, 1, u"ini", 0, 0},
      {"argument 0 of two characters", {u"ab", u"/FORCE"}, {u"ini", u"ab"}, 0, u"", 1, 0},
      {"argument 0 of 259 characters",
       {Long259.substr(0, 255) + u".exe"},
       {Long259.substr(0, 255) + u".ini"},
       1,
       Long259.substr(0, 255) + u".ini",
       0,
       0},
      {"argument 0 of 260 characters", {Long260.substr(0, 256) + u".exe"}, {Long260}, 0, u"", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<const char16_t*> argv;
    for (const auto& a : c.args) argv.push_back(a.c_str());
    FakeDisk disk{c.existing, {}};
    CommandLine out;
    std::fill(std::begin(out.IniPath), std::end(out.IniPath), u'#');
    out.ForceCheck = out.OwnerWindow = 77;
    EXPECT_EQ(ParseArguments(argv, Exists, &disk, out), c.result);
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
  EXPECT_EQ(ParseArguments({}, Exists, &disk, out), 0);
  EXPECT_EQ(out.IniPath[0], u'\0');
  EXPECT_TRUE(disk.asked.empty());
}

TEST(ParseHandleValue, Table) {
  const struct {
    std::u16string text;
    int32_t value;
  } cases[] = {
      {u"", 0},
      {u"abc", 0},
      {u"-", 0},
      {u"- 5", 0},
      {u"42", 42},
      {u"  \t+42", 42},
      {u"\r\n-5", -5},
      {u"12ab34", 12},
      {u"-0", 0},
      {u"2147483647", INT32_MAX},
      {u"2147483648", INT32_MAX},
      {u"-2147483648", INT32_MIN},
      {u"-2147483649", INT32_MIN},
      {u"99999999999", INT32_MAX},
      {u"-99999999999", INT32_MIN},
      {std::u16string(500, u'9'), INT32_MAX},
      {u"-" + std::u16string(500, u'9'), INT32_MIN},
      {std::u16string(500, u'0') + u"17", 17},
      // A handle with its top bit set travels as a negative decimal and keeps its pattern.
      {u"-60876", static_cast<int32_t>(0xFFFF1234u)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseHandleValue(c.text.c_str()), c.value)
        << std::string(c.text.begin(), c.text.end()).substr(0, 40);
}

}  // namespace
