// The message and dialog-text catalogues.
#pragma once

#include <windows.h>

#include "text/escapes.h"

#define MESSAGE_CATALOGUE "CRVMES.INI"
#define DIALOG_CATALOGUE "CRVDLG.INI"
#define MESSAGE_SECTION "MESSAGE"

// InstallPath of the monitor key into `buffer`; unchanged when unreadable.
void ReadInstallPath(char* buffer, DWORD size);

// What InstallPathFile made.
enum InstallFileResult {
    INSTALL_FILE_JOINED,   // "<installation directory>\<file name>"
    INSTALL_FILE_BARE,     // no usable InstallPath: the bare file name
    INSTALL_FILE_TOO_LONG, // it does not fit: `path` is empty
};
// The file `fileName` in the installation directory: InstallPath of the
// monitor key without its trailing backslashes, one backslash, the name.
// InstallPath missing, unreadable, empty or only backslashes (the drive
// root) gives the bare file name.
InstallFileResult InstallPathFile(const char* fileName, char* path, DWORD size);

// Installation directory, one backslash, `fileName`. Gives an empty text (no
// catalogue) when InstallPath is missing, empty or the path does not fit: a
// bare file name would be looked up in the system's own directory.
char* CataloguePath(const char* fileName, char* buffer, DWORD size);

// [section] key of the catalogue file (default empty), escape-expanded and,
// with an argument, formatted with it; into `output` of `outputSize` bytes.
void CatalogueText(const char* fileName, const char* section, const char* key, CatalogueArg arg, char* output, DWORD outputSize);

// A message box with [MESSAGE] textKey of CRVMES.INI under [MESSAGE] titleKey.
int CatalogueMessageBox(HWND owner, const char* fileName, const char* section, const char* textKey, const char* titleKey,
                        UINT type, CatalogueArg arg);
