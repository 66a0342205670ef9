// The fade-in of the plug-in's own resumes, on the player's thread: a tick hands its play to the
// plug-in's window, whose timer then takes the steps; the hook, quit and the dialog end it.
#include "plugin.h"

#include <atomic>

#include "fade.h"

namespace {
// The fade under way and the window whose timer steps it (player's thread only).
Fade Current;
HWND StepWindow;
// The window's timer for the steps; the message that hands a resume over. Both are the window's
// own: the plug-in's window class has no other timers or private messages of this number.
constexpr UINT_PTR StepTimer = 0x4842;
constexpr UINT HandOverMessage = WM_APP + 0x48;
constexpr LRESULT HandedOver = 0x4842;
// The window ticks hand resumes to: published for the timer thread, cleared before it closes.
std::atomic<HWND> HandOverWindow;

void Play(void*) { SendPlayerCommand(ActionPlay); }
intptr_t Ask(void*, intptr_t wParam, uintptr_t lParam) { return AskPlayer(wParam, lParam); }
uint64_t NowMs(void*) { return WinMonitorIo.NowMs(nullptr); }
constexpr FadeIo WinFadeIo{nullptr, Ask, Play, NowMs};

void StopSteps() {
  if (StepWindow != nullptr) KillTimer(StepWindow, StepTimer);
  StepWindow = nullptr;
}
}  // namespace

void SetFadeWindow(HWND window) { HandOverWindow.store(window); }

void SendMonitorAction(uint8_t action) {
  HWND window = HandOverWindow.load();
  // Waits, as the plain play would. Without the window, or when it is gone meanwhile, the play
  // goes out as it always has, from this thread.
  if (window == nullptr || !ResumeFades(action, Get(State.ResumeFadeSeconds)) ||
      SendMessageA(window, HandOverMessage, 0, 0) != HandedOver)
    SendPlayerCommand(action);
}

bool TakeFadeMessage(HWND window, UINT message, WPARAM wParam, LRESULT& result) {
  if (message == HandOverMessage) {
    result = HandedOver;
    StopSteps();
    if (PlayResume(Current, Get(State.ResumeFadeSeconds), WinFadeIo) &&
        SetTimer(window, StepTimer, FadeStepMs, nullptr) != 0)
      StepWindow = window;
    else
      StopFade(Current, WinFadeIo);  // a fade without steps would stay silent
    return true;
  }
  if (message != WM_TIMER || wParam != StepTimer) return false;
  result = 0;
  if (!StepFade(Current, Get(State.ResumeFadeSeconds), WinFadeIo)) StopSteps();
  return true;
}

void EndFade() {
  StopFade(Current, WinFadeIo);
  StopSteps();
}
