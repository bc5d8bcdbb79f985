#include "monitor/spool_file.h"

#include <cstdio>
#include <cstring>

#include "monitor/monitor.h"
#include "monitor/private_files.h"
#include "text/catalogue.h"

static const char kSpoolDirectoryName[] = "Spool";
// The temporary folder may be shared with other accounts: without a usable
// InstallPath the files go into a private folder of their own there.
static const char kTempSpoolFolder[] = "DWLSpool";

bool SpoolDirectory(char* directory, DWORD size)
{
    InstallFileResult found = InstallPathFile(kSpoolDirectoryName, directory, size);
    if (found != INSTALL_FILE_BARE)
        return found == INSTALL_FILE_JOINED;
    char temp[MAX_PATH + 1];
    DWORD got = GetTempPathA(sizeof temp, temp);
    if (got == 0 || got >= sizeof temp)
        return false;
    if (temp[got - 1] == '\\')
        temp[got - 1] = '\0';
    int length = snprintf(directory, size, "%s\\%s", temp, kTempSpoolFolder);
    return length > 0 && static_cast<DWORD>(length) < size;
}

bool SpoolFilePath(DWORD jobId, bool fullId, char* path, DWORD size)
{
    char directory[MAX_PATH];
    int length = -1;
    if (SpoolDirectory(directory, sizeof directory)) {
        if (fullId)
            length = snprintf(path, size, "%s\\~DWL%lu.DWL", directory, static_cast<unsigned long>(jobId));
        else
            length = snprintf(path, size, "%s\\~DWL%03lu.DWL", directory, static_cast<unsigned long>(jobId % 1000));
    }
    if (length < 0 || static_cast<DWORD>(length) >= size) {
        if (size)
            path[0] = '\0';
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

HANDLE CreateSpoolFile(const char* path, bool keep)
{
    char directory[MAX_PATH];
    lstrcpynA(directory, path, sizeof directory);
    char* slash = strrchr(directory, '\\');
    if (!slash)
        return INVALID_HANDLE_VALUE;
    *slash = '\0';
    if (!MakePrivateDirectory(directory))
        return INVALID_HANDLE_VALUE;
    return CreatePrivateFile(path, FILE_ATTRIBUTE_NORMAL | (keep ? 0 : FILE_FLAG_DELETE_ON_CLOSE));
}

void CloseSpoolFile(PortRecord* port)
{
    MonitorLock();
    HANDLE file = port->spoolFile;
    port->spoolFile = INVALID_HANDLE_VALUE;
    MonitorUnlock();
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}
