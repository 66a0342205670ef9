// The sound output's news from the audio service (Windows Vista and later): a COM thread of the
// plug-in's own registers for it while UnplugAction is set, and the callbacks hand each piece of
// news to the plug-in's window, where the player's thread decides.
#include "plugin.h"

#include <mmdeviceapi.h>

#include <atomic>

#include "output_loss.h"
#include "resolve.h"
#include "system_library.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "endpoint ids are UTF-16");

// Where the callbacks post; null while nothing is watched. Read on the audio service's threads.
std::atomic<HWND> NewsWindow{nullptr};
constinit OutputEventQueue Pending{};
OutputWatch Defaults;              // player's thread only
std::atomic<bool> Refused{false};  // the audio API is missing here or refused the registration
bool Wanted;                       // the action is on inside an initialised host (player's thread only)

// The watch's thread and what keeps it and its client in place (player's thread only).
struct {
  HANDLE Thread;
  HANDLE Stop;   // set: the thread unregisters, releases and ends
  HMODULE Hold;  // the client lives in this module: it stays loaded while one may be registered
} Watch;

// OLE32, loaded by the watch's thread the first time it starts rather than imported: with the
// action off, the player's start does not pay for its load. It stays, as COM keeps what it
// loaded. Touched by one watch thread at a time.
struct {
  HMODULE Module;
  decltype(&CoInitializeEx) Initialize;
  decltype(&CoUninitialize) Uninitialize;
  decltype(&CoCreateInstance) Create;
  decltype(&CoTaskMemFree) FreeMemory;
} Com;

bool LoadCom() {
  return Com.Module != nullptr || LoadSystemApi(L"ole32.dll", Com, [](auto& api) {
           return Resolve(api.Module, "CoInitializeEx", api.Initialize) &&
                  Resolve(api.Module, "CoUninitialize", api.Uninitialize) &&
                  Resolve(api.Module, "CoCreateInstance", api.Create) &&
                  Resolve(api.Module, "CoTaskMemFree", api.FreeMemory);
         });
}

bool PostNews(void* window, uint32_t slot) {
  return PostMessageA(static_cast<HWND>(window), OutputNewsMessage, slot, 0) != FALSE;
}

// Copies the news (the id lives only for the call) and posts it; never waits for the player.
HRESULT Queue(OutputChange change, const wchar_t* id, uint32_t state = 0, EDataFlow flow = eRender,
              ERole role = eConsole) {
  OutputEvent e{change,
                static_cast<uint8_t>(flow),
                static_cast<uint8_t>(role),
                state,
                WinMonitorIo.NowMs(WinMonitorIo.Context),
                false,
                {}};
  SetEventId(e, reinterpret_cast<const char16_t*>(id));
  HWND window = NewsWindow.load();
  // With every slot taken the player is not reading: one more would change nothing.
  if (window != nullptr) QueueOutputEvent(Pending, e, PostNews, window);
  return S_OK;
}

// The one client, as long-lived as the module: counting references has nothing to free.
class OutputClient final : public IMMNotificationClient {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    const bool ours = IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IMMNotificationClient));
    *out = ours ? this : nullptr;
    return ours ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR id, DWORD state) override {
    return Queue(OutputChange::State, id, state);
  }
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR id) override { return Queue(OutputChange::Removed, id); }
  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id) override {
    return Queue(OutputChange::Default, id, 0, flow, role);
  }
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }
};
constinit OutputClient Client;

// The defaults in use when watching starts, for the first loss to be recognised.
void QueueFirstDefaults(IMMDeviceEnumerator* enumerator) {
  for (ERole role : {eConsole, eMultimedia}) {
    IMMDevice* device = nullptr;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, role, &device))) continue;
    LPWSTR id = nullptr;
    if (SUCCEEDED(device->GetId(&id))) {
      Queue(OutputChange::FirstDefault, id, 0, eRender, role);
      Com.FreeMemory(id);
    }
    device->Release();
  }
}

// The watch's own multithreaded apartment: the enumerator is made, registered, unregistered and
// released here, so the player's thread never initialises COM for it.
DWORD WINAPI WatchThread(void*) {
  const HRESULT apartment = LoadCom() ? Com.Initialize(nullptr, COINIT_MULTITHREADED) : E_FAIL;
  IMMDeviceEnumerator* enumerator = nullptr;
  bool registered = false;
  if (SUCCEEDED(apartment) &&
      SUCCEEDED(Com.Create(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                           __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&enumerator))))
    registered = SUCCEEDED(enumerator->RegisterEndpointNotificationCallback(&Client));
  Refused.store(!registered);
  if (registered) {
    QueueFirstDefaults(enumerator);
    WaitForSingleObject(Watch.Stop, INFINITE);
    // Windows lets a callback under way finish first; the callbacks wait for nobody.
    enumerator->UnregisterEndpointNotificationCallback(&Client);
  }
  if (enumerator != nullptr) enumerator->Release();
  if (SUCCEEDED(apartment)) Com.Uninitialize();
  return 0;
}

// Every handle may be missing (a failed start): the calls on it then fail at once, harmlessly.
void StopWatch() {
  if (Watch.Thread == nullptr && Watch.Hold == nullptr) return;
  SetEvent(Watch.Stop);
  WaitForSingleObject(Watch.Thread, INFINITE);
  CloseHandle(Watch.Thread);
  CloseHandle(Watch.Stop);
  NewsWindow.store(nullptr);
  ClearOutputEvents(Pending);
  // Neither the thread nor a client registration is left: the host's reference is enough.
  FreeLibrary(Watch.Hold);
  Watch = {};
}

void StartWatch(HWND window) {
  if (Watch.Thread != nullptr || Watch.Hold != nullptr) return;
  ClearOutputEvents(Pending);
  ResetOutputWatch(Defaults);
  NewsWindow.store(window);
  Watch.Hold = AddModuleReference();
  // Without the event the thread finds its wait failed and ends at once.
  Watch.Stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Watch.Thread = CreateThread(nullptr, 0, WatchThread, nullptr, 0, nullptr);
}

}  // namespace

void SetOutputWatch(bool on) {
  const bool wanted = Wanted;
  Wanted = on;
  if (!on) {
    StopWatch();
    if (wanted) CloseNotificationWindowIfUnused();
    return;
  }
  // The window stays open while watching, whether or not anything else registered with it.
  OpenNotificationWindow();
  if (NotificationWindowOpen()) StartWatch(NotificationWindowHandle());
}

bool OutputWatchWanted() { return Wanted; }

bool OutputWatchAvailable() {
  // Looked for, not loaded: with the action off the audio DLL stays out of the player.
  wchar_t path[MAX_PATH];
  return !Refused.load() && SystemFilePath(path, L"mmdevapi.dll") &&
         GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool TakeOutputNews(UINT message, WPARAM slot) {
  if (message != OutputNewsMessage) return false;
  OutputEvent event;
  if (TakeOutputEvent(Pending, static_cast<uint32_t>(slot), event))
    OnOutputEvent(State, Defaults, event, WinMonitorIo);
  return true;
}
