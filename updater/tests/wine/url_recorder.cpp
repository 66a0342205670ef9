// Stands in for the web browser: appends the arguments it was started with, one start per line
// (UTF-16, arguments separated by a tab), to the file named by VERLIFT_TEST_RECORD.
#include <windows.h>
#include <shellapi.h>

namespace {

void Append(HANDLE file, const wchar_t* text)
{
    DWORD length = 0;
    while (text[length] != L'\0')
        ++length;
    DWORD written = 0;
    WriteFile(file, text, length * sizeof(wchar_t), &written, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"VERLIFT_TEST_RECORD", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr)
        return 1;
    const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        LocalFree(arguments);
        return 1;
    }
    for (int i = 1; i < count; ++i) {
        if (i > 1)
            Append(file, L"\t");
        Append(file, arguments[i]);
    }
    Append(file, L"\n");
    CloseHandle(file);
    LocalFree(arguments);
    return 0;
}
