// A stand-in for Sendmail.exe in tests of the e-mail port. Beside itself it
// reads "stub-exit.txt" (the exit code, decimal; 0 when absent) and writes
// "stub-cmdline.txt" (its command line) and "stub-params.bin" (a copy of the
// parameter file beside the spool file named by /A, as it was while it ran).
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

static std::string OwnDir()
{
    char path[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1);
}

static void WriteText(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
}

int main()
{
    std::string dir = OwnDir();
    const char* line = GetCommandLineA();
    WriteText(dir + "stub-cmdline.txt", line);
    const char* a = strstr(line, " /A");
    const char* p = a ? strstr(a, " /P") : nullptr;
    if (a && p && p - a > 7) {
        std::string params(a + 3, p - 4);
        CopyFileA((params + ".bin").c_str(), (dir + "stub-params.bin").c_str(), FALSE);
    }
    char code[32] = "";
    HANDLE file = CreateFileA((dir + "stub-exit.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD got = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, code, sizeof code - 1, &got, nullptr);
        CloseHandle(file);
    }
    return static_cast<int>(strtoul(code, nullptr, 0));
}
