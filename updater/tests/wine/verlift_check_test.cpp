// Verlift.exe's command line, INI file and schedule, and its version query.
#include "verlift.h"
#include "verlift_run.h"
#include "web_address.h"

namespace {

TEST(VerliftSchedule, TheTimeIsRecordedOnlyWhenACheckIsForcedOrDue) {
  const uint64_t now = Now();
  auto every = [](int days) { return "[Update]\r\ninterval=" + std::to_string(days) + "\r\n"; };
  const std::string idle = every(0), daily = every(1), weekly = every(7);
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
      {"interval 0 without /FORCE", idle + "homepage=http://127.0.0.1:1\r\n", L"", false},
      {"interval absent", "[Update]\r\nhomepage=http://127.0.0.1:1\r\n", L"/HANDLE:0", false},
      {"7 days, checked 6 days 23 hours ago",
       weekly + LastCheckSection(now - 7 * TicksPerDay + 3600 * TicksPerSecond), L"", false},
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
      EXPECT_EQ(FileBytes(ini), c.Ini) << "the file is unchanged, byte for byte";
  }
}

TEST(VerliftSchedule, TheIniFileIsTheLaterExistingPathElseTheOneBesideTheProgram) {
  const std::string daily = "[Update]\r\ninterval=1\r\n";
  const std::wstring first = UniquePath(L"first"), second = UniquePath(L"second");
  WriteBytes(first, daily);
  WriteBytes(second, daily);
  uint64_t before = Now();
  RunVerlift(Quoted(first) + L" " + Quoted(second));
  EXPECT_EQ(FileBytes(first), daily);
  ExpectLastCheckBetween(second, before, Now());

  // Beside the program: its path with the last three characters replaced.
  const std::wstring missing = WorkDir() + L"missing.ini", copy = WorkDir() + L"Product Check.exe";
  ASSERT_TRUE(CopyFileW(VerliftExe().c_str(), copy.c_str(), FALSE));
  WriteBytes(WorkDir() + L"Product Check.ini", daily);
  before = Now();
  RunVerlift(Quoted(missing), {.Exe = copy});
  ExpectLastCheckBetween(WorkDir() + L"Product Check.ini", before, Now());

  // No INI file at all: nothing is written anywhere.
  ASSERT_EQ(FileBytes(ProgramFolder() + L"Verlift.ini"), "<missing>");
  EXPECT_LT(RunVerlift(Quoted(missing) + L" /FORCE /HANDLE:123").Milliseconds, 5000u);
  EXPECT_EQ(FileBytes(missing), "<missing>");
  EXPECT_EQ(FileBytes(ProgramFolder() + L"Verlift.ini"), "<missing>");
}

TEST(VerliftQuery, AsksForVersionPhpBehindTheHomepageWithItsUserAgent) {
  // The longest homepage whose query address, with its terminator, fits the checker's buffer is
  // asked; one character longer is not asked at all (rather than at a cut address).
  const std::string longest =
      "/" + std::string(QueryAddressCapacity - sizeof "/version.php" - ServerAddress("/").size(), 'p');
  const struct {
    std::string HomepagePath;
    std::string RequestLine;  // empty: no request
  } cases[] = {
      {"/product", "GET /product/version.php HTTP/1.1"},
      {"/product/", "GET /product//version.php HTTP/1.1"},
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
      EXPECT_NE(request.find("\r\nUser-Agent: " + Utf8(UserAgent) + "\r\n"), std::string::npos) << request;
    }
  }
}

TEST(VerliftQuery, ReplyUpToTheFirstMebibyteDecidesWhetherTheDialogShows) {
  constexpr size_t Cap = ReplyCapBytes;
  const std::string head = Reply({ReplyMagic, "9.9", Download}), pair = Reply({"verlift", NewerVersion});
  // A key too long for any "Files" entry is skipped with its version; it pads the reply.
  auto padding = [](size_t length) { return std::string(length - 1, 'k') + '\0' + Reply({"1"}); };
  // The newer pair ends on the last byte within the cap; half a mebibyte follows.
  std::string inside = head + padding(Cap - head.size() - pair.size() - 2) + pair;
  ASSERT_EQ(inside.size(), Cap);
  inside += std::string(Cap / 2, 'x');
  // The padding key runs across the cap, and the newer pair lies behind it.
  std::string across = head + padding(Cap - head.size() + 100) + pair;
  across += std::string(Cap + Cap / 2 - across.size(), 'x');
  // Entries of a key that "Files" does not list, each one a profile lookup, up to the cap.
  std::string absent;
  while (head.size() + absent.size() + 4 + pair.size() <= Cap) absent += Reply({"k", "1"});

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
      {"error page", "<html><body>Not Found</body></html>", false, 404},
      {"a valid-looking body under another status", head + pair, false, 404},
      {"a valid-looking body under a redirect without a target", head + pair, false, 302},
      {"unlisted key", head + Reply({"other", NewerVersion, ""}), false},
      {"key in another case", head + Reply({"VERLIFT", NewerVersion, ""}), true},
      {"equal first, then a missing file", head + Reply({"verlift", InstalledVersion, "gone", "1, 0", ""}),
       true, 200, "gone=" + Utf8(WorkDir()) + "gone.dll\r\n"},
      {"listed with an empty path", head + Reply({"blank", "1, 0", ""}), false, 200, "blank=\r\n"},
      {"pair ends at the cap", inside, true},
      {"pair lies past the cap", across, false},
      // The walk examines ReplyEntryLimit entries and ignores the rest, so that a mebibyte of
      // absent ones costs no more lookups than that.
      {"newer pair behind a mebibyte of absent entries", head + absent + pair, false},
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
  const std::wstring quick = ProgramFolder() + L"VerliftQuick.exe";
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

}  // namespace
