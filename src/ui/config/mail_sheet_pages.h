// What the pages of the e-mail configuration sheet share.
#pragma once

#include <windows.h>

#include "text/localise.h"
#include "ui/config/config_sheet.h"

// Localises a page (the frame places it) and fits its caption check box
// `checkBox` (0: none).
void LocaliseMailPage(HWND page, const ConfigSheet* sheet, const DialogDescriptor* table, int count, int checkBox);

// The answers every page gives alike: PAGE_SHOW (nothing to refresh) and
// PAGE_FOCUS, which puts the focus on `focusId` unless the tab control has
// it. -1 for any other message.
INT_PTR MailPageAnswer(HWND page, const ConfigSheet* sheet, UINT message, int focusId);
