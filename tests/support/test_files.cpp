#include "support/test_files.h"

#include <windows.h>

#include <vector>

std::string ProgramDir()
{
    char path[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1);
}

std::string TempDir()
{
    char temp[MAX_PATH + 1] = "";
    GetTempPathA(sizeof temp, temp);
    return temp;
}

std::string ReadFileBytes(const std::string& path)
{
    std::string data;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return data;
    std::vector<char> buffer(1 << 20);
    DWORD read = 0;
    // Bounded: files of a test run stay far below 4 GiB.
    for (int rounds = 0; rounds < 4096 && ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read;
         ++rounds)
        data.append(buffer.data(), read);
    CloseHandle(file);
    return data;
}
