// Reading and checking the fields of the configuration sheets' pages and
// dialogs.
#include "ui/config/sheet_fields.h"

#include <commctrl.h>

#include <cstring>

#include "ui/config/config_sheet.h"
#include "ui/page_common.h"

namespace {

// Longer than any number a field takes: such a text is not a number.
const int kNumberTextSize = 32;

} // namespace

void ReadFieldText(HWND dialog, int id, char* field, size_t size)
{
    if (!field || size == 0)
        return;
    memset(field, 0, size);
    GetDlgItemTextA(dialog, id, field, static_cast<int>(size));
    field[size - 1] = '\0';
}

bool ReadFieldNumber(HWND dialog, int id, NumberRange range, uint32_t* value)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control || GetWindowTextLengthA(control) >= kNumberTextSize)
        return false;
    char text[kNumberTextSize] = "";
    GetWindowTextA(control, text, sizeof text);
    return ParseNumberInRange(text, range, value);
}

void FocusField(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return;
    // WM_NEXTDLGCTL keeps the dialog manager's idea of the focus and of the
    // default button right, also for a page inside a frame.
    SendMessageA(GetAncestor(dialog, GA_ROOT), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    SendMessageA(control, EM_SETSEL, 0, -1);
}

bool RefuseField(HWND dialog, const char* key, int id)
{
    SheetMessage(GetAncestor(dialog, GA_ROOT), key);
    FocusField(dialog, id);
    return false;
}

void EnableControls(HWND dialog, const int* ids, int count, bool enable)
{
    for (int i = 0; i < count; ++i)
        EnableWindow(GetDlgItem(dialog, ids[i]), enable ? TRUE : FALSE);
}

void FitCaptionCheckBox(HWND dialog, int id, int height)
{
    HWND control = GetDlgItem(dialog, id);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    FitCheckBoxCaption(control, font, GetSystemMetrics(SM_CXMENUCHECK), height);
}

void InitNumberSpin(HWND dialog, int editId, int spinId, int chars, NumberRange range, DWORD position)
{
    HWND edit = GetDlgItem(dialog, editId);
    HWND spin = GetDlgItem(dialog, spinId);
    SendMessageA(edit, EM_LIMITTEXT, static_cast<WPARAM>(chars), 0);
    SendMessageA(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    SendMessageA(spin, UDM_SETRANGE32, range.least, range.largest);
    // The up-down writes its position into the field.
    SendMessageA(spin, UDM_SETPOS32, 0, static_cast<LPARAM>(position));
}

void LocaliseSheetPage(HWND page, const ConfigSheet* sheet, const DialogDescriptor* table, int count, int checkBox)
{
    LocaliseDialog(page, sheet->font, table, count, LOCALISE_MOVE);
    if (checkBox)
        FitCaptionCheckBox(page, checkBox, kCaptionCheckHeight);
}

INT_PTR SheetPageAnswer(HWND page, const ConfigSheet* sheet, UINT message, int focusId)
{
    if (message == PAGE_SHOW)
        return PageAnswer(page, 0);
    if (message != PAGE_FOCUS)
        return -1;
    if (!SheetTabHasFocus(sheet))
        FocusField(page, focusId);
    return PageAnswer(page, 0);
}
