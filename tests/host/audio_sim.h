// A stand-in for Windows' audio endpoints, put under a loaded plug-in through its run-time lookup
// of CoCreateInstance (its GetProcAddress import hands out the stand-in; Wine's own enumerator
// only ever reports default changes, and only from its registry): the enumerator records the client
// registered with it and calls that client from a thread of its own, as the audio service does, with the
// headphones "hp" as the default output and the speakers "spk" beside them. Every id is passed in a buffer
// that is overwritten as soon as the call returns, as the audio service's strings live only for the call.
#pragma once
#include <windows.h>

#include <cstdint>

inline constexpr wchar_t SimHeadphones[] = L"{0.0.0.00000000}.{hp}";
inline constexpr wchar_t SimSpeakers[] = L"{0.0.0.00000000}.{spk}";

// Patches a freshly loaded plug-in (before init). `present` false: this Windows has no audio
// endpoint API, as Windows XP: no mmdevapi.dll in the system folder, and no enumerator to make.
bool AudioSimInstall(HMODULE plugin, bool present = true);

// What the audio service announces, each from a thread of the stand-in's own:
// the headphones unplugged and the default moved to the speakers (`defaultFirst`: in that order);
// the headphones back in as the default; the user's choice of the speakers; the headphones
// removed, no output left.
void AudioSimUnplug(bool defaultFirst);
void AudioSimPlugBack();
void AudioSimSwitchToSpeakers();
void AudioSimRemoveLast();
// Pump the host's messages until every announcement is made, or until a client is registered and
// has asked for (and released) the two roles' defaults; then handle what the plug-in posted.
bool AudioSimSettle(DWORD timeoutMs);
bool AudioSimWatching(DWORD timeoutMs);
// When the last announcement's thread began to call (PreciseNowMs), for measurements.
double AudioSimAnnouncedAtMs();
// The next unregistration waits, as Windows does, for a call the stand-in starts into the client
// just then (a state change of the speakers); false once a call did not return within a second.
void AudioSimCallDuringUnregister(bool call);
bool AudioSimCallbacksReturned();

struct AudioSimRecord {
  uint32_t Made;    // enumerators handed out
  uint32_t Alive;   // references to them still held
  bool Registered;  // a client is registered now
  uint32_t Registrations, Unregistrations;
  bool MadeOffHostThread;       // every enumerator was made on a thread other than the host's...
  bool MadeInMta;               // ...in a multithreaded apartment
  int32_t ComBalance;           // the plug-in's successful CoInitializeEx less its CoUninitialize
  uint32_t CallsWithoutClient;  // announcement steps that found no client to call
  uint32_t DevicesReleased;     // default outputs handed out and released again
};
AudioSimRecord AudioSimState();
