// The real Verlift.exe under Wine: started as a child process against a local HTTP server, its
// INI files, its notification dialog and what it hands to the shell.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "dialog_text.h"
#include "file_version.h"
#include "resource.h"
#include "test_server.h"
#include "test_version.h"
#include "version.h"

namespace {

constexpr wchar_t DialogTitle[] = L"Automatic Update Check";
constexpr char MessageStart[] = "A newer version of ";
constexpr char MessageMiddle[] = " is available.\n\nPlease logon to the website ";
constexpr char MessageEnd[] = " to get further information or press the download button to download the latest version now.";
constexpr char MessageTemplate[] =
    "A newer version of %s is available.\n\nPlease logon to the website %s to get further information or press "
    "the download button to download the latest version now.";
constexpr DWORD RunTimeoutMs = 20000;

// ---------------------------------------------------------------------------------------------
// Text, files and folders

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());  // the tests use ASCII only
}

// 8-bit text as the checker widens the reply: the thread's ANSI code page.
std::wstring FromThreadCodePage(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return wide;
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

std::wstring BinDir()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, length);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

std::wstring VerliftExe()
{
    return BinDir() + L"Verlift.exe";
}

// A folder of this test run, with a blank in its name so that quoting is always exercised.
std::wstring WorkDir()
{
    static std::wstring dir;
    if (dir.empty()) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dir = std::wstring(temp) + L"verlift test " + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(dir.c_str(), nullptr);
    }
    return dir;
}

std::wstring UniquePath(const wchar_t* stem)
{
    static int counter = 0;
    return WorkDir() + stem + L" " + std::to_wstring(++counter) + L".ini";
}

bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

std::string ReadBytes(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(file, chunk, sizeof chunk, &count, nullptr) && count > 0)
        bytes.append(chunk, count);
    CloseHandle(file);
    return bytes;
}

uint64_t Now()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

constexpr uint64_t TicksPerSecond = 10000000;
constexpr uint64_t TicksPerDay = 86400 * TicksPerSecond;

// "[LastCheck]" with both halves as signed decimals, as the checker stores them.
std::string LastCheckSection(uint64_t time)
{
    return "[LastCheck]\r\nlo=" + std::to_string(static_cast<int32_t>(static_cast<uint32_t>(time))) +
           "\r\nhi=" + std::to_string(static_cast<int32_t>(static_cast<uint32_t>(time >> 32))) + "\r\n";
}

// Finds key in section of an INI file's raw text: its value and where its line starts.
bool FindValue(const std::string& ini, const std::string& section, const std::string& key, std::string& value,
               size_t* where = nullptr)
{
    const size_t start = ini.find("[" + section + "]");
    if (start == std::string::npos)
        return false;
    size_t end = ini.find("\n[", start + 1);
    if (end == std::string::npos)
        end = ini.size();
    const size_t at = ini.find("\n" + key + "=", start);
    if (at == std::string::npos || at > end)
        return false;
    const size_t begin = at + 1 + key.size() + 1;
    const size_t stop = ini.find_first_of("\r\n", begin);
    value = ini.substr(begin, stop - begin);
    if (where != nullptr)
        *where = at;
    return true;
}

// A signed 32-bit decimal exactly as "%i" writes it: optional minus, digits, no leading zero.
bool ParseSigned32(const std::string& text, int32_t& value)
{
    size_t at = text.size() > 0 && text[0] == '-' ? 1 : 0;
    if (at == text.size() || (text[at] == '0' && text.size() > at + 1))
        return false;
    for (size_t i = at; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    const long long parsed = std::strtoll(text.c_str(), nullptr, 10);
    if (parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

// Checks that the file holds a "LastCheck" written within [before, after], "lo" first, and
// that the profile functions read the same two halves back.
void ExpectLastCheckBetween(const std::wstring& ini, uint64_t before, uint64_t after)
{
    const std::string text = ReadBytes(ini);
    std::string loText, hiText;
    size_t loAt = 0, hiAt = 0;
    ASSERT_TRUE(FindValue(text, "LastCheck", "lo", loText, &loAt)) << text;
    ASSERT_TRUE(FindValue(text, "LastCheck", "hi", hiText, &hiAt)) << text;
    EXPECT_LT(loAt, hiAt) << "\"lo\" is written first";
    int32_t lo = 0, hi = 0;
    ASSERT_TRUE(ParseSigned32(loText, lo)) << loText;
    ASSERT_TRUE(ParseSigned32(hiText, hi)) << hiText;
    const uint64_t stored = (uint64_t{static_cast<uint32_t>(hi)} << 32) | static_cast<uint32_t>(lo);
    EXPECT_GE(stored, before);
    EXPECT_LE(stored, after);
    EXPECT_EQ(static_cast<int32_t>(GetPrivateProfileIntW(L"LastCheck", L"lo", 7, ini.c_str())), lo);
    EXPECT_EQ(static_cast<int32_t>(GetPrivateProfileIntW(L"LastCheck", L"hi", 7, ini.c_str())), hi);
}

// ---------------------------------------------------------------------------------------------
// Versions and replies

std::string VersionText(int major, int minor, int patch, int build)
{
    return std::to_string(major) + ", " + std::to_string(minor) + ", " + std::to_string(patch) + ", " +
           std::to_string(build);
}

static_assert(VERLIFT_VERSION_BUILD > 0, "the older-version cases count the build number down");
const std::string InstalledVersion = VersionText(VERLIFT_VERSION_MAJOR, VERLIFT_VERSION_MINOR, VERLIFT_VERSION_PATCH,
                                                 VERLIFT_VERSION_BUILD);
const std::string NewerVersion = VersionText(VERLIFT_VERSION_MAJOR, VERLIFT_VERSION_MINOR, VERLIFT_VERSION_PATCH,
                                             VERLIFT_VERSION_BUILD + 1);
const std::string OlderVersion = VersionText(VERLIFT_VERSION_MAJOR, VERLIFT_VERSION_MINOR, VERLIFT_VERSION_PATCH,
                                             VERLIFT_VERSION_BUILD - 1);

// NUL-ended strings, as the version reply is made.
std::string Reply(std::initializer_list<std::string> strings)
{
    std::string reply;
    for (const std::string& text : strings) {
        reply += text;
        reply.push_back('\0');
    }
    return reply;
}

std::string ServerAddress(const std::string& path = "/product")
{
    return "http://127.0.0.1:" + std::to_string(ServerPort()) + path;
}

// An INI file naming Verlift.exe itself as the installed file "verlift".
std::string ProductIni(const std::string& name, const std::string& homepage, const std::string& extraFiles = "")
{
    std::string ini = "[Update]\r\n";
    if (!name.empty())
        ini += "Name=" + name + "\r\n";
    ini += "homepage=" + homepage + "\r\ninterval=0\r\n[Files]\r\nverlift=" + Narrow(VerliftExe()) + "\r\n" + extraFiles;
    return ini;
}

// ---------------------------------------------------------------------------------------------
// Running the checker

struct Launch {
    HANDLE Process = nullptr;
    HANDLE Job = nullptr;  // holds the checker and whatever it starts
    DWORD ProcessId = 0;
    DWORD Started = 0;
};

bool Start(const std::wstring& exe, const std::wstring& arguments, Launch& launch)
{
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    launch.Job = CreateJobObjectW(nullptr, nullptr);
    if (launch.Job == nullptr ||
        !CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        WorkDir().c_str(), &startup, &info))
        return false;
    AssignProcessToJobObject(launch.Job, info.hProcess);
    launch.Started = GetTickCount();
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    launch.Process = info.hProcess;
    launch.ProcessId = info.dwProcessId;
    return true;
}

struct FoundDialog {
    DWORD ProcessId;
    HWND Window;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM context)
{
    auto* found = reinterpret_cast<FoundDialog*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[16] = {}, title[64] = {};
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, title, 64);
    if (processId == found->ProcessId && wcscmp(className, L"#32770") == 0 && wcscmp(title, DialogTitle) == 0 &&
        IsWindowVisible(window)) {
        found->Window = window;
        return FALSE;
    }
    return TRUE;
}

// The checker's visible notification dialog (visible means initialised), or null once the
// checker has ended without one.
HWND WaitForDialog(const Launch& launch)
{
    while (GetTickCount() - launch.Started < RunTimeoutMs) {
        FoundDialog found = {launch.ProcessId, nullptr};
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&found));
        if (found.Window != nullptr)
            return found.Window;
        if (WaitForSingleObject(launch.Process, 10) == WAIT_OBJECT_0)
            return nullptr;
    }
    return nullptr;
}

struct Outcome {
    bool Ended = false;
    DWORD ExitCode = 0xDEAD;
    DWORD Milliseconds = 0;
    bool DialogShown = false;
    DWORD Processes = 0;  // every process of the run: the checker and whatever it started
};

// Waits for the checker to end, then for everything it started (the recorder) to end too.
void Finish(Launch& launch, Outcome& outcome)
{
    outcome.Ended = WaitForSingleObject(launch.Process, RunTimeoutMs) == WAIT_OBJECT_0;
    outcome.Milliseconds = GetTickCount() - launch.Started;
    if (!outcome.Ended)
        TerminateProcess(launch.Process, 99);
    GetExitCodeProcess(launch.Process, &outcome.ExitCode);
    for (DWORD waited = 0; waited < RunTimeoutMs; waited += 10) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
        if (!QueryInformationJobObject(launch.Job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr))
            break;
        outcome.Processes = info.TotalProcesses;
        if (info.ActiveProcesses == 0)
            break;
        Sleep(10);
    }
    CloseHandle(launch.Process);
    CloseHandle(launch.Job);
    launch = Launch{};
}

// Runs the checker; a dialog that shows up is closed with the close box.
Outcome RunVerlift(const std::wstring& arguments, const std::wstring& exe = VerliftExe())
{
    Outcome outcome;
    Launch launch;
    if (!Start(exe, arguments, launch)) {
        ADD_FAILURE() << "cannot start " << Narrow(exe);
        return outcome;
    }
    if (HWND dialog = WaitForDialog(launch)) {
        outcome.DialogShown = true;
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    Finish(launch, outcome);
    return outcome;
}

std::wstring Quoted(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

// ---------------------------------------------------------------------------------------------
// Test-wide set-up: the HTTP server

class ServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(ServerStart());
    }
    void TearDown() override
    {
        ServerStop();
        // Only files this run made live in its folder.
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((WorkDir() + L"*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do
                DeleteFileW((WorkDir() + found.cFileName).c_str());
            while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(WorkDir().c_str());
    }
};

[[maybe_unused]] const auto* const serverEnvironment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

// =============================================================================================
// Resources of Verlift.exe

struct DialogItem {
    DWORD Style;
    short X, Y, Cx, Cy;
    DWORD Id;
    WORD ClassAtom;
    std::wstring Text;
};

// A name-or-ordinal field of a dialog template: a text, or 0xFFFF and a number.
const WORD* ReadSzOrOrd(const WORD* at, std::wstring* text, WORD* ordinal)
{
    if (*at == 0xFFFF) {
        if (ordinal != nullptr)
            *ordinal = at[1];
        return at + 2;
    }
    std::wstring value;
    while (*at != 0)
        value.push_back(static_cast<wchar_t>(*at++));
    if (text != nullptr)
        *text = value;
    return at + 1;
}

TEST(VerliftResources, DialogTemplateHasTheLayoutStylesAndTexts)
{
    const HMODULE module = LoadLibraryExW(VerliftExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDD_UPDATE), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(bytes, nullptr);

    const auto* words = reinterpret_cast<const WORD*>(bytes);
    ASSERT_EQ(words[0], 1);       // dlgVer
    ASSERT_EQ(words[1], 0xFFFF);  // extended template
    DWORD exStyle, style;
    memcpy(&exStyle, bytes + 8, 4);
    memcpy(&style, bytes + 12, 4);
    EXPECT_EQ(style, static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_3DLOOK |
                                        DS_SETFONT));
    EXPECT_EQ(exStyle, static_cast<DWORD>(WS_EX_CONTROLPARENT));
    const WORD count = words[8];
    short box[4];
    memcpy(box, bytes + 18, sizeof box);
    EXPECT_EQ(box[2], 235);
    EXPECT_EQ(box[3], 106);
    const WORD* at = words + 13;
    WORD menu = 0, windowClass = 0;
    std::wstring caption, face;
    at = ReadSzOrOrd(at, nullptr, &menu);
    at = ReadSzOrOrd(at, nullptr, &windowClass);
    EXPECT_EQ(menu, 0);
    EXPECT_EQ(windowClass, 0);
    at = ReadSzOrOrd(at, &caption, nullptr);
    EXPECT_EQ(caption, DialogTitle);
    EXPECT_EQ(at[0], 8);  // points
    EXPECT_EQ(at[1], 0);  // weight
    EXPECT_EQ(reinterpret_cast<const BYTE*>(at)[4], 0);  // italic
    EXPECT_EQ(reinterpret_cast<const BYTE*>(at)[5], 1);  // character set
    at = ReadSzOrOrd(at + 3, &face, nullptr);
    EXPECT_EQ(face, L"MS Sans Serif");

    std::vector<DialogItem> items;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* item = reinterpret_cast<const BYTE*>(
            (reinterpret_cast<uintptr_t>(at) + 3) & ~uintptr_t{3});
        DialogItem read;
        memcpy(&read.Style, item + 8, 4);
        memcpy(&read.X, item + 12, 2);
        memcpy(&read.Y, item + 14, 2);
        memcpy(&read.Cx, item + 16, 2);
        memcpy(&read.Cy, item + 18, 2);
        memcpy(&read.Id, item + 20, 4);
        read.ClassAtom = 0;
        at = ReadSzOrOrd(reinterpret_cast<const WORD*>(item + 24), nullptr, &read.ClassAtom);
        at = ReadSzOrOrd(at, &read.Text, nullptr);
        at = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(at + 1) + *at);  // extra data
        items.push_back(read);
    }

    constexpr WORD Button = 0x80, Static = 0x82;
    constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
    const std::vector<DialogItem> expected = {
        {Child | WS_TABSTOP | BS_DEFPUSHBUTTON, 121, 85, 50, 14, 1, Button, L"&Download"},
        {Child | WS_TABSTOP | BS_PUSHBUTTON, 178, 85, 50, 14, 2, Button, L"&Later"},
        {Child | WS_GROUP | SS_LEFT, 7, 7, 221, 58, 12, Static, Widen(MessageTemplate)},
        {Child | WS_TABSTOP | BS_PUSHBUTTON, 7, 85, 107, 14, 11, Button, L""},
        {WS_CHILD | WS_GROUP | SS_LEFT, 7, 55, 53, 8, 13, Static, L"Current Version:"},
        {WS_CHILD | WS_GROUP | SS_RIGHT, 60, 55, 54, 8, 14, Static, L"0, 0, 0, 0"},
        {Child | WS_GROUP | SS_LEFT, 7, 71, 53, 8, 15, Static, L"New Version:"},
        {Child | WS_GROUP | SS_CENTER, 60, 71, 53, 8, 16, Static, L"0, 0, 0, 0"},
    };
    ASSERT_EQ(items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(expected[i].Id));
        EXPECT_EQ(items[i].Id, expected[i].Id);
        EXPECT_EQ(items[i].ClassAtom, expected[i].ClassAtom);
        EXPECT_EQ(items[i].Text, expected[i].Text);
        EXPECT_EQ(items[i].Style, expected[i].Style);
        EXPECT_EQ(items[i].X, expected[i].X);
        EXPECT_EQ(items[i].Y, expected[i].Y);
        EXPECT_EQ(items[i].Cx, expected[i].Cx);
        EXPECT_EQ(items[i].Cy, expected[i].Cy);
    }
    FreeLibrary(module);
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE Width, Height, ColorCount, Reserved;
    WORD Planes, BitCount;
    DWORD BytesInRes;
    WORD Id;
};
#pragma pack(pop)

TEST(VerliftResources, IconManifestAndVersionResource)
{
    const HMODULE module = LoadLibraryExW(VerliftExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);

    // Icon 101: 32, 16 and 48 pixels, in that order, 16 colours each.
    const HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(IDI_APP), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    ASSERT_NE(group, nullptr);
    const auto* header = static_cast<const WORD*>(LockResource(LoadResource(module, group)));
    ASSERT_EQ(header[1], 1);  // icons, not cursors
    ASSERT_EQ(header[2], 3);
    const auto* entries = reinterpret_cast<const IconGroupEntry*>(header + 3);
    const int sizes[] = {32, 16, 48};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(entries[i].Width, sizes[i]);
        EXPECT_EQ(entries[i].Height, sizes[i]);
        EXPECT_EQ(entries[i].ColorCount, 16);
        EXPECT_EQ(entries[i].BitCount, 4);
    }
    EXPECT_NE(LoadImageW(module, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 48, 48, 0), nullptr);

    // The manifest that asks for the version 6 common controls.
    const HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_MANIFEST));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                           SizeofResource(module, manifest));
    const size_t dependency = text.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(dependency, std::string::npos);
    const std::string identity = text.substr(dependency, text.find("/>", dependency) - dependency);
    EXPECT_NE(identity.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(identity.find("processorArchitecture=\"X86\""), std::string::npos);
    EXPECT_NE(identity.find("language=\"*\""), std::string::npos);
    FreeLibrary(module);

    // The version resource: one translation, neutral with the Unicode code page.
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(VerliftExe().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(VerliftExe().c_str(), 0, size, block.data()));
    WORD* translation = nullptr;
    UINT translationBytes = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &translationBytes));
    ASSERT_EQ(translationBytes, 4u);
    EXPECT_EQ(translation[0], 0x0000);
    EXPECT_EQ(translation[1], 1200);
    wchar_t* fileVersion = nullptr;
    UINT units = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\000004b0\\FileVersion",
                               reinterpret_cast<void**>(&fileVersion), &units));
    EXPECT_EQ(std::wstring(fileVersion), Widen(InstalledVersion));
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &units));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(VERLIFT_VERSION_MAJOR << 16 | VERLIFT_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(VERLIFT_VERSION_PATCH << 16 | VERLIFT_VERSION_BUILD));
}

TEST(VerliftResources, ReadFileVersionTakesTheFirstTranslationAndCutsAt31Units)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::string first = TEST_FIRST_FILE_VERSION;
    static_assert(sizeof TEST_FIRST_FILE_VERSION - 1 > 31, "the first text must be too long to fit");

    struct Case {
        std::wstring Path;
        int Result;
        std::string Text;
    };
    const Case cases[] = {
        {VerliftExe(), 1, InstalledVersion},
        {self, 1, first.substr(0, 31)},
        {BinDir() + L"verlift_url_recorder.exe", 0, ""},  // no version resource
        {WorkDir() + L"no such file.dll", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Path));
        // Units behind the destination show any write past its 32 units.
        struct {
            char16_t Version[LocalVersionCapacity];
            char16_t Behind[8];
        } guarded;
        for (char16_t& unit : guarded.Version)
            unit = u'#';
        for (char16_t& unit : guarded.Behind)
            unit = u'#';
        EXPECT_EQ(ReadFileVersion(guarded.Version, reinterpret_cast<const char16_t*>(c.Path.c_str())), c.Result);
        const auto* version = reinterpret_cast<const wchar_t*>(guarded.Version);
        EXPECT_EQ(Narrow(std::wstring(version, wcsnlen(version, LocalVersionCapacity))), c.Text);
        EXPECT_EQ(std::u16string(guarded.Behind, 8), u"########");
    }
}

TEST(DialogText, OnlyWebAddressesOpen)
{
    const struct {
        const char16_t* Text;
        bool Web;
    } cases[] = {
        {u"http://example.invalid/get", true},
        {u"https://example.invalid/get", true},
        {u"HTTPS://EXAMPLE.INVALID", true},
        {u"hTtP://x", true},
        {u"http://", true},
        {u"http:/example.invalid", false},
        {u"https:example.invalid", false},
        {u"httpx://example.invalid", false},
        {u" http://example.invalid", false},
        {u"file:///C:/windows/win.ini", false},
        {u"C:\\windows\\notepad.exe", false},
        {u"\\\\server\\share\\setup.exe", false},
        {u"ftp://example.invalid/", false},
        {u"mailto:someone@example.invalid", false},
        {u"", false},
        {u"http", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsWebAddress(c.Text), c.Web) << Narrow(reinterpret_cast<const wchar_t*>(c.Text));
}

TEST(DialogText, MessageTakesNameAndHomepageAndNothingElseIsInterpreted)
{
    const struct {
        const char16_t* Pattern;
        const char16_t* Expected;
    } cases[] = {
        {u"A %s B %s C", u"A Name B http://h C"},
        {u"%s%s", u"Namehttp://h"},
        {u"%s %s %s", u"Name http://h %s"},
        {u"%d %s %n %x %S %s %%", u"%d Name %n %x %S http://h %%"},
        {u"no directives", u"no directives"},
        {u"trailing %", u"trailing %"},
        {u"%", u"%"},
    };
    for (const auto& c : cases) {
        char16_t out[64];
        const size_t length = FormatNotice(c.Pattern, u"Name", u"http://h", out, 64);
        EXPECT_EQ(std::u16string(out), std::u16string(c.Expected));
        EXPECT_EQ(length, std::u16string(c.Expected).size());
    }
    // Never past the capacity, and always terminated.
    char16_t small[8];
    for (char16_t& unit : small)
        unit = u'#';
    EXPECT_EQ(FormatNotice(u"A %s B %s C", u"Name", u"http://h", small, 6), 5u);
    EXPECT_EQ(std::u16string(small), u"A Nam");
    EXPECT_EQ(small[6], u'#');
}

// =============================================================================================
// Command line, INI file and schedule

TEST(VerliftSchedule, ForcedCheckWritesTheTimeAsTwoSignedDecimalsLoFirst)
{
    // "/FORCE" with interval 0 and no homepage: the check counts as made, nothing else happens.
    const std::wstring ini = UniquePath(L"forced");
    WriteBytes(ini, "[Update]\r\ninterval=0\r\n");
    const uint64_t before = Now();
    const Outcome outcome = RunVerlift(Quoted(ini) + L" /FORCE");
    const uint64_t after = Now();
    EXPECT_TRUE(outcome.Ended);
    EXPECT_EQ(outcome.ExitCode, 0u);
    EXPECT_FALSE(outcome.DialogShown);
    ExpectLastCheckBetween(ini, before, after);
}

TEST(VerliftSchedule, NothingIsWrittenWhenNoCheckIsDue)
{
    const uint64_t now = Now();
    const struct {
        const char* Name;
        std::string Ini;
        const wchar_t* Switches;
    } cases[] = {
        {"interval 0 without /FORCE", "[Update]\r\ninterval=0\r\nhomepage=http://127.0.0.1:1\r\n", L""},
        {"interval absent", "[Update]\r\nhomepage=http://127.0.0.1:1\r\n", L"/HANDLE:0"},
        {"/force in lower case is no switch", "[Update]\r\ninterval=0\r\n", L"/force"},
        {"/FORCE with anything appended is no switch", "[Update]\r\ninterval=0\r\n", L"/FORCE2"},
        {"7 days, checked 6 days 23 hours ago",
         "[Update]\r\ninterval=7\r\n" + LastCheckSection(now - 7 * TicksPerDay + 3600 * TicksPerSecond), L""},
        {"1 day, checked a minute ago", "[Update]\r\ninterval=1\r\n" + LastCheckSection(now - 60 * TicksPerSecond), L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::wstring ini = UniquePath(L"not due");
        WriteBytes(ini, c.Ini);
        const Outcome outcome = RunVerlift(Quoted(ini) + L" " + c.Switches);
        EXPECT_TRUE(outcome.Ended);
        EXPECT_EQ(outcome.ExitCode, 0u);
        EXPECT_EQ(ReadBytes(ini), c.Ini) << "the file is unchanged, byte for byte";
    }
}

TEST(VerliftSchedule, NoIniFileFoundWritesNothing)
{
    const std::wstring missing = WorkDir() + L"missing.ini";
    ASSERT_FALSE(PathExists(BinDir() + L"Verlift.ini"));
    const Outcome outcome = RunVerlift(Quoted(missing) + L" /FORCE /HANDLE:123");
    EXPECT_TRUE(outcome.Ended);
    EXPECT_EQ(outcome.ExitCode, 0u);
    EXPECT_LT(outcome.Milliseconds, 5000u);
    EXPECT_FALSE(PathExists(missing));
    EXPECT_FALSE(PathExists(BinDir() + L"Verlift.ini"));
}

TEST(VerliftSchedule, DueChecksWriteTheTimeIntoTheChosenIniFile)
{
    const uint64_t now = Now();
    // Interval passed, or no check made yet.
    const struct {
        const char* Name;
        std::string Ini;
    } due[] = {
        {"7 days, checked 7 days ago", "[Update]\r\ninterval=7\r\n" + LastCheckSection(now - 7 * TicksPerDay - TicksPerSecond)},
        {"1 day, never checked", "[Update]\r\ninterval=1\r\n"},
        {"1 day, both halves 0", "[Update]\r\ninterval=1\r\n[LastCheck]\r\nlo=0\r\nhi=0\r\n"},
    };
    for (const auto& c : due) {
        SCOPED_TRACE(c.Name);
        const std::wstring ini = UniquePath(L"due");
        WriteBytes(ini, c.Ini);
        const uint64_t before = Now();
        const Outcome outcome = RunVerlift(Quoted(ini));
        EXPECT_EQ(outcome.ExitCode, 0u);
        ExpectLastCheckBetween(ini, before, Now());
    }

    // Of two existing paths the later one is the INI file.
    const std::wstring first = UniquePath(L"first"), second = UniquePath(L"second");
    const std::string content = "[Update]\r\ninterval=1\r\n";
    WriteBytes(first, content);
    WriteBytes(second, content);
    uint64_t before = Now();
    EXPECT_EQ(RunVerlift(Quoted(first) + L" " + Quoted(second)).ExitCode, 0u);
    EXPECT_EQ(ReadBytes(first), content);
    ExpectLastCheckBetween(second, before, Now());

    // Without a usable path argument: the INI file beside the program, the program path with
    // its last three characters replaced.
    const std::wstring copy = WorkDir() + L"Product Check.exe", beside = WorkDir() + L"Product Check.ini";
    ASSERT_TRUE(CopyFileW(VerliftExe().c_str(), copy.c_str(), FALSE));
    WriteBytes(beside, content);
    before = Now();
    EXPECT_EQ(RunVerlift(Quoted(WorkDir() + L"missing.ini"), copy).ExitCode, 0u);
    ExpectLastCheckBetween(beside, before, Now());
}

// =============================================================================================
// The version query

TEST(VerliftQuery, AsksForVersionPhpBehindTheHomepageWithItsUserAgent)
{
    const struct {
        std::string HomepagePath;
        std::string RequestLine;
    } cases[] = {
        {"/product", "GET /product/version.php HTTP/1.1"},
        {"/product/", "GET /product//version.php HTTP/1.1"},
        {"", "GET /version.php HTTP/1.1"},
        {"/a/b?c=d", "GET /a/b?c=d/version.php HTTP/1.1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.HomepagePath);
        ServerServe(ServeMode::Answer, 404, "<html><body>Not Found</body></html>");
        const std::wstring ini = UniquePath(L"request");
        WriteBytes(ini, ProductIni("Product", ServerAddress(c.HomepagePath)));
        const Outcome outcome = RunVerlift(Quoted(ini) + L" /FORCE");
        EXPECT_EQ(outcome.ExitCode, 0u);
        EXPECT_FALSE(outcome.DialogShown);
        const std::vector<std::string> requests = ServerRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), c.RequestLine);
        EXPECT_NE(requests[0].find("\r\nUser-Agent: Tavo Verlift v/2.0\r\n"), std::string::npos) << requests[0];
    }

    // The query address holds 259 characters: a homepage of 247 is asked, one of 248 is not
    // asked at all (rather than at a cut address), and the check is recorded all the same.
    const std::string base = ServerAddress("/");
    for (size_t length : {247u, 248u}) {
        SCOPED_TRACE(length);
        ServerServe(ServeMode::Answer, 404, "");
        const std::wstring ini = UniquePath(L"long homepage");
        const std::string homepage = base + std::string(length - base.size(), 'p');
        WriteBytes(ini, ProductIni("Product", homepage));
        const uint64_t before = Now();
        EXPECT_EQ(RunVerlift(Quoted(ini) + L" /FORCE").ExitCode, 0u);
        const std::vector<std::string> requests = ServerRequests();
        if (length == 247) {
            ASSERT_EQ(requests.size(), 1u);
            EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
                      "GET " + homepage.substr(homepage.find('/', 7)) + "/version.php HTTP/1.1");
        } else {
            EXPECT_TRUE(requests.empty());
        }
        ExpectLastCheckBetween(ini, before, Now());
    }
}

TEST(VerliftQuery, ReplyDecidesWhetherTheDialogShows)
{
    const std::string url = "http://example.invalid/setup.exe";
    const struct {
        const char* Name;
        int Status;
        std::string Body;
        std::string ExtraFiles;
        bool Shown;
    } cases[] = {
        {"newer version of the listed file", 200, Reply({"Tavo-Verlift", "9.9", url, "verlift", NewerVersion, ""}), "", true},
        {"same version", 200, Reply({"Tavo-Verlift", "9.9", url, "verlift", InstalledVersion, ""}), "", false},
        {"older version", 200, Reply({"Tavo-Verlift", "9.9", url, "verlift", OlderVersion, ""}), "", false},
        {"error page", 404, "<html><body>Not Found</body></html>", "", false},
        {"the status is not looked at", 404, Reply({"Tavo-Verlift", "9.9", url, "verlift", NewerVersion}), "", true},
        {"magic in another case", 200, Reply({"tavo-verlift", "9.9", url, "verlift", NewerVersion, ""}), "", false},
        {"unlisted key", 200, Reply({"Tavo-Verlift", "9.9", url, "other", NewerVersion, ""}), "", false},
        {"key in another case", 200, Reply({"Tavo-Verlift", "9.9", url, "VERLIFT", NewerVersion, ""}), "", true},
        {"equal first, then a missing file", 200,
         Reply({"Tavo-Verlift", "9.9", url, "verlift", InstalledVersion, "gone", "1, 0", ""}),
         "gone=" + Narrow(WorkDir()) + "gone.dll\r\n", true},
        {"listed with an empty path", 200, Reply({"Tavo-Verlift", "9.9", url, "blank", "1, 0", ""}), "blank=\r\n", false},
        {"advertised version empty", 200, Reply({"Tavo-Verlift", "9.9", url, "verlift", "", ""}), "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ServerServe(ServeMode::Answer, c.Status, c.Body);
        const std::wstring ini = UniquePath(L"reply");
        WriteBytes(ini, ProductIni("Product", ServerAddress(), c.ExtraFiles));
        const Outcome outcome = RunVerlift(Quoted(ini) + L" /FORCE");
        EXPECT_TRUE(outcome.Ended);
        EXPECT_EQ(outcome.ExitCode, 0u);
        EXPECT_EQ(outcome.DialogShown, c.Shown);
        EXPECT_EQ(ServerRequests().size(), 1u);
    }
}

TEST(VerliftQuery, RefusedConnectionEndsQuicklyAndStillRecordsTheCheck)
{
    const std::wstring ini = UniquePath(L"refused");
    WriteBytes(ini, ProductIni("Product", "http://127.0.0.1:" + std::to_string(RefusedPort()) + "/product"));
    const uint64_t before = Now();
    const Outcome outcome = RunVerlift(Quoted(ini) + L" /FORCE");
    EXPECT_TRUE(outcome.Ended);
    EXPECT_EQ(outcome.ExitCode, 0u);
    EXPECT_FALSE(outcome.DialogShown);
    EXPECT_LT(outcome.Milliseconds, 5000u);
    ExpectLastCheckBetween(ini, before, Now());
}

TEST(VerliftQuery, OnlyTheFirstMebibyteOfTheReplyCounts)
{
    constexpr size_t Cap = 1u << 20;
    const std::string head = Reply({"Tavo-Verlift", "9.9", "http://example.invalid/setup.exe"});
    const std::string pair = Reply({"verlift", NewerVersion});
    // A key too long for any "Files" entry is skipped with its version; it pads the reply.
    auto padding = [](size_t length) { return std::string(length - 1, 'k') + '\0' + Reply({"1"}); };

    // The newer pair ends on the last byte within the cap; half a mebibyte follows.
    std::string inside = head + padding(Cap - head.size() - pair.size() - 2) + pair;
    ASSERT_EQ(inside.size(), Cap);
    inside += std::string(Cap / 2, 'x');
    // The padding key runs across the cap, and the newer pair lies behind it.
    std::string across = head + padding(Cap - head.size() + 100) + pair;
    across += std::string(Cap + Cap / 2 - across.size(), 'x');

    const struct {
        const char* Name;
        ServeMode Mode;
        std::string Body;
        bool Shown;
    } cases[] = {
        {"pair ends at the cap", ServeMode::Answer, inside, true},
        {"pair lies past the cap", ServeMode::Answer, across, false},
        // A body that never ends is read up to the cap only, and that part decides.
        {"endless body", ServeMode::Endless, head + pair + Reply({""}), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ServerServe(c.Mode, 200, c.Body);
        const std::wstring ini = UniquePath(L"cap");
        WriteBytes(ini, ProductIni("Product", ServerAddress()));
        const Outcome outcome = RunVerlift(Quoted(ini) + L" /FORCE");
        EXPECT_TRUE(outcome.Ended);
        EXPECT_EQ(outcome.ExitCode, 0u);
        EXPECT_EQ(outcome.DialogShown, c.Shown);
    }
}

TEST(VerliftQuery, ServerThatStallsIsCutOffAtTheQueryLimit)
{
    // The test build of the checker gives the query 3 s and a further 1 s to return.
    const std::wstring quick = BinDir() + L"VerliftQuick.exe";
    const struct {
        const char* Name;
        ServeMode Mode;
    } cases[] = {
        {"accepts and never answers", ServeMode::NeverAnswer},
        {"trickles a newer reply forever", ServeMode::Trickle},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ServerServe(c.Mode, 200, Reply({"Tavo-Verlift", "9.9", "http://example.invalid/setup.exe", "verlift", NewerVersion, ""}));
        const std::wstring ini = UniquePath(L"stall");
        WriteBytes(ini, ProductIni("Product", ServerAddress()));
        const uint64_t before = Now();
        const Outcome outcome = RunVerlift(Quoted(ini) + L" /FORCE", quick);
        EXPECT_TRUE(outcome.Ended);
        EXPECT_EQ(outcome.ExitCode, 0u);
        EXPECT_FALSE(outcome.DialogShown);
        EXPECT_GE(outcome.Milliseconds, 2900u);
        EXPECT_LT(outcome.Milliseconds, 10000u);
        EXPECT_EQ(ServerRequests().size(), 1u);
        ExpectLastCheckBetween(ini, before, Now());
    }
    ServerServe(ServeMode::Answer, 404, "");
}

// =============================================================================================
// The notification dialog

// A window of the test that stands in for the host player's main window, on a thread of its
// own that keeps pumping messages (the checker's dialog disables and re-enables it).
struct OwnerWindow {
    std::thread Thread;
    DWORD ThreadId = 0;
    HWND Window = nullptr;
};

void OpenOwner(OwnerWindow& owner)
{
    const HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    owner.Thread = std::thread([&owner, ready] {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VerliftTestOwner";
        RegisterClassW(&windowClass);
        owner.Window = CreateWindowExW(0, L"VerliftTestOwner", L"Stand-in player", WS_OVERLAPPEDWINDOW, 10, 10, 300,
                                       200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        owner.ThreadId = GetCurrentThreadId();
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's message queue
        SetEvent(ready);
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        DestroyWindow(owner.Window);
    });
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
}

void CloseOwner(OwnerWindow& owner)
{
    PostThreadMessageW(owner.ThreadId, WM_QUIT, 0, 0);
    owner.Thread.join();
}

std::wstring ControlText(HWND dialog, int id)
{
    wchar_t text[1024] = {};
    GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

std::wstring RecordFile()
{
    return WorkDir() + L"opened.txt";
}

// What the stand-in browser was started with, one entry per start.
std::vector<std::wstring> Opened()
{
    const std::string bytes = ReadBytes(RecordFile());
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(text.data(), bytes.data(), text.size() * 2);
    std::vector<std::wstring> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find(L'\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::wstring::npos ? text.size() : end + 1;
    }
    return lines;
}

enum class WayOut { ClickDownload, EnterKey, ClickHomepage, ClickLater, EscapeKey, CloseBox };

void PostKey(HWND dialog, WPARAM key)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    const HWND target = info.hwndFocus != nullptr ? info.hwndFocus : dialog;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

void Leave(HWND dialog, WayOut way)
{
    DWORD_PTR ignored = 0;
    switch (way) {
    case WayOut::ClickDownload:
        SendMessageTimeoutW(GetDlgItem(dialog, IDC_DOWNLOAD), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
        break;
    case WayOut::EnterKey:
        PostKey(dialog, VK_RETURN);
        break;
    case WayOut::ClickHomepage:
        SendMessageTimeoutW(GetDlgItem(dialog, IDC_HOMEPAGE), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
        break;
    case WayOut::ClickLater:
        SendMessageTimeoutW(GetDlgItem(dialog, IDC_LATER), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
        break;
    case WayOut::EscapeKey:
        PostKey(dialog, VK_ESCAPE);
        break;
    case WayOut::CloseBox:
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
}

class VerliftDialog : public ::testing::Test {
protected:
    // The stand-in browser becomes the handler of http and https addresses in this prefix
    // (Wine merges HKLM classes only); the previous handlers come back at the end.
    static void SetUpTestSuite()
    {
        SetEnvironmentVariableW(L"VERLIFT_TEST_RECORD", RecordFile().c_str());
        const std::wstring command = L"\"" + BinDir() + L"verlift_url_recorder.exe\" \"%1\"";
        for (int i = 0; i < 2; ++i) {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, HandlerKeys[i], 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                                      nullptr),
                      ERROR_SUCCESS);
            wchar_t previous[1024] = {};
            DWORD bytes = sizeof previous - sizeof(wchar_t);
            DWORD type = 0;
            savedHandlers[i] = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(previous), &bytes) ==
                                       ERROR_SUCCESS
                                   ? std::wstring(previous)
                                   : std::wstring();
            RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                           static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
    }
    static void TearDownTestSuite()
    {
        for (int i = 0; i < 2; ++i) {
            HKEY key = nullptr;
            if (savedHandlers[i].empty() ||
                RegOpenKeyExW(HKEY_LOCAL_MACHINE, HandlerKeys[i], 0, KEY_WRITE, &key) != ERROR_SUCCESS)
                continue;
            RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(savedHandlers[i].c_str()),
                           static_cast<DWORD>((savedHandlers[i].size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
    }
    void SetUp() override
    {
        DeleteFileW(RecordFile().c_str());
        OpenOwner(owner);
        ASSERT_NE(owner.Window, nullptr);
    }
    void TearDown() override
    {
        CloseOwner(owner);
        ServerServe(ServeMode::Answer, 404, "");
    }

    // Serves a reply that makes the dialog show, with the given display version and download
    // address, and writes the INI file (homepage: the server).
    std::wstring Prepare(const std::string& name, const std::string& newVersion, const std::string& downloadUrl)
    {
        ServerServe(ServeMode::Answer, 200, Reply({"Tavo-Verlift", newVersion, downloadUrl, "verlift", NewerVersion, ""}));
        const std::wstring ini = UniquePath(L"dialog");
        WriteBytes(ini, ProductIni(name, ServerAddress()));
        return ini;
    }
    std::wstring OwnedBy() const
    {
        return L" /FORCE /HANDLE:" + std::to_wstring(static_cast<long>(reinterpret_cast<intptr_t>(owner.Window)));
    }

    static constexpr const wchar_t* HandlerKeys[2] = {L"Software\\Classes\\http\\shell\\open\\command",
                                                      L"Software\\Classes\\https\\shell\\open\\command"};
    static std::wstring savedHandlers[2];
    OwnerWindow owner;
};

std::wstring VerliftDialog::savedHandlers[2];

TEST_F(VerliftDialog, ShowsNameHomepageAndVersionOwnedByTheDisabledOwner)
{
    const struct {
        std::string Name;
        std::string NewVersion;
    } cases[] = {
        {"Tavo Hushbell", "2, 1, 0, 0"},
        {"100% Product %d", ""},  // an empty display version stays empty; % in the name is text
        // Over 19 characters: cut to 19, not dropped. 8-bit text comes in the thread's code page.
        {"Product", "2, 1, 0, 0 \xE9" "dition sp\xE9" "ciale"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::wstring ini = Prepare(c.Name, c.NewVersion, "http://example.invalid/setup.exe");
        Launch launch;
        ASSERT_TRUE(Start(VerliftExe(), Quoted(ini) + OwnedBy(), launch));
        const HWND dialog = WaitForDialog(launch);
        ASSERT_NE(dialog, nullptr);

        EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner.Window);
        EXPECT_FALSE(IsWindowEnabled(owner.Window));
        const std::string homepage = ServerAddress();
        EXPECT_EQ(ControlText(dialog, IDC_MESSAGE), Widen(MessageStart + c.Name + MessageMiddle + homepage + MessageEnd));
        EXPECT_EQ(ControlText(dialog, IDC_HOMEPAGE), Widen(homepage));
        EXPECT_EQ(ControlText(dialog, IDC_NEW_VERSION), FromThreadCodePage(c.NewVersion).substr(0, 19));
        EXPECT_EQ(ControlText(dialog, IDC_NEW_LABEL), L"New Version:");
        EXPECT_EQ(ControlText(dialog, IDC_CURRENT_LABEL), L"Current Version:");
        EXPECT_EQ(ControlText(dialog, IDC_CURRENT_VERSION), L"0, 0, 0, 0");
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_CURRENT_LABEL)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_CURRENT_VERSION)));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_NEW_VERSION)));
        // The window icons are not checked: Wine 8 answers WM_GETICON from another process
        // with 0 even for an icon set with WM_SETICON.

        Leave(dialog, WayOut::ClickLater);
        Outcome outcome;
        Finish(launch, outcome);
        EXPECT_TRUE(outcome.Ended);
        EXPECT_EQ(outcome.ExitCode, 0u);
        EXPECT_TRUE(IsWindowEnabled(owner.Window));
        EXPECT_TRUE(Opened().empty());
    }
}

TEST_F(VerliftDialog, WithoutANameTheTemplateTextsStayAndTheButtonsStillWork)
{
    const std::string download = "http://example.invalid/setup.exe";
    const std::wstring ini = Prepare("", "2, 1, 0, 0", download);
    Launch launch;
    ASSERT_TRUE(Start(VerliftExe(), Quoted(ini) + OwnedBy(), launch));
    const HWND dialog = WaitForDialog(launch);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDC_MESSAGE), Widen(MessageTemplate));
    EXPECT_EQ(ControlText(dialog, IDC_HOMEPAGE), L"");
    EXPECT_EQ(ControlText(dialog, IDC_NEW_VERSION), L"0, 0, 0, 0");
    Leave(dialog, WayOut::ClickDownload);
    Outcome outcome;
    Finish(launch, outcome);
    EXPECT_EQ(outcome.ExitCode, 0u);
    EXPECT_EQ(Opened(), std::vector<std::wstring>{Widen(download)});
}

TEST_F(VerliftDialog, EachWayOutOpensOnlyWhatItShould)
{
    const std::string web = "http://example.invalid/get?file=setup.exe&lang=en";
    const std::string upper = "HTTPS://Example.Invalid/Setup.exe";
    const struct {
        const char* Name;
        std::string DownloadUrl;
        WayOut Way;
        bool OpensDownload, OpensHomepage;
    } cases[] = {
        {"Download", web, WayOut::ClickDownload, true, false},
        {"Enter presses Download", upper, WayOut::EnterKey, true, false},
        {"homepage button", web, WayOut::ClickHomepage, false, true},
        {"Later", web, WayOut::ClickLater, false, false},
        {"Esc", web, WayOut::EscapeKey, false, false},
        {"close box", web, WayOut::CloseBox, false, false},
        {"Download of a program path", "C:\\windows\\notepad.exe", WayOut::ClickDownload, false, false},
        {"Download of a file address", "file:///C:/windows/win.ini", WayOut::ClickDownload, false, false},
        {"Download of an empty address", "", WayOut::ClickDownload, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        DeleteFileW(RecordFile().c_str());
        const std::wstring ini = Prepare("Product", "2, 1", c.DownloadUrl);
        Launch launch;
        ASSERT_TRUE(Start(VerliftExe(), Quoted(ini) + OwnedBy(), launch));
        const HWND dialog = WaitForDialog(launch);
        ASSERT_NE(dialog, nullptr);
        Leave(dialog, c.Way);
        Outcome outcome;
        Finish(launch, outcome);
        EXPECT_TRUE(outcome.Ended);
        EXPECT_EQ(outcome.ExitCode, 0u);
        EXPECT_TRUE(IsWindowEnabled(owner.Window));
        std::vector<std::wstring> expected;
        if (c.OpensDownload)
            expected.push_back(Widen(c.DownloadUrl));
        if (c.OpensHomepage)
            expected.push_back(Widen(ServerAddress()));
        EXPECT_EQ(Opened(), expected);
        // Nothing else was started either (a program path would have run as it stands).
        EXPECT_EQ(outcome.Processes, 1 + expected.size());
    }
}

TEST_F(VerliftDialog, OwnerWindowThatIsGoneMeansNoDialog)
{
    const HWND gone = CreateWindowExW(0, L"STATIC", L"gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    ASSERT_FALSE(IsWindow(gone));
    const std::wstring ini = Prepare("Product", "2, 1", "http://example.invalid/setup.exe");
    const Outcome outcome = RunVerlift(Quoted(ini) +
                                       L" /FORCE /HANDLE:" + std::to_wstring(static_cast<long>(reinterpret_cast<intptr_t>(gone))));
    EXPECT_TRUE(outcome.Ended);
    EXPECT_EQ(outcome.ExitCode, 0u);
    EXPECT_FALSE(outcome.DialogShown);
    EXPECT_EQ(ServerRequests().size(), 1u) << "the query was made; only the dialog could not be";
    EXPECT_TRUE(Opened().empty());
}

TEST_F(VerliftDialog, StartedThroughTheShellWithAQuotedPathAndHandle)
{
    // The way the plug-in starts the checker: the INI path in quotes (it holds blanks), then
    // "/HANDLE:" with the host window.
    const std::wstring ini = Prepare("Product", "2, 1", "http://example.invalid/setup.exe");
    ASSERT_NE(ini.find(L' '), std::wstring::npos);
    const std::wstring parameters = Quoted(ini) + OwnedBy();
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    const std::wstring file = VerliftExe();
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExW(&info));
    ASSERT_NE(info.hProcess, nullptr);
    Launch launch;
    launch.Process = info.hProcess;
    launch.ProcessId = GetProcessId(info.hProcess);
    launch.Job = CreateJobObjectW(nullptr, nullptr);
    launch.Started = GetTickCount();
    const HWND dialog = WaitForDialog(launch);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner.Window);
    Leave(dialog, WayOut::ClickLater);
    Outcome outcome;
    Finish(launch, outcome);
    EXPECT_EQ(outcome.ExitCode, 0u);
}

}  // namespace
