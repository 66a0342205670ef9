// Feeds arbitrary bytes to the version-reply walk. The first byte picks how the fake code page
// and "Files" section behave; the rest is the reply. Also checks that the walk looks up no more
// than its limit of entries and that version comparison is antisymmetric on the reply's first
// two strings.
// Built a second time as fuzz_reply_long (FUZZ_LONG_REPLIES): the rest of the input then
// describes a reply of up to one and a half mebibytes, so that the cap and the entry limit are
// reached without libFuzzer mutating megabytes, and data past the cap must change nothing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text_bounds.h"
#include "version_compare.h"
#include "version_reply.h"

namespace {

uint8_t Mode;
size_t Lookups;

size_t Widen(void*, std::string_view text, char16_t* out, size_t capacity) {
  size_t n = 0;
  for (size_t i = 0; i < text.size() && n + 1 < capacity; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((Mode & 1) && c >= 0x80 && i + 1 < text.size())
      ++i;  // a lead byte and its trail byte give one unit, as in a double-byte code page
    out[n++] = static_cast<char16_t>(c);
  }
  if ((Mode & 2) && n > 0 && static_cast<unsigned char>(text[0]) == 0xFF) n = 0;  // conversion failure
  out[n] = u'\0';
  return n;
}

size_t LookupFile(void*, const char16_t* key, char16_t* out, size_t capacity) {
  const size_t length = std::char_traits<char16_t>::length(key);
  if (length >= FileTextCapacity) std::abort();  // an over-long key must never be looked up
  ++Lookups;
  // The key itself serves as the path, unless it names no file.
  return BoundedCopy(out, capacity, key, (key[0] & 3) == 0 ? 0 : length);
}

void ReadVersion(void*, const char16_t* path, char16_t* out, size_t capacity) {
  // The path doubles as the installed version, or there is none.
  BoundedCopy(out, capacity, path, (Mode & 4) != 0 ? capacity : 0);
}

struct Walked {
  bool Result;
  char16_t NewVersion[NewVersionCapacity], DownloadUrl[DownloadUrlCapacity];
};

void Walk(std::span<const uint8_t> reply, Walked& out) {
  const ReplyIo io{nullptr, Widen, LookupFile, ReadVersion};
  Lookups = 0;
  out.Result = WalkVersionReply(reply, io, out.NewVersion, out.DownloadUrl);
  if (Lookups > ReplyEntryLimit ||
      std::char_traits<char16_t>::find(out.NewVersion, NewVersionCapacity, u'\0') == nullptr ||
      std::char_traits<char16_t>::find(out.DownloadUrl, DownloadUrlCapacity, u'\0') == nullptr)
    std::abort();
}

#ifdef FUZZ_LONG_REPLIES
// A 24-bit repeat count, the lengths of head and pattern (one byte each), then head, pattern and
// tail: the reply is the head, the pattern repeated, then the tail, cut at one and a half
// mebibytes.
std::vector<uint8_t> Stretch(const uint8_t* data, size_t size) {
  std::vector<uint8_t> reply;
  if (size < 5) return reply;
  const size_t count = data[0] | data[1] << 8 | data[2] << 16;
  const size_t limit = ReplyCapBytes + ReplyCapBytes / 2, rest = size - 5;
  const size_t head = std::min<size_t>(data[3], rest), pattern = std::min<size_t>(data[4], rest - head);
  const uint8_t* at = data + 5;
  const size_t times = pattern == 0 ? 0 : std::min(count, (limit - head) / pattern + 1),
               total = times * pattern;
  reply.resize(head + total);
  std::memcpy(reply.data(), at, head);
  // The pattern once, then the filled part copied behind itself until the repeats are in.
  uint8_t* repeats = reply.data() + head;
  for (size_t filled = 0; filled < total;) {
    const size_t n = filled == 0 ? pattern : std::min(filled, total - filled);
    std::memcpy(repeats + filled, filled == 0 ? at + head : repeats, n);
    filled += n;
  }
  reply.insert(reply.end(), at + head + pattern, data + size);
  if (reply.size() > limit) reply.resize(limit);
  return reply;
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Mode = data[0];
#ifdef FUZZ_LONG_REPLIES
  const std::vector<uint8_t> stretched = Stretch(data + 1, size - 1);
  const std::span<const uint8_t> reply(stretched);
#else
  const std::span<const uint8_t> reply(data + 1, size - 1);
#endif
  static Walked walked, capped;
  Walk(reply, walked);
  if (reply.size() > ReplyCapBytes) {
    Walk(reply.first(ReplyCapBytes), capped);
    if (walked.Result != capped.Result || std::u16string_view(walked.NewVersion) != capped.NewVersion ||
        std::u16string_view(walked.DownloadUrl) != capped.DownloadUrl)
      std::abort();  // data past the cap changed the outcome
  }

  const char* text = reinterpret_cast<const char*>(reply.data());
  const size_t first = strnlen(text, reply.size());
  const size_t rest = first < reply.size() ? reply.size() - first - 1 : 0;
  char16_t a[512], b[512];
  const size_t la = Widen(nullptr, std::string_view(text, first), a, 512);
  const char* second = text + reply.size() - rest;
  const size_t lb = Widen(nullptr, std::string_view(second, strnlen(second, rest)), b, 512);
  const int ab = CompareVersionText({a, la}, {b, lb});
  if (ab < -1 || ab > 1 || CompareVersionText({b, lb}, {a, la}) != -ab ||
      CompareVersionText({a, la}, {a, la}) != 0)
    std::abort();
  return 0;
}
