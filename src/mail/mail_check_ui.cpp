// The checks of the e-mail settings on dialogs.
#include "mail/mail_check_ui.h"

#include <cstring>
#include <vector>

#include "text/catalogue.h"

bool IsAnsiLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

void ShowMailCheckFailure(HWND dialog, HWND field, const MailCheckFailure& failure)
{
    CatalogueArg argument = failure.argument ? ArgText(failure.argument) : ArgNone();
    CatalogueMessageBox(dialog, MESSAGE_CATALOGUE, MESSAGE_SECTION, failure.messageKey, "TITLE",
                        MB_ICONEXCLAMATION | MB_OK, argument);
    if (!field)
        return;
    SetFocus(field);
    if (failure.selectText)
        SendMessageA(field, EM_SETSEL, 0, -1);
}

void ReadFieldText(HWND field, size_t limit, char* out, size_t size)
{
    if (!out || size == 0)
        return;
    out[0] = '\0';
    int length = GetWindowTextLengthA(field);
    if (length <= 0)
        return;
    // The whole text first: a short buffer could end inside a double-byte character.
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(field, text.data(), length + 1);
    text[static_cast<size_t>(length)] = '\0';
    CutToBytes(text.data(), limit < size - 1 ? limit : size - 1, IsAnsiLeadByte);
    memcpy(out, text.data(), strlen(text.data()) + 1);
}
