// The notification dialog: a newer version exists; download it, visit the homepage, or later.
#include "verlift.h"

#include "dialog_text.h"
#include "open_address.h"
#include "text_bounds.h"
#include "resource.h"

namespace {

constexpr size_t NameCapacity = 260;
constexpr int PatternCapacity = 2048;  // 2047 characters + terminator

}  // namespace

int InitUpdateDialog(HWND window) {
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppIcon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(AppIcon));

  char16_t name[NameCapacity];
  const DWORD nameLength =
      GetPrivateProfileStringW(L"Update", L"Name", L"", Wide(name), NameCapacity, Wide(IniPath));
  if (nameLength == 0) return 0;
  char16_t pattern[PatternCapacity];
  UINT patternLength = GetDlgItemTextW(window, IDC_MESSAGE, Wide(pattern), PatternCapacity);
  if (patternLength >= PatternCapacity) patternLength = PatternCapacity - 1;
  pattern[patternLength] = u'\0';

  const size_t homepageLength = BoundedLength(Homepage, HomepageCapacity);
  const size_t capacity = patternLength + BoundedLength(name, NameCapacity) + homepageLength + 1;
  auto* message = static_cast<char16_t*>(HeapAlloc(GetProcessHeap(), 0, capacity * sizeof(char16_t)));
  if (message == nullptr) return 0;
  FormatNotice(std::u16string_view(pattern, patternLength),
               std::u16string_view(name, BoundedLength(name, NameCapacity)),
               std::u16string_view(Homepage, homepageLength), message, capacity);
  SetDlgItemTextW(window, IDC_MESSAGE, Wide(message));
  HeapFree(GetProcessHeap(), 0, message);

  SetDlgItemTextW(window, IDC_HOMEPAGE, Wide(Homepage));
  SetDlgItemTextW(window, IDC_NEW_VERSION, Wide(NewVersion));
  return 1;
}

INT_PTR CALLBACK UpdateDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return InitUpdateDialog(window);
  if (message != WM_COMMAND) return 0;
  switch (LOWORD(wParam)) {
    case IDC_DOWNLOAD:
      OpenWebAddress(DownloadUrl, DownloadUrlCapacity);
      EndDialog(window, 1);
      return 1;
    case IDC_HOMEPAGE:
      OpenWebAddress(Homepage, HomepageCapacity);
      EndDialog(window, 2);
      return 1;
    case IDC_LATER: EndDialog(window, 2); return 1;
    default: return 0;
  }
}
