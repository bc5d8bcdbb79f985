// The message and dialog-text catalogues: locating them in the installation
// directory, reading texts from them, and catalogue message boxes.
#include "text/catalogue.h"

#include <cstring>

#include "monitor/model.h"
#include "monitor/monitor.h"

namespace {

// InstallPath is stored as REG_SZ of at most this many bytes.
const DWORD kInstallPathBytes = MAX_PATH;
const DWORD kCatalogueBufferSize = 512;
const DWORD kCaptionBufferSize = 256;
const char kDefaultMessage[] = "ERROR";

// Copies `text` into `buffer` when it fits; false (buffer untouched) otherwise.
bool CopyIfFits(const char* text, char* buffer, DWORD size)
{
    size_t length = strlen(text);
    if (!buffer || length >= size)
        return false;
    memcpy(buffer, text, length + 1);
    return true;
}

// Reads [section] key of the catalogue at `path` into `out` (at most 511
// characters, never more than outSize - 1). An empty path reads nothing.
void ReadProfileText(const char* path, const char* section, const char* key, const char* fallback, char* out,
                     DWORD outSize)
{
    if (outSize == 0)
        return;
    lstrcpynA(out, fallback, static_cast<int>(outSize));
    if (!path[0] || !section || !key)
        return;
    GetPrivateProfileStringA(section, key, fallback, out, outSize, path);
}

// Lead bytes of the system's ANSI code page, in which the catalogues are read.
bool IsAnsiLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

} // namespace

void ReadInstallPath(char* buffer, DWORD size)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    // One byte more than the value may hold, so that a value stored without
    // its terminator is still terminated inside the local buffer.
    char value[kInstallPathBytes + 1];
    DWORD type = REG_NONE;
    DWORD bytes = kInstallPathBytes;
    LONG result = RegQueryValueExA(key, "InstallPath", nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ || bytes > kInstallPathBytes)
        return;
    value[bytes] = '\0';
    CopyIfFits(value, buffer, size);
}

InstallFileResult InstallPathFile(const char* fileName, char* path, DWORD size)
{
    char directory[kInstallPathBytes + 1] = "";
    ReadInstallPath(directory, sizeof directory);
    // Trailing backslashes are dropped so that exactly one separates the
    // directory from the file name.
    size_t length = strlen(directory);
    while (length > 0 && directory[length - 1] == '\\')
        --length;
    size_t nameLength = fileName ? strlen(fileName) : 0;
    size_t total = length ? length + 1 + nameLength : nameLength;
    if (!path || total >= size) {
        if (path && size)
            path[0] = '\0';
        return INSTALL_FILE_TOO_LONG;
    }
    if (length) {
        memcpy(path, directory, length);
        path[length] = '\\';
    }
    memcpy(path + total - nameLength, fileName ? fileName : "", nameLength + 1);
    return length ? INSTALL_FILE_JOINED : INSTALL_FILE_BARE;
}

char* CataloguePath(const char* fileName, char* buffer, DWORD size)
{
    if (!buffer || size == 0)
        return buffer;
    if (!fileName || !fileName[0] || InstallPathFile(fileName, buffer, size) != INSTALL_FILE_JOINED)
        buffer[0] = '\0';
    return buffer;
}

void CatalogueText(const char* fileName, const char* section, const char* key, CatalogueArg arg, char* output,
                   DWORD outputSize)
{
    if (!output || outputSize == 0)
        return;
    output[0] = '\0';
    char path[kInstallPathBytes + 32];
    CataloguePath(fileName, path, sizeof path);
    char text[kCatalogueBufferSize];
    ReadProfileText(path, section, key, "", text, sizeof text);
    ExpandEscapes(text, strlen(text));
    FormatCatalogueText(text, arg, output, outputSize, IsAnsiLeadByte);
}

int CatalogueMessageBox(HWND owner, const char* fileName, const char* section, const char* textKey,
                        const char* titleKey, UINT type, CatalogueArg arg)
{
    char path[kInstallPathBytes + 32];
    CataloguePath(fileName, path, sizeof path);

    char caption[kCaptionBufferSize];
    ReadProfileText(path, section, titleKey, PRODUCT_ERROR_CAPTION, caption, sizeof caption);
    if (!caption[0])
        lstrcpynA(caption, PRODUCT_ERROR_CAPTION, sizeof caption);

    char text[kCatalogueBufferSize];
    ReadProfileText(path, section, textKey, kDefaultMessage, text, sizeof text);
    if (!text[0])
        lstrcpynA(text, kDefaultMessage, sizeof text);
    ExpandEscapes(text, strlen(text));

    char message[kCatalogueBufferSize];
    FormatCatalogueText(text, arg, message, sizeof message, IsAnsiLeadByte);
    return MessageBoxA(owner, message, caption, type | MB_SETFOREGROUND);
}
