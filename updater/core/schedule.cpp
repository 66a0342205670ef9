#include "schedule.h"

#include <cstddef>

namespace {

void FormatSigned(int32_t value, char16_t (&out)[64])
{
    // Work on the magnitude as unsigned so that INT32_MIN needs no branch of its own.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char16_t digits[10];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    size_t at = 0;
    if (value < 0)
        out[at++] = u'-';
    while (count > 0)
        out[at++] = digits[--count];
    out[at] = u'\0';
}

}  // namespace

uint64_t JoinLastCheck(int32_t lo, int32_t hi)
{
    return (uint64_t{static_cast<uint32_t>(hi)} << 32) | static_cast<uint32_t>(lo);
}

void FormatLastCheck(uint64_t now, char16_t (&lo)[64], char16_t (&hi)[64])
{
    FormatSigned(static_cast<int32_t>(static_cast<uint32_t>(now)), lo);
    FormatSigned(static_cast<int32_t>(static_cast<uint32_t>(now >> 32)), hi);
}

int IsCheckDue(int32_t interval, int32_t lo, int32_t hi, uint64_t now)
{
    if (interval == 0)
        return 0;
    if (lo == 0 && hi == 0)
        return 1;
    const uint64_t last = JoinLastCheck(lo, hi);
    // A stored time in the future means the clock was wrong when it was written; waiting for the
    // clock to catch up could silence checks for years, so check now and store a sane time.
    if (last > now)
        return 1;
    const int64_t days = static_cast<int64_t>((now - last) / TicksPerDay);
    return days >= interval ? 1 : 0;
}
