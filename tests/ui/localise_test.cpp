// Catalogue message boxes, dialog localisation and the version dialog, run as
// real windows and driven from the test thread.
#include <gtest/gtest.h>

#include <string>

#include "monitor/model.h"
#include "resource.h"
#include "support/fresh_monitor.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"
#include "text/localise.h"

namespace {

struct BoxRequest {
    const char* key;
    UINT type;
    CatalogueArg arg;
};

struct BoxSeen {
    std::string caption;
    std::string text;
    DWORD result;
};

// Shows a catalogue message box, reads it, answers it with `answer`.
BoxSeen ShowAndAnswer(const BoxRequest& request, int answer)
{
    BoxSeen seen{"", "", 0xFFFFFFFF};
    UiThread* run = StartUiThread([request] {
        return static_cast<INT_PTR>(CatalogueMessageBox(nullptr, MESSAGE_CATALOGUE, MESSAGE_SECTION, request.key,
                                                        "TITLE", request.type, request.arg));
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

TEST(CatalogueMessageBox, CatalogueTextCaptionAndAnswer)
{
    FreshMonitor monitor;
    std::string caption = "Fixture caption " + monitor.model;
    monitor.WriteInstallFile(MESSAGE_CATALOGUE, "[MESSAGE]\r\nTITLE=" + caption +
                                                    "\r\nIDS_PORTALREADYEXISTS_S=Port %s exists\\nPick another\r\n");
    BoxSeen seen = ShowAndAnswer({"IDS_PORTALREADYEXISTS_S", MB_ICONEXCLAMATION | MB_RETRYCANCEL, ArgText("LPT7:")},
                                 IDRETRY);
    EXPECT_EQ(caption, seen.caption);
    EXPECT_EQ("Port LPT7: exists\r\nPick another", seen.text);
    EXPECT_EQ(static_cast<DWORD>(IDRETRY), seen.result);

    // A number given to a text conversion is not formatted.
    seen = ShowAndAnswer({"IDS_PORTALREADYEXISTS_S", MB_OK, ArgNumber(5)}, IDOK);
    EXPECT_EQ("Port %s exists\r\nPick another", seen.text);
    EXPECT_EQ(static_cast<DWORD>(IDOK), seen.result);
}

TEST(CatalogueMessageBox, MissingKeyAndMissingCatalogue)
{
    FreshMonitor monitor;
    BoxSeen seen = ShowAndAnswer({"IDS_NULL_PORT_ERROR", MB_ICONHAND, ArgNone()}, IDOK);
    EXPECT_EQ(PRODUCT_ERROR_CAPTION, seen.caption) << "no catalogue at all";
    EXPECT_EQ("ERROR", seen.text);
    EXPECT_EQ(static_cast<DWORD>(IDOK), seen.result);

    std::string caption = "Fixture caption " + monitor.model;
    monitor.WriteInstallFile(MESSAGE_CATALOGUE, "[MESSAGE]\r\nTITLE=" + caption + "\r\n");
    seen = ShowAndAnswer({"IDS_NULL_PORT_ERROR", MB_ICONHAND, ArgText("unused")}, IDOK);
    EXPECT_EQ(caption, seen.caption);
    EXPECT_EQ("ERROR", seen.text);
}

namespace {

const char kFixtureDialogs[] = "[TITLE]\r\nVERSION=Fixture version caption\r\n"
                               "[BUTTON]\r\nIDOK=Fixture OK\r\n"
                               "[LABEL]\r\nIDC_VERSION01=Fixture line one\r\nIDC_VERSION03=Fixture line three\r\n"
                               "[FONT]\r\nDEFAULT=Arial,14,ANSI\r\n";

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

HINSTANCE Resources()
{
    return GetModuleHandleA(nullptr);
}

RECT ClientRect(HWND dialog, int id)
{
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int TableCaptionExtra()
{
    return GetSystemMetrics(SM_CYCAPTION) - 19;
}

} // namespace

TEST(VersionDialog, LocalisedFromTheCatalogue)
{
    FreshMonitor monitor;
    monitor.WriteInstallFile(DIALOG_CATALOGUE, kFixtureDialogs);
    char path[MAX_PATH + 32];
    HFONT font = CatalogueFont(nullptr, "DEFAULT", CataloguePath(DIALOG_CATALOGUE, path, sizeof path));
    ASSERT_NE(nullptr, font);
    HWND dialog = CreateDialogParamA(Resources(), MAKEINTRESOURCEA(IDD_VERSION), nullptr, VersionDialogProc,
                                     reinterpret_cast<LPARAM>(font));
    ASSERT_NE(nullptr, dialog);

    RECT outer;
    GetWindowRect(dialog, &outer);
    EXPECT_EQ(380, outer.right - outer.left);
    EXPECT_EQ(171 + TableCaptionExtra(), outer.bottom - outer.top);

    char text[256];
    GetWindowTextA(dialog, text, sizeof text);
    EXPECT_STREQ("Fixture version caption", text);
    GetDlgItemTextA(dialog, IDOK, text, sizeof text);
    EXPECT_STREQ("Fixture OK", text);
    GetDlgItemTextA(dialog, IDC_VERSION01, text, sizeof text);
    EXPECT_STREQ("Fixture line one", text);
    GetDlgItemTextA(dialog, IDC_VERSION03, text, sizeof text);
    EXPECT_STREQ("Fixture line three", text);
    // Keys missing from the catalogue keep the template's texts.
    EXPECT_EQ(ThroughAnsi(L"バージョン 1.0.0.0"), WideWindowText(GetDlgItem(dialog, IDC_VERSION02)));
    EXPECT_EQ(ThroughAnsi(L"ネットワークプリンタ用のポートモニタです。"),
              WideWindowText(GetDlgItem(dialog, IDC_VERSION04)));

    for (int i = 1; i < kVersionDialogTableCount; ++i) {
        const DialogDescriptor& entry = kVersionDialogTable[i];
        RECT rect = ClientRect(dialog, static_cast<int>(entry.controlId));
        EXPECT_EQ(entry.x, rect.left) << entry.controlId;
        EXPECT_EQ(entry.y, rect.top) << entry.controlId;
        EXPECT_EQ(entry.width, rect.right - rect.left) << entry.controlId;
        EXPECT_EQ(entry.height, rect.bottom - rect.top) << entry.controlId;
        HFONT given = reinterpret_cast<HFONT>(SendMessageA(GetDlgItem(dialog, static_cast<int>(entry.controlId)),
                                                           WM_GETFONT, 0, 0));
        EXPECT_EQ(entry.section != nullptr, given == font) << entry.controlId;
    }
    DestroyWindow(dialog);
    DeleteObject(font);
}

namespace {

DWORD RunVersionDialogAndPress(int id)
{
    UiThread* run = StartUiThread(
        [] { return DialogBoxParamA(Resources(), MAKEINTRESOURCEA(IDD_VERSION), nullptr, VersionDialogProc, 0); });
    if (!run)
        return 0xFFFFFFFF;
    HWND dialog = WaitDialog(run->threadId, nullptr, IDC_VERSION01);
    if (dialog) {
        // Any other command leaves it open.
        PostCommand(dialog, IDC_VERSION01);
        PostCommand(dialog, id);
    }
    INT_PTR result = 0;
    return JoinUiThread(run, &result) ? static_cast<DWORD>(result) : 0xFFFFFFFF;
}

} // namespace

TEST(VersionDialog, OkAndCancelEndWithTheirIds)
{
    FreshMonitor monitor;
    EXPECT_EQ(static_cast<DWORD>(IDOK), RunVersionDialogAndPress(IDOK));
    EXPECT_EQ(static_cast<DWORD>(IDCANCEL), RunVersionDialogAndPress(IDCANCEL));
}

TEST(LocaliseDialog, SizingModesAndEntriesWithoutKeys)
{
    FreshMonitor monitor;
    monitor.WriteInstallFile(DIALOG_CATALOGUE, kFixtureDialogs);
    HWND dialog = CreateDialogParamA(Resources(), MAKEINTRESOURCEA(IDD_VERSION), nullptr, PlainDialogProc, 0);
    ASSERT_NE(nullptr, dialog);
    HFONT font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    std::wstring templateLabel = WideWindowText(GetDlgItem(dialog, IDC_VERSION01));
    EXPECT_EQ(ThroughAnsi(L"" MONITOR_MODEL L" Network Printer ポートモニタ"), templateLabel);
    EXPECT_EQ(ThroughAnsi(L"バージョン情報"), WideWindowText(dialog));
    if (GetACP() == 932) {
        // In a Japanese locale the ANSI texts are the code page 932 bytes.
        char caption[64];
        GetWindowTextA(dialog, caption, sizeof caption);
        EXPECT_STREQ("\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93\x8F\xEE\x95\xF1", caption);
    }

    const DialogDescriptor moveTable[] = {
        {0, nullptr, nullptr, 30, 40, 300, 150},
        {IDC_VERSION01, "LABEL", nullptr, 5, 6, 100, 20}, // font only: text set by the dialog's own code
        {IDC_VERSION02, nullptr, "IDC_VERSION01", 5, 30, 100, 20}, // no section: only moved
    };
    LocaliseDialog(dialog, font, moveTable, 3, LOCALISE_MOVE);
    RECT outer;
    GetWindowRect(dialog, &outer);
    EXPECT_EQ(30, outer.left);
    EXPECT_EQ(40, outer.top);
    EXPECT_EQ(300, outer.right - outer.left);
    EXPECT_EQ(150, outer.bottom - outer.top);
    EXPECT_EQ(templateLabel, WideWindowText(GetDlgItem(dialog, IDC_VERSION01)));
    EXPECT_EQ(font, reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, IDC_VERSION01, WM_GETFONT, 0, 0)));
    EXPECT_NE(font, reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, IDC_VERSION02, WM_GETFONT, 0, 0)));
    EXPECT_EQ(ThroughAnsi(L"バージョン 1.0.0.0"), WideWindowText(GetDlgItem(dialog, IDC_VERSION02)));
    RECT label = ClientRect(dialog, IDC_VERSION02);
    EXPECT_EQ(5, label.left);
    EXPECT_EQ(30, label.top);

    // A page inside a frame keeps its size; its caption still comes from the catalogue.
    const DialogDescriptor pageTable[] = {{0, "TITLE", "VERSION", 0, 0, 500, 400}};
    LocaliseDialog(dialog, nullptr, pageTable, 1, LOCALISE_PAGE);
    RECT after;
    GetWindowRect(dialog, &after);
    EXPECT_TRUE(EqualRect(&outer, &after));
    char text[64];
    GetWindowTextA(dialog, text, sizeof text);
    EXPECT_STREQ("Fixture version caption", text);

    // Sizing only: the place stays, the height allows for the caption bar.
    const DialogDescriptor sizeTable[] = {{0, "TITLE", "MISSING", 0, 0, 320, 200}};
    LocaliseDialog(dialog, nullptr, sizeTable, 1, LOCALISE_SIZE_ONLY);
    GetWindowRect(dialog, &after);
    EXPECT_EQ(30, after.left);
    EXPECT_EQ(40, after.top);
    EXPECT_EQ(320, after.right - after.left);
    EXPECT_EQ(200 + TableCaptionExtra(), after.bottom - after.top);
    GetWindowTextA(dialog, text, sizeof text);
    EXPECT_STREQ("Fixture version caption", text) << "a missing caption key keeps the caption";
    DestroyWindow(dialog);
}

namespace {

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

} // namespace

TEST(LocaliseDialog, TallerCaptionBarMakesTheDialogTaller)
{
    FreshMonitor monitor;
    int height = 0;
    int caption = 0;
    {
        // Kept as short as possible: the metric is shared by the whole session.
        CaptionHeight taller(21);
        caption = GetSystemMetrics(SM_CYCAPTION);
        HWND dialog = CreateDialogParamA(Resources(), MAKEINTRESOURCEA(IDD_VERSION), nullptr, VersionDialogProc, 0);
        RECT outer{};
        GetWindowRect(dialog, &outer);
        height = outer.bottom - outer.top;
        DestroyWindow(dialog);
    }
    if (caption != 22)
        GTEST_SKIP() << "caption height could not be changed";
    EXPECT_EQ(171 + 3, height);
}
