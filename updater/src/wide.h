// The checker keeps its texts as char16_t, the type of the portable core; the Windows API spells
// the same 16-bit units wchar_t. These views are only ever handed to the system.
#pragma once

inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

inline wchar_t* Wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
