// Verlift.exe on the system people run: an INI file it may not write (Program Files), folder
// names outside the ANSI code page, a bare INI name, plain http on the way to another computer,
// and the shell called with COM initialised.
#include <objbase.h>

#include <thread>

#include "import_patch.h"
#include "open_address.h"
#include "redirect.h"
#include "verlift_run.h"
#include "verlift.h"

namespace {

std::string Homepage(const std::string& host) {
  return "http://" + host + ":" + std::to_string(ServerPort()) + "/product";
}

TEST(VerliftOnTheRealSystem, AnIniFileItCannotWriteKeepsTheScheduleInTheUsersRegistry) {
  const TempFolder folder(L"Program Files \u65E5\u672C \u0141\u00F3d\u017A");
  const std::wstring ini = folder.Path + L"product.ini";
  const std::string text = "[Update]\r\nhomepage=" + Homepage("127.0.0.1") + "\r\ninterval=7\r\n";
  WriteBytes(ini, text);
  // Open for reading only, and shared for reading only: the checker reads the file but cannot
  // write it, as a user cannot write under Program Files.
  const HANDLE held =
      CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const uint64_t before = Now();
  for (const size_t requests : {1u, 0u}) {
    ServerServe(ServeMode::Answer, 404, "");
    RunVerlift(Quoted(ini), {.Folder = folder.Path});
    EXPECT_EQ(ServerRequests().size(), requests) << (requests ? "never checked" : "checked a moment ago");
  }
  CloseHandle(held);
  uint64_t stored = 0;
  DWORD size = sizeof stored;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, LastCheckKey, ini.c_str(), RRF_RT_QWORD, nullptr, &stored, &size),
            ERROR_SUCCESS);
  EXPECT_GE(stored, before);
  EXPECT_LE(stored, Now());
  EXPECT_EQ(FileBytes(ini), text);
  RegDeleteKeyValueW(HKEY_CURRENT_USER, LastCheckKey, ini.c_str());
}

TEST(VerliftOnTheRealSystem, ABareIniNameIsTheFileInTheCurrentFolder) {
  const TempFolder folder(L"\u0141\u00F3d\u017A");
  const std::wstring name = L"bare " + std::to_wstring(GetCurrentProcessId()) + L".ini";
  WriteBytes(folder.Path + name, "[Update]\r\ninterval=1\r\n");
  const uint64_t before = Now();
  RunVerlift(Quoted(name), {.Folder = folder.Path});
  ExpectLastCheckBetween(folder.Path + name, before, Now());
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(GetFileAttributesW((windows + (L"\\" + name)).c_str()), INVALID_FILE_ATTRIBUTES);
}

// Through a proxy, which is this test's server, the server sees whatever the checker asks for,
// even of a host that does not exist, and whatever the checker did not ask for cannot be there.
TEST(VerliftOnTheRealSystem, PlainHttpIsAskedOnlyOfThisComputer) {
  const TempFolder folder(L"\u65E5\u672C");
  const std::wstring proxy = L"http://127.0.0.1:" + std::to_wstring(ServerPort());
  SetEnvironmentVariableW(L"http_proxy", proxy.c_str());
  const struct {
    std::string Homepage;
    size_t Requests;
  } cases[] = {
      {Homepage("hushbell.invalid"), 0},
      {Homepage("localhost"), 1},
      {"https://hushbell.invalid/product", 1},  // asked of the proxy as CONNECT
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Homepage);
    const std::wstring ini = folder.Path + L"product.ini";
    WriteBytes(ini, "[Update]\r\nhomepage=" + c.Homepage + "\r\ninterval=0\r\n");
    ServerServe(ServeMode::Answer, 404, "");
    RunVerlift(Quoted(ini) + L" /FORCE", {.Folder = folder.Path});
    EXPECT_EQ(ServerRequests().size(), c.Requests);
    EXPECT_NE(GetPrivateProfileIntW(L"LastCheck", L"hi", 0, ini.c_str()), 0u) << "the check counts as made";
  }
  SetEnvironmentVariableW(L"http_proxy", nullptr);
}

// The request target of each request the server saw: an absolute address through a proxy,
// "host:port" for a CONNECT.
std::vector<std::string> Targets() {
  std::vector<std::string> targets;
  for (const std::string& request : ServerRequests()) {
    const size_t from = request.find(' ') + 1;
    targets.push_back(request.substr(from, request.find(' ', from) - from));
  }
  return targets;
}

// The checker follows redirects itself and asks only what the address rule allows. Through the
// proxy every request reaches the server, so a target the checker must not ask would show.
TEST(VerliftOnTheRealSystem, RedirectsAreFollowedOnlyWhereTheRuleAllowsAndAtMostFive) {
  const std::string port = std::to_string(ServerPort()), site = Homepage("127.0.0.1"),
                    query = site + "/version.php", here = "http://127.0.0.1:" + port,
                    local = "http://localhost:" + port;
  const std::vector<Redirect> loop(MaxRedirects + 1, {302, "/loop"});
  const struct {
    const char* Name;
    std::vector<Redirect> Redirects;
    std::vector<std::string> Asked;  // after the query address
    bool Shown;
  } cases[] = {
      {"relative", {{302, "next/version.php"}}, {site + "/next/version.php"}, true},
      {"absolute path", {{301, "/other/v.php"}}, {here + "/other/v.php"}, true},
      {"loopback http elsewhere", {{307, local + "/x"}}, {local + "/x"}, true},
      {"scheme-relative", {{308, "//localhost:" + port + "/y"}}, {local + "/y"}, true},
      {"twice", {{303, "/a"}, {302, "b"}}, {here + "/a", here + "/b"}, true},
      {"plain http elsewhere", {{302, "http://hushbell.invalid/v.php"}}, {}, false},
      {"plain http elsewhere, scheme-relative", {{302, "//hushbell.invalid/v.php"}}, {}, false},
      {"five, then the reply", std::vector<Redirect>(MaxRedirects, {302, "/loop"}),
       std::vector<std::string>(MaxRedirects, here + "/loop"), true},
      {"a loop", loop, std::vector<std::string>(MaxRedirects, here + "/loop"), false},
      {"over-long Location", {{302, "/" + std::string(QueryAddressCapacity, 'p')}}, {}, false},
      {"no Location", {{302, ""}}, {}, false},
  };
  // Followed to https elsewhere: without a proxy (Wine 8's WinINet fails an assertion asking
  // https through a proxy after another request), the server sees TLS handshakes begin (WinINet
  // may try more than one) and no further plain request.
  ServerServe(ServeMode::Answer, 200, ReplyFor(NewerVersion));
  ServerRedirectFirst({{302, "https://127.0.0.1:" + port + "/v.php"}});
  EXPECT_FALSE(ForcedCheck(site).DialogShown);
  const std::vector<std::string> handshakes = ServerRequests();
  ASSERT_GE(handshakes.size(), 2u);
  for (size_t i = 1; i < handshakes.size(); ++i) EXPECT_NE(handshakes[i].substr(0, 4), "GET ");
  SetEnvironmentVariableW(L"http_proxy", Wide(here).c_str());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ServerServe(ServeMode::Answer, 200, ReplyFor(NewerVersion));
    ServerRedirectFirst(c.Redirects);
    EXPECT_EQ(ForcedCheck(site).DialogShown, c.Shown);
    std::vector<std::string> asked = {query};
    asked.insert(asked.end(), c.Asked.begin(), c.Asked.end());
    EXPECT_EQ(Targets(), asked);
  }
  SetEnvironmentVariableW(L"http_proxy", nullptr);
}

// What the thread's COM apartment was each time the shell was asked to open an address.
std::vector<int> Apartments;

int Apartment() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  if (CoGetApartmentType(&type, &qualifier) != S_OK) return -1;
  return type == APTTYPE_MAINSTA ? APTTYPE_STA : type;  // the process's first single-threaded one
}

HINSTANCE WINAPI RecordApartment(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT) {
  Apartments.push_back(Apartment());
  return reinterpret_cast<HINSTANCE>(42);
}

TEST(VerliftOnTheRealSystem, TheShellOpensAddressesInASingleThreadedApartment) {
  void* shellExecute = nullptr;
  ASSERT_TRUE(HostPatchImport(GetModuleHandleW(nullptr), "shell32.dll", "ShellExecuteW",
                              reinterpret_cast<void*>(RecordApartment), &shellExecute));
  constexpr DWORD Uninitialised = ~DWORD{0};
  const struct {
    const char* Name;
    DWORD Initialised;  // how the thread initialised COM itself
    std::u16string Address;
    int During;
  } cases[] = {
      {"not initialised", Uninitialised, u"https://example.invalid/setup.exe", APTTYPE_STA},
      {"already single-threaded", COINIT_APARTMENTTHREADED, u"https://example.invalid/", APTTYPE_STA},
      // COM refuses the single-threaded apartment; the thread's own must stay as it was.
      {"already multithreaded", COINIT_MULTITHREADED, u"https://example.invalid/", APTTYPE_MTA},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Apartments.clear();
    int before = 0, after = 0;
    std::thread([&] {
      if (c.Initialised != Uninitialised) CoInitializeEx(nullptr, c.Initialised);
      before = Apartment();
      OpenWebAddress(c.Address.c_str(), c.Address.size() + 1);
      after = Apartment();
      if (c.Initialised != Uninitialised) CoUninitialize();
    }).join();
    EXPECT_EQ(Apartments, std::vector<int>{c.During});
    EXPECT_EQ(after, before);
  }
  HostPatchImport(GetModuleHandleW(nullptr), "shell32.dll", "ShellExecuteW", shellExecute, &shellExecute);
}

}  // namespace
