// The host player as the fade sees it: its version, its volume, play, and every volume set with
// its time. The player's thread only.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "fade.h"
#include "host_protocol.h"

struct VolumeSet {
  uint64_t AtMs;
  intptr_t Volume;
  bool operator==(const VolumeSet&) const = default;
};

struct VolumePlayer {
  uintptr_t Version = 0x5091;
  intptr_t Volume = 200;
  std::optional<intptr_t> ReadAnswer;  // answers the read with this instead
  bool Playing = false;
  uint64_t Now = 0;
  intptr_t VolumeAtPlay = -1;
  int Plays = 0, Asked = 0, VolumeMessages = 0;
  std::vector<VolumeSet> Sets;

  static intptr_t Ask(void* c, intptr_t wParam, uintptr_t lParam) {
    VolumePlayer& p = *static_cast<VolumePlayer*>(c);
    ++p.Asked;
    if (lParam == HostQueryVersion) return static_cast<intptr_t>(p.Version);
    if (lParam == HostQueryPlayState) return p.Playing;
    if (lParam != HostQueryVolume) return 1;
    ++p.VolumeMessages;
    // An older player takes the read as a volume to set.
    if (wParam == HostVolumeRead && p.Version >= HostVolumeReadsFrom) return p.ReadAnswer.value_or(p.Volume);
    p.Sets.push_back({p.Now, p.Volume = wParam});
    return 0;
  }
  static void Play(void* c) {
    VolumePlayer& p = *static_cast<VolumePlayer*>(c);
    ++p.Plays;
    p.VolumeAtPlay = p.Volume;
    p.Playing = true;
  }
  static uint64_t NowMs(void* c) { return static_cast<VolumePlayer*>(c)->Now; }
  FadeIo Io() { return {this, Ask, Play, NowMs}; }
};
