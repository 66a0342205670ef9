// Verlift.exe's notification dialog: what it shows, each way out, what it opens through the
// shell, and which DLLs a check loads.
#include <algorithm>
#include <latch>
#include <thread>

#include "resource.h"
#include "standin_host.h"
#include "verlift_run.h"

namespace {

// 8-bit text as the checker widens the reply: the thread's ANSI code page.
std::wstring FromThreadCodePage(const std::string& text) {
  wchar_t wide[256] = {};
  MultiByteToWideChar(CP_THREAD_ACP, 0, text.c_str(), -1, wide, 256);
  return wide;
}

std::wstring ControlText(HWND dialog, int id) {
  wchar_t text[1024] = {};
  GetDlgItemTextW(dialog, id, text, 1024);
  return text;
}

std::wstring RecordFile() { return WorkDir() + L"opened.txt"; }

// What the stand-in browser was started with, one entry per start.
std::vector<std::string> Opened() { return RecordedStarts(Utf8(RecordFile())); }

// A string value of a registry key (nullptr: its default value).
bool SetString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  return RegSetKeyValueW(root, key.c_str(), name, REG_SZ, value.c_str(),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

enum class WayOut { ClickDownload, ClickHomepage, ClickLater, EnterKey, EscapeKey, CloseBox };
using enum WayOut;

void Leave(HWND dialog, WayOut way) {
  constexpr int Buttons[] = {IDC_DOWNLOAD, IDC_HOMEPAGE, IDC_LATER};  // the first ways out, in order
  if (way <= ClickLater) PostMessageW(GetDlgItem(dialog, Buttons[static_cast<int>(way)]), BM_CLICK, 0, 0);
  if (way == CloseBox) PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  if (way != EnterKey && way != EscapeKey) return;
  // Keys go where typed keys go: to the control with the focus.
  GUITHREADINFO info = {sizeof info};
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
  const HWND target = info.hwndFocus != nullptr ? info.hwndFocus : dialog;
  const WPARAM key = way == EnterKey ? VK_RETURN : VK_ESCAPE;
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

class VerliftDialog : public ::testing::Test {
 protected:
  // The stand-in browser becomes the handler of http and https addresses in this prefix
  // (Wine merges HKLM classes only); the previous handlers come back at the end.
  static void SetUpTestSuite() {
    SetEnvironmentVariableW(L"HB_RECORD_FILE", RecordFile().c_str());
    const std::wstring command = Quoted(ProgramFolder() + L"arg_recorder.exe") + L" \"%1\"";
    for (int i = 0; i < 2; ++i) {
      wchar_t old[1024] = {};
      DWORD bytes = sizeof old - sizeof(wchar_t);
      if (!RegGetValueW(HKEY_LOCAL_MACHINE, HandlerKeys[i], nullptr, RRF_RT_REG_SZ, nullptr, old, &bytes))
        savedHandlers[i] = old;
      ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, HandlerKeys[i], nullptr, command));
    }
  }
  static void TearDownTestSuite() {
    for (int i = 0; i < 2; ++i)
      if (!savedHandlers[i].empty()) SetString(HKEY_LOCAL_MACHINE, HandlerKeys[i], nullptr, savedHandlers[i]);
  }
  // The stand-in player's main window, on a thread of its own that keeps pumping messages (the
  // checker's dialog disables and re-enables it).
  void SetUp() override {
    ownerThread = std::jthread([this](std::stop_token stop) {
      owner = HostCreate(nullptr) ? HostWindowHandle() : nullptr;
      ownerReady.count_down();
      while (!stop.stop_requested()) HostPump(10);
      HostDestroy();
    });
    ownerReady.wait();
    ASSERT_NE(owner, nullptr);
  }
  void TearDown() override {
    ownerThread = {};  // stops the thread and waits for it
    ServerServe(ServeMode::Answer, 404, "");
  }

  // Serves a reply that makes the dialog show, with the given display version and download
  // address, and writes the INI file (homepage: the server).
  std::wstring Prepare(const std::string& name, const std::string& newVersion, const std::string& downloadUrl,
                       const std::string& homepagePath = "/product") {
    DeleteFileW(RecordFile().c_str());
    ServerServe(ServeMode::Answer, 200, ReplyFor(NewerVersion, newVersion, downloadUrl));
    return ProductIni(name, ServerAddress(homepagePath));
  }
  static std::wstring OwnedBy(HWND window) {
    return L" /FORCE /HANDLE:" + std::to_wstring(static_cast<long>(reinterpret_cast<intptr_t>(window)));
  }
  // Runs the checker owned by the stand-in player: its dialog shows, onDialog leaves it, and
  // the owner is given back.
  Outcome RunOwned(const std::wstring& ini, const std::function<void(HWND)>& onDialog,
                   bool throughShell = false) {
    const Outcome outcome =
        RunVerlift(Quoted(ini) + OwnedBy(owner), {.OnDialog = onDialog, .ThroughShell = throughShell});
    EXPECT_TRUE(outcome.DialogShown);
    EXPECT_TRUE(IsWindowEnabled(owner));
    return outcome;
  }

  static constexpr const wchar_t* HandlerKeys[2] = {L"Software\\Classes\\http\\shell\\open\\command",
                                                    L"Software\\Classes\\https\\shell\\open\\command"};
  static inline std::wstring savedHandlers[2];
  std::latch ownerReady{1};  // outlives ownerThread
  std::jthread ownerThread;
  HWND owner = nullptr;
};

TEST_F(VerliftDialog, ShowsNameHomepageAndVersionOwnedByTheDisabledOwner) {
  const struct {
    std::string Name;
    std::string NewVersion;
    WayOut Way;
    bool ThroughShell = false;
  } cases[] = {
      {"Tavo Hushbell", "2, 1, 0, 0", ClickLater},
      // An empty display version stays empty; % in the name is text.
      {"100% Product %d", "", ClickLater},
      // Over 19 characters: cut to 19, not dropped. 8-bit text comes in the thread's code page.
      {"Product", "2, 1, 0, 0 \351dition sp\351ciale", ClickLater},
      // Without a name the template texts stay, and the buttons still work.
      {"", "2, 1, 0, 0", ClickDownload},
      // As the plug-in starts the checker: through the shell, the INI path in quotes, then
      // "/HANDLE:" with the host window.
      {"Product", "2, 1", ClickLater, true},
  };
  ASSERT_NE(WorkDir().find(L' '), std::wstring::npos) << "the INI path holds a blank";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name + (c.ThroughShell ? " through the shell" : ""));
    RunOwned(
        Prepare(c.Name, c.NewVersion, Download),
        [&](HWND dialog) {
          EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
          EXPECT_FALSE(IsWindowEnabled(owner));
          const std::string homepage = c.Name.empty() ? "" : ServerAddress(),
                            message = TemplateText(IDC_MESSAGE);
          // The template holds no "%" but its two "%s" (VerliftResources checks it).
          char filled[512];
          snprintf(filled, sizeof filled, message.c_str(), c.Name.c_str(), homepage.c_str());
          EXPECT_EQ(ControlText(dialog, IDC_MESSAGE), Wide(c.Name.empty() ? message : filled));
          EXPECT_EQ(ControlText(dialog, IDC_HOMEPAGE), Wide(homepage));
          EXPECT_EQ(ControlText(dialog, IDC_NEW_VERSION),
                    c.Name.empty() ? Wide(TemplateText(IDC_NEW_VERSION))
                                   : FromThreadCodePage(c.NewVersion).substr(0, 19));
          // The rest is never changed, and only the new version's line shows.
          for (int id : {IDC_NEW_LABEL, IDC_CURRENT_LABEL, IDC_CURRENT_VERSION})
            EXPECT_EQ(ControlText(dialog, id), Wide(TemplateText(id))) << id;
          for (int id : {IDC_NEW_LABEL, IDC_NEW_VERSION, IDC_CURRENT_LABEL, IDC_CURRENT_VERSION})
            EXPECT_EQ(IsWindowVisible(GetDlgItem(dialog, id)), id == IDC_NEW_LABEL || id == IDC_NEW_VERSION)
                << id;
          // The window icons are not checked: Wine 8 answers WM_GETICON from another process
          // with 0 even for an icon set with WM_SETICON.
          Leave(dialog, c.Way);
        },
        c.ThroughShell);
    EXPECT_EQ(Opened(), c.Way == ClickDownload ? std::vector{Download} : std::vector<std::string>{});
  }
}

TEST_F(VerliftDialog, EachWayOutOpensOnlyWhatItShould) {
  // Opened as one argument, exactly as given, whatever a shell or a browser might make of it.
  const std::string web = "https://example.invalid/get?file=set%20up.exe&lang=en&x='a'(b)*;c=%31,$!#top";
  const struct {
    const char* Name;
    std::string DownloadUrl;
    WayOut Way;
    bool OpensDownload, OpensHomepage;
    std::string HomepagePath = "/product";
  } cases[] = {
      {"Download", web, ClickDownload, true, false},
      {"Enter presses Download", "HTTPS://Example.Invalid/Setup.exe", EnterKey, true, false},
      {"homepage button", web, ClickHomepage, false, true},
      {"Later", web, ClickLater, false, false},
      {"Esc", web, EscapeKey, false, false},
      {"close box", web, CloseBox, false, false},
      {"Download of a program path", "C:\\windows\\notepad.exe", ClickDownload, false, false},
      // Plain http only to this computer: on the way to another, anyone could swap the download.
      {"http to this computer", "http://localhost:8080/setup.exe", ClickDownload, true, false},
      // A reply never chooses the browser's arguments, nor anything but a whole web address (the
      // native tests of IsWebAddress hold the other addresses refused).
      {"address with a quote", "http://127.0.0.1/dl\" \"--injected-flag", ClickDownload, false, false},
      // The homepage from the INI file gets the same check.
      {"homepage with a blank", web, ClickHomepage, false, false, "/product page"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const Outcome outcome = RunOwned(Prepare("Product", "2, 1", c.DownloadUrl, c.HomepagePath),
                                     [&](HWND dialog) { Leave(dialog, c.Way); });
    std::vector<std::string> expected;
    if (c.OpensDownload) expected.push_back(c.DownloadUrl);
    if (c.OpensHomepage) expected.push_back(ServerAddress(c.HomepagePath));
    EXPECT_EQ(Opened(), expected);
    // Nothing else was started either (a program path would have run as it stands).
    EXPECT_EQ(outcome.Processes, 1 + expected.size());
  }
}

TEST_F(VerliftDialog, OnlyADueCheckLoadsWinInetAndTheCommonControlsAndNeverFromBesideTheProgram) {
  std::vector<std::wstring> loaded;
  // DLLs of that name (any, if empty) loaded in the whole run or only once the program's code runs.
  auto count = [&loaded](const std::wstring& name, bool runningOnly) {
    const auto running = std::find(loaded.cbegin(), loaded.cend(), L"");
    EXPECT_NE(running, loaded.cend()) << "no initial breakpoint";
    return std::count_if(
        runningOnly && running != loaded.cend() ? running + 1 : loaded.cbegin(), loaded.cend(),
        [&](const std::wstring& path) { return name.empty() || path.ends_with(L"\\" + name); });
  };
  // Weekly, checked a moment ago: the common start loads nothing once its own code runs.
  // (Wine's user32 imports version.dll itself; the checker's imports are checked on the shipped
  // file.)
  const std::wstring ini = UniquePath(L"weekly");
  const std::string weekly = "[Update]\r\nName=Product\r\nhomepage=" + ServerAddress() +
                             "\r\ninterval=7\r\n" + LastCheckSection(Now());
  WriteBytes(ini, weekly);
  EXPECT_FALSE(RunVerlift(Quoted(ini), {.Loaded = &loaded}).DialogShown);
  EXPECT_EQ(FileBytes(ini), weekly);
  EXPECT_EQ(count(L"", true), 0) << "the last: " << Utf8(loaded.empty() ? L"" : loaded.back());
  EXPECT_EQ(count(L"wininet.dll", false) + count(L"comctl32.dll", false), 0);

  // Due, with DLLs of those names beside the program, which Wine is told to prefer to its own
  // for this program, as Windows does: the system's are loaded, and the check works to the end.
  const std::wstring planted = WorkDir() + L"planted\\", exe = L"Planted Verlift.exe";
  const std::wstring settings = L"Software\\Wine\\AppDefaults\\" + exe;
  CreateDirectoryW(planted.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(VerliftExe().c_str(), (planted + exe).c_str(), FALSE));
  for (const wchar_t* name : {L"wininet", L"comctl32"}) {
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"arg_recorder.exe").c_str(), (planted + name + L".dll").c_str(),
                          FALSE));
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, settings + L"\\DllOverrides", name, L"native,builtin"));
  }
  loaded.clear();
  const auto download = [](HWND dialog) { Leave(dialog, ClickDownload); };
  EXPECT_TRUE(RunVerlift(Quoted(Prepare("Product", "2, 1", Download)) + OwnedBy(owner),
                         {.Exe = planted + exe, .OnDialog = download, .Loaded = &loaded})
                  .DialogShown);
  RegDeleteTreeW(HKEY_CURRENT_USER, settings.c_str());
  EXPECT_EQ(Opened(), std::vector{Download});
  for (const wchar_t* name : {L"wininet.dll", L"comctl32.dll"}) EXPECT_EQ(count(name, true), 1) << Utf8(name);
  for (const std::wstring& path : loaded)
    EXPECT_EQ(path.find(L"\\planted\\"), std::wstring::npos) << Utf8(path);
}

TEST_F(VerliftDialog, OwnerWindowThatIsGoneMeansNoDialog) {
  const HWND gone =
      CreateWindowExW(0, L"STATIC", L"gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(gone, nullptr);
  DestroyWindow(gone);
  ASSERT_FALSE(IsWindow(gone));
  EXPECT_FALSE(RunVerlift(Quoted(Prepare("Product", "2, 1", Download)) + OwnedBy(gone)).DialogShown);
  EXPECT_EQ(ServerRequests().size(), 1u) << "the query was made; only the dialog could not be";
  EXPECT_TRUE(Opened().empty());
}

}  // namespace
