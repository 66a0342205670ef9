// The stand-in audio enumerator behind audio_sim.h, handed to the plug-in through its lookups.
#include "audio_sim.h"

#include <mmdeviceapi.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>

#include "import_patch.h"
#include "standin_host.h"
#include "test_files.h"

namespace {

decltype(&GetProcAddress) RealGetProcAddress;
decltype(&GetFileAttributesW) RealGetFileAttributes;
decltype(&CoCreateInstance) RealCreate;
decltype(&CoInitializeEx) RealInitialize;
decltype(&CoUninitialize) RealUninitialize;

std::mutex Lock;  // everything below, on any thread
AudioSimRecord Record;
bool Present;
DWORD HostThread;
const wchar_t* DefaultOutput;
IMMNotificationClient* Client;
// Held by each call into the client; the unregistration waits for it, as Windows does.
std::timed_mutex CallLock;
std::atomic<bool> CallDuringUnregister{false}, CallEntered{false}, CallbacksReturned{true};
std::atomic<int> Announcing{0};  // announcing threads still running
std::atomic<double> AnnouncedAtMs{0};

// One announcement: 's' a state change, 'r' a removal, 'd' the default's move for every role.
struct Step {
  char Kind;
  const wchar_t* Id;
  DWORD State = 0;
};

void Call(const Step& step) {
  std::lock_guard<std::timed_mutex> calling(CallLock);
  CallEntered.store(true);
  IMMNotificationClient* client;
  {
    std::lock_guard<std::mutex> guard(Lock);
    if (step.Kind == 'd') DefaultOutput = step.Id;
    client = Client;
    if (client == nullptr) ++Record.CallsWithoutClient;
  }
  if (client == nullptr) return;
  wchar_t id[64] = {};
  if (step.Id != nullptr) lstrcpynW(id, step.Id, 64);
  const wchar_t* passed = step.Id != nullptr ? id : nullptr;
  if (step.Kind == 's') client->OnDeviceStateChanged(passed, step.State);
  if (step.Kind == 'r') client->OnDeviceRemoved(passed);
  if (step.Kind == 'd')
    for (ERole role : {eConsole, eMultimedia, eCommunications})
      client->OnDefaultDeviceChanged(eRender, role, passed);
  wmemset(id, L'#', 63);  // the id lived only for the call
}

struct Script {
  Step Steps[2];
  size_t Count;
};

DWORD WINAPI RunScript(void* p) {
  auto* script = static_cast<Script*>(p);
  AnnouncedAtMs.store(PreciseNowMs());
  for (size_t i = 0; i < script->Count; ++i) Call(script->Steps[i]);
  delete script;
  --Announcing;
  return 0;
}

// Runs the steps on a thread of its own, as the audio service's.
void Announce(std::initializer_list<Step> steps) {
  auto* script = new Script{{}, 0};
  for (const Step& step : steps) script->Steps[script->Count++] = step;
  ++Announcing;
  CloseHandle(CreateThread(nullptr, 0, RunScript, script, 0, nullptr));
}

struct Device final : IMMDevice {
  const wchar_t* Id;
  explicit Device(const wchar_t* id) : Id(id) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override {
    std::lock_guard<std::mutex> guard(Lock);
    ++Record.DevicesReleased;
    return 1;
  }
  HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT*, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetId(LPWSTR* out) override {
    const size_t bytes = (wcslen(Id) + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    return *out != nullptr ? (memcpy(*out, Id, bytes), S_OK) : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE GetState(DWORD*) override { return E_NOTIMPL; }
} Headphones{SimHeadphones}, Speakers{SimSpeakers};

struct Enumerator final : IMMDeviceEnumerator {
  // Asked only for the interface it was made for.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    std::lock_guard<std::mutex> guard(Lock);
    return ++Record.Alive;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    std::lock_guard<std::mutex> guard(Lock);
    return --Record.Alive;
  }
  HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow, ERole, IMMDevice** out) override {
    std::lock_guard<std::mutex> guard(Lock);
    *out = DefaultOutput == SimHeadphones ? &Headphones : DefaultOutput == SimSpeakers ? &Speakers : nullptr;
    return *out != nullptr ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  }
  HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient* client) override {
    std::lock_guard<std::mutex> guard(Lock);
    if (Client != nullptr) return E_INVALIDARG;
    (Client = client)->AddRef();
    ++Record.Registrations;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient* client) override {
    if (CallDuringUnregister.exchange(false)) {
      // A state change of the speakers under way as the plug-in unregisters.
      CallEntered.store(false);
      Announce({{'s', SimSpeakers, DEVICE_STATE_ACTIVE}});
      while (!CallEntered.load()) Sleep(1);
    }
    // A call that does not return comes from a client that waits for somebody.
    const bool waited = CallLock.try_lock_for(std::chrono::seconds(1));
    CallbacksReturned.store(CallbacksReturned.load() && waited);
    std::lock_guard<std::mutex> guard(Lock);
    const bool ours = client == Client && client != nullptr;
    if (ours) ++Record.Unregistrations;
    if (ours) Client = nullptr;
    if (waited) CallLock.unlock();
    if (ours) client->Release();
    return ours ? S_OK : E_INVALIDARG;
  }
} TheEnumerator;

HRESULT WINAPI StandInCreate(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out) {
  if (!IsEqualCLSID(clsid, __uuidof(MMDeviceEnumerator))) return RealCreate(clsid, outer, context, iid, out);
  APTTYPE apartment{};
  APTTYPEQUALIFIER qualifier{};
  const bool mta = SUCCEEDED(CoGetApartmentType(&apartment, &qualifier)) && apartment == APTTYPE_MTA;
  std::lock_guard<std::mutex> guard(Lock);
  Record.MadeOffHostThread = Record.MadeOffHostThread && GetCurrentThreadId() != HostThread;
  Record.MadeInMta = Record.MadeInMta && mta;
  *out = Present ? static_cast<IMMDeviceEnumerator*>(&TheEnumerator) : nullptr;
  if (!Present) return REGDB_E_CLASSNOTREG;  // what Windows XP answers
  ++Record.Made;
  ++Record.Alive;
  return S_OK;
}

HRESULT WINAPI CountedInitialize(LPVOID reserved, DWORD model) {
  const HRESULT result = RealInitialize(reserved, model);
  std::lock_guard<std::mutex> guard(Lock);
  Record.ComBalance += SUCCEEDED(result);
  return result;
}

void WINAPI CountedUninitialize() {
  RealUninitialize();
  std::lock_guard<std::mutex> guard(Lock);
  --Record.ComBalance;
}

// Without the audio API the system folder holds no audio endpoint DLL either.
DWORD WINAPI StandInAttributes(LPCWSTR path) {
  const wchar_t* name = path != nullptr ? wcsrchr(path, L'\\') : nullptr;
  if (!Present && name != nullptr && _wcsicmp(name, L"\\mmdevapi.dll") == 0) return INVALID_FILE_ATTRIBUTES;
  return RealGetFileAttributes(path);
}

template <class Fn>
FARPROC Hand(FARPROC real, Fn& keep, Fn standIn) {
  keep = reinterpret_cast<Fn>(real);
  return reinterpret_cast<FARPROC>(standIn);
}

FARPROC WINAPI StandInLookup(HMODULE module, LPCSTR name) {
  const FARPROC real = RealGetProcAddress(module, name);
  if (real == nullptr || IS_INTRESOURCE(name)) return real;
  if (strcmp(name, "CoCreateInstance") == 0) return Hand(real, RealCreate, StandInCreate);
  if (strcmp(name, "CoInitializeEx") == 0) return Hand(real, RealInitialize, CountedInitialize);
  if (strcmp(name, "CoUninitialize") == 0) return Hand(real, RealUninitialize, CountedUninitialize);
  return real;
}

// Keeps the first original: a second install into the same mapping finds the slot already ours.
template <class Fn>
bool Patch(HMODULE plugin, const char* function, Fn replacement, Fn& real) {
  void* original = reinterpret_cast<void*>(real);
  if (!HostPatchImport(plugin, "kernel32.dll", function, reinterpret_cast<void*>(replacement), &original))
    return false;
  real = reinterpret_cast<Fn>(original);
  return real != nullptr;
}

}  // namespace

bool AudioSimInstall(HMODULE plugin, bool present) {
  {
    std::lock_guard<std::mutex> guard(Lock);
    Record = {.MadeOffHostThread = true, .MadeInMta = true};
    Present = present;
    HostThread = GetCurrentThreadId();
    DefaultOutput = SimHeadphones;
  }
  CallbacksReturned.store(true);
  return Patch(plugin, "GetProcAddress", StandInLookup, RealGetProcAddress) &&
         Patch(plugin, "GetFileAttributesW", StandInAttributes, RealGetFileAttributes);
}

void AudioSimUnplug(bool defaultFirst) {
  if (defaultFirst) return Announce({{'d', SimSpeakers}, {'s', SimHeadphones, DEVICE_STATE_UNPLUGGED}});
  Announce({{'s', SimHeadphones, DEVICE_STATE_UNPLUGGED}, {'d', SimSpeakers}});
}
void AudioSimPlugBack() { Announce({{'s', SimHeadphones, DEVICE_STATE_ACTIVE}, {'d', SimHeadphones}}); }
void AudioSimSwitchToSpeakers() { Announce({{'d', SimSpeakers}}); }
void AudioSimRemoveLast() { Announce({{'r', SimHeadphones}, {'d', nullptr}}); }

bool AudioSimSettle(DWORD timeoutMs) {
  const bool done = HostPumpUntil([] { return Announcing.load() == 0; }, timeoutMs);
  HostPump(20);  // what the last call posted is in the host's queue by now
  return done;
}

bool AudioSimWatching(DWORD timeoutMs) {
  const bool watching = HostPumpUntil(
      [] {
        std::lock_guard<std::mutex> guard(Lock);
        return Client != nullptr && Record.DevicesReleased >= 2 * Record.Registrations;
      },
      timeoutMs);
  HostPump(20);
  return watching;
}

void AudioSimCallDuringUnregister(bool call) { CallDuringUnregister.store(call); }
bool AudioSimCallbacksReturned() { return CallbacksReturned.load(); }
double AudioSimAnnouncedAtMs() { return AnnouncedAtMs.load(); }

AudioSimRecord AudioSimState() {
  std::lock_guard<std::mutex> guard(Lock);
  AudioSimRecord r = Record;
  r.Registered = Client != nullptr;
  return r;
}
