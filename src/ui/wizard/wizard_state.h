// The add-port wizard's state and what its pages may do with it.
//
// How a page plugs in. The wizard has 15 page slots (wizard_flow.h names
// them), created once when the wizard opens and destroyed with it. Each slot
// of the page table (kWizardPages, wizard_pages.cpp) holds the page's dialog
// template, its page procedure and its dialog descriptor table; a page is
// plugged in by replacing its slot's entry, nothing else. Before the page
// procedure sees WM_INITDIALOG the frame has attached the page to the state
// (WizardOf), localised it with the slot's table (sizing mode 1) and set the
// dialog font on every control the table gives a section; it then places the
// page beside the banner. WM_INITDIALOG is where a page sets its initial
// state, once. The page then answers the frame's requests (page_common.h):
//   PAGE_SHOW   refresh the fields that depend on other pages' results;
//   PAGE_FOCUS  focus the first field (an edit field with its text selected);
//   PAGE_NEXT   validate; on failure show the message (WizardMessage), focus
//               the faulty field and leave `pageIndex` alone; on success
//               store the fields and set `pageIndex` to the next page
//               (WizardNextPage), or a summary page to kWizardFinished after
//               RegisterNewPort succeeded and kWizardFailed when it failed;
//   PAGE_BACK   set `pageIndex` to WizardBackPage;
//   PAGE_CANCEL (the URL page only) the frame is cancelling while a
//               connection test may run: StopWizardConnectionTest.
// The frame moves to `pageIndex` when a request changed it. A page that
// moves on by itself later (the URL page, when its connection test ends)
// sets `pageIndex` and calls ShowWizardPage.
//
// What pages read and write: a protocol's pages fill only their own settings
// record (zero-filled at the start, allocated for the wizard's whole life);
// the protocol's last page proposes `portName` (wizard_flow.h proposals);
// the protocol choice page writes `protocol`, the connection-type page
// `dialUp`; `systemProxy` is read-only (the user's ProxyEnable, read before
// the pages are created). The URL page runs its connection test on the
// scratch record `testPort` with `testThread`.
#pragma once

#include <windows.h>

#include "monitor/port_record.h"
#include "ui/wizard/wizard_flow.h"

struct WizardState {
    HWND frame;
    // The page to show next (0 to 14), or kWizardFinished / kWizardFailed.
    int pageIndex;
    // The page shown.
    int currentPage;
    DWORD protocol;    // WIZARD_LPR ... WIZARD_RAW; 0 at the start
    DWORD dialUp;      // kWizardDialUpModem (the start) or kWizardDialUpNetwork
    DWORD systemProxy; // the user's ProxyEnable, 0 when absent
    char portName[kWizardPortNameSize];
    // One settings record per protocol; only the chosen one is registered.
    LprSettings* lpr;
    IppSettings* ipp;
    RawSettings* raw;
    EmailSettings* email;
    // The connection test: a scratch IPP port record and the test's thread.
    // After a stop that ran out of time the record stays with the thread
    // (`testAbandoned`) and is never freed.
    PortRecord* testPort;
    HANDLE testThread;
    bool testAbandoned;
    HWND pages[kWizardPageCount];
    HFONT font;
    // The banner: bitmap number, its resource bits and palette.
    int banner;
    const BITMAPINFO* bannerBits;
    HPALETTE palette;
    // The Next button's caption as localised at the start (the template's
    // text where the catalogue has none).
    char nextCaption[128];
};

// The state of the wizard `page` (or the frame) belongs to; NULL before the
// page was attached.
WizardState* WizardOf(HWND page);

// Shows page `index`: PAGE_SHOW, the page made visible and focused, then the
// banner and the buttons of that page.
void ShowWizardPage(WizardState* wizard, int index);

// Stops a running connection test: wakes its exchange and waits for its
// thread, at most the timing table's connection-test stop limit. When the
// thread does not end in time its scratch record is left to it (never
// freed). Called on cancelling from the URL page and when the frame is
// destroyed, before anything the test uses is freed. Returns true when no
// test runs any more.
bool StopWizardConnectionTest(WizardState* wizard);

// The user's Internet settings key (HKEY_CURRENT_USER): ProxyEnable and
// ProxyServer are read there.
extern const char kInternetSettingsKey[];

// What the page sequence depends on: protocol, proxy switch, dial-up choice.
WizardRoute WizardRouteOf(const WizardState* wizard);

// Focuses the edit field `id` of `page` with its whole text selected.
void FocusWizardField(HWND page, int id);

// A catalogue message box of the wizard: exclamation icon, OK button.
void WizardMessage(HWND owner, const char* key, CatalogueArg arg);

// The lead bytes of the system's ANSI code page (for the proposals).
bool WizardLeadByte(unsigned char byte);

// Runs the wizard modally; 1 when a port was registered, 0 when cancelled
// or registration failed, -1 when it could not open.
INT_PTR RunAddPortWizard(HWND owner);
