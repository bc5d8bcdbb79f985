// The e-mail configuration sheet as real windows driven from the test
// thread: what each page shows, every check, what OK and Apply write (and
// what they leave alone), the address book, the division of mails, the
// password's stored form, and a job of the real DLL that goes to aiosmtpd
// with the recipients the sheet stored.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "codec/password_codec.h"
#include "mail_ids.h"
#include "mailsheet_ids.h"
#include "monitor/config_store.h"
#include "monitor/monitor.h"
#include "monitor/port_admin.h"
#include "monitor/port_ops.h"
#include "sheets_ids.h"
#include "support/dll_monitor.h"
#include "support/fresh_monitor.h"
#include "support/peer_process.h"
#include "support/test_files.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"
#include "ui/config/mail_sheet.h"

namespace {

const char kMessages[] = "[MESSAGE]\r\nTITLE=Fixture caption\r\nIDS_INVALID_SMTP=Fixture no server\r\n"
                         "IDS_INVALID_FROM_NAME=Fixture no name\r\nIDS_INVALID_FROM_ADDR=Fixture no address\r\n"
                         "IDS_INVALID_CHARACTER=Fixture refused [%s]\r\nIDS_INVALID_TO_ADDR=Fixture no recipient\r\n"
                         "IDS_MAX_TO_ADDR_ERROR=Fixture full\r\nIDS_EMALREADYEXISTS=Fixture listed\r\n"
                         "IDS_INVALID_DIVIDESIZE=Fixture bad size\r\nIDS_CONF_SAVE_ERROR=Fixture not saved\r\n";
const char kDialogs[] = "[TITLE]\r\nCONFIG=Fixture settings\r\nVERSION=Fixture version\r\nEDIT_BODY=Fixture body\r\n"
                        "[TAB]\r\nPAGE3=Fixture account\r\nPAGE4=Fixture recipients\r\n"
                        "[LABEL]\r\nIDC_STC_SMTP=Fixture server\r\n[BUTTON]\r\nCHK_AUTH=Fixture auth\r\n"
                        "[FONT]\r\nDEFAULT=Arial,14,ANSI\r\n";
const char kPort[] = "MAIL1";

std::string Scrambled(const char* password)
{
    char text[kMailPasswordSize] = "";
    memcpy(text, password, strnlen(password, sizeof text - 1));
    size_t length = ScramblePassword(text);
    return std::string(text, length);
}

class MailSheet : public ::testing::Test {
protected:
    FreshMonitor monitor;
    UiThread* run = nullptr;

    void SetUp() override
    {
        monitor.WriteInstallFile(MESSAGE_CATALOGUE, kMessages);
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
        ASSERT_TRUE(RegisterNewPort(nullptr, kPort, PROTOCOL_EMAIL));
        monitor.SetPortText(kPort, "SmtpServer", "smtp.example.test");
        monitor.SetPortText(kPort, "FromName", "Office Printer");
        monitor.SetPortText(kPort, "FromAddr", "printer@example.test");
        monitor.SetPortText(kPort, "ToAddr", "zed@example.test,amy@example.test");
        monitor.SetPortDword(kPort, "DivideSize", 50);
    }
    void TearDown() override
    {
        if (run && !JoinUiThread(run, nullptr, 0))
            ADD_FAILURE() << "a dialog was left open";
    }

    HWND Open()
    {
        run = StartUiThread([] { return RunMailConfigSheet(nullptr, kPort); });
        return run ? WaitDialog(run->threadId, nullptr, IDC_SHEET_TAB) : nullptr;
    }
    INT_PTR Finish()
    {
        INT_PTR result = -2;
        bool ended = JoinUiThread(run, &result);
        run = nullptr;
        return ended ? result : -2;
    }
    static HWND Page(HWND frame, int id)
    {
        for (HWND child = FindWindowExA(frame, nullptr, "#32770", nullptr); child;
             child = FindWindowExA(frame, child, "#32770", nullptr))
            if (IsWindowVisible(child) && GetDlgItem(child, id))
                return child;
        return nullptr;
    }
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
    // Clicks a button that must not bring a message box; `done` tells when
    // the click has been handled.
    void Accepted(HWND dialog, int button, const std::function<bool()>& done)
    {
        Click(dialog, button);
        EXPECT_TRUE(WaitUntil(done)) << button;
        EXPECT_EQ(0, CountDialogs(run->threadId, nullptr, kMessageBoxTextId)) << button;
    }
    void Add(HWND page, const char* address)
    {
        SetControlText(page, IDC_CMB_TO, address);
        Accepted(page, IDC_BTN_ADD, [page] { return ControlText(page, IDC_CMB_TO).empty(); });
    }
    void Apply(HWND frame)
    {
        Accepted(frame, IDC_SHEET_APPLY, [frame] { return !Enabled(frame, IDC_SHEET_APPLY); });
    }
    static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
    static std::string Recipients(HWND page)
    {
        std::string joined;
        HWND list = GetDlgItem(page, IDC_LST_TO);
        for (LRESULT i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
            char text[128] = "";
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            joined += (i ? "," : "") + std::string(text);
        }
        return joined;
    }
    DWORD PortDword(const char* value)
    {
        DWORD data = 0xDEAD, size = sizeof data;
        QueryRegValue(HKEY_LOCAL_MACHINE, monitor.PortKey(kPort).c_str(), value, &data, &size, nullptr);
        return data;
    }
    std::string PortBytes(const char* value)
    {
        static char data[8192];
        DWORD size = sizeof data;
        if (!QueryRegValue(HKEY_LOCAL_MACHINE, monitor.PortKey(kPort).c_str(), value, data, &size, nullptr))
            return "(none)";
        return std::string(data, size);
    }
    std::string BookEntry(int slot)
    {
        char name[32], data[128];
        snprintf(name, sizeof name, "Address%03d", slot);
        DWORD size = sizeof data;
        std::string key = std::string(g_monitor.monitorKey) + "\\AddrBook";
        return QueryRegValue(HKEY_LOCAL_MACHINE, key.c_str(), name, data, &size, nullptr) ? data : "(none)";
    }
    // The settings as a job start loads them.
    static PortRecord* Loaded()
    {
        PortRecord* record = NewDetachedPort(kPort, PROTOCOL_EMAIL);
        EXPECT_EQ(ERROR_SUCCESS, ReadPortSettings(record, kPort));
        return record;
    }
};

TEST_F(MailSheet, ShowsTheStoredPortWithApplyOffAndCancelWritesNothing)
{
    monitor.SetPortDword(kPort, "NoPrint", 0);
    monitor.SetPortDword(kPort, "EditBody", 1);
    monitor.SetPortDword(kPort, "CharCode", 2);
    monitor.SetPortDword(kPort, "AuthType", 1);
    monitor.SetPortText(kPort, "AuthID", "sender");
    monitor.SetPortText(kPort, "AuthPass", Scrambled("s3cret"), REG_BINARY);
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ("Fixture settings - MAIL1", WindowText(frame));
    EXPECT_FALSE(Enabled(frame, IDC_SHEET_APPLY)) << "filling the pages is no change";
    HWND account = Page(frame, IDC_EDT_SMTP);
    ASSERT_NE(nullptr, account);
    EXPECT_EQ("Fixture server", ControlText(account, IDC_STC_SMTP));
    EXPECT_EQ("smtp.example.test", ControlText(account, IDC_EDT_SMTP));
    EXPECT_EQ("Office Printer", ControlText(account, IDC_EDT_FROM_NAME));
    EXPECT_EQ("printer@example.test", ControlText(account, IDC_EDT_FROM_ADDR));

    HWND recipients = SelectTab(frame, 1, IDC_LST_TO);
    ASSERT_NE(nullptr, recipients);
    EXPECT_EQ("amy@example.test,zed@example.test", Recipients(recipients)) << "sorted";
    EXPECT_EQ(1, SendDlgItemMessageA(recipients, IDC_LST_TO, LB_GETCURSEL, 0, 0)) << "the first of ToAddr";
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(recipients, IDC_CHK_DIVIDE))) << "no DIVIDEFILE: no division";
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(recipients, IDC_EDT_DIVIDE)));

    HWND body = SelectTab(frame, 2, IDC_CHK_MAIL);
    ASSERT_NE(nullptr, body);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(body, IDC_CHK_MAIL));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(body, IDC_RAD_VARIABLE));
    EXPECT_FALSE(Enabled(body, IDC_BTN_EDIT)) << "a body written at each job has nothing to edit";
    EXPECT_EQ(2, SendDlgItemMessageA(body, IDC_CMB_ENCODE, CB_GETCURSEL, 0, 0));

    HWND auth = SelectTab(frame, 3, IDC_CHK_AUTH);
    ASSERT_NE(nullptr, auth);
    EXPECT_EQ("Fixture auth", ControlText(auth, IDC_CHK_AUTH));
    EXPECT_EQ("sender", ControlText(auth, IDC_EDT_ID));
    EXPECT_EQ("s3cret", ControlText(auth, IDC_EDT_PASSWORD)) << "unscrambled";
    EXPECT_FALSE(Enabled(frame, IDC_SHEET_APPLY));
    SetControlText(auth, IDC_EDT_ID, "other");
    EXPECT_TRUE(Enabled(frame, IDC_SHEET_APPLY)) << "an edit enables Apply";
    Click(frame, IDCANCEL);
    EXPECT_EQ(0, Finish());
    EXPECT_EQ(std::string("sender\0", 7), PortBytes("AuthID"));
    EXPECT_EQ(std::string("zed@example.test,amy@example.test\0", 34), PortBytes("ToAddr"));
}

TEST_F(MailSheet, AccountPageRefusesEachBadFieldAndStaysInFront)
{
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND account = Page(frame, IDC_EDT_SMTP);
    ASSERT_NE(nullptr, account);
    struct Case {
        const char* server;
        const char* name;
        const char* address;
        const char* message;
    } cases[] = {
        {"", "n", "a@b", "Fixture no server"},
        {"smtp host", "n", "a@b", "Fixture refused [\" #&'*,/:;<>?\\|]"},
        {"smtp", "", "a@b", "Fixture no name"},
        {"smtp", "a<b", "a@b", "Fixture refused [\"*,/:;<>?\\|]"},
        {"smtp", "n", "", "Fixture no address"},
        {"smtp", "n", "a b@c", "Fixture refused [\" (),:;<>?\\|]"},
    };
    for (const Case& c : cases) {
        SetControlText(account, IDC_EDT_SMTP, c.server);
        SetControlText(account, IDC_EDT_FROM_NAME, c.name);
        SetControlText(account, IDC_EDT_FROM_ADDR, c.address);
        EXPECT_EQ(c.message, Refused(frame, IDOK)) << c.server << "|" << c.name << "|" << c.address;
        EXPECT_EQ(c.message, Refused(frame, IDC_SHEET_APPLY)) << c.server;
        EXPECT_TRUE(IsWindowVisible(account));
    }
    PostMessageA(GetDlgItem(frame, IDC_SHEET_TAB), TCM_SETCURFOCUS, 1, 0);
    EXPECT_EQ("Fixture refused [\" (),:;<>?\\|]", AnswerMessageBox(run->threadId, IDOK).text);
    EXPECT_TRUE(WaitUntil([&] { return SendDlgItemMessageA(frame, IDC_SHEET_TAB, TCM_GETCURSEL, 0, 0) == 0; }))
        << "a refused page keeps its tab";
    SetControlText(account, IDC_EDT_SMTP, "127.0.0.1");
    SetControlText(account, IDC_EDT_FROM_NAME, "Front Desk");
    SetControlText(account, IDC_EDT_FROM_ADDR, "desk@example.test");
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish()) << "a sender name may hold a space";
    EXPECT_EQ(std::string("127.0.0.1\0", 10), PortBytes("SmtpServer"));
    EXPECT_EQ(std::string("Front Desk\0", 11), PortBytes("FromName"));
    EXPECT_EQ(std::string("desk@example.test\0", 18), PortBytes("FromAddr"));
}

// Add and Delete with their checks; the save joins the list into ToAddr
// and puts new recipients into the address book, which the combo box then
// offers.
TEST_F(MailSheet, RecipientsAreCheckedJoinedAndRemembered)
{
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND page = SelectTab(frame, 1, IDC_LST_TO);
    ASSERT_NE(nullptr, page);
    struct Case {
        const char* address;
        const char* message;
    } cases[] = {
        {"", "Fixture no address"},
        {"a,b@example.test", "Fixture refused [\" (),:;<>?\\|]"},
        {"amy@example.test", "Fixture listed"},
    };
    for (const Case& c : cases) {
        SetControlText(page, IDC_CMB_TO, c.address);
        EXPECT_EQ(c.message, Refused(page, IDC_BTN_ADD)) << c.address;
    }
    EXPECT_FALSE(Enabled(frame, IDC_SHEET_APPLY)) << "a refused add is no change";
    Add(page, "Amy@example.test");
    EXPECT_EQ(3, SendDlgItemMessageA(page, IDC_LST_TO, LB_GETCOUNT, 0, 0)) << "letter case counts";
    EXPECT_NE(std::string::npos, Recipients(page).find("Amy@example.test"));
    EXPECT_EQ("", ControlText(page, IDC_CMB_TO));
    EXPECT_TRUE(Enabled(frame, IDC_SHEET_APPLY));
    // Delete until empty: the selection stays in place, then Delete is off.
    for (int left = 2; left >= 0; --left) {
        Accepted(page, IDC_BTN_DEL, [page, left] { return SendDlgItemMessageA(page, IDC_LST_TO, LB_GETCOUNT, 0, 0) == left; });
    }
    EXPECT_FALSE(Enabled(page, IDC_BTN_DEL));
    EXPECT_EQ("Fixture no recipient", Refused(frame, IDOK));
    for (const char* address : {"new@example.test", "amy@example.test"})
        Add(page, address);
    EXPECT_TRUE(Enabled(page, IDC_BTN_DEL));
    Click(frame, IDC_SHEET_APPLY);
    EXPECT_TRUE(WaitUntil([&] { return !Enabled(frame, IDC_SHEET_APPLY); }));
    EXPECT_EQ(std::string("amy@example.test,new@example.test\0", 34), PortBytes("ToAddr")) << "in list order";
    EXPECT_EQ("amy@example.test", BookEntry(0));
    EXPECT_EQ("new@example.test", BookEntry(1));
    EXPECT_EQ("(none)", BookEntry(2));
    EXPECT_EQ(2, SendDlgItemMessageA(page, IDC_CMB_TO, CB_GETCOUNT, 0, 0)) << "the combo box offers the book";
    Click(frame, IDCANCEL);
    EXPECT_EQ(0, Finish());
    EXPECT_EQ(std::string("amy@example.test,new@example.test\0", 34), PortBytes("ToAddr")) << "what Apply saved stays";
}

// ToAddr bounds the list: the 100th recipient can be added, the 101st not.
TEST_F(MailSheet, TheHundredthRecipientIsTheLast)
{
    std::string many;
    for (int i = 0; i < 99; ++i)
        many += (i ? "," : "") + std::string("r") + std::to_string(100 + i) + "@example.test";
    monitor.SetPortText(kPort, "ToAddr", many);
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND page = SelectTab(frame, 1, IDC_LST_TO);
    ASSERT_NE(nullptr, page);
    Add(page, "last@example.test");
    SetControlText(page, IDC_CMB_TO, "one-more@example.test");
    EXPECT_EQ("Fixture full", Refused(page, IDC_BTN_ADD));
    EXPECT_EQ(100, SendDlgItemMessageA(page, IDC_LST_TO, LB_GETCOUNT, 0, 0));
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    PortRecord* loaded = Loaded();
    EXPECT_EQ(many.size() + strlen(",last@example.test"), strlen(EmailOf(loaded)->toAddr));
    FreeDetachedPort(loaded);
}

// The division of mails exists only with the monitor's DIVIDEFILE; without
// it the stored DivideFile and DivideSize stay as they are, even when they
// are out of range.
TEST_F(MailSheet, DivisionIsOfferedOnlyWithDivideFile)
{
    monitor.SetPortDword(kPort, "DivideFile", 1);
    monitor.SetPortDword(kPort, "DivideSize", 5);
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    ASSERT_NE(nullptr, SelectTab(frame, 1, IDC_LST_TO));
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish()) << "hidden fields are not checked";
    EXPECT_EQ(1u, PortDword("DivideFile"));
    EXPECT_EQ(5u, PortDword("DivideSize"));

    monitor.SetMonitorDword("DIVIDEFILE", 1);
    monitor.SetPortDword(kPort, "DivideFile", 0);
    monitor.SetPortDword(kPort, "DivideSize", 50);
    frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND page = SelectTab(frame, 1, IDC_CHK_DIVIDE);
    ASSERT_NE(nullptr, page);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_EDT_DIVIDE)));
    EXPECT_FALSE(Enabled(page, IDC_EDT_DIVIDE));
    EXPECT_EQ("50", ControlText(page, IDC_EDT_DIVIDE));
    SetControlText(page, IDC_EDT_DIVIDE, "3");
    Apply(frame);
    EXPECT_EQ(0u, PortDword("DivideFile"));
    EXPECT_EQ(50u, PortDword("DivideSize")) << "division off: the size is neither checked nor written";
    Click(page, IDC_CHK_DIVIDE);
    EXPECT_TRUE(WaitUntil([&] { return Enabled(page, IDC_EDT_DIVIDE); }));
    for (const char* refused : {"15", "16385", ""}) {
        SetControlText(page, IDC_EDT_DIVIDE, refused);
        EXPECT_EQ("Fixture bad size", Refused(frame, IDC_SHEET_APPLY)) << refused;
    }
    for (const char* size : {"16", "16384"}) {
        SetControlText(page, IDC_EDT_DIVIDE, size);
        Apply(frame);
        EXPECT_EQ(1u, PortDword("DivideFile"));
        EXPECT_EQ(static_cast<DWORD>(atoi(size)), PortDword("DivideSize"));
    }
    Click(frame, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

// The body's texts are loaded even while the stored port does not print
// its body: switching to a body set in advance keeps them. Switching body
// printing off writes NoPrint alone.
TEST_F(MailSheet, BodyTextsSurviveSwitchingBodyPrintingOnAndOff)
{
    monitor.SetPortDword(kPort, "NoPrint", 1);
    monitor.SetPortDword(kPort, "EditBody", 1);
    monitor.SetPortText(kPort, "Subject", "Stored subject", REG_BINARY);
    monitor.SetPortText(kPort, "Body", "Stored body", REG_BINARY);
    monitor.SetPortText(kPort, "Signature", "Stored signature", REG_BINARY);
    monitor.SetPortDword(kPort, "CharCode", 7);
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND body = SelectTab(frame, 2, IDC_CHK_MAIL);
    ASSERT_NE(nullptr, body);
    EXPECT_FALSE(Enabled(body, IDC_RAD_FIXATION));
    EXPECT_EQ(CB_ERR, SendDlgItemMessageA(body, IDC_CMB_ENCODE, CB_GETCURSEL, 0, 0)) << "an unknown code selects nothing";
    Click(body, IDC_CHK_MAIL);
    EXPECT_TRUE(WaitUntil([&] { return Enabled(body, IDC_RAD_FIXATION); }));
    EXPECT_FALSE(Enabled(body, IDC_BTN_EDIT));
    Click(body, IDC_RAD_FIXATION);
    EXPECT_TRUE(WaitUntil([&] { return Enabled(body, IDC_BTN_EDIT); }));
    Click(body, IDC_BTN_EDIT);
    HWND editor = WaitDialog(run->threadId, nullptr, IDC_EDT_BODY);
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ("Stored subject", ControlText(editor, IDC_EDT_SUBJECT));
    Click(editor, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(editor));
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(0u, PortDword("NoPrint"));
    EXPECT_EQ(0u, PortDword("EditBody"));
    EXPECT_EQ(7u, PortDword("CharCode")) << "the stored code is kept";
    PortRecord* loaded = Loaded();
    EXPECT_STREQ("Stored subject", EmailOf(loaded)->subject);
    EXPECT_STREQ("Stored body", EmailOf(loaded)->body);
    EXPECT_STREQ("Stored signature", EmailOf(loaded)->signature);
    FreeDetachedPort(loaded);

    // A new subject from the body edit dialog and a new encoding; then body
    // printing off again leaves EditBody and the texts stored.
    frame = Open();
    ASSERT_NE(nullptr, frame);
    body = SelectTab(frame, 2, IDC_CHK_MAIL);
    ASSERT_NE(nullptr, body);
    Click(body, IDC_BTN_EDIT);
    editor = WaitDialog(run->threadId, nullptr, IDC_EDT_BODY);
    ASSERT_NE(nullptr, editor);
    SetControlText(editor, IDC_EDT_SUBJECT, "New subject");
    Click(editor, IDOK);
    EXPECT_TRUE(WaitWindowGone(editor));
    EXPECT_TRUE(Enabled(frame, IDC_SHEET_APPLY)) << "OK of the body edit dialog is a change";
    SendDlgItemMessageA(body, IDC_CMB_ENCODE, CB_SETCURSEL, 1, 0);
    PostMessageA(body, WM_COMMAND, MAKEWPARAM(IDC_CMB_ENCODE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(body, IDC_CMB_ENCODE)));
    Apply(frame);
    EXPECT_EQ("New subject", PortBytes("Subject"));
    EXPECT_EQ(1u, PortDword("CharCode"));
    Click(body, IDC_RAD_VARIABLE);
    Click(body, IDC_CHK_MAIL);
    EXPECT_TRUE(WaitUntil([&] { return !Enabled(body, IDC_RAD_VARIABLE); }));
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(1u, PortDword("NoPrint"));
    EXPECT_EQ(0u, PortDword("EditBody")) << "body printing off: EditBody not written";
    EXPECT_EQ("New subject", PortBytes("Subject"));
}

// The password goes through the scrambling the mailer undoes; with
// authentication off the stored credentials stay.
TEST_F(MailSheet, PasswordRoundTripsAndCredentialsSurviveAuthenticationOff)
{
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND auth = SelectTab(frame, 3, IDC_CHK_AUTH);
    ASSERT_NE(nullptr, auth);
    EXPECT_FALSE(Enabled(auth, IDC_EDT_PASSWORD));
    Click(auth, IDC_CHK_AUTH);
    EXPECT_TRUE(WaitUntil([&] { return Enabled(auth, IDC_EDT_PASSWORD); }));
    SetControlText(auth, IDC_EDT_ID, "sender");
    SetControlText(auth, IDC_EDT_PASSWORD, "\x8F" "abc");
    EXPECT_EQ("Fixture refused []", Refused(frame, IDOK)) << "its scrambled form would end at its first byte";
    std::string password = std::string(250, 'p') + "Zz~!0a";
    SetControlText(auth, IDC_EDT_PASSWORD, password.c_str());
    Apply(frame);
    EXPECT_EQ(Scrambled(password.c_str()), PortBytes("AuthPass")) << "256 characters, scrambled";
    SetControlText(auth, IDC_EDT_ID, "sender2");
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(Scrambled(password.c_str()), PortBytes("AuthPass")) << "scrambled again from the clear text";
    PortRecord* loaded = Loaded();
    char clear[kMailPasswordSize] = "";
    memcpy(clear, EmailOf(loaded)->authPass, sizeof clear - 1);
    UnscramblePassword(clear);
    EXPECT_EQ(password, clear);
    EXPECT_EQ(1u, EmailOf(loaded)->authType);
    EXPECT_STREQ("sender2", EmailOf(loaded)->authId);
    FreeDetachedPort(loaded);

    frame = Open();
    ASSERT_NE(nullptr, frame);
    auth = SelectTab(frame, 3, IDC_CHK_AUTH);
    ASSERT_NE(nullptr, auth);
    EXPECT_EQ(password, ControlText(auth, IDC_EDT_PASSWORD));
    Click(auth, IDC_CHK_AUTH);
    EXPECT_TRUE(WaitUntil([&] { return !Enabled(auth, IDC_EDT_ID); }));
    Click(frame, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(0u, PortDword("AuthType"));
    EXPECT_EQ(Scrambled(password.c_str()), PortBytes("AuthPass"));
    EXPECT_EQ(std::string("sender2\0", 8), PortBytes("AuthID"));
}

// A stored password or ToAddr that fills its whole field leaves no room for
// the terminator: the sheet shows neither (no read past the field).
TEST_F(MailSheet, OverlongStoredValuesAreNotReadPastTheirField)
{
    BYTE stored[kMailPasswordSize + 8];
    memset(stored, 'k', sizeof stored);
    char clear[kMailPasswordSize];
    memset(clear, 'x', sizeof clear);
    UnscrambledPassword(stored, kMailPasswordSize, clear, sizeof clear);
    EXPECT_EQ(kMailPasswordSize - 1, strnlen(clear, sizeof clear)) << "terminated within its size";

    monitor.SetPortDword(kPort, "AuthType", 1);
    monitor.SetPortText(kPort, "AuthPass", std::string(kMailPasswordSize, 'k'), REG_BINARY);
    monitor.SetPortText(kPort, "ToAddr", std::string(6500, 'a'));
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND page = SelectTab(frame, 1, IDC_LST_TO);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(0, SendDlgItemMessageA(page, IDC_LST_TO, LB_GETCOUNT, 0, 0));
    Add(page, "amy@example.test");
    HWND auth = SelectTab(frame, 3, IDC_CHK_AUTH);
    ASSERT_NE(nullptr, auth);
    EXPECT_EQ("", ControlText(auth, IDC_EDT_PASSWORD));
    Click(frame, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

TEST_F(MailSheet, FailedSaveKeepsApplyAndTellsTheUser)
{
    HWND frame = Open();
    ASSERT_NE(nullptr, frame);
    HWND account = Page(frame, IDC_EDT_SMTP);
    ASSERT_TRUE(DeletePort(nullptr, nullptr, const_cast<char*>(kPort)));
    SetControlText(account, IDC_EDT_SMTP, "other.example.test");
    EXPECT_EQ("Fixture not saved", Refused(frame, IDC_SHEET_APPLY));
    EXPECT_TRUE(Enabled(frame, IDC_SHEET_APPLY));
    EXPECT_EQ("Fixture not saved", Refused(frame, IDOK));
    EXPECT_TRUE(IsWindowVisible(frame)) << "OK did not save: the sheet stays";
    Click(frame, IDCANCEL);
    EXPECT_EQ(0, Finish());
    EXPECT_FALSE(KeyExists(monitor.PortKey(kPort)));
}

// ConfigurePort of the real DLL opens the sheet; the recipients changed
// there are the ones the next job's mail goes to, through the mailer to
// aiosmtpd on 127.0.0.1:25.
TEST(MailSheetJob, TheNextJobGoesToTheNewRecipients)
{
    SetEnvironmentVariableA("SENDMAIL_TIMEOUT_MS", "1500");
    PeerProcess peer("smtp-sheet");
    std::string command = std::string("exec ") + kPython + " " + ShellQuote(PeersDir() + "/smtp_sink.py") +
                          " --port 25 --dir " + ShellQuote(peer.unixDir) + " --lifetime 60";
    ASSERT_TRUE(peer.Start(command, 0, 70)) << peer.error;
    ASSERT_TRUE(peer.WaitReady()) << peer.error;
    DllMonitor m;
    const char port[] = "MAILS";
    m.SetPortDword(port, "PrintMode", 2);
    m.SetPortText(port, "SmtpServer", "127.0.0.1");
    m.SetPortText(port, "FromName", "Office Printer");
    m.SetPortText(port, "FromAddr", "printer@example.test");
    m.SetPortText(port, "ToAddr", "old@example.test");
    m.UseCatalogue("[MESSAGE]\r\nTITLE=Mail sheet test\r\n");
    std::string mailer = m.installDir + "\\Sendmail.exe";
    ASSERT_TRUE(CopyFileA((ProgramDir() + "Sendmail.exe").c_str(), mailer.c_str(), FALSE));
    ASSERT_TRUE(m.Load(100)) << m.error;

    const MONITOR95& table = m.table();
    UiThread* run = StartUiThread([&table] {
        char name[] = "MAILS";
        return static_cast<INT_PTR>(table.pfnConfigurePort(nullptr, nullptr, name));
    });
    ASSERT_NE(nullptr, run);
    HWND frame = WaitDialog(run->threadId, nullptr, IDC_SHEET_TAB);
    ASSERT_NE(nullptr, frame);
    PostMessageA(GetDlgItem(frame, IDC_SHEET_TAB), TCM_SETCURFOCUS, 1, 0);
    HWND page = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND child = FindWindowExA(frame, nullptr, "#32770", nullptr); child;
             child = FindWindowExA(frame, child, "#32770", nullptr))
            if (IsWindowVisible(child) && GetDlgItem(child, IDC_LST_TO))
                page = child;
        return page != nullptr;
    }));
    Click(page, IDC_BTN_DEL);
    for (const char* address : {"alice@example.test", "bob@example.test"}) {
        ASSERT_TRUE(WaitUntil([&] { return ControlText(page, IDC_CMB_TO).empty(); }));
        SetControlText(page, IDC_CMB_TO, address);
        Click(page, IDC_BTN_ADD);
    }
    ASSERT_TRUE(WaitUntil([&] { return SendDlgItemMessageA(page, IDC_LST_TO, LB_GETCOUNT, 0, 0) == 2; }));
    Click(frame, IDOK);
    INT_PTR configured = 0;
    ASSERT_TRUE(JoinUiThread(run, &configured));
    EXPECT_EQ(TRUE, configured);

    StandinAddPrinter("SheetPrinter", port, 0);
    HANDLE handle = nullptr;
    char name[] = "MAILS";
    ASSERT_TRUE(table.pfnOpenPort(name, &handle));
    DWORD job = StandinAddJob("SheetPrinter", "doc", "user", "RAW", 0);
    DOC_INFO_1A info = {const_cast<char*>("doc"), nullptr, const_cast<char*>("RAW")};
    char printer[] = "SheetPrinter";
    ASSERT_TRUE(table.pfnStartDocPort(handle, printer, job, 1, reinterpret_cast<BYTE*>(&info)));
    std::string data = "sheet job\r\n";
    DWORD written = 0;
    EXPECT_TRUE(table.pfnWritePort(handle, reinterpret_cast<BYTE*>(&data[0]), static_cast<DWORD>(data.size()), &written));
    EXPECT_TRUE(table.pfnEndDocPort(handle));
    table.pfnClosePort(handle);
    ASSERT_TRUE(peer.WaitFiles("msg-", ".json", 1)) << peer.error;
    std::string json = peer.ReadAll("msg-1.json");
    EXPECT_NE(std::string::npos, json.find("\"rcpt_tos\": [\"alice@example.test\", \"bob@example.test\"]")) << json;
    DeleteFileA(mailer.c_str());
    DeleteDirectoryTree(m.installDir + "\\Spool");
}

// Not a test: images of every page with the shipped catalogues for
// `./run screenshots`, which sets SCREENSHOT_DIR (a Windows path); only then
// does this program have it.
class MailSheetScreenshots : public MailSheet {
    void TestBody() override
    {
        monitor.SetMonitorDword("DIVIDEFILE", 1);
        monitor.SetPortDword(kPort, "DivideFile", 1);
        monitor.SetPortDword(kPort, "NoPrint", 0);
        monitor.SetPortDword(kPort, "CharCode", 1);
        monitor.SetPortDword(kPort, "AuthType", 1);
        monitor.SetPortText(kPort, "AuthID", "sender");
        monitor.SetPortText(kPort, "AuthPass", Scrambled("s3cret"), REG_BINARY);
        const int pageControls[] = {IDC_EDT_SMTP, IDC_LST_TO, IDC_CHK_MAIL, IDC_CHK_AUTH};
        const char* pageNames[] = {"account", "recipients", "body", "auth"};
        for (std::string language : {"en", "ja"}) {
            monitor.InstallShippedCatalogues(language);
            HWND frame = Open();
            ASSERT_NE(nullptr, frame);
            for (int i = 0; i < 4; ++i) {
                ASSERT_NE(nullptr, SelectTab(frame, i, pageControls[i]));
                EXPECT_TRUE(SaveScreenshot(frame, std::string("mail_sheet_") + pageNames[i] + "_" + language));
            }
            Click(frame, IDCANCEL);
            EXPECT_EQ(0, Finish());
        }
    }
};

[[maybe_unused]] const bool kScreenshotsWanted = GetEnvironmentVariableA("SCREENSHOT_DIR", nullptr, 0) > 0 &&
                                ::testing::RegisterTest("Screenshots", "MailSheet", nullptr, nullptr, __FILE__, __LINE__,
                                                        []() -> MailSheet* { return new MailSheetScreenshots; });

} // namespace
