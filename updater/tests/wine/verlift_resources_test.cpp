// The resources of Verlift.exe: its dialog, icon, manifest and version, and the reading of a
// file's version.
#include <algorithm>
#include <cstring>
#include <tuple>

#include "file_version.h"
#include "resource.h"
#include "test_version.h"
#include "verlift_run.h"
#include "version.h"

namespace {

// What the dialog relies on, read from the file rather than copied from the resource script.
TEST(VerliftResources, DialogTemplateHasTheLayoutStylesAndTexts) {
  const DialogTemplate dialog = VerliftTemplate();
  // Every control of the resource header, in the tab order: the buttons first, then the texts.
  std::vector<int32_t> ids;
  for (const DialogItem& item : dialog.Items) ids.push_back(item.Id);
  ASSERT_EQ(ids, (std::vector<int32_t>{IDC_DOWNLOAD, IDC_LATER, IDC_MESSAGE, IDC_HOMEPAGE, IDC_CURRENT_LABEL,
                                       IDC_CURRENT_VERSION, IDC_NEW_LABEL, IDC_NEW_VERSION}));
  // A pop-up with a caption and a close box (a way out), in the font the template gives.
  constexpr DWORD Frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  EXPECT_EQ(dialog.Style & (Frame | WS_CHILD), Frame);
  for (const DialogItem& item : dialog.Items) {
    SCOPED_TRACE(item);
    const bool button = item.Id == IDC_DOWNLOAD || item.Id == IDC_LATER || item.Id == IDC_HOMEPAGE;
    const bool hidden = item.Id == IDC_CURRENT_LABEL || item.Id == IDC_CURRENT_VERSION;
    // Buttons are tab stops, texts start groups, and the current version's line stays hidden.
    EXPECT_EQ(item.Class, button ? "BUTTON" : "STATIC");
    EXPECT_EQ(item.Style & (WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_DISABLED),
              WS_CHILD | (hidden ? 0 : WS_VISIBLE) | (button ? WS_TABSTOP : WS_GROUP));
    // Enter presses Download, and only Download.
    if (button)
      EXPECT_EQ(item.Style & BS_TYPEMASK, item.Id == IDC_DOWNLOAD ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    // Whole within the dialog, and covered by no other visible control.
    const RECT area = {item.X, item.Y, item.X + item.Width, item.Y + item.Height};
    EXPECT_TRUE(area.left >= 0 && area.top >= 0 && area.right <= dialog.Width &&
                area.bottom <= dialog.Height);
    for (const DialogItem& other : dialog.Items) {
      RECT both, otherArea = {other.X, other.Y, other.X + other.Width, other.Y + other.Height};
      if (&other != &item && (item.Style & other.Style & WS_VISIBLE))
        EXPECT_FALSE(IntersectRect(&both, &area, &otherArea)) << other;
    }
  }
  // The message: two sentences parted by two line feeds, and no directive but the two "%s" for the
  // name and the homepage (the checker sizes its buffer for just those).
  const std::string message = TemplateText(IDC_MESSAGE);
  auto count = [&message](char c) { return std::count(message.begin(), message.end(), c); };
  const size_t name = message.find("%s"), breaks = message.find("\n\n"), homepage = message.rfind("%s");
  EXPECT_TRUE(name < breaks && breaks < homepage && homepage != std::string::npos) << message;
  EXPECT_EQ(std::make_tuple(count('%'), count('\n')), std::make_tuple(2, 2)) << message;
}

TEST(VerliftResources, IconManifestAndVersionResource) {
  // Icon 101: three images of 32, 16 and 48 pixels, in that order (windres numbers them as the
  // icon file holds them), 16 colours each.
  const auto* group = reinterpret_cast<const WORD*>(VerliftResource(IDI_APP, RT_GROUP_ICON).data());
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(std::make_tuple(group[1], group[2]), std::make_tuple(WORD{1}, WORD{3}));  // icons, how many
  int previous = 0;
  for (const int size : {32, 16, 48}) {
    const int id = LookupIconIdFromDirectoryEx(reinterpret_cast<BYTE*>(const_cast<WORD*>(group)), TRUE, size,
                                               size, LR_DEFAULTCOLOR);
    const auto* image = reinterpret_cast<const BITMAPINFOHEADER*>(VerliftResource(id, RT_ICON).data());
    ASSERT_NE(image, nullptr) << size;
    EXPECT_EQ(std::make_tuple(image->biWidth, image->biHeight, image->biBitCount),
              std::make_tuple(size, 2 * size, WORD{4}));
    EXPECT_GT(id, std::exchange(previous, id)) << size;
  }
  EXPECT_NE(LoadImageW(VerliftData, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 48, 48, 0), nullptr);

  // The manifest that asks for the version 6 common controls, for the processor of this build
  // (the shipped 32-bit file is checked natively).
  const std::span<const uint8_t> manifest = VerliftResource(1, RT_MANIFEST);
  const std::string text(manifest.begin(), manifest.end());
  const size_t dependency = text.find("name=\"Microsoft.Windows.Common-Controls\"");
  ASSERT_NE(dependency, std::string::npos) << text;
  const std::string identity = text.substr(dependency, text.find("/>", dependency) - dependency);
  const char* processor =
      sizeof(void*) == 4 ? "processorArchitecture=\"X86\"" : "processorArchitecture=\"amd64\"";
  for (const char* attribute : {"version=\"6.0.0.0\"", processor, "language=\"*\""})
    EXPECT_NE(identity.find(attribute), std::string::npos) << attribute;

  // The version resource: one translation, neutral with the Unicode code page (its FileVersion
  // text is checked with ReadFileVersion below).
  std::vector<BYTE> block(GetFileVersionInfoSizeW(VerliftExe().c_str(), nullptr));
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
  ASSERT_TRUE(LoadVersionLibrary());
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.Path));
    // Units behind the destination show any write past its 32 units; its own show a missing end.
    struct {
      char16_t Version[LocalVersionCapacity], Behind[8];
    } guarded;
    memset(&guarded, '#', sizeof guarded);
    EXPECT_EQ(ReadFileVersion(guarded.Version, reinterpret_cast<const char16_t*>(c.Path.c_str())), c.Result);
    const auto* version = reinterpret_cast<const wchar_t*>(guarded.Version);
    EXPECT_EQ(Utf8(std::wstring(version, wcsnlen(version, LocalVersionCapacity))), c.Text);
    EXPECT_EQ(std::u16string(guarded.Behind, 8), std::u16string(8, u'\x2323'));
  }
  FreeVersionLibrary();
}

}  // namespace
