// The version query: fetch the product's version reply and compare it with the installed files.
#include "verlift.h"

#include <wininet.h>

#include <atomic>
#include <span>

#include "file_version.h"
#include "redirect.h"
#include "resolve.h"
#include "system_library.h"
#include "text_bounds.h"
#include "web_address.h"

// The whole query, from opening the internet handle until its last handle is closed and the
// last comparison is made, ends after this long. A test build overrides it so that a server
// that never answers costs seconds, not a minute.
#ifndef VERLIFT_QUERY_LIMIT_MS
#define VERLIFT_QUERY_LIMIT_MS 60000
#endif
// How long a query cut off at the limit may take to return before the process is ended.
#ifndef VERLIFT_QUERY_GRACE_MS
#define VERLIFT_QUERY_GRACE_MS 5000
#endif

namespace {

constexpr DWORD QueryLimitMs = VERLIFT_QUERY_LIMIT_MS;
constexpr DWORD QueryGraceMs = VERLIFT_QUERY_GRACE_MS;
constexpr DWORD SocketTimeoutMs = 20000;
constexpr DWORD ReadChunk = 1024;
// Redirects are followed here, not by WinINet, so that each target is checked before it is asked.
constexpr DWORD OpenUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_UI |
                               INTERNET_FLAG_NO_AUTO_REDIRECT;
static_assert(ReplyCapBytes % ReadChunk == 0);

// WinINet's functions, from the system folder's copy, for the one query of a run.
struct InternetApi {
  HMODULE Module;
  decltype(&::InternetOpenW) InternetOpenW;
  decltype(&::InternetSetOptionW) InternetSetOptionW;
  decltype(&::InternetOpenUrlW) InternetOpenUrlW;
  decltype(&::InternetReadFile) InternetReadFile;
  decltype(&::InternetCloseHandle) InternetCloseHandle;
  decltype(&::HttpQueryInfoW) HttpQueryInfoW;
};

InternetApi Net;

bool ResolveInternet(InternetApi& api) {
  return Resolve(api.Module, "InternetOpenW", api.InternetOpenW) &&
         Resolve(api.Module, "InternetSetOptionW", api.InternetSetOptionW) &&
         Resolve(api.Module, "InternetOpenUrlW", api.InternetOpenUrlW) &&
         Resolve(api.Module, "InternetReadFile", api.InternetReadFile) &&
         Resolve(api.Module, "InternetCloseHandle", api.InternetCloseHandle) &&
         Resolve(api.Module, "HttpQueryInfoW", api.HttpQueryInfoW);
}

bool LoadInternetLibrary() { return LoadSystemApi(L"wininet.dll", Net, ResolveInternet); }

void FreeInternetLibrary() { FreeSystemApi(Net); }

// Shared between the query and its watchdog thread.
struct QueryWatch {
  // The internet handle until one of the two closes it; whoever takes it out closes it.
  std::atomic<HINTERNET> Internet;
  // Set by the watchdog when the limit passed; the query's result is then 0.
  std::atomic<bool> Expired;
  // Signalled by the query when it is done.
  HANDLE Done;
};

QueryWatch Watch;

void CloseInternet() {
  const HINTERNET internet = Watch.Internet.exchange(nullptr, std::memory_order_relaxed);
  if (internet != nullptr) Net.InternetCloseHandle(internet);
}

// WinINet's own time-outs bound each connect, send and receive on Windows, but not every
// platform honours them (Wine ignores them), and a server that trickles its reply passes them
// all. Closing the internet handle aborts a blocked request; should even that not return, or
// the request's own close keep draining a body, the process ends: "LastCheck" is written and
// no dialog is up yet, so nothing is lost.
DWORD WINAPI WatchQuery(void*) {
  if (WaitForSingleObject(Watch.Done, QueryLimitMs) != WAIT_TIMEOUT) return 0;
  Watch.Expired.store(true, std::memory_order_relaxed);
  CloseInternet();
  if (WaitForSingleObject(Watch.Done, QueryGraceMs) == WAIT_TIMEOUT) TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}

// Returns the watchdog thread, or null when none could be started (the query then runs with
// WinINet's time-outs only).
HANDLE StartWatch(HINTERNET internet) {
  Watch.Internet.store(internet, std::memory_order_relaxed);
  Watch.Expired.store(false, std::memory_order_relaxed);
  Watch.Done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (Watch.Done == nullptr) return nullptr;
  const HANDLE thread = CreateThread(nullptr, 0, WatchQuery, nullptr, 0, nullptr);
  if (thread == nullptr) {
    CloseHandle(Watch.Done);
    Watch.Done = nullptr;
  }
  return thread;
}

// Ends the network's part while the watchdog still runs: the request, then the internet handle.
// Closing a request whose body has not been read to its end may go on reading it (Wine drains a
// chunked body for as long as data keeps arriving); the watchdog bounds that like any other step.
// Had the watchdog closed the internet handle already, the request went with it and its close
// here just fails.
void CloseNetwork(HINTERNET request) {
  if (request != nullptr) Net.InternetCloseHandle(request);
  CloseInternet();
}

// Returns whether the watchdog cut the query off.
bool StopWatch(HANDLE thread) {
  if (thread != nullptr) {
    SetEvent(Watch.Done);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(Watch.Done);
    Watch.Done = nullptr;
  }
  return Watch.Expired.load(std::memory_order_relaxed);
}

void SetTimeouts(HINTERNET internet) {
  for (DWORD option :
       {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    DWORD milliseconds = SocketTimeoutMs;
    Net.InternetSetOptionW(internet, option, &milliseconds, sizeof milliseconds);
  }
}

// Reads the body into a zero-filled block of the private heap that grows by ReadChunk whenever
// it is full. Reading stops at the end of the body, at a failed read, when the block cannot
// grow, or at ReplyCapBytes: data past the cap is never read. Returns the bytes received.
size_t ReadReply(HINTERNET request, HANDLE heap, uint8_t*& buffer) {
  size_t size = ReadChunk, received = 0;
  while (received < ReplyCapBytes) {
    if (received == size) {
      void* grown = HeapReAlloc(heap, HEAP_ZERO_MEMORY, buffer, size + ReadChunk);
      if (grown == nullptr) break;
      buffer = static_cast<uint8_t*>(grown);
      size += ReadChunk;
    }
    DWORD count = 0;
    const DWORD wanted = static_cast<DWORD>(size - received);
    if (!Net.InternetReadFile(request, buffer + received, wanted, &count) || count == 0 || count > wanted)
      break;
    received += count;
  }
  return received;
}

// 8-bit reply text to UTF-16 in the thread's ANSI code page. MultiByteToWideChar fails
// outright on a short buffer, so a text that does not fit is converted whole and then cut,
// never between the two halves of a surrogate pair.
size_t WidenText(void*, std::string_view text, char16_t* out, size_t capacity) {
  if (capacity == 0) return 0;
  out[0] = u'\0';
  if (text.empty() || text.size() > ReplyCapBytes) return 0;
  const int bytes = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), bytes, nullptr, 0);
  if (needed <= 0) return 0;
  if (static_cast<size_t>(needed) < capacity) {
    int written = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), bytes, Wide(out), needed);
    if (written < 0) written = 0;
    out[written] = u'\0';
    return static_cast<size_t>(written);
  }
  auto* whole =
      static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(needed) * sizeof(wchar_t)));
  if (whole == nullptr) return 0;
  const int written = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), bytes, whole, needed);
  const size_t units = written > 0 ? static_cast<size_t>(written) : 0;
  size_t length = BoundedCopy(out, capacity, whole, units);
  if (length < units) length = KeepWholePairs(out, length);
  HeapFree(GetProcessHeap(), 0, whole);
  return length;
}

size_t LookupInstalledFile(void*, const char16_t* key, char16_t* out, size_t capacity) {
  return GetPrivateProfileStringW(L"Files", Wide(key), L"", Wide(out), static_cast<DWORD>(capacity),
                                  Wide(IniPath));
}

void ReadInstalledVersion(void*, const char16_t* path, char16_t* out, size_t capacity) {
  char16_t version[LocalVersionCapacity];
  ReadFileVersion(version, path);
  if (capacity > 0) BoundedCopy(out, capacity, version, LocalVersionCapacity);
}

// Where a redirect leads: its Location whole (a longer one does not fit and is refused, never
// cut), resolved against address and checked by the address rule, into address itself.
bool FollowRedirect(HINTERNET request, char16_t (&address)[QueryAddressCapacity]) {
  char16_t location[QueryAddressCapacity];
  DWORD bytes = sizeof location;
  if (!Net.HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location, &bytes, nullptr)) return false;
  char16_t target[QueryAddressCapacity];
  const std::u16string_view given(location, BoundedLength(location, QueryAddressCapacity));
  if (!RedirectTarget(std::u16string_view(address), given, target)) return false;
  BoundedCopy(address, QueryAddressCapacity, target, QueryAddressCapacity);
  return true;
}

// Asks address and the redirects from it, at most MaxRedirects; returns the request whose
// status is 200, else null (every other request closed).
HINTERNET OpenReply(HINTERNET internet, char16_t (&address)[QueryAddressCapacity]) {
  for (int redirects = 0;; ++redirects) {
    const HINTERNET request = Net.InternetOpenUrlW(internet, Wide(address), nullptr, 0, OpenUrlFlags, 0);
    if (request == nullptr) return nullptr;
    DWORD status = 0, size = sizeof status;
    if (!Net.HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                            nullptr))
      status = 0;
    const Response response = ClassifyStatus(status);
    if (response == Response::Reply) return request;
    const bool follow =
        response == Response::Redirect && redirects < MaxRedirects && FollowRedirect(request, address);
    Net.InternetCloseHandle(request);
    if (!follow) return nullptr;
  }
}

// The query proper, once the libraries are loaded.
bool AskAndCompare(char16_t (&address)[QueryAddressCapacity]) {
  const HINTERNET internet = Net.InternetOpenW(UserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (internet == nullptr) return false;
  SetTimeouts(internet);
  const HANDLE watchdog = StartWatch(internet);

  bool result = false;
  const HINTERNET request = OpenReply(internet, address);
  const HANDLE heap = request != nullptr ? HeapCreate(0, 0, 0) : nullptr;
  auto* buffer =
      heap != nullptr ? static_cast<uint8_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, ReadChunk)) : nullptr;
  const size_t received = buffer != nullptr ? ReadReply(request, heap, buffer) : 0;
  // Whatever the server still sends is not wanted: the connection goes before the walk.
  CloseNetwork(request);
  if (buffer != nullptr) {
    const ReplyIo io = {nullptr, WidenText, LookupInstalledFile, ReadInstalledVersion};
    result = WalkVersionReply(std::span<const uint8_t>(buffer, received), io, NewVersion, DownloadUrl);
    HeapFree(heap, 0, buffer);
  }
  if (heap != nullptr) HeapDestroy(heap);
  // A query cut off at the limit shows nothing, whatever arrived before.
  if (StopWatch(watchdog)) result = false;
  return result;
}

}  // namespace

// Both libraries are had before anything is asked: without VERSION.DLL every installed file
// would read as empty, and so as older than advertised.
bool QueryVersions() {
  char16_t address[QueryAddressCapacity];
  if (!BuildQueryAddress(std::u16string_view(Homepage), address)) return false;
  if (!LoadInternetLibrary()) return false;
  if (!LoadVersionLibrary()) {
    FreeInternetLibrary();
    return false;
  }
  const bool result = AskAndCompare(address);
  FreeVersionLibrary();
  FreeInternetLibrary();
  return result;
}
