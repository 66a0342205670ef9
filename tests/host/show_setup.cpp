// Shows setup's pages for screenshots: runs setup into FOLDER and stops on its folder page, then
// on its finish page, each until told to go on.
//   show_setup.exe SETUP FOLDER READY DONE
// On each page the wizard's screen rectangle is written to READY1 (READY2) as "x y width height";
// the page is left when DONE1 (DONE2) appears, or after a minute. The finish page is left with
// "Configure now" unticked.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD StepMs = 100, SettleMs = 1500, GiveUpMs = 60000;

// The wizard, once its page shows and its main button can be pressed.
HWND Wizard(DWORD process) {
  for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    HWND next = GetDlgItem(window, IDOK);
    HWND page = FindWindowExA(window, nullptr, "#32770", nullptr);
    if (owner == process && next != nullptr && IsWindowEnabled(next) && page != nullptr && IsWindowVisible(page))
      return window;
  }
  return nullptr;
}

// Waits for the wizard with its main button named `button`, then shows it until `done` exists.
HWND ShowPage(const PROCESS_INFORMATION& setup, const char* button, const std::string& ready,
              const std::string& done) {
  HWND wizard = nullptr;
  char text[64] = {};
  for (DWORD waited = 0; waited < GiveUpMs; waited += StepMs) {
    wizard = Wizard(setup.dwProcessId);
    if (wizard != nullptr && GetDlgItemTextA(wizard, IDOK, text, sizeof text) > 0 && strstr(text, button)) break;
    wizard = nullptr;
    Sleep(StepMs);
  }
  if (wizard == nullptr) return nullptr;
  Sleep(SettleMs);
  RECT area{};
  GetWindowRect(wizard, &area);
  if (FILE* file = fopen(ready.c_str(), "w")) {
    fprintf(file, "%ld %ld %ld %ld\n", area.left, area.top, area.right - area.left, area.bottom - area.top);
    fclose(file);
  }
  for (DWORD waited = 0; waited < GiveUpMs && GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES;
       waited += StepMs)
    Sleep(StepMs);
  return wizard;
}

// The finish page's only check box.
void UntickCheckBox(HWND wizard) {
  HWND page = FindWindowExA(wizard, nullptr, "#32770", nullptr);
  for (HWND box = nullptr; page != nullptr && (box = FindWindowExA(page, box, "Button", nullptr));) {
    const LONG_PTR type = GetWindowLongPtrA(box, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) SendMessageA(box, BM_SETCHECK, BST_UNCHECKED, 0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: show_setup SETUP FOLDER READY DONE\n");
    return 2;
  }
  std::string line = "\"" + std::string(argv[1]) + "\" /D=" + argv[2];
  STARTUPINFOA startup{sizeof startup};
  PROCESS_INFORMATION setup{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &setup)) {
    fprintf(stderr, "show_setup: cannot start %s\n", argv[1]);
    return 1;
  }
  const std::string ready = argv[3], done = argv[4];
  HWND wizard = ShowPage(setup, "Install", ready + "1", done + "1");
  if (wizard != nullptr) PostMessageA(wizard, WM_COMMAND, IDOK, 0);
  wizard = wizard != nullptr ? ShowPage(setup, "Finish", ready + "2", done + "2") : nullptr;
  if (wizard != nullptr) {
    UntickCheckBox(wizard);
    PostMessageA(wizard, WM_COMMAND, IDOK, 0);
  }
  WaitForSingleObject(setup.hProcess, GiveUpMs);
  CloseHandle(setup.hThread);
  CloseHandle(setup.hProcess);
  return wizard != nullptr ? 0 : 1;
}
