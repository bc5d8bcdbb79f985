// The internal-port-name query: asks one print server for the
// names of its internal printer ports ("GET PORT_NAME", in chunks), and the
// background lookup that the wizard's LPR page starts after a
// search to offer the matching LPR queue names.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "discovery/port_name_codec.h"

// Asks the server at `address` (network byte order) and UDP `port` (host
// order) for its answer, chunk by chunk: up to 5 attempts per chunk, each a
// send and one wait of the timing table's discoveryWait (1000 ms); then one
// end-of-exchange request whose outcome is ignored. Returns the answer's
// length (its bytes in answer->answer), or -1 when a chunk got no fitting
// reply in 5 attempts, the answer would pass 1024 bytes, more data was
// announced with an empty chunk, or no socket could be opened.
int QueryPortNames(in_addr address, WORD port, PortNameAssembly* answer);

// What a lookup found, posted to the page on the heap.
struct PortNameLookup {
    DWORD generation;     // as given to LookupPortNames
    int total;            // the answer's length, or -1 when the query failed
    QueueNameList queues; // the answer's queue names (MapAnswerNames); empty when none or failed
};

// Starts the lookup on a thread of its own (16384-byte stack, lowest
// priority, its handle closed at once) and returns at once; FALSE when the
// thread could not be started.
//
// The thread shares nothing with the caller: it takes copies of the address
// text (at most 15 characters, converted with inet_addr: a text that is not
// dotted decimal asks 255.255.255.255) and of the port. When the query is
// over it posts `message` to `window` with wParam = `generation` and lParam
// = a PortNameLookup allocated on the heap. The window's procedure owns it
// from then on: it compares the generation with the one of its latest
// lookup, applies a current result (ApplyPortNameLookup) and drops a stale
// one, and frees it in both cases (FreePortNameLookup). When the post fails
// (the window is gone) the thread frees the result itself.
//
// The wizard's LPR page, for example:
//   case WM_PORT_NAMES: {   // its own message number
//       PortNameLookup* found = reinterpret_cast<PortNameLookup*>(lParam);
//       if (found->generation == page->lookupGeneration)
//           ApplyPortNameLookup(GetDlgItem(page, 247), found);
//       FreePortNameLookup(found);
//       return TRUE;
//   }
// after Search: LookupPortNames(page, WM_PORT_NAMES, chosen.address,
//                               chosen.queryPort, ++page->lookupGeneration);
BOOL LookupPortNames(HWND window, UINT message, const char* addressText, WORD port, DWORD generation);

// Fills the LPR page's queue-name list (a combo box) from a lookup: an
// answer of at least one byte replaces the list's entries by its queue
// names; then an empty list gets the five default queue names; the first
// entry is selected. A failed query leaves the entries as they were.
void ApplyPortNameLookup(HWND comboBox, const PortNameLookup* result);
// Puts the five default queue names into the combo box (after its entries)
// and selects the first entry.
void FillDefaultQueueNames(HWND comboBox);

// Frees a posted result (NULL is ignored).
void FreePortNameLookup(PortNameLookup* result);

// Lookup results allocated and not yet freed, in this process (for tests).
LONG PortNameLookupsOutstanding();
