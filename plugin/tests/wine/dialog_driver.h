// Drives the plug-in's modal configuration dialog from the thread that opens it: a CBT hook
// catches the dialog's activation, then a thread timer, dispatched by the dialog's own modal
// loop, runs a script against the live dialog and presses the button the script names.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "resource.h"
#include "settings.h"  // the keys in the order they are stored
#include "test_files.h"

struct DialogSession {
  HWND Owner = nullptr;  // GetWindow(dialog, GW_OWNER) while it was open
  int Result = -7;       // what `open` returned (the host's config returns nothing: -7)
};

// A script runs inside the dialog's modal loop and returns IDOK or IDCANCEL to press that
// button, or 0 when it has arranged the closing itself (a posted key, a system command).
using DialogScript = std::function<int(HWND dialog)>;

// Each fails the current test unless the dialog opened and closed by the script's button (a
// dialog still open 5 s later is ended by force).
// Through the loaded plug-in's record, as the host opens it.
DialogSession Configure(const DialogScript& script);
// Through its instConfig export, as an installer opens it.
DialogSession Install(HWND window, const char* iniPath, const DialogScript& script);

// Live-control helpers.
std::string ControlText(HWND dialog, int id);
inline void SetControlText(HWND dialog, int id, const char* text) {
  SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}
std::vector<std::string> ComboItems(HWND dialog, int id);
// Selects an item and tells the dialog, as a user's choice in the list does.
void ChooseItem(HWND dialog, int id, int index, WORD notification = CBN_SELCHANGE);
inline void Click(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }
inline bool IsControlEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }
// One WM_VSCROLL from a scroll bar of the dialog (id 0: from no control at all).
void SendScroll(HWND dialog, int scrollBarId, WPARAM code);
// F1 or the caption's help button over a control.
void SendHelp(HWND dialog, int id);

using Values = std::vector<std::string>;
// Every setting's value in table order from "Key=value" words ("LockAction=2 Verlift=1"); a
// setting not named has its default.
Values Named(const char* text);
// A string of the loaded plug-in, and its action captions in item order.
std::wstring PluginString(int id);
Values ActionCaptions();
// The controls in table order: each choice as its item index (-1: none), each check box as its
// check state, each edit as its text.
Values ShownValues(HWND dialog);
// Every setting's key in an INI file, in table order ("<absent>" when missing).
Values StoredValues(const std::string& ini);
