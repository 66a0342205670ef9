// The Win32 helpers both programs share, where they can go wrong: a DLL found outside the system
// folder, a lookup that falls back to the program's own exports, a shell start that fails.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "resolve.h"
#include "shell_open.h"
#include "system_library.h"
#include "test_files.h"

// An export of this program: GetProcAddress with a null module would find it.
extern "C" __declspec(dllexport) int HbProgramExport() { return 7; }

namespace {

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

TEST(SystemLibrary, LoadsOnlyFromTheSystemFolder) {
  wchar_t system[MAX_PATH];
  ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
  const HMODULE wts = LoadSystemLibrary(L"wtsapi32.dll");
  ASSERT_NE(wts, nullptr);
  EXPECT_EQ(CompareStringOrdinal(ModulePath(wts).c_str(), -1, (system + std::wstring(L"\\wtsapi32.dll")).c_str(), -1,
                                 TRUE),
            CSTR_EQUAL);
  FreeLibrary(wts);
  // A DLL in the current folder, where a search by name finds it, is not the system's.
  const TempFolder folder(L"planted");
  ASSERT_TRUE(CopyFileW((ProgramFolder() + L"gen_hushbell.dll").c_str(), (folder.Path + L"hb_planted.dll").c_str(),
                        FALSE));
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  SetCurrentDirectoryW(folder.Path.c_str());
  const HMODULE byName = LoadLibraryW(L"hb_planted.dll");
  EXPECT_NE(byName, nullptr) << "the plant must be findable by name";
  EXPECT_EQ(LoadSystemLibrary(L"hb_planted.dll"), nullptr);
  if (byName != nullptr) FreeLibrary(byName);
  SetCurrentDirectoryW(current);
  // A name that would not fit the path is refused, not cut to another name.
  EXPECT_EQ(LoadSystemLibrary((std::wstring(MAX_PATH, L'a') + L".dll").c_str()), nullptr);
}

TEST(Resolve, TypedLookupOrNull) {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto tick = Resolved<decltype(&GetTickCount)>(kernel, "GetTickCount");
  ASSERT_NE(tick, nullptr);
  EXPECT_NE(tick(), 0u);
  // A miss empties what the caller held before.
  EXPECT_FALSE(Resolve(kernel, "HbNoSuchFunction", tick));
  EXPECT_EQ(tick, nullptr);
  // No module (a DLL that did not load) finds nothing, not this program's own export.
  ASSERT_NE(GetProcAddress(nullptr, "HbProgramExport"), nullptr);
  EXPECT_EQ(Resolved<int (*)()>(nullptr, "HbProgramExport"), nullptr);
}

TEST(ShellOpen, ReportsWhetherTheShellStartedIt) {
  const std::string record = UniqueTempPath("shell_open");
  SetEnvironmentVariableA("HB_RECORD_FILE", record.c_str());
  EXPECT_TRUE(ShellOpen((ProgramFolder() + L"arg_recorder.exe").c_str(), L"\"a b\" c", SW_SHOWNORMAL));
  for (int wait = 0; wait < 100 && RecordedStarts(record).empty(); ++wait) Sleep(50);
  EXPECT_EQ(RecordedStarts(record), std::vector<std::string>{"a b\tc"});
  EXPECT_FALSE(ShellOpen((ProgramFolder() + L"hb_missing.exe").c_str(), nullptr, SW_SHOWNORMAL));
  DeleteFileA(record.c_str());
}

}  // namespace
