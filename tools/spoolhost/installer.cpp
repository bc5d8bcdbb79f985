// The spooler host's installer: install-monitor copies the monitor, its
// catalogues and the mailer into a directory and registers them; it records
// what it did in a list in that directory, from which uninstall-monitor
// undoes exactly that.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "spoolhost.h"

namespace {

const char kInstallRecord[] = "INSTALL.LST";
const char kMailer[] = "Sendmail.exe";

std::string ProgramDir()
{
    char path[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1);
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One line of the record: what was done, and its object.
struct InstallStep {
    std::string action; // "directory", "key", "file", "value", "restore"
    std::string name;
    std::string text; // the earlier value of a restored value
};

struct InstallRecord {
    std::string dir;
    std::string monitorKey;
    std::vector<InstallStep> steps;
};

bool WriteRecord(const InstallRecord& record)
{
    std::string text = "monitor-key\t" + record.monitorKey + "\r\n";
    for (const InstallStep& step : record.steps)
        text += step.action + "\t" + step.name + "\t" + step.text + "\r\n";
    HANDLE file = CreateFileA((record.dir + "\\" + kInstallRecord).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

bool ReadRecord(const std::string& dir, InstallRecord* record)
{
    HANDLE file = CreateFileA((dir + "\\" + kInstallRecord).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char block[8192];
    DWORD got = 0;
    BOOL ok = ReadFile(file, block, sizeof block, &got, nullptr);
    CloseHandle(file);
    if (!ok || got == sizeof block)
        return false;
    record->dir = dir;
    std::string text(block, got);
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find("\r\n", start);
        if (end == std::string::npos)
            return false;
        std::string line = text.substr(start, end - start);
        size_t tab1 = line.find('\t'), tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab1 == std::string::npos)
            return false;
        if (line.compare(0, tab1, "monitor-key") == 0)
            record->monitorKey = line.substr(tab1 + 1);
        else if (tab2 != std::string::npos)
            record->steps.push_back(InstallStep{line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)});
    }
    return !record->monitorKey.empty();
}

bool KeyIsEmpty(const std::string& subkey)
{
    HKEY key;
    DWORD subkeys = 1, values = 1;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return subkeys == 0 && values == 0;
}

void SetTextValue(const std::string& subkey, const std::string& name, const std::string& text)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

// Undoes the steps in reverse order. The monitor key and the directory go
// only when nothing else is left in them.
void UndoInstall(const InstallRecord& record)
{
    DeleteFileA((record.dir + "\\" + kInstallRecord).c_str());
    for (auto step = record.steps.rbegin(); step != record.steps.rend(); ++step) {
        if (step->action == "file") {
            DeleteFileA((record.dir + "\\" + step->name).c_str());
        } else if (step->action == "value") {
            HKEY key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, record.monitorKey.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, step->name.c_str());
                RegCloseKey(key);
            }
        } else if (step->action == "restore") {
            SetTextValue(record.monitorKey, step->name, step->text);
        } else if (step->action == "key") {
            if (KeyIsEmpty(record.monitorKey))
                RegDeleteKeyA(HKEY_LOCAL_MACHINE, record.monitorKey.c_str());
        } else if (step->action == "directory") {
            RemoveDirectoryA(record.dir.c_str());
        }
    }
}

// Sets a REG_SZ value of the monitor key, recording how to undo it: an
// earlier text value is restored, a new value removed.
bool RegisterValue(InstallRecord* record, const char* name, const std::string& text)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, record->monitorKey.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char old[MAX_PATH + 1] = "";
    DWORD size = sizeof old - 1, type = REG_NONE;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(old), &size);
    bool restorable = status == ERROR_SUCCESS && type == REG_SZ && !strpbrk(old, "\r\n");
    if (status == ERROR_SUCCESS && !restorable) {
        RegCloseKey(key);
        return false; // an earlier value this list cannot hold
    }
    record->steps.push_back(InstallStep{restorable ? "restore" : "value", name, restorable ? std::string(old) : ""});
    bool ok = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

// The files to install: source path and name in the directory.
std::vector<std::pair<std::string, std::string>> InstallFiles(const std::string& dll, const std::string& language)
{
    std::string catalogues = ProgramDir() + "catalogues\\" + language + "\\";
    std::vector<std::pair<std::string, std::string>> files = {
        {dll, BaseName(dll)}, {catalogues + "CRVMES.INI", "CRVMES.INI"}, {catalogues + "CRVDLG.INI", "CRVDLG.INI"}};
    if (FileExists(ProgramDir() + kMailer))
        files.push_back({ProgramDir() + kMailer, kMailer});
    return files;
}

bool CopyInstallFiles(InstallRecord* record, const std::vector<std::pair<std::string, std::string>>& files, std::string* error)
{
    for (const auto& file : files) {
        if (!CopyFileA(file.first.c_str(), (record->dir + "\\" + file.second).c_str(), TRUE)) {
            *error = "cannot copy " + file.first + " (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        record->steps.push_back(InstallStep{"file", file.second, ""});
    }
    return true;
}

bool RegisterMonitor(InstallRecord* record, const std::string& dll, std::string* error)
{
    HKEY key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, record->monitorKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) != ERROR_SUCCESS) {
        *error = "cannot create HKLM\\" + record->monitorKey;
        return false;
    }
    RegCloseKey(key);
    if (disposition == REG_CREATED_NEW_KEY)
        record->steps.push_back(InstallStep{"key", "", ""});
    if (!RegisterValue(record, "InstallPath", record->dir) || !RegisterValue(record, "Driver", BaseName(dll))) {
        *error = "cannot set InstallPath and Driver";
        return false;
    }
    return true;
}

} // namespace

// install-monitor DIR [--lang en|ja]
int InstallMonitor(const Options& options, const std::string& monitorKey)
{
    const std::vector<std::string>& c = options.command;
    std::string language = c.size() == 4 && c[2] == "--lang" ? c[3] : "en";
    if ((c.size() != 2 && c.size() != 4) || (language != "en" && language != "ja") || monitorKey.empty()) {
        Usage();
        return 2;
    }
    InstallRecord record{c[1], monitorKey, {}};
    std::vector<std::pair<std::string, std::string>> files = InstallFiles(options.dll, language);
    std::vector<std::string> names = {kInstallRecord};
    for (const auto& file : files)
        names.push_back(file.second);
    for (const std::string& name : names)
        if (FileExists(record.dir + "\\" + name)) {
            printf("%s already holds %s; run uninstall-monitor first\n", record.dir.c_str(), name.c_str());
            return 1;
        }
    if (!FileExists(record.dir)) {
        if (!CreateDirectoryA(record.dir.c_str(), nullptr)) {
            printf("cannot create %s\n", record.dir.c_str());
            return 1;
        }
        record.steps.push_back(InstallStep{"directory", "", ""});
    }
    std::string error;
    if (!CopyInstallFiles(&record, files, &error) || !RegisterMonitor(&record, options.dll, &error) || !WriteRecord(record)) {
        printf("install failed: %s\n", error.empty() ? "cannot write the install list" : error.c_str());
        UndoInstall(record);
        return 1;
    }
    printf("installed %zu file(s) into %s; HKLM\\%s: InstallPath, Driver\n", files.size(), record.dir.c_str(), monitorKey.c_str());
    return 0;
}

// uninstall-monitor DIR
int UninstallMonitor(const std::vector<std::string>& c)
{
    InstallRecord record;
    if (c.size() != 2) {
        Usage();
        return 2;
    }
    if (!ReadRecord(c[1], &record)) {
        printf("%s holds no readable install list\n", c[1].c_str());
        return 1;
    }
    UndoInstall(record);
    printf("uninstalled from %s\n", record.dir.c_str());
    return 0;
}
