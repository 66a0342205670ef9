// Redirects the checker follows itself, so that every address it asks passes the same rule
// (IsHttpsOrLoopback) as the first one: a redirect to plain http elsewhere is never asked.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "web_address.h"

// Redirects followed in one query; the next one ends it as a failed network check does.
inline constexpr int MaxRedirects = 5;

enum class Response {
  Reply,     // 200: the body is the version reply
  Redirect,  // 301, 302, 303, 307, 308: ask the Location instead
  Nothing,   // anything else: no reply, whatever its body holds
};
Response ClassifyStatus(uint32_t status);

// The address a Location header leads to from current (an address the rule accepted): absolute,
// scheme-relative ("//host/..." takes current's scheme), absolute-path, query-only or relative to
// current's folder. False, and out empty, for an empty Location, a result that does not fit out
// (refused, never cut), or one the rule refuses.
bool RedirectTarget(std::u16string_view current, std::u16string_view location,
                    char16_t (&out)[QueryAddressCapacity]);
