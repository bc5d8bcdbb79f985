// Catalogue message boxes, dialog localisation and the version dialog, run as
// real windows and driven from the test thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/model.h"
#include "resource.h"
#include "support/fresh_monitor.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"
#include "text/localise.h"

namespace {

struct BoxSeen {
    std::string caption;
    std::string text;
    DWORD result;
};

// Shows a catalogue message box, reads it, answers it with `answer`.
BoxSeen ShowAndAnswer(const char* key, CatalogueArg arg, UINT type, int answer)
{
    BoxSeen seen{"", "", 0xFFFFFFFF};
    UiThread* run = StartUiThread([=] {
        return static_cast<INT_PTR>(
            CatalogueMessageBox(nullptr, MESSAGE_CATALOGUE, MESSAGE_SECTION, key, "TITLE", type, arg));
    });
    if (!run)
        return seen;
    MessageBoxSeen box = AnswerMessageBox(run->threadId, answer);
    seen.caption = box.caption;
    seen.text = box.text;
    INT_PTR result = 0;
    if (JoinUiThread(run, &result))
        seen.result = static_cast<DWORD>(result);
    return seen;
}

} // namespace

TEST(CatalogueMessageBox, CatalogueTextCaptionAndAnswerOrDefaults)
{
    FreshMonitor monitor;
    BoxSeen seen = ShowAndAnswer("IDS_PORTALREADYEXISTS_S", ArgText("x"), MB_ICONHAND, IDOK);
    EXPECT_EQ(PRODUCT_ERROR_CAPTION, seen.caption) << "no catalogue at all";
    EXPECT_EQ("ERROR", seen.text);
    EXPECT_EQ(static_cast<DWORD>(IDOK), seen.result);

    std::string caption = "Fixture caption " + monitor.model;
    monitor.WriteInstallFile(MESSAGE_CATALOGUE, "[MESSAGE]\r\nTITLE=" + caption +
                                                    "\r\nIDS_PORTALREADYEXISTS_S=Port %s exists\\nPick another\r\n");
    seen = ShowAndAnswer("IDS_PORTALREADYEXISTS_S", ArgText("LPT7:"), MB_ICONEXCLAMATION | MB_RETRYCANCEL, IDRETRY);
    EXPECT_EQ(caption, seen.caption);
    EXPECT_EQ("Port LPT7: exists\r\nPick another", seen.text);
    EXPECT_EQ(static_cast<DWORD>(IDRETRY), seen.result);
    // Empty texts count as missing.
    monitor.WriteInstallFile(MESSAGE_CATALOGUE, "[MESSAGE]\r\nTITLE=\r\nIDS_NULL_PORT_ERROR=\r\n");
    seen = ShowAndAnswer("IDS_NULL_PORT_ERROR", ArgNone(), MB_ICONHAND, IDOK);
    EXPECT_EQ(PRODUCT_ERROR_CAPTION, seen.caption);
    EXPECT_EQ("ERROR", seen.text);
}

namespace {

const char kFixtureDialogs[] = "[TITLE]\r\nVERSION=Fixture version caption\r\n"
                               "[BUTTON]\r\nIDOK=Fixture OK\r\n"
                               "[LABEL]\r\nIDC_VERSION01=Fixture line one\r\nIDC_VERSION03=Fixture line three\r\n"
                               "[FONT]\r\nDEFAULT=Arial,14,ANSI\r\n";

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }
HINSTANCE Resources() { return GetModuleHandleA(nullptr); }
int TableCaptionExtra() { return GetSystemMetrics(SM_CYCAPTION) - 19; }
HWND VersionDialog(DLGPROC proc, HFONT font = nullptr)
{
    return CreateDialogParamA(Resources(), MAKEINTRESOURCEA(IDD_VERSION), nullptr, proc,
                              reinterpret_cast<LPARAM>(font));
}

// Left, top, width and height of a dialog on the screen, or of a control in
// its dialog's client area.
std::vector<LONG> Place(HWND window, HWND dialog = nullptr)
{
    RECT r{};
    GetWindowRect(window, &r);
    if (dialog)
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

HFONT FontOf(HWND dialog, int id) { return reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, id, WM_GETFONT, 0, 0)); }

} // namespace

TEST(VersionDialog, LocalisedFromTheCatalogue)
{
    FreshMonitor monitor;
    HWND plain = VersionDialog(PlainDialogProc);
    ASSERT_NE(nullptr, plain);
    monitor.WriteInstallFile(DIALOG_CATALOGUE, kFixtureDialogs);
    char path[MAX_PATH + 32];
    HFONT font = CatalogueFont(nullptr, "DEFAULT", CataloguePath(DIALOG_CATALOGUE, path, sizeof path));
    ASSERT_NE(nullptr, font);
    HWND dialog = VersionDialog(VersionDialogProc, font);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(380, Place(dialog)[2]);
    EXPECT_EQ(171 + TableCaptionExtra(), Place(dialog)[3]);
    EXPECT_EQ("Fixture version caption", WindowText(dialog));
    EXPECT_EQ("Fixture OK", ControlText(dialog, IDOK));
    EXPECT_EQ("Fixture line one", ControlText(dialog, IDC_VERSION01));
    EXPECT_EQ("Fixture line three", ControlText(dialog, IDC_VERSION03));
    // Keys missing from the catalogue keep the template's texts.
    for (int id : {IDC_VERSION02, IDC_VERSION04})
        EXPECT_EQ(WideWindowText(GetDlgItem(plain, id)), WideWindowText(GetDlgItem(dialog, id))) << id;
    // Its table places the controls and gives the font to those with a section.
    for (int i = 1; i < kVersionDialogTableCount; ++i) {
        const DialogDescriptor& entry = kVersionDialogTable[i];
        const int id = static_cast<int>(entry.controlId);
        const std::vector<LONG> place{entry.x, entry.y, entry.width, entry.height};
        EXPECT_EQ(place, Place(GetDlgItem(dialog, id), dialog)) << id;
        EXPECT_EQ(entry.section != nullptr, FontOf(dialog, id) == font) << id;
    }
    DestroyWindow(dialog);
    DestroyWindow(plain);
    DeleteObject(font);
}

TEST(VersionDialog, OkAndCancelEndWithTheirIds)
{
    FreshMonitor monitor;
    for (int id : {IDOK, IDCANCEL}) {
        UiThread* run = StartUiThread(
            [] { return DialogBoxParamA(Resources(), MAKEINTRESOURCEA(IDD_VERSION), nullptr, VersionDialogProc, 0); });
        ASSERT_NE(nullptr, run);
        HWND dialog = WaitDialog(run->threadId, nullptr, IDC_VERSION01);
        ASSERT_NE(nullptr, dialog);
        PostCommand(dialog, IDC_VERSION01); // any other command leaves it open
        PostCommand(dialog, id);
        INT_PTR result = 0;
        EXPECT_TRUE(JoinUiThread(run, &result));
        EXPECT_EQ(id, result);
    }
}

TEST(LocaliseDialog, SizingModesAndEntriesWithoutKeys)
{
    FreshMonitor monitor;
    monitor.WriteInstallFile(DIALOG_CATALOGUE, kFixtureDialogs);
    HWND dialog = VersionDialog(PlainDialogProc);
    ASSERT_NE(nullptr, dialog);
    HFONT font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    std::wstring templateLabel = WideWindowText(GetDlgItem(dialog, IDC_VERSION01));
    std::wstring templateLine = WideWindowText(GetDlgItem(dialog, IDC_VERSION02));
    // The resource script is converted to code page 932: in a Japanese
    // locale the caption's ANSI text is those bytes ("バージョン情報").
    if (GetACP() == 932) {
        EXPECT_EQ("\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93\x8F\xEE\x95\xF1", WindowText(dialog));
    }

    const DialogDescriptor moveTable[] = {
        {0, nullptr, nullptr, 30, 40, 300, 150},
        {IDC_VERSION01, "LABEL", nullptr, 5, 6, 100, 20}, // font only: text set by the dialog's own code
        {IDC_VERSION02, nullptr, "IDC_VERSION01", 5, 30, 100, 20}, // no section: only moved
    };
    LocaliseDialog(dialog, font, moveTable, 3, LOCALISE_MOVE);
    EXPECT_EQ((std::vector<LONG>{30, 40, 300, 150}), Place(dialog));
    EXPECT_EQ(templateLabel, WideWindowText(GetDlgItem(dialog, IDC_VERSION01)));
    EXPECT_EQ(font, FontOf(dialog, IDC_VERSION01));
    EXPECT_NE(font, FontOf(dialog, IDC_VERSION02));
    EXPECT_EQ(templateLine, WideWindowText(GetDlgItem(dialog, IDC_VERSION02)));
    EXPECT_EQ((std::vector<LONG>{5, 30, 100, 20}), Place(GetDlgItem(dialog, IDC_VERSION02), dialog));

    // A page inside a frame keeps its size; its caption still comes from the catalogue.
    const DialogDescriptor pageTable[] = {{0, "TITLE", "VERSION", 0, 0, 500, 400}};
    LocaliseDialog(dialog, nullptr, pageTable, 1, LOCALISE_PAGE);
    EXPECT_EQ((std::vector<LONG>{30, 40, 300, 150}), Place(dialog));
    EXPECT_EQ("Fixture version caption", WindowText(dialog));

    // Sizing only: the place stays, the height allows for the caption bar; a
    // missing caption key keeps the caption.
    const DialogDescriptor sizeTable[] = {{0, "TITLE", "MISSING", 0, 0, 320, 200}};
    LocaliseDialog(dialog, nullptr, sizeTable, 1, LOCALISE_SIZE_ONLY);
    EXPECT_EQ((std::vector<LONG>{30, 40, 320, 200 + TableCaptionExtra()}), Place(dialog));
    EXPECT_EQ("Fixture version caption", WindowText(dialog));
    DestroyWindow(dialog);
}

// Sets the caption-bar height for the session and puts the old one back.
struct CaptionHeight {
    NONCLIENTMETRICSA saved;
    explicit CaptionHeight(int height)
    {
        saved.cbSize = sizeof saved;
        SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof saved, &saved, 0);
        NONCLIENTMETRICSA changed = saved;
        changed.iCaptionHeight = height;
        SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, sizeof changed, &changed, 0);
    }
    ~CaptionHeight() { SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, sizeof saved, &saved, 0); }
};

TEST(LocaliseDialog, TallerCaptionBarMakesTheDialogTaller)
{
    FreshMonitor monitor;
    int height = 0;
    int caption = 0;
    {
        // Kept as short as possible: the metric is shared by the whole session.
        CaptionHeight taller(21);
        caption = GetSystemMetrics(SM_CYCAPTION);
        HWND dialog = VersionDialog(VersionDialogProc);
        height = Place(dialog)[3];
        DestroyWindow(dialog);
    }
    if (caption != 22)
        GTEST_SKIP() << "caption height could not be changed";
    EXPECT_EQ(171 + 3, height);
}
