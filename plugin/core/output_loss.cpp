// Whether the sound output in use went away, and the slots that carry the audio service's news
// to the player's thread.
#include "output_loss.h"

#include "text_bounds.h"

namespace {

enum SlotUse : uint8_t { SlotFree, SlotWriting, SlotReady, SlotReading };

bool SameId(const char16_t* a, const char16_t* b) {
  for (size_t i = 0; i < EndpointIdCapacity; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == u'\0') return true;
  }
  return false;
}

void CopyId(char16_t* to, const char16_t* from) {
  BoundedCopy(to, EndpointIdCapacity, from, EndpointIdCapacity);
}

bool Watched(const OutputEvent& e) {
  return e.Flow == FlowRender && (e.Role == RoleConsole || e.Role == RoleMultimedia);
}

// Forgets an output everywhere once it is lost: the other role's news and the default's move that
// follow add nothing.
void Forget(OutputWatch& watch, const char16_t* id) {
  for (OutputWatch::Role& role : watch.Roles) {
    if (SameId(role.Current, id)) role.Current[0] = u'\0';
    if (SameId(role.Previous, id)) role.Previous[0] = u'\0';
  }
}

// A default that moves is remembered with the one it left, for the state change that may follow;
// no default at all means the output in use is gone and nothing took its place.
bool TakeDefault(OutputWatch& watch, const OutputEvent& e) {
  OutputWatch::Role& role = watch.Roles[e.Role];
  if (e.NoId) {
    if (role.Current[0] == u'\0') return false;
    char16_t lost[EndpointIdCapacity];
    CopyId(lost, role.Current);
    Forget(watch, lost);
    return true;
  }
  if (SameId(role.Current, e.Id)) return false;
  // The default found at the start only fills in a role nothing was heard of since.
  if (e.Change == OutputChange::FirstDefault && (role.Current[0] != u'\0' || role.Previous[0] != u'\0'))
    return false;
  CopyId(role.Previous, role.Current);
  role.MovedAtMs = e.AtMs;
  CopyId(role.Current, e.Id);
  return false;
}

// The output in use, or the one a default has just moved away from, stopped being active.
bool TakeGone(OutputWatch& watch, const OutputEvent& e) {
  if (e.Id[0] == u'\0') return false;
  bool lost = false;
  for (const OutputWatch::Role& role : watch.Roles) {
    const bool recent = e.AtMs >= role.MovedAtMs && e.AtMs - role.MovedAtMs <= DefaultMoveWindowMs;
    if (SameId(role.Current, e.Id) || (recent && SameId(role.Previous, e.Id))) lost = true;
  }
  if (lost) Forget(watch, e.Id);
  return lost;
}

}  // namespace

void SetEventId(OutputEvent& event, const char16_t* id) {
  event.NoId = id == nullptr;
  event.Id[0] = u'\0';
  if (id == nullptr) return;
  const size_t length = BoundedLength(id, EndpointIdCapacity);
  if (length < EndpointIdCapacity) CopyId(event.Id, id);
}

void ResetOutputWatch(OutputWatch& watch) { watch = OutputWatch{}; }

bool IsOutputLoss(OutputWatch& watch, const OutputEvent& e) {
  switch (e.Change) {
    case OutputChange::State: return e.State != EndpointActive && TakeGone(watch, e);
    case OutputChange::Removed: return TakeGone(watch, e);
    case OutputChange::Default:
    case OutputChange::FirstDefault: return Watched(e) && TakeDefault(watch, e);
  }
  return false;
}

void OnOutputEvent(const PluginState& s, OutputWatch& watch, const OutputEvent& event, const MonitorIo& io) {
  if (IsOutputLoss(watch, event)) SendIfPlaying(io, Get(s.UnplugAction));
}

bool QueueOutputEvent(OutputEventQueue& queue, const OutputEvent& event,
                      bool (*post)(void* context, uint32_t slot), void* context) {
  for (uint32_t slot = 0; slot < OutputEventSlots; ++slot) {
    uint8_t expected = SlotFree;
    if (!queue.Use[slot].compare_exchange_strong(expected, SlotWriting, std::memory_order_acquire)) continue;
    queue.Events[slot] = event;
    queue.Use[slot].store(SlotReady, std::memory_order_release);
    if (post(context, slot)) return true;
    // Nobody will come for it; unless a clear took it meanwhile, it is free again.
    expected = SlotReady;
    queue.Use[slot].compare_exchange_strong(expected, SlotFree, std::memory_order_relaxed);
    return false;
  }
  return false;
}

bool TakeOutputEvent(OutputEventQueue& queue, uint32_t slot, OutputEvent& out) {
  if (slot >= OutputEventSlots) return false;
  uint8_t expected = SlotReady;
  if (!queue.Use[slot].compare_exchange_strong(expected, SlotReading, std::memory_order_acquire))
    return false;
  out = queue.Events[slot];
  queue.Use[slot].store(SlotFree, std::memory_order_release);
  return true;
}

void ClearOutputEvents(OutputEventQueue& queue) {
  for (std::atomic<uint8_t>& use : queue.Use) {
    uint8_t expected = SlotReady;
    use.compare_exchange_strong(expected, SlotFree, std::memory_order_acquire);
  }
}
