// A stand-in for Windows' audio endpoints, put under a loaded plug-in through its run-time lookup
// of CoCreateInstance (its GetProcAddress import hands out the stand-in; Wine's own enumerator
// only ever reports default changes, and only from its registry): the enumerator records the client registered with it and calls that
// client from a thread of its own, as the audio service does, with the headphones "hp" as the
// default output and the speakers "spk" beside them. Every id is passed in a buffer that is
// overwritten as soon as the call returns, as the audio service's strings live only for the call.
#pragma once
#include <windows.h>

#include <cstdint>

inline constexpr wchar_t SimHeadphones[] = L"{0.0.0.00000000}.{hp}";
inline constexpr wchar_t SimSpeakers[] = L"{0.0.0.00000000}.{spk}";

// Patches a freshly loaded plug-in (before init). `present` false: this Windows has no audio
// endpoint API, as Windows XP: no mmdevapi.dll in the system folder, and no enumerator to make.
bool AudioSimInstall(HMODULE plugin, bool present = true);

// What the audio service announces, from the stand-in's thread, in this order.
// The default output goes away (unplugged) and Windows moves the default to the speakers; with
// `defaultFirst` the default's move comes before the state change.
void AudioSimUnplug(bool defaultFirst);
// The headphones are plugged back in and Windows makes them the default again.
void AudioSimPlugBack();
// The user picks the speakers as the default; the headphones stay plugged in.
void AudioSimSwitchToSpeakers();
// The default output is removed, and no output is left: the default becomes none.
void AudioSimRemoveLast();
// Waits, pumping the host's messages, until the stand-in's thread has made every call asked for
// and the host has handled what the plug-in posted meanwhile.
bool AudioSimSettle(DWORD timeoutMs);

// Waits, pumping the host's messages, until a client is registered and what it asked for then
// (the default output of two roles) has been handed over and released, then handles what the
// plug-in posted meanwhile.
bool AudioSimWatching(DWORD timeoutMs);

// The next unregistration first has the stand-in's thread enter a callback (a state change of
// the headphones) and waits for it to return before taking the client back, as Windows does with
// a callback under way; false once a client's call did not return within a second.
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
  uint32_t CallsWithoutClient;  // announcements that found no client to call
  uint32_t DevicesReleased;     // default outputs handed out and released again
};
AudioSimRecord AudioSimState();
