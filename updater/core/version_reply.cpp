// Walking the version reply: the magic, the advertised version and address, then the files.
#include "version_reply.h"

#include <cstdlib>

#include "text_bounds.h"
#include "version_compare.h"

namespace {

// Reads the string at offset: it ends at a NUL or at the end of the data, which reads as NUL.
std::string_view NextString(std::span<const uint8_t> data, size_t& offset) {
  const size_t start = offset;
  while (offset < data.size() && data[offset] != 0) ++offset;
  std::string_view text(reinterpret_cast<const char*>(data.data()) + start, offset - start);
  if (offset < data.size()) ++offset;  // past the NUL
  return text;
}

// Widens into a fixed buffer and returns the length, always leaving it terminated in bounds.
size_t WidenInto(const ReplyIo& io, std::string_view text, char16_t* out, size_t capacity) {
  out[0] = u'\0';
  if (text.empty()) return 0;
  size_t length = io.Widen(io.Context, text, out, capacity);
  if (length > capacity - 1) length = capacity - 1;
  out[length] = u'\0';
  return length;
}

// Local path of a file key, or 0 when the file is not installed here; the path is terminated
// whatever the lookup reported.
size_t LookupPath(const ReplyIo& io, const char16_t* key, char16_t (&path)[FileTextCapacity]) {
  size_t length = io.LookupFile(io.Context, key, path, FileTextCapacity);
  if (length > FileTextCapacity - 1) length = FileTextCapacity - 1;
  path[length] = u'\0';
  return length;
}

// -1 when the installed version is older than the advertised one. An advertised text that cannot
// be widened for lack of memory counts as not newer.
int CompareWithAdvertised(const ReplyIo& io, std::u16string_view local, std::string_view advertised) {
  if (advertised.empty()) return CompareVersionText(local, std::u16string_view());
  // A code page never gives more UTF-16 units than bytes, so this holds the whole text.
  const size_t capacity = advertised.size() + 1;
  auto* wide = static_cast<char16_t*>(std::malloc(capacity * sizeof(char16_t)));
  if (wide == nullptr) return 0;
  const size_t length = WidenInto(io, advertised, wide, capacity);
  const int result = CompareVersionText(local, std::u16string_view(wide, length));
  std::free(wide);
  return result;
}

}  // namespace

bool IsReplyMagic(std::string_view first) { return first == std::string_view(ReplyMagic); }

bool WalkVersionReply(std::span<const uint8_t> reply, const ReplyIo& io,
                      char16_t (&newVersion)[NewVersionCapacity],
                      char16_t (&downloadUrl)[DownloadUrlCapacity]) {
  newVersion[0] = u'\0';
  downloadUrl[0] = u'\0';
  const std::span<const uint8_t> data =
      reply.first(reply.size() < ReplyCapBytes ? reply.size() : ReplyCapBytes);
  size_t offset = 0;
  if (!IsReplyMagic(NextString(data, offset))) return false;
  WidenInto(io, NextString(data, offset), newVersion, NewVersionCapacity);
  // A download address that does not fit is dropped, not cut: a cut address is another one.
  char16_t url[DownloadUrlCapacity + 1];
  const size_t urlLength = WidenInto(io, NextString(data, offset), url, DownloadUrlCapacity + 1);
  if (urlLength < DownloadUrlCapacity) BoundedCopy(downloadUrl, DownloadUrlCapacity, url, urlLength);

  for (size_t entry = 0; entry < ReplyEntryLimit; ++entry) {
    const std::string_view keyText = NextString(data, offset);
    if (keyText.empty()) return false;
    // One unit more than a key may have, so that an over-long key shows as such.
    char16_t key[FileTextCapacity + 1];
    char16_t path[FileTextCapacity];
    const size_t keyLength = WidenInto(io, keyText, key, FileTextCapacity + 1);
    if (keyLength == 0 || keyLength >= FileTextCapacity || LookupPath(io, key, path) == 0) {
      NextString(data, offset);  // the version of a file not installed here
      continue;
    }
    char16_t local[LocalVersionCapacity] = {};
    io.ReadVersion(io.Context, path, local, LocalVersionCapacity);
    local[LocalVersionCapacity - 1] = u'\0';
    if (CompareWithAdvertised(io, std::u16string_view(local), NextString(data, offset)) < 0) return true;
  }
  return false;
}
