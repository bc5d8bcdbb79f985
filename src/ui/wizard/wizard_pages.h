// The wizard's page table: for each of the 15 slots, the page's template,
// page procedure and dialog descriptor table (see wizard_state.h for how a
// page plugs in).
#pragma once

#include <windows.h>

#include "text/localise.h"
#include "ui/wizard/wizard_state.h"

// A page procedure: a dialog procedure that is also given the wizard state
// (never NULL). Messages before WM_INITDIALOG do not reach it.
typedef INT_PTR (*WizardPageProcedure)(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);

struct WizardPageSlot {
    WORD templateId;
    WizardPageProcedure procedure;
    const DialogDescriptor* table; // applied with sizing mode 1
    int tableCount;
};

extern const WizardPageSlot kWizardPages[kWizardPageCount];

// Window ID of slot `index`'s page, a child of the frame.
const int kWizardPageIdBase = 0x1000;

// Creates the page of slot `index` as a child of the frame; NULL on failure.
HWND CreateWizardPage(WizardState* wizard, int index);

// The common pages (common_pages.cpp).
INT_PTR ProtocolPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
INT_PTR PortNamePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
INT_PTR ConnectionPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
extern const DialogDescriptor kProtocolPageTable[];
extern const int kProtocolPageTableCount;
extern const DialogDescriptor kPortNamePageTable[];
extern const int kPortNamePageTableCount;
extern const DialogDescriptor kConnectionPageTable[];
extern const int kConnectionPageTableCount;

// The e-mail pages (email_pages.cpp, email_summary.cpp).
INT_PTR WizardMailAccountPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
INT_PTR WizardMailRecipientsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
INT_PTR WizardMailBodyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
INT_PTR WizardMailAuthPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
INT_PTR WizardMailSummaryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
extern const DialogDescriptor kWizardMailAccountPageTable[];
extern const int kWizardMailAccountPageTableCount;
extern const DialogDescriptor kWizardMailRecipientsPageTable[];
extern const int kWizardMailRecipientsPageTableCount;
extern const DialogDescriptor kWizardMailBodyPageTable[];
extern const int kWizardMailBodyPageTableCount;
extern const DialogDescriptor kWizardMailAuthPageTable[];
extern const int kWizardMailAuthPageTableCount;
extern const DialogDescriptor kWizardMailSummaryPageTable[];
extern const int kWizardMailSummaryPageTableCount;
// The LPR and Raw pages (server_pages.cpp).
INT_PTR LprServerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
INT_PTR LprSummaryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
INT_PTR RawServerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
INT_PTR RawSummaryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
extern const DialogDescriptor kLprServerPageTable[];
extern const int kLprServerPageTableCount;
extern const DialogDescriptor kLprSummaryPageTable[];
extern const int kLprSummaryPageTableCount;
extern const DialogDescriptor kRawServerPageTable[];
extern const int kRawServerPageTableCount;
extern const DialogDescriptor kRawSummaryPageTable[];
extern const int kRawSummaryPageTableCount;

// The IPP pages (ipp_pages.cpp).
INT_PTR IppProxyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
INT_PTR IppUrlPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
INT_PTR IppSummaryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard);
extern const DialogDescriptor kIppProxyPageTable[];
extern const int kIppProxyPageTableCount;
extern const DialogDescriptor kIppUrlPageTable[];
extern const int kIppUrlPageTableCount;
extern const DialogDescriptor kIppSummaryPageTable[];
extern const int kIppSummaryPageTableCount;
