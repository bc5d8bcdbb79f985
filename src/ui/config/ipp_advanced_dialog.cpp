// The IPP sheet's advanced dialog (template 356): chunked transfer with its
// largest chunk, and the language the printer is asked to answer in. OK
// takes the values into the working copy only once they all passed their
// checks, so that a refused OK followed by Cancel leaves the copy as it was.
#include <cstdio>
#include <cstring>

#include "sheets_ids.h"
#include "text/catalogue.h"
#include "ui/config/ipp_sheet.h"
#include "ui/config/sheet_fields.h"
#include "ui/page_common.h"

const DialogDescriptor kIppAdvancedTable[] = {
    {0, "TITLE", "CONFSUB", 0, 0, 340, 200},
    {IDC_CNF_CHUNK_GROUP, "GROUP", nullptr, 12, 14, 310, 66},
    {IDC_CHK_CHUNK, "BUTTON", "IDC_CHK_CHUNK", 23, 11, 250, 20},
    {IDC_CNF_CHUNKSIZE, "LABEL", "IDC_CNF_CHUNKSIZE", 26, 45, 140, 18},
    {IDC_CNF_CHUNK_EDIT, "EDIT", nullptr, 170, 42, 70, 21},
    {IDC_CNF_CHUNK_SPIN, nullptr, nullptr, 238, 42, 14, 21},
    {IDC_CNF_BYTE, "LABEL", "IDC_CNF_BYTE", 256, 45, 50, 18},
    {IDC_LANG, "LABEL", "IDC_LANG", 12, 98, 110, 18},
    {IDC_LANG_COMBO, "EDIT", nullptr, 126, 95, 196, 150},
    {IDOK, "BUTTON", "IDOK", 70, 135, 88, 21},
    {IDCANCEL, "BUTTON", "IDCANCEL", 172, 135, 88, 21},
};
const int kIppAdvancedTableCount = sizeof kIppAdvancedTable / sizeof kIppAdvancedTable[0];

namespace {

const int kChunkChars = 5;
const int kChunkControls[] = {IDC_CNF_CHUNKSIZE, IDC_CNF_CHUNK_EDIT, IDC_CNF_CHUNK_SPIN, IDC_CNF_BYTE};
const size_t kLanguageTextSize = 512;

IppAdvancedRun* RunOf(HWND dialog)
{
    return reinterpret_cast<IppAdvancedRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void ShowChunkFields(HWND dialog)
{
    EnableControls(dialog, kChunkControls, 4, ButtonChecked(dialog, IDC_CHK_CHUNK) != 0);
}

// The five languages with their catalogue names (the code where the
// catalogue has none); the stored code's entry is selected, matched exactly
// or else without regard to case. A code that is none of them selects
// nothing, and OK then keeps it.
void FillLanguages(HWND dialog, const char* stored)
{
    HWND list = GetDlgItem(dialog, IDC_LANG_COMBO);
    for (int i = 0; i < kLanguageCount; ++i) {
        char key[16];
        snprintf(key, sizeof key, "LANG%d", i);
        char text[kLanguageTextSize] = "";
        CatalogueText(DIALOG_CATALOGUE, "COMBO", key, ArgNone(), text, sizeof text);
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text[0] ? text : LanguageCode(i)));
    }
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(FindLanguage(stored)), 0);
}

void OnInit(HWND dialog, IppAdvancedRun* run)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
    SetForegroundWindow(dialog);
    LocaliseDialog(dialog, run->font, kIppAdvancedTable, kIppAdvancedTableCount, LOCALISE_SIZE_ONLY);
    FitCaptionCheckBox(dialog, IDC_CHK_CHUNK, kCaptionCheckHeight);
    CheckDlgButton(dialog, IDC_CHK_CHUNK, run->ipp->chunked ? BST_CHECKED : BST_UNCHECKED);
    InitNumberSpin(dialog, IDC_CNF_CHUNK_EDIT, IDC_CNF_CHUNK_SPIN, kChunkChars, kChunkSizeRange, run->ipp->maxChunk);
    ShowChunkFields(dialog);
    // The copy's language field is terminated by the loader and by OK.
    FillLanguages(dialog, run->ipp->language);
}

// Checks first, then stores Chunked, MaxChunk (with chunking on) and the
// selected language.
void OnOk(HWND dialog, IppSettings* ipp)
{
    DWORD chunked = ButtonChecked(dialog, IDC_CHK_CHUNK);
    uint32_t chunkSize = ipp->maxChunk;
    if (chunked && !ReadFieldNumber(dialog, IDC_CNF_CHUNK_EDIT, kChunkSizeRange, &chunkSize)) {
        RefuseField(dialog, "IDS_INVALID_CHUNKSIZE", IDC_CNF_CHUNK_EDIT);
        return;
    }
    LRESULT selected = SendDlgItemMessageA(dialog, IDC_LANG_COMBO, CB_GETCURSEL, 0, 0);
    ipp->chunked = chunked;
    if (chunked)
        ipp->maxChunk = chunkSize;
    if (const char* code = LanguageCode(static_cast<int>(selected))) {
        memset(ipp->language, 0, sizeof ipp->language);
        strncpy(ipp->language, code, sizeof ipp->language - 1);
    }
    EndDialog(dialog, 1);
}

} // namespace

INT_PTR CALLBACK IppAdvancedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        IppAdvancedRun* run = reinterpret_cast<IppAdvancedRun*>(lParam);
        if (!run || !run->ipp)
            EndDialog(dialog, 0);
        else
            OnInit(dialog, run);
        return TRUE;
    }
    IppAdvancedRun* run = RunOf(dialog);
    if (!run || message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_CHK_CHUNK:
        ShowChunkFields(dialog);
        return TRUE;
    case IDOK:
        OnOk(dialog, run->ipp);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}
