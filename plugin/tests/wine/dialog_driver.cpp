#include "dialog_driver.h"

#include <cstdio>
#include <cstring>

namespace {

struct ActiveRun {
  const std::function<int(HWND)>* Script;
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

}  // namespace

DialogSession RunConfigDialog(const std::function<void()>& open,
                              const std::function<int(HWND)>& script) {
  Active = ActiveRun{};
  Active.Script = &script;
  Active.Hook = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
  open();
  UnhookWindowsHookEx(Active.Hook);
  if (Active.ScriptTimer != 0) KillTimer(nullptr, Active.ScriptTimer);
  if (Active.Watchdog != 0) KillTimer(nullptr, Active.Watchdog);
  DialogSession session = Active.Session;
  Active = ActiveRun{};
  return session;
}

std::string ControlText(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void SetControlText(HWND dialog, int id, const char* text) {
  SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

int ComboSelection(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

std::vector<std::string> ComboItems(HWND dialog, int id) {
  std::vector<std::string> items;
  int count = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    int length = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETLBTEXTLEN, i, 0));
    if (length < 0) break;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(strlen(text.c_str()));
    items.push_back(text);
  }
  return items;
}

void ChooseItem(HWND dialog, int id, int index, WORD notification) {
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, index, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, notification),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool IsChecked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Click(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

bool IsControlEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

void SendScroll(HWND dialog, int scrollBarId, WPARAM code) {
  HWND bar = scrollBarId != 0 ? GetDlgItem(dialog, scrollBarId) : nullptr;
  SendMessageA(dialog, WM_VSCROLL, code, reinterpret_cast<LPARAM>(bar));
}
