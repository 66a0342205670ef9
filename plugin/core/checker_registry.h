// Where the plug-in finds the update checker: a machine-wide registry value that the checker's
// installer writes and the plug-in only reads. The plug-in, its tests and the start benchmark share it.
#pragma once

// Under HKEY_LOCAL_MACHINE; the value's data are the checker's full path.
inline constexpr wchar_t CheckerRegistryKey[] = L"SOFTWARE\\Brennick\\Verlift";
inline constexpr wchar_t CheckerRegistryValue[] = L"2.0";
