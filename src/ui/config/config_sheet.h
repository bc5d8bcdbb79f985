// The tabbed frame of the configuration sheets: a modal dialog with a tab
// control, one child page per tab, and OK, Cancel and Apply. The frame owns
// the port's working copy, the dialog font and the Apply state; the pages
// edit the working copy and the sheet's save function writes it to the port
// key.
//
// How a sheet plugs in:
//   1. Its frame template holds IDOK, IDCANCEL, IDC_SHEET_APPLY (created
//      disabled) and IDC_SHEET_TAB (sheets_ids.h). Each page template is a
//      child dialog (DS_CONTROL | WS_CHILD) with a hidden static
//      IDC_SHEET_PAGE_LABEL holding its tab label for a catalogue without one.
//   2. Each page's dialog procedure gets the ConfigSheet as lParam of
//      WM_INITDIALOG and keeps it (SheetOfPage finds it again). There it
//      localises itself (LocaliseDialog with sheet->font, LOCALISE_MOVE: the
//      frame then places it) and fills its controls from sheet->port; the
//      frame ignores SheetChanged meanwhile, so the EN_CHANGE of the fill
//      does not enable Apply.
//   3. A page answers the page requests (ui/page_common.h) with PageAnswer:
//      PAGE_SHOW just before it is shown, PAGE_FOCUS after (nothing to do
//      while the tab control has the focus: SheetTabHasFocus), PAGE_VALIDATE
//      with 1 after it copied its controls into the working copy, or 0 after
//      it showed its message and put the focus on the faulty field.
//   4. Every change the user makes on a page calls SheetChanged.
//   5. The sheet fills a SheetDefinition (templates, frame table, pages, its
//      load and save functions) and runs RunConfigSheet with the port name;
//      sheet state beyond the port record goes in through `context`.
// The IPP sheet (ipp_sheet.h) and the e-mail sheet (mail_sheet.h, its
// address-list flag in its context) come in this way.
#pragma once

#include <windows.h>

#include "monitor/port_record.h"
#include "text/localise.h"

const int kMaxSheetPages = 8;

// The frame's layout (tab control, OK, Cancel, Apply), shared by the sheets
// for their SheetDefinition.
extern const DialogDescriptor kSheetFrameTable[];
extern const int kSheetFrameTableCount;

struct ConfigSheet;

struct SheetPageDefinition {
    WORD templateId;
    const char* tabKey; // key of the tab label in the dialog catalogue's "TAB" section
    DLGPROC proc;
};

struct SheetDefinition {
    WORD frameTemplate;
    DWORD protocol; // of the working copy
    const DialogDescriptor* frameTable; // applied with LOCALISE_SIZE_ONLY
    int frameTableCount;
    const SheetPageDefinition* pages;
    int pageCount; // at most kMaxSheetPages
    POINT pageOrigin; // where the pages lie in the frame's client area, pixels
    // Fills the freshly allocated working copy from the registry; false when
    // the sheet cannot be shown on it (no dialog opens then).
    bool (*load)(ConfigSheet* sheet);
    // Writes the working copy to the port key; false when any value could
    // not be written.
    bool (*save)(ConfigSheet* sheet);
};

// One open sheet.
struct ConfigSheet {
    const SheetDefinition* definition;
    PortRecord* port; // the working copy, with its own name and settings record
    void* context;    // the sheet's own state, from RunConfigSheet
    HWND frame;
    HFONT font;
    HWND pages[kMaxSheetPages];
    int current;  // index of the page in front
    bool filling; // the pages are being created and filled
};

// Allocates the working copy of the port `name`, loads it and shows the
// sheet modally. 1 after OK (saved), 0 after Cancel, -1 when no sheet was
// shown (the copy could not be allocated or loaded, or the dialog could not
// be created).
INT_PTR RunConfigSheet(HWND owner, const SheetDefinition* definition, const char* name, void* context);

// Shows the sheet on a working copy made by the caller; -1 without showing
// anything when `sheet` has no working copy or no definition.
INT_PTR ShowConfigSheet(HWND owner, ConfigSheet* sheet);

// The sheet a page was created for (NULL before its WM_INITDIALOG).
ConfigSheet* SheetOfPage(HWND page);
// Keeps the sheet in the page at WM_INITDIALOG; returns it.
ConfigSheet* AttachPage(HWND page, LPARAM parameter);

// Something on a page changed: Apply becomes enabled, except while the pages
// are being filled.
void SheetChanged(ConfigSheet* sheet);

// True while the frame's tab control has the keyboard focus.
bool SheetTabHasFocus(const ConfigSheet* sheet);

// A message-catalogue message with an exclamation icon over `owner`.
void SheetMessage(HWND owner, const char* key);
