// Configuration dialog: a modal dialog over the settings, one control (and perhaps arrows) per
// row of the settings table. Only OK writes the controls back, saves them and starts or stops
// the poll timer.
#include "plugin.h"

#include <commctrl.h>

#include <cstddef>

#include "resource.h"
#include "settings.h"
#include "timeout_text.h"

namespace {

// Captions of the three action choices, 48 characters each (UI thread only).
constexpr int LabelCapacity = 49;
char ActionLabels[3][LabelCapacity];
// The open dialog's tooltip control, or null (UI thread only).
HWND Tooltip;

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

// A control whose setting needs what this Windows lacks could do nothing.
bool CanServe(const SettingRow& row) {
  switch (row.Needs) {
    case SettingNeed::DisplayReports: return DisplayNotificationAvailable();
    case SettingNeed::AudioEndpoints: return OutputWatchAvailable();
    case SettingNeed::Nothing: break;
  }
  return true;
}

void FillSetting(HWND dialog, const SettingRow& row) {
  const int32_t value = SettingValue(State, row);
  switch (row.Kind) {
    case SettingKind::Choice:
      for (const char* label : ActionLabels)
        SendDlgItemMessageA(dialog, row.Control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label));
      // A value without an item (3 or more) leaves the combo box without a selection.
      SendDlgItemMessageA(dialog, row.Control, CB_SETCURSEL, value, 0);
      break;
    case SettingKind::Check: SendDlgItemMessageA(dialog, row.Control, BM_SETCHECK, value, 0); break;
    case SettingKind::Number: {
      EditText text;
      FormatDecimal(value, text);
      SetDlgItemTextA(dialog, row.Control, text);
      // The arrows act only through WM_VSCROLL; the bar gets the range all the same.
      if (row.Arrows != 0) SetScrollRange(GetDlgItem(dialog, row.Arrows), SB_CTL, row.Min, row.Max, FALSE);
      break;
    }
  }
}

int32_t ReadSetting(HWND dialog, const SettingRow& row) {
  switch (row.Kind) {
    case SettingKind::Choice:
      // No selection (CB_ERR) is stored as its low 8 bits: 255.
      return static_cast<int32_t>(SendDlgItemMessageA(dialog, row.Control, CB_GETCURSEL, 0, 0));
    case SettingKind::Check:
      return static_cast<int32_t>(SendDlgItemMessageA(dialog, row.Control, BM_GETCHECK, 0, 0));
    case SettingKind::Number: break;
  }
  EditText text;
  text[0] = '\0';
  // Cut to the capacity and terminated.
  GetDlgItemTextA(dialog, row.Control, text, EditTextCapacity);
  return ParseDecimal(text);
}

void FillConfigDialog(HWND dialog) {
  LoadActionLabels();
  for (const SettingRow& row : SettingRows) FillSetting(dialog, row);
}

void ApplyEnableRules(HWND dialog) {
  for (const SettingRow& row : SettingRows) {
    if (row.EnabledBy == 0 && CanServe(row)) continue;
    // No selection counts as on: an unknown action still has its options available.
    const BOOL on =
        (row.EnabledBy == 0 || SendDlgItemMessageA(dialog, row.EnabledBy, CB_GETCURSEL, 0, 0) != 0) &&
        CanServe(row);
    for (int id : {row.Control, row.Arrows, row.Unit})
      if (id != 0) EnableWindow(GetDlgItem(dialog, id), on);
  }
}

// `staysDisabled`: a disabled control gets no mouse messages, its dialog does, so the tip
// watches the control's area of the dialog.
void AddControlTip(HWND dialog, int controlId, int stringId, bool staysDisabled = false) {
  HWND control = GetDlgItem(dialog, controlId);
  TTTOOLINFOA tool{};
  tool.cbSize = ToolInfoSize;
  tool.uFlags = ToolFlags;
  tool.hwnd = control;
  tool.uId = 0;
  GetClientRect(control, &tool.rect);
  tool.hinst = Record.ModuleInstance;
  if (staysDisabled) {
    tool.hwnd = dialog;
    MapWindowPoints(control, dialog, reinterpret_cast<POINT*>(&tool.rect), 2);
  }
  // The tooltip control loads the text from the module's string table.
  tool.lpszText = MAKEINTRESOURCEA(stringId);
  SendMessageA(Tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

// The control's tip, and its arrows' the same; where it cannot serve, the tip that says why.
void AddSettingTips(HWND dialog, const SettingRow& row) {
  if (!CanServe(row)) return AddControlTip(dialog, row.Control, row.TipWhereMissing, true);
  AddControlTip(dialog, row.Control, row.Tip);
  if (row.Arrows != 0) AddControlTip(dialog, row.Arrows, row.Tip);
}

void CreateConfigTooltips(HWND dialog) {
  // Fails where the common controls are not registered; the dialog then works without tips.
  HWND tooltip =
      CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, 0,
                      0, 0, 0, dialog, nullptr, Record.ModuleInstance, nullptr);
  Tooltip = tooltip;
  if (tooltip == nullptr) return;
  for (const SettingRow& row : SettingRows) AddSettingTips(dialog, row);
  SendMessageA(tooltip, TTM_SETTITLEA, TTI_INFO, reinterpret_cast<LPARAM>(Record.description));
  SendMessageA(tooltip, TTM_SETMAXTIPWIDTH, 0, TipWidthPixels);
  SendMessageA(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELONG(TipInitialDelayMs, 0));
  SendMessageA(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELONG(TipVisibleMs, 0));
}

void ReadConfigDialog(HWND dialog) {
  // One store per field: a tick running meanwhile sees each value whole.
  for (const SettingRow& row : SettingRows) StoreSetting(State, row, ReadSetting(dialog, row));
}

void StepNumberEdit(HWND dialog, const SettingRow& row, WPARAM scrollCode) {
  // The whole wParam counts: a position in its high word is not a line step.
  if (scrollCode != SB_LINEUP && scrollCode != SB_LINEDOWN) return;
  EditText text, stepped;
  text[0] = '\0';
  GetDlgItemTextA(dialog, row.Control, text, EditTextCapacity);
  if (StepNumberText(text, static_cast<uint32_t>(scrollCode), row.Min, row.Max, stepped))
    SetDlgItemTextA(dialog, row.Control, stepped);
}

void ConfirmConfigDialog(HWND dialog) {
  ReadConfigDialog(dialog);
  SaveSettings();
  UpdatePolling();
  UpdateOutputWatch();
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
        default: {
          // A new choice may enable or disable the controls that follow it.
          const SettingRow* row = SettingWithControl(LOWORD(wParam));
          if (row != nullptr && row->Kind == SettingKind::Choice) ApplyEnableRules(dialog);
          break;
        }
      }
      break;
    case WM_VSCROLL: {
      const int bar = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      const SettingRow* row = SettingWithControl(bar);
      if (row != nullptr && row->Arrows == bar) StepNumberEdit(dialog, *row, wParam);
      break;
    }
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
