// The shipped 32-bit files in dist/, read as PE files without running them: what the 32-bit
// host and Windows rely on, which the Windows tests cannot see when they run a 64-bit build.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "pe_image.h"
#include "xp_sp3_imports.h"

namespace {

constexpr uint16_t MachineI386 = 0x14c, DllFlag = 0x2000, GuiSubsystem = 2;
constexpr uint32_t RtVersion = 16, RtManifest = 24;
// What a download of the plug-in and its checker may cost, in bytes.
constexpr size_t PluginSizeLimit = 28672, CheckerSizeLimit = 34304;
constexpr size_t TlsDirectory = 9;

PeImage Shipped(const char* name) {
  PeImage image;
  EXPECT_TRUE(LoadPeImage(std::string(HB_SHIPPED_DIR) + "/" + name, image)) << name;
  EXPECT_EQ(image.Magic, 0x10b) << name << " is not a 32-bit image";
  return image;
}

// Four decimal numbers joined by a comma and a blank, the form the update checker compares.
void ExpectFileVersion(const PeImage& image) {
  const std::string version = VersionString(Resource(image, RtVersion, 1), "FileVersion").value_or("(none)");
  EXPECT_TRUE(std::regex_match(version, std::regex("[0-9]+, [0-9]+, [0-9]+, [0-9]+"))) << version;
}

TEST(ShippedPlugin, IsA32BitDllWithThreeUndecoratedExportsAtFixedOrdinals) {
  PeImage dll = Shipped("gen_hushbell.dll");
  EXPECT_EQ(dll.Machine, MachineI386);
  EXPECT_NE(dll.Characteristics & DllFlag, 0);
  EXPECT_EQ(ExportOrdinals(dll),
            (std::map<std::string, uint32_t>{
                {"instConfig", 1}, {"winampGetGeneralPurposePlugin", 2}, {"DllMain", 12}}));
  EXPECT_EQ(ExportedFunctionCount(dll), 3u);
  EXPECT_LE(dll.File.size(), PluginSizeLimit);
  // Windows system DLLs only: no C++ runtime, no threads library.
  EXPECT_EQ(ImportedDlls(dll),
            (std::set<std::string>{"ADVAPI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "SHELL32.DLL", "USER32.DLL",
                                   "WINMM.DLL"}));
  ExpectFileVersion(dll);
}

// The loader calls DllMain itself, with no C runtime start-up around it: nothing may need one.
TEST(ShippedPlugin, StartsAtDllMainWithNothingLeftForARuntimeStartUp) {
  PeImage dll = Shipped("gen_hushbell.dll");
  EXPECT_EQ(dll.EntryPoint, ExportRva(dll, "DllMain").value_or(0));
  // Thread-local data needs TLS callbacks; an exit handler would be called by no one, or by the
  // player's runtime after the plug-in is unloaded.
  ASSERT_GT(dll.Directories.size(), TlsDirectory);
  EXPECT_EQ(dll.Directories[TlsDirectory].second, 0u);
  for (const PeImport& import : Imports(dll)) {
    for (const char* exitRegistration : {"atexit", "_onexit", "__dllonexit", "_initterm"})
      EXPECT_NE(import.Function, exitRegistration);
  }
}

// winampGetGeneralPurposePlugin is "mov eax, record; ret": the 28 bytes at that address are
// the record the 32-bit host reads.
TEST(ShippedPlugin, HandsTheHostA28ByteRecord) {
  PeImage dll = Shipped("gen_hushbell.dll");
  auto get = ExportRva(dll, "winampGetGeneralPurposePlugin");
  ASSERT_TRUE(get.has_value());
  std::span<const uint8_t> code = BytesAtRva(dll, *get, 6);
  ASSERT_EQ(code.size(), 6u);
  ASSERT_EQ(code[0], 0xb8);
  ASSERT_EQ(code[5], 0xc3);
  const uint32_t record = Dword(code, 1) - dll.ImageBase;
  std::span<const uint8_t> fields = BytesAtRva(dll, record, 28);
  ASSERT_EQ(fields.size(), 28u);
  EXPECT_EQ(Dword(fields, 0), 16u);
  EXPECT_EQ(TextAtRva(dll, Dword(fields, 4) - dll.ImageBase), "Tavo Hushbell");
  for (size_t at : {8, 12, 16}) EXPECT_TRUE(RvaIsExecutable(dll, Dword(fields, at) - dll.ImageBase)) << at;
  // HostWindow and ModuleInstance, filled in by the host.
  for (size_t at : {20, 24}) EXPECT_EQ(Dword(fields, at), 0u) << at;
}

TEST(ShippedChecker, IsA32BitGuiProgramAskingForX86CommonControls) {
  PeImage exe = Shipped("Verlift.exe");
  EXPECT_EQ(exe.Machine, MachineI386);
  EXPECT_EQ(exe.Characteristics & DllFlag, 0);
  EXPECT_EQ(exe.Subsystem, GuiSubsystem);
  EXPECT_LE(exe.File.size(), CheckerSizeLimit);
  // WinINet, VERSION and the common controls are loaded only when a check is due, OLE32 only to
  // open an address, all from the system folder: imported, they would cost every start and could
  // be planted beside the program. ADVAPI32's registry is read at every scheduled start.
  EXPECT_EQ(ImportedDlls(exe), (std::set<std::string>{"ADVAPI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL",
                                                      "SHELL32.DLL", "USER32.DLL"}));
  std::span<const uint8_t> manifest = Resource(exe, RtManifest, 1);
  const std::string text(manifest.begin(), manifest.end());
  EXPECT_NE(text.find("processorArchitecture=\"X86\" publicKeyToken=\"6595b64144ccf1df\""),
            std::string::npos);
  EXPECT_EQ(text.find("amd64"), std::string::npos);
  ExpectFileVersion(exe);
}

// Windows XP SP3 is the oldest system both files run on. Its loader refuses, at every start, a
// file that asks for a newer Windows or imports a function its DLLs lack.
TEST(ShippedFiles, AskForNothingNewerThanWindowsXpSp3) {
  constexpr std::pair<uint16_t, uint16_t> Xp{5, 1};
  std::set<std::pair<std::string, std::string>> allowed;
  for (const AllowedImport& a : XpSp3Imports) allowed.emplace(a.Dll, a.Function);
  for (const char* name : {"gen_hushbell.dll", "Verlift.exe"}) {
    SCOPED_TRACE(name);
    const PeImage image = Shipped(name);
    EXPECT_LE(image.OsVersion, Xp);
    EXPECT_LE(image.SubsystemVersion, Xp);
    std::vector<std::string> unknown;
    for (PeImport import : Imports(image)) {
      std::transform(import.Dll.begin(), import.Dll.end(), import.Dll.begin(), ::toupper);
      if (import.ByOrdinal || !allowed.contains({import.Dll, import.Function}))
        unknown.push_back(import.Dll + " " + (import.ByOrdinal ? "by ordinal" : import.Function));
    }
    EXPECT_EQ(unknown, std::vector<std::string>{}) << "not known to be in Windows XP SP3";
  }
}

TEST(ShippedInstaller, IsA32BitProgram) { EXPECT_EQ(Shipped("hushbell-setup.exe").Machine, MachineI386); }

}  // namespace
