// The fade-in of a resume the plug-in sends itself, portable: when it may fade, each step's
// volume, and when it ends. Every call runs on the player's thread; the platform supplies the
// player's queries, its play command and a monotonic clock.
#pragma once
#include <cstdint>

#include "plugin_state.h"

// ResumeFadeSeconds: 0 off, 1 to this many seconds of fade; other values count as the nearest.
inline constexpr int32_t FadeSecondsMax = 10;
// A step at least this often: over ten a second, with room for a late timer.
inline constexpr uint32_t FadeStepMs = 50;

struct FadeIo {
  void* Context;
  // A query to the player (WM_USER with these wParam and lParam) and its answer.
  intptr_t (*Ask)(void* context, intptr_t wParam, uintptr_t lParam);
  void (*Play)(void* context);
  uint64_t (*NowMs)(void* context);
};

// The fade under way (player's thread only).
struct Fade {
  bool Running;
  int32_t Volume;   // read before the play: where the fade ends, and what is put back
  int32_t LastSet;  // the volume the last step set; any other read back is the user's
  uint64_t StartMs;
  uint32_t LengthMs;
};

// The setting as it counts: 0 to FadeSecondsMax.
constexpr int32_t FadeSeconds(int32_t stored) {
  return stored < 0 ? 0 : stored > FadeSecondsMax ? FadeSecondsMax : stored;
}

// Whether the monitor's play goes to the player's thread to fade in there: the ticks' thread never
// touches a fade.
constexpr bool ResumeFades(uint8_t action, int32_t storedSeconds) {
  return action == ActionPlay && FadeSeconds(storedSeconds) != 0;
}

// Sends the play of a resume: from volume 0 and fading in when `seconds` is on and the player
// reads its volume, as it is otherwise. True when a fade began: StepFade is then due every
// FadeStepMs until it returns false.
bool PlayResume(Fade& f, int32_t seconds, const FadeIo& io);
// One step of the fade; false once it is over. `seconds` is the setting now: 0 ends the fade.
bool StepFade(Fade& f, int32_t seconds, const FadeIo& io);
// Ends a fade at once (pause, stop, close, quit): the volume read goes back, unless the user has
// chosen another meanwhile.
void StopFade(Fade& f, const FadeIo& io);
