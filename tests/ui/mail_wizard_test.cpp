// The add-port wizard's e-mail pages as real windows driven from the test
// thread: each page's checks and messages in their order, the recipients
// list with the address book, the body page with its edit dialog, the
// authentication page, the summary and what Finish stores; and a port made
// by the wizard of the real DLL that sends a job through the mailer to
// aiosmtpd with AUTH.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/password_codec.h"
#include "mail/mail_checks.h"
#include "mail_ids.h"
#include "monitor/config_store.h"
#include "monitor/monitor.h"
#include "monitor/port_admin.h"
#include "standin/spooler_standin.h"
#include "support/dll_monitor.h"
#include "support/fresh_monitor.h"
#include "support/peer_process.h"
#include "support/test_files.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"
#include "ui/page_common.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

namespace {

const char kMessages[] = "[MESSAGE]\r\nTITLE=Mail wizard\r\nIDS_INVALID_SMTP=No server\r\n"
                         "IDS_INVALID_FROM_NAME=No name\r\nIDS_INVALID_FROM_ADDR=No address\r\n"
                         "IDS_INVALID_CHARACTER=Refused %s\r\nIDS_MAX_TO_ADDR_ERROR=Too many\r\n"
                         "IDS_EMALREADYEXISTS=Listed\r\nIDS_INVALID_TO_ADDR=No recipient\r\n"
                         "IDS_ADD_PORT_ERROR=Not added\r\n";
const char kDialogs[] = "[BUTTON]\r\nFINISH=Fixture finish\r\n"
                        "[LABEL]\r\nBODY_PRINT=Printed\r\nBODY_NOPRINT=Not printed\r\n"
                        "[TITLE]\r\nEDIT_BODY=Fixture body\r\n";

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A value under HKLM\`key`: its bytes (a REG_SZ without its terminator), or
// "<missing>".
std::string RegistryBytes(const std::string& key, const char* name, DWORD* type = nullptr)
{
    HKEY opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return "<missing>";
    std::vector<char> data(8192);
    DWORD size = static_cast<DWORD>(data.size());
    DWORD found = REG_NONE;
    LONG status = RegQueryValueExA(opened, name, nullptr, &found, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS)
        return "<missing>";
    if (type)
        *type = found;
    std::string bytes(data.data(), size);
    if (found == REG_SZ && !bytes.empty() && bytes.back() == '\0')
        bytes.pop_back();
    return bytes;
}

DWORD RegistryDword(const std::string& key, const char* name)
{
    std::string bytes = RegistryBytes(key, name);
    DWORD value = 0xFFFFFFFF;
    if (bytes.size() == sizeof value)
        memcpy(&value, bytes.data(), sizeof value);
    return value;
}

std::string Address(int number, size_t length)
{
    std::string text = "r" + std::to_string(number) + "@";
    return text + std::string(length - text.size(), 'x');
}

class MailWizard : public ::testing::Test {
protected:
    FreshMonitor monitor;
    UiThread* run = nullptr;
    HWND frame = nullptr;

    void SetUp() override
    {
        monitor.WriteInstallFile(MESSAGE_CATALOGUE, kMessages);
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
        monitor.SetMonitorDword("SMTP", 1);
        StandinReset();
        MonitorHostServices services = StandinServices(100);
        InstallHostServices(&services);
        StandinSetSpoolerPorts({"LPT1:", "MAIL1:", "mail2:"});
    }

    void TearDown() override
    {
        if (run && !JoinUiThread(run, nullptr, 0))
            ADD_FAILURE() << "the wizard was left open";
    }

    std::string BookKey() const { return g_monitor.monitorKey + std::string("\\AddrBook"); }

    // The wizard, with e-mail chosen, on its account page.
    void OpenOnAccountPage()
    {
        run = StartUiThread([] { return static_cast<INT_PTR>(AddPort(nullptr, nullptr, nullptr)); });
        frame = run ? WaitDialog(run->threadId, nullptr, IDC_WIZ_NEXT) : nullptr;
        ASSERT_NE(nullptr, frame);
        Click(Page(0), IDC_QXEMAIL);
        ASSERT_TRUE(WaitUntil([&] { return ButtonChecked(Page(0), IDC_QXEMAIL) == 1; }));
        Next(WIZARD_PAGE_MAIL_ACCOUNT);
    }

    INT_PTR Finish()
    {
        INT_PTR result = -2;
        bool ended = JoinUiThread(run, &result);
        run = nullptr;
        return ended ? result : -2;
    }

    HWND Page(int index) { return GetDlgItem(frame, kWizardPageIdBase + index); }
    HWND Control(int page, int id) { return GetDlgItem(Page(page), id); }
    EmailSettings* Mail() { return WizardOf(frame)->email; }
    bool Shown(int index)
    {
        return WaitUntil([&] { return IsWindowVisible(Page(index)) && WizardOf(frame)->currentPage == index; });
    }
    void Next(int expected)
    {
        Click(frame, IDC_WIZ_NEXT);
        ASSERT_TRUE(Shown(expected)) << "page " << expected;
    }
    HWND Focus()
    {
        GUITHREADINFO info = {sizeof info};
        return GetGUIThreadInfo(run->threadId, &info) ? info.hwndFocus : nullptr;
    }

    // Clicks `button` on `page` and answers the message box it brings; its
    // text (empty when none came). The page stays.
    std::string Refusal(int page, HWND target, int button)
    {
        Click(target, button);
        MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return CountDialogs(run->threadId, nullptr, kMessageBoxTextId) == 0; }));
        EXPECT_EQ(page, WizardOf(frame)->currentPage);
        EXPECT_TRUE(IsWindowVisible(Page(page)));
        return box.found ? box.text : std::string();
    }

    void FillAccount(const char* server, const char* name, const char* address)
    {
        SetControlText(Page(8), IDC_MAILWIZ_SMTP, server);
        SetControlText(Page(8), IDC_MAILWIZ_FROM_NAME, name);
        SetControlText(Page(8), IDC_MAILWIZ_FROM_ADDR, address);
    }

    int ListCount() { return static_cast<int>(SendMessageA(Control(9, IDC_MAILWIZ_TO_LIST), LB_GETCOUNT, 0, 0)); }
    int ListSelection() { return static_cast<int>(SendMessageA(Control(9, IDC_MAILWIZ_TO_LIST), LB_GETCURSEL, 0, 0)); }
    std::string ListEntry(int index)
    {
        char text[80] = "";
        SendMessageA(Control(9, IDC_MAILWIZ_TO_LIST), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
        return text;
    }
    // Adds a recipient that is accepted.
    void AddRecipient(const std::string& address)
    {
        int before = ListCount();
        SetControlText(Page(9), IDC_MAILWIZ_TO_COMBO, address.c_str());
        Click(Page(9), IDC_MAILWIZ_ADD);
        ASSERT_TRUE(WaitUntil([&] { return ListCount() == before + 1; })) << address;
    }
    std::string RefusedRecipient(const std::string& address)
    {
        SetControlText(Page(9), IDC_MAILWIZ_TO_COMBO, address.c_str());
        return Refusal(9, Page(9), IDC_MAILWIZ_ADD);
    }

    // From the account page to the summary with one recipient.
    void ThroughToSummary(const char* recipient, const char* portName = nullptr)
    {
        FillAccount("127.0.0.1", "Office Printer", "printer@example.test");
        Next(WIZARD_PAGE_MAIL_RECIPIENTS);
        AddRecipient(recipient);
        Next(WIZARD_PAGE_MAIL_BODY);
        Next(WIZARD_PAGE_MAIL_AUTH);
        Next(WIZARD_PAGE_PORT_NAME);
        if (portName)
            SetControlText(Page(1), IDC_PORT_NAME_EDIT, portName);
        Next(WIZARD_PAGE_MAIL_SUMMARY);
    }

    void StoreBook(size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            char name[16];
            snprintf(name, sizeof name, "Address%03u", static_cast<unsigned>(i));
            std::string address = "stored" + std::to_string(i) + "@example.test";
            SetRegistryValue(g_monitor.monitorKey, "AddrBook", name, REG_SZ, address.c_str(),
                             static_cast<DWORD>(address.size() + 1));
        }
    }
};

TEST_F(MailWizard, AccountPageChecksEachFieldInOrder)
{
    ASSERT_NO_FATAL_FAILURE(OpenOnAccountPage());
    HWND server = Control(8, IDC_MAILWIZ_SMTP);
    EXPECT_TRUE(WaitUntil([&] { return Focus() == server; })) << "the server field has the focus";
    EXPECT_EQ(50u, Mail()->divideSize) << "the division size a new port gets";

    struct Case {
        const char* server;
        const char* name;
        const char* address;
        const char* message;
        int selected; // the field focused with its text selected, or 0
    };
    const Case cases[] = {
        {"", "", "", "No server", 0},
        {"smtp example", "", "", "Refused \" #&'*,/:;<>?\\|", IDC_MAILWIZ_SMTP},
        {"smtp|x", "", "", "Refused \" #&'*,/:;<>?\\|", IDC_MAILWIZ_SMTP},
        {"smtp.example", "", "", "No name", 0},
        {"smtp.example", "Office/Printer", "", "Refused \"*,/:;<>?\\|", IDC_MAILWIZ_FROM_NAME},
        {"smtp.example", "Office Printer", "", "No address", 0},
        {"smtp.example", "Office Printer", "a b@example", "Refused \" (),:;<>?\\|", IDC_MAILWIZ_FROM_ADDR},
        {"smtp.example", "Office Printer", "<a@example>", "Refused \" (),:;<>?\\|", IDC_MAILWIZ_FROM_ADDR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.server) + " / " + c.name + " / " + c.address);
        FillAccount(c.server, c.name, c.address);
        EXPECT_EQ(c.message, Refusal(8, frame, IDC_WIZ_NEXT));
        if (c.selected) {
            HWND field = Control(8, c.selected);
            EXPECT_TRUE(WaitUntil([&] { return Focus() == field; }));
            DWORD start = 1, end = 0;
            SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            EXPECT_EQ(0u, start);
            EXPECT_EQ(static_cast<DWORD>(GetWindowTextLengthA(field)), end);
        }
    }
    EXPECT_STREQ("", Mail()->smtpServer) << "nothing stored by a refused Next";

    // A space in the sender name is accepted; the limits hold.
    EXPECT_EQ(32, SendMessageA(server, EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ(64, SendMessageA(Control(8, IDC_MAILWIZ_FROM_NAME), EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ(64, SendMessageA(Control(8, IDC_MAILWIZ_FROM_ADDR), EM_GETLIMITTEXT, 0, 0));
    // A double-byte character whose second byte is 0x5C is no backslash.
    std::string name = GetACP() == 932 ? "Office Printer \x95\x5C" : "Office Printer"; // "表"
    FillAccount("smtp.example", name.c_str(), "printer@example.test");
    Next(WIZARD_PAGE_MAIL_RECIPIENTS);
    EXPECT_STREQ("smtp.example", Mail()->smtpServer);
    EXPECT_EQ(name, Mail()->fromName);
    EXPECT_STREQ("printer@example.test", Mail()->fromAddr);
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(Shown(WIZARD_PAGE_MAIL_ACCOUNT));
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(Shown(WIZARD_PAGE_PROTOCOL));
    Click(frame, IDCANCEL);
    EXPECT_EQ(FALSE, Finish());
}

TEST_F(MailWizard, RecipientsAreAddedAndDeletedWithTheirChecks)
{
    ASSERT_NO_FATAL_FAILURE(OpenOnAccountPage());
    FillAccount("smtp.example", "Printer", "printer@example.test");
    Next(WIZARD_PAGE_MAIL_RECIPIENTS);
    HWND remove = Control(9, IDC_MAILWIZ_DELETE);
    EXPECT_FALSE(IsWindowEnabled(remove)) << "Delete is disabled at the start";
    EXPECT_EQ("No recipient", Refusal(9, frame, IDC_WIZ_NEXT));

    EXPECT_EQ("No address", RefusedRecipient(""));
    EXPECT_EQ("Refused \" (),:;<>?\\|", RefusedRecipient("bob (work)@example.test"));
    EXPECT_EQ(0, ListCount());
    AddRecipient("Bob@example.test");
    EXPECT_TRUE(IsWindowEnabled(remove));
    EXPECT_EQ("", ControlText(Page(9), IDC_MAILWIZ_TO_COMBO)) << "the field is emptied";
    EXPECT_EQ("Listed", RefusedRecipient("Bob@example.test"));
    // Letter case counts: the list's own exact search would call these equal.
    AddRecipient("bob@example.test");
    AddRecipient("alice@example.test");
    EXPECT_EQ(3, ListCount());
    EXPECT_EQ("alice@example.test", ListEntry(ListSelection())) << "the new entry is selected";

    // Delete selects the entry at the same place, or the last one.
    SendMessageA(Control(9, IDC_MAILWIZ_TO_LIST), LB_SETCURSEL, 0, 0);
    std::string first = ListEntry(0), second = ListEntry(1), third = ListEntry(2);
    Click(Page(9), IDC_MAILWIZ_DELETE);
    ASSERT_TRUE(WaitUntil([&] { return ListCount() == 2; }));
    EXPECT_EQ(0, ListSelection());
    EXPECT_EQ(second, ListEntry(0));
    SendMessageA(Control(9, IDC_MAILWIZ_TO_LIST), LB_SETCURSEL, 1, 0);
    Click(Page(9), IDC_MAILWIZ_DELETE);
    ASSERT_TRUE(WaitUntil([&] { return ListCount() == 1; }));
    EXPECT_EQ(0, ListSelection());
    Click(Page(9), IDC_MAILWIZ_DELETE);
    ASSERT_TRUE(WaitUntil([&] { return ListCount() == 0; }));
    EXPECT_FALSE(IsWindowEnabled(remove)) << "an empty list disables Delete";
    EXPECT_TRUE(WaitUntil([&] { return Focus() == Control(9, IDC_MAILWIZ_ADD); })) << "Add has the focus";

    AddRecipient("carol@example.test");
    AddRecipient("Dave@example.test");
    Next(WIZARD_PAGE_MAIL_BODY);
    // In list order (sorted by the list).
    EXPECT_STREQ("carol@example.test,Dave@example.test", Mail()->toAddr);
    Click(frame, IDCANCEL);
    EXPECT_EQ(FALSE, Finish());
}

// 100 addresses of 64 characters joined by "," with the "," the mailer's
// caller appends do not fit the 6500-byte recipients field: the recipient
// that would overflow it is refused like the 101st.
TEST_F(MailWizard, TheRecipientsStopAtTheFieldAndAtOneHundred)
{
    ASSERT_NO_FATAL_FAILURE(OpenOnAccountPage());
    FillAccount("smtp.example", "Printer", "printer@example.test");
    Next(WIZARD_PAGE_MAIL_RECIPIENTS);
    for (int i = 0; i < 99; ++i)
        ASSERT_NO_FATAL_FAILURE(AddRecipient(Address(i, kMaxAddressChars)));
    EXPECT_EQ("Too many", RefusedRecipient(Address(99, kMaxAddressChars)));
    AddRecipient(Address(99, kMaxAddressChars - 1)); // the 100th fits
    EXPECT_EQ("Too many", RefusedRecipient("a@b"));
    EXPECT_EQ(100, ListCount());
    Next(WIZARD_PAGE_MAIL_BODY);
    EXPECT_EQ(100u * 64 - 1 + 99, strlen(Mail()->toAddr));
    Click(frame, IDCANCEL);
    EXPECT_EQ(FALSE, Finish());
}

// The combo box offers the stored addresses; Finish appends the new
// recipients, and once 100 are stored overwrites from Address000 on.
TEST_F(MailWizard, FinishRemembersTheRecipientsInTheAddressBook)
{
    for (size_t stored : {2u, 100u}) {
        SCOPED_TRACE(stored);
        DeleteRegistryTree(BookKey());
        StoreBook(stored);
        ASSERT_NO_FATAL_FAILURE(OpenOnAccountPage());
        FillAccount("smtp.example", "Printer", "printer@example.test");
        Next(WIZARD_PAGE_MAIL_RECIPIENTS);
        HWND combo = Control(9, IDC_MAILWIZ_TO_COMBO);
        EXPECT_EQ(static_cast<LRESULT>(stored), SendMessageA(combo, CB_GETCOUNT, 0, 0));
        EXPECT_NE(CB_ERR, SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>("stored1@example.test")));
        AddRecipient("stored1@example.test"); // held already: not stored again
        AddRecipient("new1@example.test");
        AddRecipient("new2@example.test");
        Next(WIZARD_PAGE_MAIL_BODY);
        Next(WIZARD_PAGE_MAIL_AUTH);
        Next(WIZARD_PAGE_PORT_NAME);
        SetControlText(Page(1), IDC_PORT_NAME_EDIT, stored == 2 ? "BOOK2" : "BOOK100");
        Next(WIZARD_PAGE_MAIL_SUMMARY);
        Click(frame, IDC_WIZ_NEXT);
        EXPECT_EQ(TRUE, Finish());
        size_t first = stored == 2 ? 2 : 0;
        char name[16];
        snprintf(name, sizeof name, "Address%03u", static_cast<unsigned>(first));
        EXPECT_EQ("new1@example.test", RegistryBytes(BookKey(), name));
        snprintf(name, sizeof name, "Address%03u", static_cast<unsigned>(first + 1));
        EXPECT_EQ("new2@example.test", RegistryBytes(BookKey(), name));
        snprintf(name, sizeof name, "Address%03u", static_cast<unsigned>(first + 2));
        EXPECT_EQ(stored == 2 ? "<missing>" : "stored2@example.test", RegistryBytes(BookKey(), name));
        EXPECT_EQ("<missing>", RegistryBytes(BookKey(), "Address100"));
    }
}

// What Finish stores: the pages' fields and the defaults a new e-mail port
// gets (the wizard's record starts zeroed).
TEST_F(MailWizard, FinishRegistersThePortWithItsFieldsAndDefaults)
{
    ASSERT_NO_FATAL_FAILURE(OpenOnAccountPage());
    ThroughToSummary("alice@example.test");
    EXPECT_EQ("MAIL3:", ControlText(Page(1), IDC_PORT_NAME_EDIT)) << "MAIL1: and mail2: exist";
    EXPECT_EQ("Fixture finish", ControlText(frame, IDC_WIZ_NEXT));
    EXPECT_EQ("127.0.0.1", ControlText(Page(12), IDC_MAILWIZ_SUM_SMTP));
    EXPECT_EQ("Office Printer", ControlText(Page(12), IDC_MAILWIZ_SUM_NAME));
    EXPECT_EQ("printer@example.test", ControlText(Page(12), IDC_MAILWIZ_SUM_FROM));
    EXPECT_EQ("alice@example.test", ControlText(Page(12), IDC_MAILWIZ_TO_COMBO));
    EXPECT_EQ("Not printed", ControlText(Page(12), IDC_MAILWIZ_SUM_BODY));
    EXPECT_EQ("MAIL3:", ControlText(Page(12), IDC_MAILWIZ_SUM_PORT));
    Click(frame, IDC_WIZ_NEXT);
    EXPECT_EQ(TRUE, Finish());

    std::string key = monitor.PortKey("MAIL3:");
    EXPECT_EQ(2u, RegistryDword(key, "PrintMode"));
    EXPECT_EQ("127.0.0.1", RegistryBytes(key, "SmtpServer"));
    EXPECT_EQ("Office Printer", RegistryBytes(key, "FromName"));
    EXPECT_EQ("printer@example.test", RegistryBytes(key, "FromAddr"));
    EXPECT_EQ("alice@example.test", RegistryBytes(key, "ToAddr"));
    EXPECT_EQ(1u, RegistryDword(key, "NoPrint"));
    EXPECT_EQ(0u, RegistryDword(key, "EditBody"));
    EXPECT_EQ(50u, RegistryDword(key, "DivideSize"));
    EXPECT_EQ(0u, RegistryDword(key, "DivideFile"));
    EXPECT_EQ(0u, RegistryDword(key, "AuthType"));
    EXPECT_EQ(static_cast<DWORD>(DefaultCharCode(GetSystemDefaultLangID())), RegistryDword(key, "CharCode"));
    MonitorLock();
    PortRecord* port = FindPort("MAIL3:");
    EXPECT_TRUE(port && EmailOf(port) && EmailOf(port)->divideSize == 50) << "the record has it too";
    MonitorUnlock();
}

TEST_F(MailWizard, AFailedRegistrationSaysSoAndEndsTheWizard)
{
    ASSERT_NO_FATAL_FAILURE(OpenOnAccountPage());
    ThroughToSummary("alice@example.test");
    // A name no port key can have: the registration fails.
    WizardOf(frame)->portName[0] = '\0';
    Click(frame, IDC_WIZ_NEXT);
    MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK);
    EXPECT_EQ("Not added", box.text);
    EXPECT_EQ(FALSE, Finish());
    EXPECT_EQ("alice@example.test", RegistryBytes(BookKey(), "Address000")) << "the book was saved before";
}

// The body page: the choices follow the check box, Edit opens the body
// dialog on the wizard's record, and Next stores the choices.
TEST_F(MailWizard, BodyPageChoicesAndTheBodyDialog)
{
    ASSERT_NO_FATAL_FAILURE(OpenOnAccountPage());
    FillAccount("127.0.0.1", "Office Printer", "printer@example.test");
    Next(WIZARD_PAGE_MAIL_RECIPIENTS);
    AddRecipient("alice@example.test");
    Next(WIZARD_PAGE_MAIL_BODY);
    EXPECT_EQ(1u, Mail()->noPrint) << "the body is not printed unless chosen";
    auto enabled = [&](int id) { return IsWindowEnabled(Control(10, id)) != FALSE; };
    EXPECT_EQ(0u, ButtonChecked(Page(10), IDC_MAILWIZ_PRINT_BODY));
    EXPECT_EQ(1u, ButtonChecked(Page(10), IDC_MAILWIZ_BODY_FIXED));
    EXPECT_FALSE(enabled(IDC_MAILWIZ_BODY_EACH_JOB));
    EXPECT_FALSE(enabled(IDC_MAILWIZ_BODY_FIXED));
    EXPECT_FALSE(enabled(IDC_MAILWIZ_EDIT_BODY));
    EXPECT_TRUE(WaitUntil([&] { return Focus() == Control(10, IDC_MAILWIZ_PRINT_BODY); }));

    Click(Page(10), IDC_MAILWIZ_PRINT_BODY);
    ASSERT_TRUE(WaitUntil([&] { return enabled(IDC_MAILWIZ_EDIT_BODY); }));
    EXPECT_TRUE(enabled(IDC_MAILWIZ_BODY_EACH_JOB));
    EXPECT_TRUE(enabled(IDC_MAILWIZ_BODY_FIXED));
    Click(Page(10), IDC_MAILWIZ_BODY_EACH_JOB);
    EXPECT_TRUE(WaitUntil([&] { return !enabled(IDC_MAILWIZ_EDIT_BODY); }));
    Click(Page(10), IDC_MAILWIZ_BODY_FIXED);
    ASSERT_TRUE(WaitUntil([&] { return enabled(IDC_MAILWIZ_EDIT_BODY); }));

    // Edit: a refused subject keeps the dialog open; OK stores the texts.
    Click(Page(10), IDC_MAILWIZ_EDIT_BODY);
    HWND dialog = WaitDialog(run->threadId, "Fixture body", IDC_EDT_BODY);
    ASSERT_NE(nullptr, dialog);
    SetControlText(dialog, IDC_EDT_SUBJECT, "Re: report");
    SetControlText(dialog, IDC_EDT_BODY, "Body: \"any\" 'text'");
    SetControlText(dialog, IDC_EDT_SIGNATURE, "-- \r\nPrint desk");
    Click(dialog, IDOK);
    EXPECT_EQ("Refused \"':", AnswerMessageBox(run->threadId, IDOK).text);
    EXPECT_TRUE(IsWindowVisible(dialog));
    SetControlText(dialog, IDC_EDT_SUBJECT, "Weekly report");
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitWindowGone(dialog));
    EXPECT_STREQ("Weekly report", Mail()->subject);
    // Cancel leaves the record as it was.
    Click(Page(10), IDC_MAILWIZ_EDIT_BODY);
    dialog = WaitDialog(run->threadId, "Fixture body", IDC_EDT_BODY);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Weekly report", ControlText(dialog, IDC_EDT_SUBJECT));
    SetControlText(dialog, IDC_EDT_SUBJECT, "Not kept");
    Click(dialog, IDCANCEL);
    ASSERT_TRUE(WaitWindowGone(dialog));
    EXPECT_STREQ("Weekly report", Mail()->subject);

    Next(WIZARD_PAGE_MAIL_AUTH);
    EXPECT_EQ(0u, Mail()->noPrint);
    EXPECT_EQ(0u, Mail()->editBody);
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(Shown(WIZARD_PAGE_MAIL_BODY));
    Click(Page(10), IDC_MAILWIZ_BODY_EACH_JOB);
    ASSERT_TRUE(WaitUntil([&] { return ButtonChecked(Page(10), IDC_MAILWIZ_BODY_EACH_JOB) == 1; }));
    Next(WIZARD_PAGE_MAIL_AUTH);
    Next(WIZARD_PAGE_PORT_NAME);
    Next(WIZARD_PAGE_MAIL_SUMMARY);
    EXPECT_EQ("Printed", ControlText(Page(12), IDC_MAILWIZ_SUM_BODY));
    Click(frame, IDC_WIZ_NEXT);
    EXPECT_EQ(TRUE, Finish());
    std::string key = monitor.PortKey("MAIL3:");
    EXPECT_EQ(0u, RegistryDword(key, "NoPrint"));
    EXPECT_EQ(1u, RegistryDword(key, "EditBody"));
    EXPECT_EQ("Weekly report", RegistryBytes(key, "Subject"));
    EXPECT_EQ("Body: \"any\" 'text'", RegistryBytes(key, "Body"));
    EXPECT_EQ("-- \r\nPrint desk", RegistryBytes(key, "Signature"));
}

// The authentication page: the fields follow the check box; the password is
// stored scrambled once, from the clear text, however often Next is pressed;
// one whose scrambled form would hold a zero byte is refused.
TEST_F(MailWizard, AuthenticationPageStoresTheScrambledPassword)
{
    ASSERT_NO_FATAL_FAILURE(OpenOnAccountPage());
    FillAccount("127.0.0.1", "Office Printer", "printer@example.test");
    Next(WIZARD_PAGE_MAIL_RECIPIENTS);
    AddRecipient("alice@example.test");
    Next(WIZARD_PAGE_MAIL_BODY);
    Next(WIZARD_PAGE_MAIL_AUTH);
    auto fieldsEnabled = [&](bool on) {
        for (int id = IDC_MAILWIZ_AUTH_ID_LABEL; id <= IDC_MAILWIZ_AUTH_PASS; ++id)
            if ((IsWindowEnabled(Control(11, id)) != FALSE) != on)
                return false;
        return true;
    };
    EXPECT_EQ(0u, ButtonChecked(Page(11), IDC_MAILWIZ_USE_AUTH));
    EXPECT_TRUE(fieldsEnabled(false));
    EXPECT_EQ(256, SendMessageA(Control(11, IDC_MAILWIZ_AUTH_PASS), EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ(256, SendMessageA(Control(11, IDC_MAILWIZ_AUTH_ID), EM_GETLIMITTEXT, 0, 0));
    EXPECT_TRUE(GetWindowLongA(Control(11, IDC_MAILWIZ_AUTH_PASS), GWL_STYLE) & ES_PASSWORD);
    Click(Page(11), IDC_MAILWIZ_USE_AUTH);
    ASSERT_TRUE(WaitUntil([&] { return fieldsEnabled(true); }));

    // 0x8F raised by the key's first byte ("q") is 0: the stored value would be cut.
    SetControlText(Page(11), IDC_MAILWIZ_AUTH_PASS, "\x8F\x40pass");
    EXPECT_EQ("Refused ", Refusal(11, frame, IDC_WIZ_NEXT));
    EXPECT_EQ(0, Mail()->authPass[0]) << "nothing stored";

    char scrambled[] = "s3cret";
    ScramblePassword(scrambled);
    SetControlText(Page(11), IDC_MAILWIZ_AUTH_ID, "sender");
    SetControlText(Page(11), IDC_MAILWIZ_AUTH_PASS, "s3cret");
    Next(WIZARD_PAGE_PORT_NAME);
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(Shown(WIZARD_PAGE_MAIL_AUTH));
    Next(WIZARD_PAGE_PORT_NAME);
    EXPECT_EQ(1u, Mail()->authType);
    EXPECT_STREQ("sender", Mail()->authId);
    EXPECT_STREQ(scrambled, reinterpret_cast<const char*>(Mail()->authPass)) << "scrambled once";
    Next(WIZARD_PAGE_MAIL_SUMMARY);
    Click(frame, IDC_WIZ_NEXT);
    EXPECT_EQ(TRUE, Finish());
    std::string key = monitor.PortKey("MAIL3:");
    EXPECT_EQ(1u, RegistryDword(key, "AuthType"));
    EXPECT_EQ("sender", RegistryBytes(key, "AuthID"));
    DWORD type = REG_NONE;
    EXPECT_EQ(scrambled, RegistryBytes(key, "AuthPass", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
}

// The character set a new port gets follows the system's language, which
// Wine takes from LC_ALL when a process starts (a Windows child inherits its
// parent's): each language runs the wizard in a Wine process of its own,
// this program running the test below, started as a Unix command.
TEST(MailWizardLanguage, CharCodeFollowsTheSystemLanguage)
{
    struct Case {
        const char* locale;
        int charCode;
    };
    const Case cases[] = {{"C", 0}, {"en_US.UTF-8", 0}, {"de_DE.UTF-8", 2}, {"ja_JP.UTF-8", 1}};
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof program);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        PeerProcess child("mailwiz-lang");
        std::string command = std::string("LC_ALL=") + c.locale + " MAILWIZ_EXPECT_CHARCODE=" +
                              std::to_string(c.charCode) + " wine " + ShellQuote(UnixPath(program)) +
                              " --gtest_filter=MailWizard.ChildRegistersCharCode; echo $? > " +
                              ShellQuote(child.unixDir + "/rc.part") + " && mv " +
                              ShellQuote(child.unixDir + "/rc.part") + " " + ShellQuote(child.unixDir + "/rc");
        ASSERT_TRUE(child.Start(command, 0, 60)) << child.error;
        ASSERT_TRUE(child.WaitFile("rc", 50000)) << child.error;
        EXPECT_EQ("0\n", child.ReadAll("rc")) << child.ReadAll("peer.log");
    }
}

// Run by the test above in a process of its own with LC_ALL set.
TEST_F(MailWizard, ChildRegistersCharCode)
{
    char expected[8] = "";
    if (!GetEnvironmentVariableA("MAILWIZ_EXPECT_CHARCODE", expected, sizeof expected))
        GTEST_SKIP() << "run by MailWizardLanguage.CharCodeFollowsTheSystemLanguage";
    ASSERT_NO_FATAL_FAILURE(OpenOnAccountPage());
    ThroughToSummary("alice@example.test", "LANGPORT");
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_EQ(TRUE, Finish());
    EXPECT_EQ(static_cast<DWORD>(atoi(expected)), RegistryDword(monitor.PortKey("LANGPORT"), "CharCode"))
        << "language " << std::hex << GetSystemDefaultLangID();
}

// ---------------------------------------------------------------------------
// End to end: the real DLL's wizard makes an e-mail port with SMTP
// authentication; a job printed to it reaches aiosmtpd on 127.0.0.1:25.

TEST(MailWizardPort, APortMadeByTheWizardSendsAJobWithAuth)
{
    SetEnvironmentVariableA("SENDMAIL_TIMEOUT_MS", "1500");
    PeerProcess peer("smtp-wizard");
    std::string command = std::string("exec ") + kPython + " " + ShellQuote(PeersDir() + "/smtp_sink.py") +
                          " --port 25 --dir " + ShellQuote(peer.unixDir) + " --lifetime 60 --auth sender:s3cret";
    ASSERT_TRUE(peer.Start(command, 0, 70)) << peer.error;
    ASSERT_TRUE(peer.WaitReady()) << peer.error;
    DllMonitor m;
    m.UseCatalogue(kMessages);
    DWORD smtp = 1;
    SetRegistryValue(m.monitorKey.substr(0, m.monitorKey.rfind('\\')), m.monitorKey.substr(m.monitorKey.rfind('\\') + 1),
                     "SMTP", REG_DWORD, &smtp, sizeof smtp);
    ASSERT_TRUE(CopyFileA((ProgramDir() + "Sendmail.exe").c_str(), (m.installDir + "\\Sendmail.exe").c_str(), FALSE));
    ASSERT_TRUE(m.Load(100)) << m.error;

    const MONITOR95& table = m.table();
    UiThread* run = StartUiThread([&table] { return static_cast<INT_PTR>(table.pfnAddPort(nullptr, nullptr, nullptr)); });
    ASSERT_NE(nullptr, run);
    HWND frame = WaitDialog(run->threadId, nullptr, IDC_WIZ_NEXT);
    ASSERT_NE(nullptr, frame);
    auto page = [&](int index) { return GetDlgItem(frame, kWizardPageIdBase + index); };
    auto next = [&](int index) {
        Click(frame, IDC_WIZ_NEXT);
        return WaitUntil([&] { return IsWindowVisible(page(index)) != FALSE; });
    };
    Click(page(0), IDC_QXEMAIL);
    EXPECT_TRUE(WaitUntil([&] { return ButtonChecked(page(0), IDC_QXEMAIL) == 1; }));
    EXPECT_TRUE(next(8));
    SetControlText(page(8), IDC_MAILWIZ_SMTP, "127.0.0.1");
    SetControlText(page(8), IDC_MAILWIZ_FROM_NAME, "Office Printer");
    SetControlText(page(8), IDC_MAILWIZ_FROM_ADDR, "printer@example.test");
    EXPECT_TRUE(next(9));
    for (const char* to : {"alice@example.test", "bob@example.test"}) {
        SetControlText(page(9), IDC_MAILWIZ_TO_COMBO, to);
        Click(page(9), IDC_MAILWIZ_ADD);
        EXPECT_TRUE(WaitUntil([&] { return ControlText(page(9), IDC_MAILWIZ_TO_COMBO).empty(); }));
    }
    EXPECT_TRUE(next(10));
    EXPECT_TRUE(next(11));
    Click(page(11), IDC_MAILWIZ_USE_AUTH);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(page(11), IDC_MAILWIZ_AUTH_PASS)) != FALSE; }));
    SetControlText(page(11), IDC_MAILWIZ_AUTH_ID, "sender");
    SetControlText(page(11), IDC_MAILWIZ_AUTH_PASS, "s3cret");
    EXPECT_TRUE(next(1));
    SetControlText(page(1), IDC_PORT_NAME_EDIT, "MAILW");
    EXPECT_TRUE(next(12));
    Click(frame, IDC_WIZ_NEXT);
    INT_PTR added = 0;
    ASSERT_TRUE(JoinUiThread(run, &added));
    ASSERT_EQ(TRUE, added);

    StandinAddPrinter("WizardPrinter", "MAILW", 0);
    HANDLE handle = nullptr;
    char name[] = "MAILW";
    ASSERT_TRUE(table.pfnOpenPort(name, &handle));
    DWORD job = StandinAddJob("WizardPrinter", "doc", "user", "RAW", 0);
    DOC_INFO_1A info = {const_cast<char*>("doc"), nullptr, const_cast<char*>("RAW")};
    char printer[] = "WizardPrinter";
    ASSERT_TRUE(table.pfnStartDocPort(handle, printer, job, 1, reinterpret_cast<BYTE*>(&info)));
    std::string data = ".\r\n" + TestPattern(60000, 9);
    DWORD written = 0;
    ASSERT_TRUE(table.pfnWritePort(handle, reinterpret_cast<BYTE*>(&data[0]), static_cast<DWORD>(data.size()), &written));
    EXPECT_TRUE(table.pfnEndDocPort(handle));
    table.pfnClosePort(handle);

    ASSERT_TRUE(peer.WaitFiles("msg-", ".json", 1)) << peer.error;
    std::string json = peer.ReadAll("msg-1.json");
    EXPECT_TRUE(Contains(json, "\"auth_user\": \"sender\"")) << json;
    EXPECT_TRUE(Contains(json, "\"rcpt_tos\": [\"alice@example.test\", \"bob@example.test\"]")) << json;
    EXPECT_TRUE(Contains(json, "\"from\": \"Office Printer <printer@example.test>\"")) << json;
    EXPECT_EQ(peer.ReadAll("msg-1.att"), data);
}

} // namespace
