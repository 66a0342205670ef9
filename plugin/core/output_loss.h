// The sound output going away (headphones out, a headset out of range, a USB DAC unplugged),
// portable: what the audio service's callbacks carry, how they reach the player's thread, and
// the decision whether the output in use is gone.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "monitor.h"
#include "plugin_state.h"

// The audio endpoint API's numbers the decision needs (mmdeviceapi.h).
inline constexpr uint8_t FlowRender = 0;                       // eRender: playback
inline constexpr uint8_t RoleConsole = 0, RoleMultimedia = 1;  // the roles a player plays in
inline constexpr uint32_t EndpointActive = 1;                  // DEVICE_STATE_ACTIVE
// Endpoint ids are about 55 characters; one longer than this matches nothing.
inline constexpr size_t EndpointIdCapacity = 128;
// Windows moves the default off an output that goes away within moments of announcing its state,
// in either order. A state change this long after a move away from that output is a user's
// choice followed by an unrelated unplug.
inline constexpr uint64_t DefaultMoveWindowMs = 2000;

enum class OutputChange : uint8_t {
  State,         // an endpoint's state changed to State
  Removed,       // an endpoint is gone
  Default,       // the default of Flow and Role is now Id (none when NoId)
  FirstDefault,  // the default found when watching starts, for a role nothing was heard of yet
};

// One callback's news, copied: the id strings live only for the call.
struct OutputEvent {
  OutputChange Change;
  uint8_t Flow, Role;
  uint32_t State;
  uint64_t AtMs;                    // when the callback came (monotonic)
  bool NoId;                        // null id; for a default: no output is left
  char16_t Id[EndpointIdCapacity];  // empty without NoId: too long to keep
};
// Copies a callback's id into the event: null sets NoId, one that does not fit is left empty.
void SetEventId(OutputEvent& event, const char16_t* id);

// The defaults in use per role (console, multimedia), and the one each had before its last move.
// Player's thread only.
struct OutputWatch {
  struct Role {
    char16_t Current[EndpointIdCapacity];  // empty: none known
    char16_t Previous[EndpointIdCapacity];
    uint64_t MovedAtMs;
  } Roles[2];
};
void ResetOutputWatch(OutputWatch& watch);
// Takes in the event; true when it is the loss of the output in use, once per loss.
bool IsOutputLoss(OutputWatch& watch, const OutputEvent& event);
// Sends UnplugAction on a loss, only to a playing player.
void OnOutputEvent(const PluginState& s, OutputWatch& watch, const OutputEvent& event, const MonitorIo& io);

// Events on their way from the audio service's threads to the player's: a slot per event, its
// number posted to the player's thread. The callbacks never wait.
inline constexpr uint32_t OutputEventSlots = 16;
struct OutputEventQueue {
  std::atomic<uint8_t> Use[OutputEventSlots];  // free, being written, ready, being read
  OutputEvent Events[OutputEventSlots];
};
// Any thread: copies the event into a free slot and hands its number to `post`; false when every
// slot is taken or `post` fails (the slot is free again).
bool QueueOutputEvent(OutputEventQueue& queue, const OutputEvent& event,
                      bool (*post)(void* context, uint32_t slot), void* context);
// The receiving thread: the event of a posted slot; false when there is none (cleared since).
bool TakeOutputEvent(OutputEventQueue& queue, uint32_t slot, OutputEvent& out);
// Drops every event not taken yet: numbers still on their way then find nothing.
void ClearOutputEvents(OutputEventQueue& queue);
