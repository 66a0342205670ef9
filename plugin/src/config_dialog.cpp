// Configuration dialog: a modal dialog over the nine settings. Only OK writes the controls
// back, saves them and starts or stops the poll timer.
#include "plugin.h"

#include <commctrl.h>

#include <cstddef>

#include "config_dialog.h"
#include "resource.h"
#include "timeout_text.h"

namespace {

// Captions of the three action choices, 48 characters each (UI thread only).
constexpr int LabelCapacity = 49;
char ActionLabels[3][LabelCapacity];
// The open dialog's tooltip control, or null (UI thread only).
HWND Tooltip;

// The edits are read into this many bytes (at most 31 characters).
constexpr int EditTextCapacity = 32;

// Controls that follow their group's action choice: on unless the choice is "Do nothing".
struct EnableGroup {
  int Combo;
  int Controls[4];
};
constexpr EnableGroup EnableGroups[] = {
    {IDC_LOCK_ACTION, {IDC_LOCK_RESUME, IDC_LOCK_TIMEOUT, IDC_LOCK_ARROWS, IDC_LOCK_MINUTES}},
    {IDC_SAVER_ACTION, {IDC_SAVER_RESUME, IDC_SAVER_TIMEOUT, IDC_SAVER_ARROWS, IDC_SAVER_MINUTES}},
};
static_assert(EnableGroups[1].Combo == IDC_SAVER_ACTION, "the display-off box follows the last group");

// The tool record without its trailing reserved pointer, a size every version of the common
// controls accepts (44 bytes on 32-bit Windows).
constexpr UINT ToolInfoSize = offsetof(TTTOOLINFOA, lParam) + sizeof(LPARAM);
static_assert(sizeof(void*) != 4 || ToolInfoSize == 44, "the tool record up to lParam");
constexpr UINT ToolFlags = TTF_SUBCLASS | TTF_ABSOLUTE | TTF_TRANSPARENT;
static_assert(ToolFlags == 0x190, "tools are subclassed, absolute and transparent");

constexpr int TipWidthPixels = 225;
constexpr WORD TipInitialDelayMs = 2000;
constexpr WORD TipVisibleMs = 10000;

void LoadActionLabels() {
  for (int i = 0; i < 3; ++i) {
    char* label = ActionLabels[i];
    // LoadStringA cuts an overlong text to the capacity and terminates it; an absent string
    // leaves an empty one.
    label[0] = '\0';
    LoadStringA(Record.ModuleInstance, IDS_ACTION_NOTHING + i, label, LabelCapacity);
  }
}

void FillActionCombo(HWND dialog, int comboId, uint8_t action) {
  for (const char* label : ActionLabels)
    SendDlgItemMessageA(dialog, comboId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label));
  // A value without an item (3 or more) leaves the combo box without a selection.
  SendDlgItemMessageA(dialog, comboId, CB_SETCURSEL, action, 0);
}

void SetDecimal(HWND dialog, int editId, int32_t value) {
  char text[32];
  FormatDecimal(value, text);
  SetDlgItemTextA(dialog, editId, text);
}

int32_t ReadDecimal(HWND dialog, int editId) {
  char text[EditTextCapacity];
  text[0] = '\0';
  // Cut to 31 characters and terminated.
  GetDlgItemTextA(dialog, editId, text, EditTextCapacity);
  return ParseDecimal(text);
}

uint8_t ReadAction(HWND dialog, int comboId) {
  // No selection (CB_ERR) keeps its low 8 bits: 255.
  return static_cast<uint8_t>(SendDlgItemMessageA(dialog, comboId, CB_GETCURSEL, 0, 0));
}

int32_t ReadCheck(HWND dialog, int buttonId) {
  return static_cast<int32_t>(SendDlgItemMessageA(dialog, buttonId, BM_GETCHECK, 0, 0));
}

void FillConfigDialog(HWND dialog) {
  LoadActionLabels();
  FillActionCombo(dialog, IDC_LOCK_ACTION, Get(State.LockAction));
  SendDlgItemMessageA(dialog, IDC_LOCK_RESUME, BM_SETCHECK, Get(State.LockAutoResume), 0);
  SetDecimal(dialog, IDC_LOCK_TIMEOUT, Get(State.LockTimeout));
  SetScrollRange(GetDlgItem(dialog, IDC_LOCK_ARROWS), SB_CTL, TimeoutMin, TimeoutMax, FALSE);
  FillActionCombo(dialog, IDC_SAVER_ACTION, Get(State.ScreenSaverAction));
  SendDlgItemMessageA(dialog, IDC_SAVER_RESUME, BM_SETCHECK, Get(State.ScreenSaverAutoResume), 0);
  SetDecimal(dialog, IDC_SAVER_TIMEOUT, Get(State.ScreenSaverTimeout));
  // The arrows act only through WM_VSCROLL; both bars get the same range all the same.
  SetScrollRange(GetDlgItem(dialog, IDC_SAVER_ARROWS), SB_CTL, TimeoutMin, TimeoutMax, FALSE);
  FillActionCombo(dialog, IDC_STANDBY_ACTION, Get(State.StandbyAction));
  SendDlgItemMessageA(dialog, IDC_UPDATE_CHECK, BM_SETCHECK, Get(State.UpdateCheck), 0);
  SendDlgItemMessageA(dialog, IDC_SAVER_DISPLAY_OFF, BM_SETCHECK, Get(State.ScreenSaverDisplayOff), 0);
}

void ApplyEnableRules(HWND dialog) {
  BOOL on = FALSE;
  for (const EnableGroup& group : EnableGroups) {
    // No selection counts as on: an unknown action still has its options available.
    on = SendDlgItemMessageA(dialog, group.Combo, CB_GETCURSEL, 0, 0) != 0;
    for (int control : group.Controls) EnableWindow(GetDlgItem(dialog, control), on);
  }
  // Where Windows does not report the display, the choice could do nothing.
  EnableWindow(GetDlgItem(dialog, IDC_SAVER_DISPLAY_OFF), on && DisplayNotificationAvailable());
}

void AddControlTip(HWND dialog, int controlId, int stringId) {
  HWND control = GetDlgItem(dialog, controlId);
  TTTOOLINFOA tool{};
  tool.cbSize = ToolInfoSize;
  tool.uFlags = ToolFlags;
  tool.hwnd = control;
  tool.uId = 0;
  GetClientRect(control, &tool.rect);
  tool.hinst = Record.ModuleInstance;
  if (controlId == IDC_SAVER_DISPLAY_OFF && !DisplayNotificationAvailable()) {
    // The box stays disabled, and a disabled control gets no mouse messages: its dialog does,
    // so the tip that says why watches the box's area of the dialog.
    tool.hwnd = dialog;
    MapWindowPoints(control, dialog, reinterpret_cast<POINT*>(&tool.rect), 2);
    stringId = IDS_TIP_DISPLAY_OFF_UNAVAILABLE;
  }
  // The tooltip control loads the text from the module's string table.
  tool.lpszText = MAKEINTRESOURCEA(stringId);
  SendMessageA(Tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CreateConfigTooltips(HWND dialog) {
  // Fails where the common controls are not registered; the dialog then works without tips.
  HWND tooltip =
      CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, 0,
                      0, 0, 0, dialog, nullptr, Record.ModuleInstance, nullptr);
  Tooltip = tooltip;
  if (tooltip == nullptr) return;
  for (const ControlTip& tip : ControlTips) AddControlTip(dialog, tip.Control, tip.String);
  SendMessageA(tooltip, TTM_SETTITLEA, TTI_INFO, reinterpret_cast<LPARAM>(Record.description));
  SendMessageA(tooltip, TTM_SETMAXTIPWIDTH, 0, TipWidthPixels);
  SendMessageA(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELONG(TipInitialDelayMs, 0));
  SendMessageA(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELONG(TipVisibleMs, 0));
}

void ReadConfigDialog(HWND dialog) {
  // One store per field: a tick running meanwhile sees each value whole.
  Put(State.LockAction, ReadAction(dialog, IDC_LOCK_ACTION));
  Put(State.LockAutoResume, ReadCheck(dialog, IDC_LOCK_RESUME));
  Put(State.LockTimeout, ReadDecimal(dialog, IDC_LOCK_TIMEOUT));
  Put(State.ScreenSaverAction, ReadAction(dialog, IDC_SAVER_ACTION));
  Put(State.ScreenSaverAutoResume, ReadCheck(dialog, IDC_SAVER_RESUME));
  Put(State.ScreenSaverTimeout, ReadDecimal(dialog, IDC_SAVER_TIMEOUT));
  Put(State.StandbyAction, ReadAction(dialog, IDC_STANDBY_ACTION));
  Put(State.UpdateCheck, ReadCheck(dialog, IDC_UPDATE_CHECK));
  Put(State.ScreenSaverDisplayOff, ReadCheck(dialog, IDC_SAVER_DISPLAY_OFF));
}

void StepTimeoutEdit(HWND dialog, int editId, WPARAM scrollCode) {
  // The whole wParam counts: a position in its high word is not a line step.
  if (scrollCode != SB_LINEUP && scrollCode != SB_LINEDOWN) return;
  char text[EditTextCapacity];
  text[0] = '\0';
  GetDlgItemTextA(dialog, editId, text, EditTextCapacity);
  char stepped[32];
  if (StepTimeoutText(text, static_cast<uint32_t>(scrollCode), stepped))
    SetDlgItemTextA(dialog, editId, stepped);
}

void ConfirmConfigDialog(HWND dialog) {
  ReadConfigDialog(dialog);
  SaveSettings();
  UpdatePolling();
  EndDialog(dialog, 1);
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  // FALSE throughout: no initial focus is set, and WM_HELP goes on to the owner.
  switch (message) {
    case WM_INITDIALOG:
      FillConfigDialog(dialog);
      ApplyEnableRules(dialog);
      CreateConfigTooltips(dialog);
      break;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: ConfirmConfigDialog(dialog); break;
        case IDCANCEL: EndDialog(dialog, 0); break;
        case IDC_LOCK_ACTION:
        case IDC_SAVER_ACTION:
        case IDC_STANDBY_ACTION: ApplyEnableRules(dialog); break;
        default: break;
      }
      break;
    case WM_VSCROLL:
      switch (GetDlgCtrlID(reinterpret_cast<HWND>(lParam))) {
        case IDC_LOCK_ARROWS: StepTimeoutEdit(dialog, IDC_LOCK_TIMEOUT, wParam); break;
        case IDC_SAVER_ARROWS: StepTimeoutEdit(dialog, IDC_SAVER_TIMEOUT, wParam); break;
        default: break;
      }
      break;
    case WM_HELP:
      if (Tooltip != nullptr) SendMessageA(Tooltip, TTM_UPDATE, 0, 0);
      break;
    case WM_DESTROY:
      if (Tooltip != nullptr) DestroyWindow(Tooltip);
      Tooltip = nullptr;
      break;
    default: break;
  }
  return FALSE;
}

// The host's preferences window, when it is open: the dialog is then modal to it.
HWND FindDialogOwner() {
  HWND host = Record.HostWindow;
  // Without a host window every unowned dialog would match; none of them is the host's.
  if (host == nullptr) return nullptr;
  HWND candidate = nullptr;
  while ((candidate = FindWindowExA(nullptr, candidate, "#32770", nullptr)) != nullptr) {
    if (GetParent(candidate) == host &&
        FindWindowExA(candidate, nullptr, "SysTreeView32", "Tree1") != nullptr)
      return candidate;
  }
  return host;
}

}  // namespace

int ShowConfigDialog() {
  HWND owner = FindDialogOwner();
  return static_cast<int>(
      DialogBoxParamA(Record.ModuleInstance, MAKEINTRESOURCEA(IDD_CONFIG), owner, ConfigDialogProc, 0));
}
