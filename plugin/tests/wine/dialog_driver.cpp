// Drives the configuration dialog from the thread that opens it (see dialog_driver.h).
#include "dialog_driver.h"

#include <cstring>
#include <iterator>

#include "standin_host.h"

namespace {

struct ActiveRun {
  const DialogScript* Script;
  DialogSession Session;
  HHOOK Hook;
  UINT_PTR ScriptTimer;
  UINT_PTR Watchdog;
} Active;

void CALLBACK WatchdogElapsed(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  Active.Watchdog = 0;
  Active.Session.TimedOut = true;
  EndDialog(Active.Session.Dialog, -2);
}

void CALLBACK ScriptElapsed(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  Active.ScriptTimer = 0;
  HWND dialog = Active.Session.Dialog;
  Active.Session.Owner = GetWindow(dialog, GW_OWNER);
  Active.Session.Shown = true;
  int button = (*Active.Script)(dialog);
  Active.Watchdog = SetTimer(nullptr, 0, 5000, WatchdogElapsed);
  if (button != 0) SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && Active.Session.Dialog == nullptr) {
    HWND window = reinterpret_cast<HWND>(wParam);
    char className[32] = {};
    char title[64] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (strcmp(className, "#32770") == 0 && strcmp(title, ConfigCaption) == 0) {
      Active.Session.Dialog = window;
      Active.ScriptTimer = SetTimer(nullptr, 0, 1, ScriptElapsed);
    }
  }
  return CallNextHookEx(Active.Hook, code, wParam, lParam);
}

struct TooltipSearch {
  HWND Owner;
  std::vector<HWND> Found;
};

BOOL CALLBACK CollectTooltip(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<TooltipSearch*>(context);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (strcmp(className, "tooltips_class32") == 0 &&
      (search->Owner == nullptr || GetWindow(window, GW_OWNER) == search->Owner))
    search->Found.push_back(window);
  return TRUE;
}

}  // namespace

DialogSession RunConfigDialog(const std::function<int()>& open, const DialogScript& script) {
  Active = ActiveRun{};
  Active.Script = &script;
  Active.Hook = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
  int result = open();
  UnhookWindowsHookEx(Active.Hook);
  if (Active.ScriptTimer != 0) KillTimer(nullptr, Active.ScriptTimer);
  if (Active.Watchdog != 0) KillTimer(nullptr, Active.Watchdog);
  DialogSession session = Active.Session;
  session.Result = result;
  Active = ActiveRun{};
  return session;
}

DialogSession RunHostConfig(const DialogScript& script) {
  return RunConfigDialog(
      [] {
        HostConfigPlugin();
        return -7;
      },
      script);
}

DialogSession RunInstConfig(HWND window, const char* iniPath, const DialogScript& script) {
  using InstConfig = int(WINAPI*)(HWND window, const char* iniPath);
  auto instConfig =
      reinterpret_cast<InstConfig>(reinterpret_cast<void*>(GetProcAddress(HostPluginModule(), "instConfig")));
  if (instConfig == nullptr) return {};
  return RunConfigDialog([&] { return instConfig(window, iniPath); }, script);
}

std::string ControlText(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void SetControlText(HWND dialog, int id, const char* text) {
  SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
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

void Click(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

bool IsControlEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

void SendScroll(HWND dialog, int scrollBarId, WPARAM code) {
  HWND bar = scrollBarId != 0 ? GetDlgItem(dialog, scrollBarId) : nullptr;
  SendMessageA(dialog, WM_VSCROLL, code, reinterpret_cast<LPARAM>(bar));
}

void SendHelp(HWND dialog, int id) {
  HELPINFO help{sizeof help, HELPINFO_WINDOW, id, GetDlgItem(dialog, id), 0, {0, 0}};
  SendMessageA(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
}

std::vector<HWND> ThreadTooltips(HWND owner) {
  TooltipSearch search{owner, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectTooltip, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

Values ShownValues(HWND dialog) {
  auto number = [dialog](int id, UINT message) {
    return std::to_string(SendDlgItemMessageA(dialog, id, message, 0, 0));
  };
  return {number(LockAction, CB_GETCURSEL),    number(LockResume, BM_GETCHECK),
          ControlText(dialog, LockTimeout),    number(SaverAction, CB_GETCURSEL),
          number(SaverResume, BM_GETCHECK),    ControlText(dialog, SaverTimeout),
          number(StandbyAction, CB_GETCURSEL), number(UpdateCheck, BM_GETCHECK),
          number(SaverDisplayOff, BM_GETCHECK)};
}

Values StoredValues(const std::string& ini) {
  Values values;
  for (const char* key : SettingKeys) values.push_back(IniValue(ini, key));
  return values;
}

void WriteValues(const std::string& ini, const Values& values) {
  for (size_t i = 0; i < values.size() && i < std::size(SettingKeys); ++i)
    WriteIniValue(ini, SettingKeys[i], values[i].c_str());
}
