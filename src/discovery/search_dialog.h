// The print-server search dialog (template 257) and the search settings
// dialog (template 262).
//
// The wizard's LPR and Raw pages open the search from their
// Search button with a result entry of their own:
//
//   SearchResult chosen;
//   if (RunSearchDialog(page, &chosen) == 1) {
//       // chosen.address: the server's IPv4 address as text, for HostName;
//       // chosen.queryPort: for the LPR page's PortNum (19541 unless the
//       // server answered from another UDP port), then LookupPortNames.
//   }
//
// The dialog is modal and runs on the caller's thread; everything it uses is
// its own (a heap table of at most 128 servers, its search socket, its font,
// its sort state), so the pages need no state of theirs for it, and the
// spooler host opens it on its own through the DLL's SearchPrintServers
// export (`spoolhost search`). Only a result of 1 means a server was chosen.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "discovery/search_result.h"
#include "text/localise.h"

// The dialog: 1 when the user chose a server with OK (*chosen then holds its
// entry), 0 after Cancel or an OK with nothing chosen (*chosen unchanged),
// -1 when the dialog could not be shown. `chosen` may not be NULL.
INT_PTR RunSearchDialog(HWND owner, SearchResult* chosen);

// The settings dialog, opened by the search dialog's Settings button: 1
// after OK (the list saved to Dwlmon.ini), 0 after Cancel (nothing saved),
// -1 when it could not be shown. A running search is not restarted: the new
// list is used from the next search.
INT_PTR RunSearchSettingsDialog(HWND owner);

// The list of the search dialog (IDC_SEARCH_LIST), for hosts that read it.
const int kSearchListControlId = 259;

// Column widths when the monitor key has none (Column00 to Column02).
const int kSearchColumnDefaultWidths[3] = {110, 110, 138};

extern const DialogDescriptor kSearchDialogTable[];
extern const int kSearchDialogTableCount;
extern const DialogDescriptor kSearchSettingsTable[];
extern const int kSearchSettingsTableCount;

INT_PTR CALLBACK SearchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SearchSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The export the spooler host calls (monitor.def): RunSearchDialog.
typedef INT_PTR(WINAPI* SearchPrintServersFn)(HWND owner, SearchResult* chosen);
#define SEARCH_PRINT_SERVERS_EXPORT "SearchPrintServers"
extern "C" INT_PTR WINAPI SearchPrintServers(HWND owner, SearchResult* chosen);
