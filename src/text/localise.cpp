// Dialog localisation from descriptor tables, and the dialog font.
#include "text/localise.h"

#include "text/catalogue.h"
#include "text/dialog_font.h"

namespace {

// The tables' outer heights are measured with a caption bar of this height.
const int kTableCaptionHeight = 19;
const DWORD kDialogTextSize = 512;
const DWORD kFontSettingSize = 128;
const char kFontSection[] = "FONT";

// Sizes or places the dialog itself from the first table entry.
void SizeDialog(HWND dialog, const DialogDescriptor& entry, int mode)
{
    if (mode == LOCALISE_SIZE_ONLY) {
        int height = entry.height + (GetSystemMetrics(SM_CYCAPTION) - kTableCaptionHeight);
        SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, entry.width, height, SWP_NOMOVE);
    } else if (mode == LOCALISE_MOVE) {
        MoveWindow(dialog, entry.x, entry.y, entry.width, entry.height, TRUE);
    }
    // Other modes (pages inside a frame): the frame places the page.
}

// Moves one control, gives it the font and, when the catalogue has one, its text.
void LocaliseControl(HWND dialog, HFONT font, const DialogDescriptor& entry)
{
    HWND control = GetDlgItem(dialog, static_cast<int>(entry.controlId));
    MoveWindow(control, entry.x, entry.y, entry.width, entry.height, TRUE);
    if (!entry.section)
        return;
    if (font)
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (!entry.key)
        return;
    char text[kDialogTextSize];
    CatalogueText(DIALOG_CATALOGUE, entry.section, entry.key, ArgNone(), text, sizeof text);
    if (text[0])
        SetDlgItemTextA(dialog, static_cast<int>(entry.controlId), text);
}

} // namespace

void LocaliseDialog(HWND dialog, HFONT font, const DialogDescriptor* table, int count, int mode)
{
    if (!dialog || !table || count <= 0)
        return;
    SizeDialog(dialog, table[0], mode);
    if (table[0].section && table[0].key) {
        char caption[kDialogTextSize];
        CatalogueText(DIALOG_CATALOGUE, table[0].section, table[0].key, ArgNone(), caption, sizeof caption);
        if (caption[0])
            SetWindowTextA(dialog, caption);
    }
    for (int i = 1; i < count; ++i)
        LocaliseControl(dialog, font, table[i]);
}

HFONT CatalogueFont(HWND window, const char* key, const char* cataloguePath)
{
    (void)window; // the font does not depend on the window it is made for
    if (!key || !cataloguePath || !cataloguePath[0])
        return nullptr;
    char setting[kFontSettingSize] = "";
    GetPrivateProfileStringA(kFontSection, key, "", setting, sizeof setting, cataloguePath);
    FontSetting font;
    if (!setting[0] || !ParseFontSetting(setting, &font))
        return nullptr;
    return CreateFontA(-font.size, 0, 0, 0, 0, FALSE, FALSE, FALSE, static_cast<DWORD>(font.charset), 0, 0, 0, 0,
                       font.face);
}
