// The add-port wizard's rules that need no window: which page Next and Back
// lead to, which banner a page shows, the port names the protocol pages
// propose and the characters a port name may not hold.
// Pure code: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/escapes.h"

// Page indexes (slots of the page table, wizard_pages.h).
enum WizardPageIndex : int {
    WIZARD_PAGE_PROTOCOL = 0,         // protocol choice
    WIZARD_PAGE_PORT_NAME = 1,        // port name
    WIZARD_PAGE_CONNECTION = 2,       // connection type (modem or network), IPP only
    WIZARD_PAGE_IPP_PROXY = 3,        // proxy
    WIZARD_PAGE_IPP_URL = 4,          // printer URL and connection test
    WIZARD_PAGE_IPP_SUMMARY = 5,      // IPP summary
    WIZARD_PAGE_LPR_SERVER = 6,       // LPR print server and internal port name
    WIZARD_PAGE_LPR_SUMMARY = 7,      // LPR summary
    WIZARD_PAGE_MAIL_ACCOUNT = 8,     // e-mail account
    WIZARD_PAGE_MAIL_RECIPIENTS = 9,  // e-mail recipients
    WIZARD_PAGE_MAIL_BODY = 10,       // e-mail body
    WIZARD_PAGE_MAIL_AUTH = 11,       // SMTP authentication
    WIZARD_PAGE_MAIL_SUMMARY = 12,    // e-mail summary
    WIZARD_PAGE_RAW_SERVER = 13,      // Raw print server
    WIZARD_PAGE_RAW_SUMMARY = 14,     // Raw summary
};
const int kWizardPageCount = 15;
// Page index values that end the wizard: the port was registered (dialog
// result 1), or registration failed or was given up (result 0).
const int kWizardFinished = 254;
const int kWizardFailed = 255;

// Protocol choice: the protocol numbers of the port record.
enum WizardProtocol : uint32_t {
    WIZARD_LPR = 0,
    WIZARD_IPP = 1,
    WIZARD_EMAIL = 2,
    WIZARD_RAW = 3,
};

// Dial-up choice of the connection-type page.
const uint32_t kWizardDialUpModem = 1;
const uint32_t kWizardDialUpNetwork = 0;

// What decides the way through the pages.
struct WizardRoute {
    uint32_t protocol;    // WIZARD_LPR ... WIZARD_RAW
    uint32_t systemProxy; // the user's ProxyEnable, 0 when absent
    uint32_t dialUp;      // kWizardDialUpModem or kWizardDialUpNetwork
};

// The page a successful Next on `page` leads to (kWizardFinished on a
// summary page); the page itself for an index outside 0..14.
int WizardNextPage(int page, const WizardRoute& route);
// The page Back on `page` leads to (page 0 has no Back: 0).
int WizardBackPage(int page, const WizardRoute& route);
// The summary page of a protocol (the port-name page's Next).
int WizardSummaryPage(uint32_t protocol);
// True for the summary pages 5, 7, 12 and 14 (their Next button is Finish).
bool WizardIsSummaryPage(int page);

// Banner bitmaps.
const int kBannerProtocol = 100; // page 0
const int kBannerLpr = 101;      // page 6
const int kBannerIpp = 102;      // pages 2 and 3
const int kBannerMailRaw = 103;  // pages 8 and 13
// The banner page `page` shows: its own, or `current` for pages that keep
// the banner of the page before them.
int WizardBanner(int page, int current);

// Port names: at most 38 bytes plus the terminator.
const size_t kWizardPortNameChars = 38;
const size_t kWizardPortNameSize = kWizardPortNameChars + 1;

// Cuts `text` to at most `maxBytes` bytes without splitting a double-byte
// character (walked from the start, so that a trail byte is never taken for
// a lead byte); `isLead` NULL: single-byte text. Returns the new length.
size_t CutAtCharacter(char* text, size_t maxBytes, TextLeadByteTest isLead);

// Proposed port names, cut to 38 bytes at a character boundary, into `out`
// (`outSize` bytes, at least 1). LPR: host and queue joined by "%s:%s";
// Raw: host and port number by "%s_%d"; IPP: the printer URL; e-mail:
// "MAIL%d:" with the number.
void ProposeLprPortName(const char* host, const char* queue, char* out, size_t outSize, TextLeadByteTest isLead);
void ProposeRawPortName(const char* host, unsigned port, char* out, size_t outSize, TextLeadByteTest isLead);
void ProposeUrlPortName(const char* url, char* out, size_t outSize, TextLeadByteTest isLead);
void ProposeMailPortName(unsigned number, char* out, size_t outSize);

// The print-server host check's address form: exactly four parts separated
// by ".", each one to three decimal digits (no sign, blank or other
// character) with a value from 0 to 255. Anything else is left to the name
// lookup.
bool WizardDottedQuad(const char* text);

// The first character a port name may not hold, or 0: "\" (the registry
// would make it a nested key) and "," (the spooler's port lists are
// comma-separated). Scanned character by character, so that the trail byte
// of a double-byte character (0x5C in code page 932) is not a backslash.
char ForbiddenPortNameCharacter(const char* name, TextLeadByteTest isLead);
