// The fade-in of a resume: the player's version and volume decide whether it fades; each step
// follows the clock from 0 up to the volume read, and the user's choices end it.
#include "fade.h"

#include "host_protocol.h"

namespace {

constexpr uint32_t MsPerSecond = 1000;

intptr_t Ask(const FadeIo& io, intptr_t wParam, uintptr_t lParam) {
  return io.Ask(io.Context, wParam, lParam);
}
void SetVolume(const FadeIo& io, int32_t volume) { Ask(io, volume, HostQueryVolume); }
bool Playing(const FadeIo& io) { return Ask(io, 0, HostQueryPlayState) == 1; }
// The user's volume wins: a read back other than the last step's ends the fade where it is.
bool UserChangedVolume(const Fade& f, const FadeIo& io) {
  return Ask(io, HostVolumeRead, HostQueryVolume) != f.LastSet;
}

// The volume to fade in to, or 0 for none: an older player would take the read as a volume to
// set, and an answer of 0 or 1 is a player that does not read it (or nothing to fade).
int32_t VolumeToFade(const FadeIo& io) {
  if (static_cast<uintptr_t>(Ask(io, 0, HostQueryVersion)) < HostVolumeReadsFrom) return 0;
  const intptr_t volume = Ask(io, HostVolumeRead, HostQueryVolume);
  return volume > 1 && volume <= HostVolumeMax ? static_cast<int32_t>(volume) : 0;
}

void End(Fade& f, const FadeIo& io, int32_t volume) {
  f.Running = false;
  SetVolume(io, volume);
}

}  // namespace

bool PlayResume(Fade& f, int32_t seconds, const FadeIo& io) {
  StopFade(f, io);
  const int32_t length = FadeSeconds(seconds);
  const int32_t volume = length != 0 ? VolumeToFade(io) : 0;
  if (volume != 0) SetVolume(io, 0);  // just before the play, so it starts silent
  io.Play(io.Context);
  if (volume == 0) return false;
  f = {true, volume, 0, io.NowMs(io.Context), static_cast<uint32_t>(length) * MsPerSecond};
  return true;
}

bool StepFade(Fade& f, int32_t seconds, const FadeIo& io) {
  if (!f.Running) return false;
  if (UserChangedVolume(f, io)) {
    f.Running = false;
    return false;
  }
  // Paused or stopped, or the setting turned off: never leave the player a fade's volume.
  if (FadeSeconds(seconds) == 0 || !Playing(io)) {
    End(f, io, f.Volume);
    return false;
  }
  const uint64_t now = io.NowMs(io.Context);
  const uint64_t elapsed = now > f.StartMs ? now - f.StartMs : 0;
  if (elapsed >= f.LengthMs) {
    End(f, io, f.Volume);  // the last step: exactly the volume read
    return false;
  }
  // Rises with the clock, so it never falls and stays below the volume until the last step.
  f.LastSet = static_cast<int32_t>(static_cast<uint64_t>(f.Volume) * elapsed / f.LengthMs);
  SetVolume(io, f.LastSet);
  return true;
}

void StopFade(Fade& f, const FadeIo& io) {
  if (!f.Running) return;
  if (UserChangedVolume(f, io))
    f.Running = false;
  else
    End(f, io, f.Volume);
}
