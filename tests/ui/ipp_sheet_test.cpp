// The IPP configuration sheet and its frame as real windows driven from the
// test thread: what it shows, every check, what OK and Apply write (and what
// they leave alone), the password's stored form, and a failed save.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "codec/password_codec.h"
#include "monitor/config_store.h"
#include "monitor/monitor.h"
#include "monitor/port_admin.h"
#include "monitor/port_ops.h"
#include "resource.h"
#include "sheets_ids.h"
#include "support/fresh_monitor.h"
#include "support/test_files.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"
#include "ui/config/ipp_sheet.h"

namespace {

const char kMessages[] = "[MESSAGE]\r\nTITLE=Fixture caption\r\nIDS_INVALID_URI=Fixture bad URL\r\n"
                         "IDS_INVALID_TIMEOUT=Fixture bad time-out\r\nIDS_INVALID_PROXYNAME=Fixture no proxy\r\n"
                         "IDS_INVALID_PROXYNUMBER=Fixture bad proxy port\r\n"
                         "IDS_INVALID_CHUNKSIZE=Fixture bad chunk\r\nIDS_CONF_SAVE_ERROR=Fixture not saved\r\n";
const char kDialogs[] = "[TITLE]\r\nCONFIG=Fixture settings\r\nCONFSUB=Fixture advanced\r\nVERSION=Fixture version\r\n"
                        "[TAB]\r\nPAGE1=Fixture general\r\nPAGE2=Fixture auth\r\n"
                        "[LABEL]\r\nIDC_CNF_URI=Fixture URL\r\n[BUTTON]\r\nIDAPPLY=Fixture apply\r\n"
                        "[COMBO]\r\nLANG4=Fixture Japanese\r\n[FONT]\r\nDEFAULT=Arial,14,ANSI\r\n";
const char kUrl[] = "http://127.0.0.1:631/printers/raw";

class IppSheet : public ::testing::Test {
protected:
    FreshMonitor monitor;
    UiThread* run = nullptr;

    void SetUp() override
    {
        monitor.WriteInstallFile(MESSAGE_CATALOGUE, kMessages);
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
        ASSERT_TRUE(RegisterNewPort(nullptr, "IPP1", PROTOCOL_IPP));
        monitor.SetPortText("IPP1", "URL", kUrl);
        monitor.SetPortText("IPP1", "Language", "en-us");
    }
    void TearDown() override
    {
        if (run && !JoinUiThread(run, nullptr, 0))
            ADD_FAILURE() << "a dialog was left open";
    }

    HWND Open(const char* port = "IPP1")
    {
        std::string name = port;
        run = StartUiThread([name] { return RunIppConfigSheet(nullptr, name.c_str()); });
        return run ? WaitDialog(run->threadId, nullptr, IDC_SHEET_TAB) : nullptr;
    }
    // The sheet's result, or -2 when it did not end in time.
    INT_PTR Finish()
    {
        INT_PTR result = -2;
        bool ended = JoinUiThread(run, &result);
        run = nullptr;
        return ended ? result : -2;
    }
    // The visible page of the frame that holds control `id`.
    static HWND Page(HWND frame, int id)
    {
        for (HWND child = FindWindowExA(frame, nullptr, "#32770", nullptr); child;
             child = FindWindowExA(frame, child, "#32770", nullptr))
            if (IsWindowVisible(child) && GetDlgItem(child, id))
                return child;
        return nullptr;
    }
    // A click on tab `index` (posted: a refused page shows its message).
    static HWND SelectTab(HWND frame, int index, int pageControl)
    {
        PostMessageA(GetDlgItem(frame, IDC_SHEET_TAB), TCM_SETCURFOCUS, index, 0);
        HWND page = nullptr;
        WaitUntil([&] { return (page = Page(frame, pageControl)) != nullptr; });
        return page;
    }
    // Clicks `button` and answers the message box it brings; its text.
    std::string Refused(HWND dialog, int button)
    {
        Click(dialog, button);
        MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK);
        WaitUntil([&] { return CountDialogs(run->threadId, nullptr, kMessageBoxTextId) == 0; });
        return box.found ? box.text : "(no message)";
    }
    static bool ApplyEnabled(HWND frame) { return IsWindowEnabled(GetDlgItem(frame, IDC_SHEET_APPLY)) != FALSE; }
    static void Check(HWND dialog, int id, bool on)
    {
        SendDlgItemMessageA(dialog, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    DWORD PortDword(const char* value, const char* port = "IPP1")
    {
        DWORD data = 0xDEAD, size = sizeof data;
        QueryRegValue(HKEY_LOCAL_MACHINE, monitor.PortKey(port).c_str(), value, &data, &size, nullptr);
        return data;
    }
    // The stored bytes of a value; "(none)" when it is absent.
    std::string PortBytes(const char* value, DWORD* type = nullptr)
    {
        char data[512];
        DWORD size = sizeof data;
        if (!QueryRegValue(HKEY_LOCAL_MACHINE, monitor.PortKey("IPP1").c_str(), value, data, &size, type))
            return "(none)";
        return std::string(data, size);
    }
    void StorePassword(const char* password)
    {
        uint8_t stored[kPasswordValueSize];
        size_t size = EncodePassword(password, stored, sizeof stored);
        monitor.SetPortText("IPP1", "PassWord", std::string(reinterpret_cast<char*>(stored), size), REG_BINARY);
    }
    // The settings as a job start loads them.
    static PortRecord* Loaded(const char* port = "IPP1")
    {
        PortRecord* record = NewDetachedPort(port, PROTOCOL_IPP);
        EXPECT_EQ(ERROR_SUCCESS, ReadPortSettings(record, port));
        return record;
    }
};

std::string Text(const char* text, size_t width)
{
    std::string value(text);
    value.resize(width, '\0');
    return value;
}

TEST_F(IppSheet, ShowsTheStoredPortWithApplyOffAndCancelWritesNothing)
{
    monitor.SetPortDword("IPP1", "CmdTmout", 180000);
    monitor.SetPortDword("IPP1", "Reconnection", 1);
    monitor.SetPortDword("IPP1", "UseProxy", 1);
    monitor.SetPortText("IPP1", "ProxyName", "proxy.example");
    monitor.SetPortDword("IPP1", "ProxyNum", 8080);
    monitor.SetPortDword("IPP1", "Base64", 1);
    monitor.SetPortText("IPP1", "UserName", "alice");
    StorePassword("secret");
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ("Fixture settings - IPP1", WindowText(frame));
    EXPECT_FALSE(ApplyEnabled(frame)) << "filling the pages is no change";
    EXPECT_EQ("Fixture apply", ControlText(frame, IDC_SHEET_APPLY));
    HWND general = Page(frame, IDC_CNF_URI_EDIT);
    ASSERT_NE(nullptr, general);
    EXPECT_EQ("Fixture URL", ControlText(general, IDC_CNF_URI));
    EXPECT_EQ(kUrl, ControlText(general, IDC_CNF_URI_EDIT));
    EXPECT_EQ("180", ControlText(general, IDC_CNF_TIMEOUT_EDIT));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(general, IDC_CNF_RECONNECT));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(general, IDC_CHK_PROXY));
    EXPECT_EQ("proxy.example", ControlText(general, IDC_CNF_PROXY_EDIT));
    EXPECT_EQ("8080", ControlText(general, IDC_CNF_PORT_EDIT));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(general, IDC_CNF_PORT_EDIT)));

    HWND auth = SelectTab(frame, 1, IDC_CHK_BASIC);
    ASSERT_NE(nullptr, auth);
    EXPECT_FALSE(IsWindowVisible(general));
    EXPECT_EQ("alice", ControlText(auth, IDC_CNF_USER_EDIT));
    EXPECT_EQ("secret", ControlText(auth, IDC_CNF_PASS_EDIT));
    EXPECT_FALSE(ApplyEnabled(frame));
    SetControlText(auth, IDC_CNF_USER_EDIT, "bob");
    EXPECT_TRUE(ApplyEnabled(frame)) << "an edit enables Apply";
    Click(frame, IDCANCEL);
    EXPECT_EQ(0, Finish());
    EXPECT_EQ(std::string("alice\0", 6), PortBytes("UserName"));
    EXPECT_EQ(180000u, PortDword("CmdTmout"));
}

TEST_F(IppSheet, GeneralPageRefusesEachBadFieldAndStaysInFront)
{
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND general = Page(frame, IDC_CNF_URI_EDIT);
    ASSERT_NE(nullptr, general);
    struct Case {
        const char* url;
        const char* seconds;
        bool proxy;
        const char* proxyName;
        const char* proxyPort;
        const char* message;
    } cases[] = {
        {"ftp://host/queue", "60", false, "", "", "Fixture bad URL"},
        {"", "60", false, "", "", "Fixture bad URL"},
        {kUrl, "59", false, "", "", "Fixture bad time-out"},
        {kUrl, "3601", false, "", "", "Fixture bad time-out"},
        {kUrl, "", false, "", "", "Fixture bad time-out"},
        {kUrl, "60", true, "", "8080", "Fixture no proxy"},
        {kUrl, "60", true, "proxy", "0", "Fixture bad proxy port"},
        {kUrl, "60", true, "proxy", "65536", "Fixture bad proxy port"},
        {kUrl, "60", true, "proxy", "", "Fixture bad proxy port"},
    };
    for (const Case& c : cases) {
        SetControlText(general, IDC_CNF_URI_EDIT, c.url);
        SetControlText(general, IDC_CNF_TIMEOUT_EDIT, c.seconds);
        Check(general, IDC_CHK_PROXY, c.proxy);
        SetControlText(general, IDC_CNF_PROXY_EDIT, c.proxyName);
        SetControlText(general, IDC_CNF_PORT_EDIT, c.proxyPort);
        EXPECT_EQ(c.message, Refused(frame, IDOK)) << c.url << " " << c.seconds << " " << c.proxyPort;
        EXPECT_EQ(c.message, Refused(frame, IDC_SHEET_APPLY)) << c.url << " " << c.seconds;
        EXPECT_TRUE(IsWindowVisible(frame));
    }
    // Leaving the page with a bad URL keeps it in front.
    SetControlText(general, IDC_CNF_URI_EDIT, "not a url");
    PostMessageA(GetDlgItem(frame, IDC_SHEET_TAB), TCM_SETCURFOCUS, 1, 0);
    MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK);
    EXPECT_EQ("Fixture bad URL", box.text);
    EXPECT_TRUE(WaitUntil([&] { return CountDialogs(run->threadId, nullptr, kMessageBoxTextId) == 0; }));
    EXPECT_TRUE(IsWindowVisible(general));
    EXPECT_TRUE(WaitUntil([&] { return SendDlgItemMessageA(frame, IDC_SHEET_TAB, TCM_GETCURSEL, 0, 0) == 0; }))
        << "the first tab stays selected";
    Click(frame, IDCANCEL);
    EXPECT_EQ(0, Finish());
    EXPECT_EQ(std::string(kUrl, sizeof kUrl), PortBytes("URL")) << "nothing written";
    EXPECT_EQ(180000u, PortDword("CmdTmout"));
}

TEST_F(IppSheet, OkWritesTheAlwaysValuesAndLeavesSwitchedOffOnes)
{
    monitor.SetPortText("IPP1", "ProxyName", "old.proxy");
    monitor.SetPortDword("IPP1", "ProxyNum", 3128);
    monitor.SetPortDword("IPP1", "MaxChunk", 2048);
    monitor.SetPortText("IPP1", "UserName", "old-user");
    struct Case {
        bool proxy;
        DWORD proxyName, proxyPort; // what the registry holds afterwards
    } cases[] = {{false, 0, 3128}, {true, 1, 8080}};
    for (const Case& c : cases) {
        HWND frame = Open();
        ASSERT_NE(nullptr, frame);
        HWND general = Page(frame, IDC_CNF_URI_EDIT);
        SetControlText(general, IDC_CNF_URI_EDIT, "ipp://127.0.0.1:8631/printers/other");
        SetControlText(general, IDC_CNF_TIMEOUT_EDIT, c.proxy ? "3600" : "60");
        Check(general, IDC_CNF_RECONNECT, !c.proxy);
        Check(general, IDC_CHK_PROXY, c.proxy);
        SetControlText(general, IDC_CNF_PROXY_EDIT, "new.proxy");
        SetControlText(general, IDC_CNF_PORT_EDIT, "8080");
        Click(frame, IDOK);
        EXPECT_EQ(1, Finish());
        DWORD type = 0;
        EXPECT_EQ(Text("ipp://127.0.0.1:8631/printers/other", 257), PortBytes("URL", &type)) << "the whole field";
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        EXPECT_EQ(c.proxy ? 3600000u : 60000u, PortDword("CmdTmout"));
        EXPECT_EQ(c.proxy ? 3600000u : 60000u, PortDword("DatTmout"));
        EXPECT_EQ(c.proxy ? 0u : 1u, PortDword("Reconnection"));
        EXPECT_EQ(c.proxy ? 1u : 0u, PortDword("UseProxy"));
        EXPECT_EQ(c.proxyPort, PortDword("ProxyNum"));
        EXPECT_EQ(c.proxyName ? Text("new.proxy", 257) : std::string("old.proxy\0", 10), PortBytes("ProxyName"));
        EXPECT_EQ(0u, PortDword("Chunked"));
        EXPECT_EQ(2048u, PortDword("MaxChunk")) << "chunking off: not written";
        EXPECT_EQ(Text("en-us", 17), PortBytes("Language"));
        EXPECT_EQ(0u, PortDword("Base64"));
        EXPECT_EQ(std::string("old-user\0", 9), PortBytes("UserName")) << "authentication off: not written";
    }
    PortRecord* loaded = Loaded();
    EXPECT_STREQ("127.0.0.1", IppOf(loaded)->host) << "the loader reads the whole-width values";
    EXPECT_EQ(8631u, IppOf(loaded)->port);
    EXPECT_STREQ("new.proxy", IppOf(loaded)->proxy);
    FreeDetachedPort(loaded);
}

TEST_F(IppSheet, ApplySavesAndTurnsOffAndCancelKeepsWhatItSaved)
{
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND general = Page(frame, IDC_CNF_URI_EDIT);
    Click(general, IDC_CNF_RECONNECT);
    EXPECT_TRUE(WaitUntil([&] { return ApplyEnabled(frame); })) << "a click enables Apply";
    SetControlText(general, IDC_CNF_TIMEOUT_EDIT, "240");
    Click(frame, IDC_SHEET_APPLY);
    EXPECT_TRUE(WaitUntil([&] { return !ApplyEnabled(frame); }));
    EXPECT_TRUE(WaitUntil([&] { return PortDword("CmdTmout") == 240000; }));
    EXPECT_EQ(1u, PortDword("Reconnection"));
    GUITHREADINFO focus = {sizeof focus};
    EXPECT_TRUE(WaitUntil([&] {
        return GetGUIThreadInfo(run->threadId, &focus) && focus.hwndFocus == GetDlgItem(frame, IDOK);
    })) << "the focus goes to OK";
    SetControlText(general, IDC_CNF_TIMEOUT_EDIT, "300");
    EXPECT_TRUE(ApplyEnabled(frame));
    Click(frame, IDCANCEL);
    EXPECT_EQ(0, Finish());
    EXPECT_EQ(240000u, PortDword("CmdTmout")) << "what Apply saved stays";
    EXPECT_EQ(240000u, PortDword("DatTmout"));
}

// The password goes through the scrambling the loader undoes; with
// authentication off the stored credentials are shown and kept.
TEST_F(IppSheet, CredentialsRoundTripAndSurviveAuthenticationOff)
{
    monitor.SetPortDword("IPP1", "Base64", 0);
    monitor.SetPortText("IPP1", "UserName", "kept-user");
    StorePassword("kept-secret");
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND auth = SelectTab(frame, 1, IDC_CHK_BASIC);
    ASSERT_NE(nullptr, auth);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(auth, IDC_CNF_USER_EDIT)));
    Click(auth, IDC_CHK_BASIC);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(auth, IDC_CNF_PASS_EDIT)) != FALSE; }));
    EXPECT_EQ("kept-user", ControlText(auth, IDC_CNF_USER_EDIT));
    EXPECT_EQ("kept-secret", ControlText(auth, IDC_CNF_PASS_EDIT));
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    PortRecord* loaded = Loaded();
    EXPECT_EQ(1u, IppOf(loaded)->authenticate);
    EXPECT_STREQ("kept-user", IppOf(loaded)->userName);
    EXPECT_STREQ("kept-secret", IppOf(loaded)->password) << "switching authentication on keeps the credentials";
    FreeDetachedPort(loaded);

    // A new password of 64 characters, with bytes below the scrambling
    // constant, reaches the loader unchanged.
    std::string password = "!#0AZaz~" + std::string(56, 'p');
    frame = Open();
    ASSERT_NE(nullptr, frame);
    auth = SelectTab(frame, 1, IDC_CHK_BASIC);
    ASSERT_NE(nullptr, auth);
    SetControlText(auth, IDC_CNF_USER_EDIT, "carol");
    SetControlText(auth, IDC_CNF_PASS_EDIT, password.c_str());
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    DWORD type = 0;
    std::string stored = PortBytes("PassWord", &type);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    ASSERT_EQ(2u + 64u, stored.size());
    EXPECT_EQ(std::string("\x40\x00", 2), stored.substr(0, 2));
    EXPECT_NE(password, stored.substr(2)) << "not stored as clear text";
    loaded = Loaded();
    EXPECT_EQ(password, IppOf(loaded)->password);
    EXPECT_STREQ("carol", IppOf(loaded)->userName);
    FreeDetachedPort(loaded);

    // Switched off again: the credentials stay stored.
    frame = Open();
    ASSERT_NE(nullptr, frame);
    auth = SelectTab(frame, 1, IDC_CHK_BASIC);
    ASSERT_NE(nullptr, auth);
    Click(auth, IDC_CHK_BASIC);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(auth, IDC_CNF_USER_EDIT)); }));
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(0u, PortDword("Base64"));
    EXPECT_EQ(stored, PortBytes("PassWord"));
    EXPECT_EQ(Text("carol", 65), PortBytes("UserName"));
}

class IppAdvanced : public IppSheet {
protected:
    HWND frame = nullptr;
    HWND advanced = nullptr;

    void OpenAdvanced()
    {
        frame = Open();
        ASSERT_NE(nullptr, frame);
        Click(Page(frame, IDC_BTN_HIGH), IDC_BTN_HIGH);
        advanced = WaitDialog(run->threadId, nullptr, IDC_LANG_COMBO);
        ASSERT_NE(nullptr, advanced);
    }
    LRESULT SelectedLanguage() { return SendDlgItemMessageA(advanced, IDC_LANG_COMBO, CB_GETCURSEL, 0, 0); }
};

// A refused OK stores nothing, not even the check box: Cancel afterwards
// leaves the copy as it was.
TEST_F(IppAdvanced, ChunkSizeIsCheckedBeforeAnythingIsTaken)
{
    monitor.SetPortDword("IPP1", "Chunked", 0);
    monitor.SetPortDword("IPP1", "MaxChunk", 4096);
    OpenAdvanced();
    EXPECT_EQ("Fixture advanced", WindowText(advanced));
    EXPECT_EQ("4096", ControlText(advanced, IDC_CNF_CHUNK_EDIT));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(advanced, IDC_CNF_CHUNK_EDIT)));
    Click(advanced, IDC_CHK_CHUNK);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(advanced, IDC_CNF_CHUNK_EDIT)) != FALSE; }));
    for (const char* refused : {"16385", "1023", ""}) {
        SetControlText(advanced, IDC_CNF_CHUNK_EDIT, refused);
        EXPECT_EQ("Fixture bad chunk", Refused(advanced, IDOK)) << refused;
        EXPECT_TRUE(IsWindowVisible(advanced));
    }
    Click(advanced, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(advanced));
    EXPECT_FALSE(ApplyEnabled(frame)) << "Cancel is no change";
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(0u, PortDword("Chunked"));
    EXPECT_EQ(4096u, PortDword("MaxChunk"));

    OpenAdvanced();
    Click(advanced, IDC_CHK_CHUNK);
    SetControlText(advanced, IDC_CNF_CHUNK_EDIT, "16384");
    Click(advanced, IDOK);
    EXPECT_TRUE(WaitWindowGone(advanced));
    EXPECT_TRUE(ApplyEnabled(frame)) << "OK of the advanced dialog enables Apply";
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(1u, PortDword("Chunked"));
    EXPECT_EQ(16384u, PortDword("MaxChunk"));
}

TEST_F(IppAdvanced, LanguageMatchesWithoutCaseAndAnUnknownCodeIsKept)
{
    monitor.SetPortText("IPP1", "Language", "JA-JP");
    OpenAdvanced();
    EXPECT_EQ(4, SelectedLanguage());
    char text[64] = "";
    SendDlgItemMessageA(advanced, IDC_LANG_COMBO, CB_GETLBTEXT, 4, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ("Fixture Japanese", text);
    SendDlgItemMessageA(advanced, IDC_LANG_COMBO, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ("fr", text) << "the code where the catalogue has no name";
    Click(advanced, IDOK);
    EXPECT_TRUE(WaitWindowGone(advanced));
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(Text("ja-jp", 17), PortBytes("Language"));

    monitor.SetPortText("IPP1", "Language", "xx-yy");
    OpenAdvanced();
    EXPECT_EQ(CB_ERR, SelectedLanguage()) << "no entry is selected";
    Click(advanced, IDOK);
    EXPECT_TRUE(WaitWindowGone(advanced));
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(Text("xx-yy", 17), PortBytes("Language")) << "the stored code is kept";
}

TEST_F(IppSheet, FailedSaveKeepsApplyAndTellsTheUser)
{
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND general = Page(frame, IDC_CNF_URI_EDIT);
    ASSERT_TRUE(DeletePort(nullptr, nullptr, const_cast<char*>("IPP1"))) << "the sheet holds no port record";
    SetControlText(general, IDC_CNF_TIMEOUT_EDIT, "120");
    EXPECT_EQ("Fixture not saved", Refused(frame, IDC_SHEET_APPLY));
    EXPECT_TRUE(ApplyEnabled(frame));
    EXPECT_EQ("Fixture not saved", Refused(frame, IDOK));
    EXPECT_TRUE(IsWindowVisible(frame)) << "OK did not save: the sheet stays";
    Click(frame, IDCANCEL);
    EXPECT_EQ(0, Finish());
    EXPECT_FALSE(KeyExists(monitor.PortKey("IPP1")));
}

// ConfigurePort opens the sheet on an IPP port; without a working copy (here
// the port is stored as another protocol meanwhile) no sheet opens and
// ConfigurePort still answers TRUE.
TEST_F(IppSheet, ConfigurePortOpensTheSheetOnlyOnAWorkingCopy)
{
    run = StartUiThread([] { return static_cast<INT_PTR>(ConfigurePort(nullptr, nullptr, const_cast<char*>("IPP1"))); });
    ASSERT_NE(nullptr, run);
    HWND frame = WaitDialog(run->threadId, nullptr, IDC_SHEET_TAB);
    ASSERT_NE(nullptr, frame);
    Click(frame, IDCANCEL);
    EXPECT_EQ(TRUE, Finish());

    ConfigSheet sheet = {};
    sheet.definition = &kIppSheet;
    run = StartUiThread([&sheet] { return ShowConfigSheet(nullptr, &sheet); });
    EXPECT_EQ(-1, Finish()) << "no working copy: no sheet";

    monitor.SetPortDword("IPP1", "PrintMode", PROTOCOL_LPR);
    run = StartUiThread([] { return static_cast<INT_PTR>(ConfigurePort(nullptr, nullptr, const_cast<char*>("IPP1"))); });
    EXPECT_EQ(TRUE, Finish());
    EXPECT_EQ(0, CountDialogs(0, nullptr, IDC_SHEET_TAB));
}

TEST_F(IppSheet, VersionButtonOpensTheVersionDialog)
{
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    Click(Page(frame, IDC_BTN_VERSION), IDC_BTN_VERSION);
    HWND version = WaitDialog(run->threadId, nullptr, IDC_VERSION01);
    ASSERT_NE(nullptr, version);
    EXPECT_EQ("Fixture version", WindowText(version));
    Click(version, IDOK);
    EXPECT_TRUE(WaitWindowGone(version));
    Click(frame, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

// Not a test: images of the sheet's pages and dialogs with the shipped
// catalogues for `./run screenshots`, which sets SCREENSHOT_DIR (a Windows
// path); only then does this program have it.
class SheetScreenshots : public IppSheet {
    void TestBody() override
    {
        monitor.SetPortDword("IPP1", "UseProxy", 1);
        monitor.SetPortText("IPP1", "ProxyName", "proxy.example");
        monitor.SetPortDword("IPP1", "ProxyNum", 8080);
        monitor.SetPortDword("IPP1", "Base64", 1);
        monitor.SetPortText("IPP1", "UserName", "alice");
        StorePassword("secret");
        for (std::string language : {"en", "ja"}) {
            monitor.InstallShippedCatalogues(language);
            HWND frame = Open();
            ASSERT_NE(nullptr, frame);
            EXPECT_TRUE(SaveScreenshot(frame, "ipp_sheet_general_" + language));
            Click(Page(frame, IDC_BTN_HIGH), IDC_BTN_HIGH);
            HWND advanced = WaitDialog(run->threadId, nullptr, IDC_LANG_COMBO);
            ASSERT_NE(nullptr, advanced);
            EXPECT_TRUE(SaveScreenshot(advanced, "ipp_sheet_advanced_" + language));
            Click(advanced, IDCANCEL);
            EXPECT_TRUE(WaitWindowGone(advanced));
            Click(Page(frame, IDC_BTN_VERSION), IDC_BTN_VERSION);
            HWND version = WaitDialog(run->threadId, nullptr, IDC_VERSION01);
            ASSERT_NE(nullptr, version);
            EXPECT_TRUE(SaveScreenshot(version, "ipp_sheet_version_" + language));
            Click(version, IDOK);
            EXPECT_TRUE(WaitWindowGone(version));
            ASSERT_NE(nullptr, SelectTab(frame, 1, IDC_CHK_BASIC));
            EXPECT_TRUE(SaveScreenshot(frame, "ipp_sheet_auth_" + language));
            Click(frame, IDCANCEL);
            EXPECT_EQ(0, Finish());
        }
    }
};

[[maybe_unused]] const bool kScreenshotsWanted = GetEnvironmentVariableA("SCREENSHOT_DIR", nullptr, 0) > 0 &&
                                ::testing::RegisterTest("Screenshots", "IppSheet", nullptr, nullptr, __FILE__, __LINE__,
                                                        []() -> IppSheet* { return new SheetScreenshots; });

} // namespace
