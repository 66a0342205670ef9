// The resources of Verlift.exe: its dialog, icon, manifest and version, and the reading of a
// file's version.
#include <algorithm>
#include <cstring>
#include <tuple>

#include "dialog_template.h"
#include "file_version.h"
#include "resource.h"
#include "test_version.h"
#include "verlift_run.h"
#include "version.h"

namespace {

const HMODULE VerliftData = LoadLibraryExW(VerliftExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);

const BYTE* VerliftResource(int id, const void* type, DWORD* size = nullptr) {
  // Without the module, FindResourceW would search this test program instead.
  if (VerliftData == nullptr) return nullptr;
  const HRSRC found = FindResourceW(VerliftData, MAKEINTRESOURCEW(id), static_cast<LPCWSTR>(type));
  if (found != nullptr && size != nullptr) *size = SizeofResource(VerliftData, found);
  return found == nullptr ? nullptr
                          : static_cast<const BYTE*>(LockResource(LoadResource(VerliftData, found)));
}

template <typename T>
T At(const void* bytes, size_t offset) {
  T value;
  memcpy(&value, static_cast<const BYTE*>(bytes) + offset, sizeof value);
  return value;
}

TEST(VerliftResources, DialogTemplateHasTheLayoutStylesAndTexts) {
  DWORD size = 0;
  const BYTE* bytes = VerliftResource(IDD_UPDATE, RT_DIALOG, &size);
  ASSERT_NE(bytes, nullptr);
  DialogTemplate dialog;
  ASSERT_TRUE(ReadDialogTemplate({bytes, size}, dialog));
  // No menu, the standard class; 8 points, FW_DONTCARE, not italic, DEFAULT_CHARSET.
  EXPECT_EQ(
      std::tie(dialog.Style, dialog.ExStyle, dialog.Width, dialog.Height, dialog.Menu, dialog.Class,
               dialog.Caption, dialog.PointSize, dialog.Weight, dialog.Italic, dialog.Charset, dialog.Face),
      std::make_tuple(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_3DLOOK | DS_SETFONT,
                      WS_EX_CONTROLPARENT, 235, 106, "", "", Narrow(DialogTitle), 8, 0, 0, 1,
                      "MS Sans Serif"));
  constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
  const std::vector<DialogItem> expected = {
      {1, "BUTTON", "&Download", Child | WS_TABSTOP | BS_DEFPUSHBUTTON, 121, 85, 50, 14},
      {2, "BUTTON", "&Later", Child | WS_TABSTOP | BS_PUSHBUTTON, 178, 85, 50, 14},
      {12, "STATIC", MessageTemplate, Child | WS_GROUP | SS_LEFT, 7, 7, 221, 58},
      {11, "BUTTON", "", Child | WS_TABSTOP | BS_PUSHBUTTON, 7, 85, 107, 14},
      {13, "STATIC", "Current Version:", WS_CHILD | WS_GROUP | SS_LEFT, 7, 55, 53, 8},
      {14, "STATIC", "0, 0, 0, 0", WS_CHILD | WS_GROUP | SS_RIGHT, 60, 55, 54, 8},
      {15, "STATIC", "New Version:", Child | WS_GROUP | SS_LEFT, 7, 71, 53, 8},
      {16, "STATIC", "0, 0, 0, 0", Child | WS_GROUP | SS_CENTER, 60, 71, 53, 8},
  };
  EXPECT_EQ(dialog.Items, expected);
}

TEST(VerliftResources, IconManifestAndVersionResource) {
  // Icon 101: 32, 16 and 48 pixels, in that order, 16 colours each.
  const BYTE* group = VerliftResource(IDI_APP, RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(std::make_tuple(At<WORD>(group, 2), At<WORD>(group, 4)),
            std::make_tuple(WORD{1}, WORD{3}));  // 3 icons
  const BYTE sizes[] = {32, 16, 48};
  for (int i = 0; i < 3; ++i) {
    const BYTE* entry = group + 6 + 14 * i;  // width, height, colours, reserved, planes, bits, ...
    EXPECT_EQ(std::make_tuple(entry[0], entry[1], entry[2], At<WORD>(entry, 6)),
              std::make_tuple(sizes[i], sizes[i], BYTE{16}, WORD{4}));
  }
  EXPECT_NE(LoadImageW(VerliftData, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 48, 48, 0), nullptr);

  // The manifest that asks for the version 6 common controls.
  DWORD size = 0;
  const BYTE* manifest = VerliftResource(1, RT_MANIFEST, &size);
  ASSERT_NE(manifest, nullptr);
  const std::string text(reinterpret_cast<const char*>(manifest), size);
  const size_t dependency = text.find("name=\"Microsoft.Windows.Common-Controls\"");
  ASSERT_NE(dependency, std::string::npos);
  const std::string identity = text.substr(dependency, text.find("/>", dependency) - dependency);
  // It names the processor of this build (the shipped 32-bit file is checked natively).
  const char* processor =
      sizeof(void*) == 4 ? "processorArchitecture=\"X86\"" : "processorArchitecture=\"amd64\"";
  for (const char* attribute : {"version=\"6.0.0.0\"", processor, "language=\"*\""})
    EXPECT_NE(identity.find(attribute), std::string::npos) << attribute;

  // The version resource: one translation, neutral with the Unicode code page (its FileVersion
  // text is checked with ReadFileVersion below).
  DWORD ignored = 0;
  std::vector<BYTE> block(GetFileVersionInfoSizeW(VerliftExe().c_str(), &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(VerliftExe().c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  WORD* translation = nullptr;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT bytes = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &bytes));
  EXPECT_EQ(std::vector<WORD>(translation, translation + bytes / 2), (std::vector<WORD>{0x0000, 1200}));
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &bytes));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(VERLIFT_VERSION_MAJOR << 16 | VERLIFT_VERSION_MINOR));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(VERLIFT_VERSION_PATCH << 16 | VERLIFT_VERSION_BUILD));
}

TEST(VerliftResources, ReadFileVersionTakesTheFirstTranslationAndCutsAt31Units) {
  static_assert(sizeof TEST_FIRST_FILE_VERSION - 1 > 31, "the first text must be too long to fit");
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const struct {
    std::wstring Path;
    int Result;
    std::string Text;
  } cases[] = {
      {VerliftExe(), 1, InstalledVersion},
      {self, 1, std::string(TEST_FIRST_FILE_VERSION).substr(0, 31)},
      {ProgramFolder() + L"arg_recorder.exe", 0, ""},  // no version resource
      {WorkDir() + L"no such file.dll", 0, ""},
  };
  ASSERT_EQ(LoadVersionLibrary(), 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.Path));
    // Units behind the destination show any write past its 32 units.
    struct {
      char16_t Version[LocalVersionCapacity];
      char16_t Behind[8];
    } guarded;
    std::fill(std::begin(guarded.Version), std::end(guarded.Version), u'#');
    std::fill(std::begin(guarded.Behind), std::end(guarded.Behind), u'#');
    EXPECT_EQ(ReadFileVersion(guarded.Version, reinterpret_cast<const char16_t*>(c.Path.c_str())), c.Result);
    const auto* version = reinterpret_cast<const wchar_t*>(guarded.Version);
    EXPECT_EQ(Narrow(std::wstring(version, wcsnlen(version, LocalVersionCapacity))), c.Text);
    EXPECT_EQ(std::u16string(guarded.Behind, 8), u"########");
  }
  FreeVersionLibrary();
}

}  // namespace
