// Dialog localisation from descriptor tables, the dialog font, the version dialog.
#pragma once

#include <windows.h>

struct DialogDescriptor {
    DWORD controlId;     // 0 for the dialog itself
    const char* section; // CRVDLG.INI section, or NULL
    const char* key;     // key in that section, or NULL
    int x, y, width, height;
};

enum LocaliseMode { LOCALISE_SIZE_ONLY = 0, LOCALISE_MOVE = 1, LOCALISE_PAGE = 2 };

void LocaliseDialog(HWND dialog, HFONT font, const DialogDescriptor* table, int count, int mode);

// The font of [FONT] key in the catalogue at `cataloguePath`, or NULL.
HFONT CatalogueFont(HWND window, const char* key, const char* cataloguePath);

// The version dialog (template 387); lParam of DialogBoxParamA is its font.
INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
extern const DialogDescriptor kVersionDialogTable[];
extern const int kVersionDialogTableCount;
