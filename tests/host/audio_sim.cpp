// The stand-in audio enumerator behind audio_sim.h, handed to the plug-in through its imports.
#include "audio_sim.h"

#include <mmdeviceapi.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>

#include "import_patch.h"
#include "standin_host.h"

namespace {

// The plug-in looks its COM functions up at run time: its GetProcAddress hands out the stand-ins.
std::atomic<decltype(&GetProcAddress)> RealGetProcAddress{nullptr};
std::atomic<decltype(&CoCreateInstance)> RealCoCreateInstance{nullptr};
std::atomic<decltype(&CoInitializeEx)> RealCoInitializeEx{nullptr};
std::atomic<decltype(&CoUninitialize)> RealCoUninitialize{nullptr};
std::atomic<decltype(&GetFileAttributesW)> RealGetFileAttributesW{nullptr};

// The enumerator's side, called on the plug-in's COM thread, and the test's, under one lock.
std::mutex StateLock;
AudioSimRecord Record;
bool Present = true;
DWORD HostThread;
const wchar_t* DefaultOutput = SimHeadphones;  // null: none left
IMMNotificationClient* Client;                 // the registered client, under CallLock too
bool CallDuringUnregister;

// Held by every call into the client and by the unregistration, which so waits for a call
// under way, as Windows does.
std::timed_mutex CallLock;
std::atomic<bool> CallbacksReturned{true};

// The stand-in's own thread, as the audio service's: jobs run one after another.
struct {
  std::mutex Lock;
  std::condition_variable Wake;
  std::deque<std::function<void()>> Jobs;
  uint64_t Queued = 0, Done = 0;
  bool Started = false;
} Worker;

void RunJobs() {
  std::unique_lock<std::mutex> lock(Worker.Lock);
  for (;;) {
    Worker.Wake.wait(lock, [] { return !Worker.Jobs.empty(); });
    std::function<void()> job = std::move(Worker.Jobs.front());
    Worker.Jobs.pop_front();
    lock.unlock();
    job();
    lock.lock();
    ++Worker.Done;
  }
}

void Enqueue(std::function<void()> job) {
  std::lock_guard<std::mutex> guard(Worker.Lock);
  if (!Worker.Started) std::thread(RunJobs).detach();  // lives as long as the test program
  Worker.Started = true;
  Worker.Jobs.push_back(std::move(job));
  ++Worker.Queued;
  Worker.Wake.notify_one();
}

// Calls the registered client, if any, with `id` in a buffer overwritten right after the call.
void Announce(const wchar_t* id, const std::function<void(IMMNotificationClient*, LPCWSTR)>& call) {
  std::lock_guard<std::timed_mutex> guard(CallLock);
  IMMNotificationClient* client;
  {
    std::lock_guard<std::mutex> state(StateLock);
    client = Client;
    if (client == nullptr) ++Record.CallsWithoutClient;
  }
  if (client == nullptr) return;
  wchar_t buffer[64] = {};
  if (id != nullptr) lstrcpynW(buffer, id, 64);
  call(client, id != nullptr ? buffer : nullptr);
  for (wchar_t& c : buffer) c = L'#';
  buffer[63] = L'\0';
}

void AnnounceState(const wchar_t* id, DWORD state) {
  Enqueue([id, state] { Announce(id, [state](auto c, LPCWSTR i) { c->OnDeviceStateChanged(i, state); }); });
}

void AnnounceDefault(const wchar_t* id) {
  {
    std::lock_guard<std::mutex> state(StateLock);
    DefaultOutput = id;
  }
  for (ERole role : {eConsole, eMultimedia, eCommunications})
    Enqueue([id, role] {
      Announce(id, [role](auto c, LPCWSTR i) { c->OnDefaultDeviceChanged(eRender, role, i); });
    });
}

template <class Interface>
class Counted : public Interface {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  virtual ~Counted() = default;

 protected:
  HRESULT Answer(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(Interface)) ? this : nullptr;
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

class SimDevice final : public Counted<IMMDevice> {
 public:
  explicit SimDevice(const wchar_t* id) : id_(id) {}
  ~SimDevice() override {
    std::lock_guard<std::mutex> state(StateLock);
    ++Record.DevicesReleased;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return Answer(iid, out); }
  HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT*, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetId(LPWSTR* out) override {
    const size_t bytes = (lstrlenW(id_) + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*out == nullptr) return E_OUTOFMEMORY;
    memcpy(*out, id_, bytes);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override {
    *state = DEVICE_STATE_ACTIVE;
    return S_OK;
  }

 private:
  const wchar_t* id_;
};

class SimEnumerator final : public Counted<IMMDeviceEnumerator> {
 public:
  SimEnumerator() {
    std::lock_guard<std::mutex> state(StateLock);
    ++Record.Made;
    ++Record.Alive;
  }
  ~SimEnumerator() override {
    std::lock_guard<std::mutex> state(StateLock);
    --Record.Alive;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return Answer(iid, out); }
  HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole, IMMDevice** out) override {
    std::lock_guard<std::mutex> state(StateLock);
    *out = flow == eRender && DefaultOutput != nullptr ? new SimDevice(DefaultOutput) : nullptr;
    return *out != nullptr ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  }
  HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient* client) override {
    std::lock_guard<std::mutex> state(StateLock);
    if (client == nullptr || Client != nullptr) return E_INVALIDARG;
    client->AddRef();
    Client = client;
    Record.Registered = true;
    ++Record.Registrations;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient* client) override;
};

HRESULT SimEnumerator::UnregisterEndpointNotificationCallback(IMMNotificationClient* client) {
  bool callFirst;
  {
    std::lock_guard<std::mutex> state(StateLock);
    callFirst = std::exchange(CallDuringUnregister, false);
  }
  if (callFirst) {
    // A callback under way as the plug-in unregisters: the speakers report their state.
    std::atomic<bool> entered{false};
    Enqueue([&entered] {
      Announce(SimSpeakers, [&entered](auto c, LPCWSTR i) {
        entered.store(true);
        c->OnDeviceStateChanged(i, DEVICE_STATE_ACTIVE);
      });
    });
    while (!entered.load()) Sleep(1);
  }
  // Waits for a call under way; one that does not return is a client that waits for somebody.
  const bool locked = CallLock.try_lock_for(std::chrono::seconds(1));
  if (!locked) CallbacksReturned.store(false);
  std::lock_guard<std::mutex> state(StateLock);
  const bool ours = client != nullptr && client == Client;
  if (ours) {
    Client = nullptr;
    Record.Registered = false;
    ++Record.Unregistrations;
  }
  if (locked) CallLock.unlock();
  if (ours) client->Release();
  return ours ? S_OK : E_INVALIDARG;
}

HRESULT WINAPI StandInCoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                       LPVOID* out) {
  if (!IsEqualCLSID(clsid, __uuidof(MMDeviceEnumerator)))
    return RealCoCreateInstance.load()(clsid, outer, context, iid, out);
  APTTYPE apartment{};
  APTTYPEQUALIFIER qualifier{};
  const bool mta = SUCCEEDED(CoGetApartmentType(&apartment, &qualifier)) && apartment == APTTYPE_MTA;
  bool present;
  {
    std::lock_guard<std::mutex> state(StateLock);
    Record.MadeOffHostThread = Record.MadeOffHostThread && GetCurrentThreadId() != HostThread;
    Record.MadeInMta = Record.MadeInMta && mta;
    present = Present;
  }
  *out = nullptr;
  if (!present) return REGDB_E_CLASSNOTREG;  // what Windows XP answers
  auto* enumerator = new SimEnumerator;
  const HRESULT result = enumerator->QueryInterface(iid, out);
  enumerator->Release();
  return result;
}

HRESULT WINAPI CountedCoInitializeEx(LPVOID reserved, DWORD model) {
  const HRESULT result = RealCoInitializeEx.load()(reserved, model);
  std::lock_guard<std::mutex> state(StateLock);
  if (SUCCEEDED(result)) ++Record.ComBalance;
  return result;
}

void WINAPI CountedCoUninitialize() {
  RealCoUninitialize.load()();
  std::lock_guard<std::mutex> state(StateLock);
  --Record.ComBalance;
}

template <class Fn>
FARPROC StandIn(FARPROC real, std::atomic<Fn>& keep, Fn standIn) {
  keep.store(reinterpret_cast<Fn>(real));
  return reinterpret_cast<FARPROC>(standIn);
}

// Without the audio API the system folder holds no audio endpoint DLL either.
DWORD WINAPI AudioGetFileAttributesW(LPCWSTR path) {
  bool present;
  {
    std::lock_guard<std::mutex> state(StateLock);
    present = Present;
  }
  const size_t length = path != nullptr ? wcslen(path) : 0;
  constexpr wchar_t Dll[] = L"\\mmdevapi.dll";
  constexpr size_t DllLength = std::size(Dll) - 1;
  if (!present && length >= DllLength && _wcsicmp(path + length - DllLength, Dll) == 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return RealGetFileAttributesW.load()(path);
}

FARPROC WINAPI AudioGetProcAddress(HMODULE module, LPCSTR name) {
  const FARPROC real = RealGetProcAddress.load()(module, name);
  if (real == nullptr || IS_INTRESOURCE(name)) return real;
  if (strcmp(name, "CoCreateInstance") == 0)
    return StandIn(real, RealCoCreateInstance, StandInCoCreateInstance);
  if (strcmp(name, "CoInitializeEx") == 0) return StandIn(real, RealCoInitializeEx, CountedCoInitializeEx);
  if (strcmp(name, "CoUninitialize") == 0) return StandIn(real, RealCoUninitialize, CountedCoUninitialize);
  return real;
}

// Keeps the first original: a second install into the same mapping finds the slot already ours.
template <class Fn>
bool Patch(HMODULE plugin, const char* function, Fn replacement, std::atomic<Fn>& real) {
  void* original = reinterpret_cast<void*>(real.load());
  if (!HostPatchImport(plugin, "kernel32.dll", function, reinterpret_cast<void*>(replacement), &original))
    return false;
  real.store(reinterpret_cast<Fn>(original));
  return original != nullptr;
}

}  // namespace

bool AudioSimInstall(HMODULE plugin, bool present) {
  {
    std::lock_guard<std::mutex> state(StateLock);
    Record = AudioSimRecord{};
    Record.MadeOffHostThread = Record.MadeInMta = true;
    Present = present;
    HostThread = GetCurrentThreadId();
    DefaultOutput = SimHeadphones;
    CallDuringUnregister = false;
  }
  CallbacksReturned.store(true);
  return Patch(plugin, "GetProcAddress", AudioGetProcAddress, RealGetProcAddress) &&
         Patch(plugin, "GetFileAttributesW", AudioGetFileAttributesW, RealGetFileAttributesW);
}

void AudioSimUnplug(bool defaultFirst) {
  if (defaultFirst) AnnounceDefault(SimSpeakers);
  AnnounceState(SimHeadphones, DEVICE_STATE_UNPLUGGED);
  if (!defaultFirst) AnnounceDefault(SimSpeakers);
}

void AudioSimPlugBack() {
  AnnounceState(SimHeadphones, DEVICE_STATE_ACTIVE);
  AnnounceDefault(SimHeadphones);
}

void AudioSimSwitchToSpeakers() { AnnounceDefault(SimSpeakers); }

void AudioSimRemoveLast() {
  const wchar_t* last;
  {
    std::lock_guard<std::mutex> state(StateLock);
    last = DefaultOutput;
  }
  Enqueue([last] { Announce(last, [](auto c, LPCWSTR i) { c->OnDeviceRemoved(i); }); });
  AnnounceDefault(nullptr);
}

bool AudioSimSettle(DWORD timeoutMs) {
  uint64_t target;
  {
    std::lock_guard<std::mutex> guard(Worker.Lock);
    target = Worker.Queued;
  }
  const bool done = HostPumpUntil(
      [target] {
        std::lock_guard<std::mutex> guard(Worker.Lock);
        return Worker.Done >= target;
      },
      timeoutMs);
  // What the last call posted is in the host's queue by now.
  HostPump(20);
  return done;
}

bool AudioSimWatching(DWORD timeoutMs) {
  const bool watching = HostPumpUntil(
      [] {
        std::lock_guard<std::mutex> state(StateLock);
        return Record.Registered && Record.DevicesReleased >= 2 * Record.Registrations;
      },
      timeoutMs);
  HostPump(20);
  return watching;
}

void AudioSimCallDuringUnregister(bool call) {
  std::lock_guard<std::mutex> state(StateLock);
  CallDuringUnregister = call;
}

bool AudioSimCallbacksReturned() { return CallbacksReturned.load(); }

AudioSimRecord AudioSimState() {
  std::lock_guard<std::mutex> state(StateLock);
  return Record;
}
