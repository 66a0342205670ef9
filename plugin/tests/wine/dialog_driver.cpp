// Drives the configuration dialog from the thread that opens it (see dialog_driver.h).
#include "dialog_driver.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "standin_host.h"

namespace {
// The dialog under way, for its watchdog.
HWND Watched;
bool TimedOut;

void CALLBACK WatchdogElapsed(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  TimedOut = true;
  EndDialog(Watched, -2);
}

// Calls `open`, which must show the configuration dialog modally on this thread.
DialogSession RunConfigDialog(const std::function<int()>& open, const DialogScript& script) {
  DialogSession session;
  UINT_PTR watchdog = 0;  // set once the script has run
  TimedOut = false;
  // The first dialog this thread activates is the plug-in's: the tests' own stay hidden.
  session.Result = WithDialog(nullptr, open, [&](HWND dialog) {
    Watched = dialog;
    session.Owner = GetWindow(dialog, GW_OWNER);
    int button = script(dialog);
    watchdog = SetTimer(nullptr, 0, 5000, WatchdogElapsed);
    if (button != 0) SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
  });
  if (watchdog != 0) KillTimer(nullptr, watchdog);
  EXPECT_NE(watchdog, 0u) << "the dialog never opened";
  EXPECT_FALSE(TimedOut) << "the dialog outlived its script";
  return session;
}
}  // namespace

DialogSession Configure(const DialogScript& script) {
  return RunConfigDialog([] { return HostConfigPlugin(), -7; }, script);  // config returns nothing
}

DialogSession Install(HWND window, const char* iniPath, const DialogScript& script) {
  return RunConfigDialog([&] { return HostInstConfig(window, iniPath); }, script);
}

std::string ControlText(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

std::vector<std::string> ComboItems(HWND dialog, int id) {
  std::vector<std::string> items;
  int count = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[512] = "<unreadable>";  // CB_GETLBTEXT takes no size: measure first
    if (SendDlgItemMessageA(dialog, id, CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof text))
      SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

void ChooseItem(HWND dialog, int id, int index, WORD notification) {
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, index, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, notification),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SendScroll(HWND dialog, int scrollBarId, WPARAM code) {
  HWND bar = scrollBarId != 0 ? GetDlgItem(dialog, scrollBarId) : nullptr;
  SendMessageA(dialog, WM_VSCROLL, code, reinterpret_cast<LPARAM>(bar));
}

void SendHelp(HWND dialog, int id) {
  HELPINFO help{sizeof help, HELPINFO_WINDOW, id, GetDlgItem(dialog, id), 0, {0, 0}};
  SendMessageA(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
}

std::wstring PluginString(int id) {
  WCHAR text[1024] = {};
  LoadStringW(HostPluginModule(), id, text, std::size(text));
  return text;
}

Values ActionCaptions() {
  Values captions;
  for (int id : {IDS_ACTION_NOTHING, IDS_ACTION_PAUSE, IDS_ACTION_STOP})
    captions.push_back(Utf8(PluginString(id)));
  return captions;
}

Values ShownValues(HWND dialog) {
  Values shown;
  for (const SettingRow& row : SettingRows) {
    const UINT read = row.Kind == SettingKind::Choice ? CB_GETCURSEL : BM_GETCHECK;
    shown.push_back(row.Kind == SettingKind::Number
                        ? ControlText(dialog, row.Control)
                        : std::to_string(SendDlgItemMessageA(dialog, row.Control, read, 0, 0)));
  }
  return shown;
}

Values StoredValues(const std::string& ini) {
  Values values;
  for (const SettingRow& row : SettingRows) values.push_back(IniValue(ini, row.Key));
  return values;
}

Values Named(const char* text) {
  Values values;
  for (const SettingRow& row : SettingRows) values.push_back(std::to_string(row.Default));
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    const size_t equals = word.find('=');
    const SettingRow* row = FindSetting(word.substr(0, equals));
    if (row == nullptr || equals == std::string::npos)
      ADD_FAILURE() << "no setting in '" << word << "'";
    else
      values[row - SettingRows] = word.substr(equals + 1);
  }
  return values;
}
