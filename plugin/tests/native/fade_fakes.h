// The host player as the fade sees it: its version, its volume, play and pause, and a record of
// every volume message with its time. One thread only: the player's.
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
  std::optional<intptr_t> ReadAnswer;  // a player that answers the read with this instead
  bool Playing = false;
  uint64_t Now = 0;
  int Plays = 0;
  intptr_t VolumeAtPlay = -1;
  int Asked = 0;                // queries of any kind
  int VolumeMessages = 0;       // reads and sets
  std::vector<VolumeSet> Sets;  // every volume set, with its time

  static VolumePlayer& Of(void* c) { return *static_cast<VolumePlayer*>(c); }
  static intptr_t Ask(void* c, intptr_t wParam, uintptr_t lParam) {
    VolumePlayer& p = Of(c);
    ++p.Asked;
    switch (lParam) {
      case HostQueryVersion: return static_cast<intptr_t>(p.Version);
      case HostQueryPlayState: return p.Playing ? 1 : 0;
      case HostQueryVolume:
        ++p.VolumeMessages;
        // An older player takes the read as a volume to set, as it takes any other.
        if (wParam == HostVolumeRead && p.Version >= HostVolumeReadsFrom) return p.ReadAnswer.value_or(p.Volume);
        p.Volume = wParam;
        p.Sets.push_back({p.Now, wParam});
        return 0;
      default: return 1;
    }
  }
  static void Play(void* c) {
    ++Of(c).Plays;
    Of(c).VolumeAtPlay = Of(c).Volume;
    Of(c).Playing = true;
  }
  static uint64_t NowMs(void* c) { return Of(c).Now; }
  FadeIo Io() { return {this, Ask, Play, NowMs}; }
};
