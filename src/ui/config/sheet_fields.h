// Reading and checking the fields of the configuration sheets' pages and
// dialogs.
#pragma once

#include <windows.h>

#include <cstddef>

#include "text/localise.h"
#include "ui/config/sheet_rules.h"

struct ConfigSheet;

// Height of a check box that is a group's caption, pixels.
const int kCaptionCheckHeight = 20;

// The control's text into `field` of `size` bytes: cut to size - 1
// characters, the rest of the field zero-filled.
void ReadFieldText(HWND dialog, int id, char* field, size_t size);

// The control's text as a decimal number within `range`; false when it is
// empty, not a number, too long or outside the range.
bool ReadFieldNumber(HWND dialog, int id, NumberRange range, uint32_t* value);

// Shows the message-catalogue message `key` (exclamation icon) over the
// dialog's top-level window, then puts the focus on the control `id` with
// its text selected. Returns false, the answer of a refused check.
bool RefuseField(HWND dialog, const char* key, int id);

// Puts the focus on the control `id` of a page or dialog, an edit field with
// its whole text selected.
void FocusField(HWND dialog, int id);

// Enables or disables the controls `ids`.
void EnableControls(HWND dialog, const int* ids, int count, bool enable);

// Fits a check box that is the caption of a group box to its text in its
// own font, at `height` pixels.
void FitCaptionCheckBox(HWND dialog, int id, int height);

// Localises a sheet page (the frame places it) and fits its caption check
// box `checkBox` (0: none).
void LocaliseSheetPage(HWND page, const ConfigSheet* sheet, const DialogDescriptor* table, int count, int checkBox);

// The answers every sheet page gives alike: PAGE_SHOW (nothing to refresh)
// and PAGE_FOCUS, which puts the focus on `focusId` unless the tab control
// has it. -1 for any other message.
INT_PTR SheetPageAnswer(HWND page, const ConfigSheet* sheet, UINT message, int focusId);

// A spin control `spinId` that drives the number in the edit field `editId`
// (at most `chars` characters) within `range`, at `position`.
void InitNumberSpin(HWND dialog, int editId, int spinId, int chars, NumberRange range, DWORD position);
