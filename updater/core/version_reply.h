// The version reply: NUL-separated 8-bit strings ReplyMagic, new version, download address,
// then pairs of file key and file version, ended by an empty string or the end of the data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

inline constexpr char ReplyMagic[] = "Tavo-Verlift";
inline constexpr size_t ReplyCapBytes = 1u << 20;  // data past this is ignored as if the reply ended there
// File entries (key and version) the walk examines; later ones are ignored as if the reply ended
// there. A product names a handful of files, but each entry may cost a profile lookup (about
// 0.2 ms under Wine) and the read of a file's version resource: 256 leaves room for any file
// list and keeps the worst reply far below the query's time limit.
inline constexpr size_t ReplyEntryLimit = 256;
inline constexpr size_t NewVersionCapacity = 20, DownloadUrlCapacity = 2084, FileTextCapacity = 260,
                        LocalVersionCapacity = 32;

// True when the reply's first string is exactly ReplyMagic.
bool IsReplyMagic(std::string_view first);

struct ReplyIo {
  void* Context;
  // 8-bit text (no NUL inside) to UTF-16 with the thread's ANSI code page; writes at most
  // capacity-1 units plus terminator (cut safely), returns units written.
  size_t (*Widen)(void* context, std::string_view text, char16_t* out, size_t capacity);
  // Section "Files" lookup of key: copies the local path (capacity 260), returns units copied;
  // 0 = not listed or empty.
  size_t (*LookupFile)(void* context, const char16_t* key, char16_t* out, size_t capacity);
  // Installed FileVersion text of path into out (capacity 32); leaves it empty when unavailable.
  void (*ReadVersion)(void* context, const char16_t* path, char16_t* out, size_t capacity);
};

// Walks the reply, at most ReplyEntryLimit file entries of it. Returns true at the first
// listed installed file that is older than advertised. newVersion and downloadUrl are
// emptied first and filled whenever the magic matches; a version too long for its buffer is cut,
// a download address too long for its buffer is left empty (nothing to open). A file
// key longer than 259 characters is skipped with its version, since a cut key could name a
// different file.
bool WalkVersionReply(std::span<const uint8_t> reply, const ReplyIo& io,
                      char16_t (&newVersion)[NewVersionCapacity],
                      char16_t (&downloadUrl)[DownloadUrlCapacity]);
