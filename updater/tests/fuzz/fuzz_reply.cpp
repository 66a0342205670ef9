// Feeds arbitrary bytes to the version-reply walk. The first byte picks how the fake code page
// and "Files" section behave; the rest is the reply. Also checks that version comparison is
// antisymmetric on the reply's first two strings.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "version_compare.h"
#include "version_reply.h"

namespace {

uint8_t Mode;

size_t Widen(void*, std::string_view text, char16_t* out, size_t capacity)
{
    size_t n = 0;
    for (size_t i = 0; i < text.size() && n + 1 < capacity; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((Mode & 1) && c >= 0x80 && i + 1 < text.size())
            ++i;  // a lead byte and its trail byte give one unit, as in a double-byte code page
        out[n++] = static_cast<char16_t>(c);
    }
    if ((Mode & 2) && n > 0 && static_cast<unsigned char>(text[0]) == 0xFF)
        n = 0;  // conversion failure
    out[n] = u'\0';
    return n;
}

size_t LookupFile(void*, const char16_t* key, char16_t* out, size_t capacity)
{
    size_t length = 0;
    while (key[length] != u'\0')
        ++length;
    if (length >= FileTextCapacity)
        std::abort();  // an over-long key must never be looked up
    if ((key[0] & 3) == 0)
        return out[0] = u'\0', 0;
    // The key itself serves as the path.
    size_t n = length < capacity - 1 ? length : capacity - 1;
    std::memcpy(out, key, n * sizeof(char16_t));
    out[n] = u'\0';
    return n;
}

void ReadVersion(void*, const char16_t* path, char16_t* out, size_t capacity)
{
    size_t n = 0;
    if (Mode & 4)  // the path doubles as the installed version
        for (; path[n] != u'\0' && n + 1 < capacity; ++n)
            out[n] = path[n];
    out[n] = u'\0';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    Mode = data[0];
    const std::span<const uint8_t> reply(data + 1, size - 1);
    const ReplyIo io{nullptr, Widen, LookupFile, ReadVersion};
    char16_t newVersion[NewVersionCapacity], downloadUrl[DownloadUrlCapacity];
    const int result = WalkVersionReply(reply, io, newVersion, downloadUrl);
    if ((result != 0 && result != 1) || std::char_traits<char16_t>::find(newVersion, NewVersionCapacity, u'\0') == nullptr ||
        std::char_traits<char16_t>::find(downloadUrl, DownloadUrlCapacity, u'\0') == nullptr)
        std::abort();

    const char* text = reinterpret_cast<const char*>(reply.data());
    const size_t first = strnlen(text, reply.size());
    const size_t rest = first < reply.size() ? reply.size() - first - 1 : 0;
    char16_t a[512], b[512];
    const size_t la = Widen(nullptr, std::string_view(text, first), a, 512);
    const size_t lb = Widen(nullptr, std::string_view(text + reply.size() - rest, strnlen(text + reply.size() - rest, rest)), b, 512);
    const int ab = CompareVersionText({a, la}, {b, lb});
    if (ab < -1 || ab > 1 || CompareVersionText({b, lb}, {a, la}) != -ab || CompareVersionText({a, la}, {a, la}) != 0)
        std::abort();
    return 0;
}
