// What the add-port wizard's pages and the configuration sheets' tab pages
// share: the requests a frame sends its pages, and small helpers every page
// needs (port-name look-up in the spooler's list, check-box captions fitted
// to their text, check-box state, page answers).
#pragma once

#include <windows.h>

// Requests from a frame to its pages (sent synchronously).
enum PageRequest : UINT {
    PAGE_BACK = WM_USER + 200,     // Back: the page sets the page index to the page before it
    PAGE_NEXT = WM_USER + 201,     // Next or Finish: validate, store, set the next page index
    PAGE_SHOW = WM_USER + 202,     // just before the page becomes visible: refresh its fields
    PAGE_CANCEL = WM_USER + 203,   // Cancel while a page runs background work (and its answer)
    PAGE_FOCUS = WM_USER + 204,    // right after the page became visible: focus its first field
    PAGE_VALIDATE = WM_USER + 205, // a tab page is left or its sheet applied: check and store
};

// The spooler's port list (EnumPorts level 1 on this machine) holds `name`,
// compared without regard to letter case. The list is asked for its size and
// then for its data; when it grew between the two calls the pair is asked
// again (a bounded number of times). False when the list cannot be read.
bool PortNameExists(const char* name);

// Resizes a check box that serves as a group box caption to its text's width
// in `font` plus `extraWidth` by `height` (position and Z order kept);
// returns the new width. Callers pass GetSystemMetrics(SM_CXMENUCHECK) as the
// extra width and the control's descriptor-table height.
int FitCheckBoxCaption(HWND control, HFONT font, int extraWidth, int height);

// 1 when the check box or radio button `id` of `dialog` is checked, else 0:
// the control's own state, never a remembered flag.
DWORD ButtonChecked(HWND dialog, int id);

// A dialog procedure's answer to a request whose result the sender reads
// (DWLP_MSGRESULT); returns TRUE for the dialog procedure to return.
INT_PTR PageAnswer(HWND page, LONG_PTR result);
