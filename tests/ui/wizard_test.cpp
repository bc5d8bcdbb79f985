// The add-port wizard as a real window driven from the test thread: the
// page sequences and their Back paths, the banner and the buttons of each
// page, the common pages' checks, Cancel on every page, and the connection
// test stopped before the wizard's records go.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ipp/connection_probe.h"
#include "ipp/printer_url_record.h"
#include "monitor/config_store.h"
#include "monitor/monitor.h"
#include "monitor/port_admin.h"
#include "monitor/port_ops.h"
#include "monitor/timing.h"
#include "standin/spooler_standin.h"
#include "support/fresh_monitor.h"
#include "support/peer_process.h"
#include "support/test_files.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"
#include "ui/page_common.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

namespace {

const char kMessages[] = "[MESSAGE]\r\nTITLE=Fixture caption\r\nIDS_NULL_PORT_ERROR=Fixture no name\r\n"
                         "IDS_PORTALREADYEXISTS_S=Fixture exists %s\r\nIDS_INVALID_CHARACTER=Fixture character %s\r\n";
const char kDialogs[] = "[TITLE]\r\nADDPORT=Fixture wizard\r\n"
                        "[BUTTON]\r\nIDC_NEXT=Fixture next\r\nIDC_BACK=Fixture back\r\nFINISH=Fixture finish\r\n"
                        "[LABEL]\r\nIDC_SETUMEI01=Fixture four ways\r\nIDC_SETUMEI011=Fixture three ways\r\n"
                        "[FONT]\r\nDEFAULT=Arial,14,ANSI\r\n";
const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// One way through the wizard: the choices and the pages Next visits.
struct Route {
    const char* name;
    int protocolButton;
    DWORD proxyEnable;
    int connectionButton; // 0: the connection-type page is not on the way
    std::vector<int> pages;
    std::vector<int> banners;
};

const std::vector<Route>& Routes()
{
    static const std::vector<Route> routes = {
        {"LPR", IDC_QXLPR, 0, 0, {0, 6, 1, 7}, {100, 101, 101, 101}},
        {"LPR, proxy on", IDC_QXLPR, 1, 0, {0, 6, 1, 7}, {100, 101, 101, 101}},
        {"Raw", IDC_QXRAW, 0, 0, {0, 13, 1, 14}, {100, 103, 103, 103}},
        {"Raw, proxy on", IDC_QXRAW, 1, 0, {0, 13, 1, 14}, {100, 103, 103, 103}},
        {"e-mail", IDC_QXEMAIL, 0, 0, {0, 8, 9, 10, 11, 1, 12}, {100, 103, 103, 103, 103, 103, 103}},
        {"e-mail, proxy on", IDC_QXEMAIL, 1, 0, {0, 8, 9, 10, 11, 1, 12}, {100, 103, 103, 103, 103, 103, 103}},
        {"IPP, proxy on", IDC_QXIPP, 1, 0, {0, 3, 4, 1, 5}, {100, 102, 102, 102, 102}},
        {"IPP, modem", IDC_QXIPP, 0, IDC_BTN_MODEM, {0, 2, 4, 1, 5}, {100, 102, 102, 102, 102}},
        {"IPP, network", IDC_QXIPP, 0, IDC_BTN_LAN, {0, 2, 3, 4, 1, 5}, {100, 102, 102, 102, 102, 102}},
    };
    return routes;
}

void SetProxyEnable(const DWORD* value)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (value)
        RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(value), sizeof *value);
    else
        RegDeleteValueA(key, "ProxyEnable");
    RegCloseKey(key);
}

class Wizard : public ::testing::Test {
protected:
    FreshMonitor monitor;
    UiThread* run = nullptr;
    HWND frame = nullptr;
    DWORD addError = 0;

    void SetUp() override
    {
        monitor.WriteInstallFile(MESSAGE_CATALOGUE, kMessages);
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
        monitor.SetMonitorDword("SMTP", 1);
        StandinReset();
        MonitorHostServices services = StandinServices(100);
        InstallHostServices(&services);
        StandinSetSpoolerPorts({"LPT1:", "COM1:", "Existing"});
    }

    void TearDown() override
    {
        if (run && !JoinUiThread(run, nullptr, 0))
            ADD_FAILURE() << "the wizard was left open";
        SetProxyEnable(nullptr);
        ScaleTiming(1);
    }

    // AddPort with no window and no port key to take over: the wizard.
    HWND Open(DWORD proxyEnable = 0)
    {
        SetProxyEnable(&proxyEnable);
        DWORD* error = &addError;
        run = StartUiThread([error] {
            BOOL added = AddPort(nullptr, nullptr, nullptr);
            *error = GetLastError();
            return static_cast<INT_PTR>(added);
        });
        frame = run ? WaitDialog(run->threadId, nullptr, IDC_WIZ_NEXT) : nullptr;
        return frame;
    }

    // AddPort's result, or -2 when the wizard did not end in time.
    INT_PTR Finish()
    {
        INT_PTR result = -2;
        bool ended = JoinUiThread(run, &result);
        run = nullptr;
        return ended ? result : -2;
    }

    HWND Page(int index) { return GetDlgItem(frame, kWizardPageIdBase + index); }

    // The one visible page, or -1.
    int CurrentPage()
    {
        int shown = -1;
        for (int i = 0; i < kWizardPageCount; ++i) {
            if (IsWindowVisible(Page(i))) {
                if (shown != -1)
                    return -1;
                shown = i;
            }
        }
        return shown;
    }
    // The page is shown and the frame has set its banner and buttons.
    bool WaitPage(int index)
    {
        return WaitUntil([&] { return CurrentPage() == index && WizardOf(frame)->currentPage == index; });
    }
    int Banner() { return WizardOf(frame) ? WizardOf(frame)->banner : -1; }
    std::string NextCaption() { return ControlText(frame, IDC_WIZ_NEXT); }
    bool BackEnabled() { return IsWindowEnabled(GetDlgItem(frame, IDC_WIZ_BACK)) != FALSE; }

    // Next on `page`: the e-mail pages get their fields, the LPR and Raw
    // server pages a usable host, the proxy page a proxy (used when it is
    // switched on), the URL page a printer that does not answer, and the
    // wizard is told to go on anyway.
    void NextFrom(int page)
    {
        FillMailPage(page);
        if (page == WIZARD_PAGE_LPR_SERVER || page == WIZARD_PAGE_RAW_SERVER)
            SetControlText(Page(page), IDC_HOST_EDIT, "127.0.0.1");
        if (page == WIZARD_PAGE_IPP_PROXY) {
            SetControlText(Page(page), IDC_PROXY_EDIT, "127.0.0.1");
            SetControlText(Page(page), IDC_PROXY_PORT_EDIT, std::to_string(FreeTcpPort()).c_str());
        }
        if (page == WIZARD_PAGE_IPP_URL) {
            std::string url = "http://127.0.0.1:" + std::to_string(FreeTcpPort()) + "/ipp";
            SetControlText(Page(page), IDC_URL_EDIT, url.c_str());
        }
        Click(frame, IDC_WIZ_NEXT);
        if (page == WIZARD_PAGE_IPP_URL) {
            EXPECT_FALSE(AnswerMessageBox(run->threadId, IDYES).text.empty()) << "no answer: go on anyway?";
        }
    }

    void Choose(int page, int button)
    {
        Click(Page(page), button);
        EXPECT_TRUE(WaitUntil([&] { return ButtonChecked(Page(page), button) == 1; })) << button;
    }

    // What the e-mail pages need before their Next: an account and one recipient.
    void FillMailPage(int page)
    {
        if (page == WIZARD_PAGE_MAIL_ACCOUNT) {
            SetControlText(Page(page), IDC_MAILWIZ_SMTP, "smtp.example");
            SetControlText(Page(page), IDC_MAILWIZ_FROM_NAME, "Printer");
            SetControlText(Page(page), IDC_MAILWIZ_FROM_ADDR, "printer@example.test");
        }
        HWND list = GetDlgItem(Page(WIZARD_PAGE_MAIL_RECIPIENTS), IDC_MAILWIZ_TO_LIST);
        if (page == WIZARD_PAGE_MAIL_RECIPIENTS && SendMessageA(list, LB_GETCOUNT, 0, 0) == 0) {
            SetControlText(Page(page), IDC_MAILWIZ_TO_COMBO, "alice@example.test");
            Click(Page(page), IDC_MAILWIZ_ADD);
            EXPECT_TRUE(WaitUntil([&] { return SendMessageA(list, LB_GETCOUNT, 0, 0) == 1; }));
        }
    }

    // Next through the route's pages (a port name is typed on page 1), up to
    // its summary page, checking each page's banner and buttons.
    void Forward(const Route& route, const char* portName)
    {
        for (size_t i = 0; i < route.pages.size(); ++i) {
            int page = route.pages[i];
            ASSERT_TRUE(WaitPage(page)) << "step " << i << ": page " << CurrentPage() << " instead of " << page;
            EXPECT_EQ(route.banners[i], Banner()) << "page " << page;
            EXPECT_EQ(page != 0, BackEnabled()) << "page " << page;
            bool last = i + 1 == route.pages.size();
            EXPECT_EQ(last ? "Fixture finish" : "Fixture next", NextCaption()) << "page " << page;
            if (last)
                break;
            if (page == 0)
                Choose(0, route.protocolButton);
            if (page == 2)
                Choose(2, route.connectionButton);
            if (page == 1)
                SetControlText(Page(1), IDC_PORT_NAME_EDIT, portName);
            NextFrom(page);
        }
    }

    // Back from the summary page to page 0, retracing the route.
    void Backward(const Route& route)
    {
        for (size_t i = route.pages.size(); i-- > 0;) {
            int page = route.pages[i];
            ASSERT_TRUE(WaitPage(page)) << "back to page " << page << ", at " << CurrentPage();
            EXPECT_EQ(WizardBanner(page, route.banners[i]), Banner()) << "page " << page;
            if (page == 1) {
                EXPECT_EQ("Fixture next", NextCaption()) << "Finish turned back into Next";
            }
            if (i > 0)
                Click(frame, IDC_WIZ_BACK);
        }
        EXPECT_FALSE(BackEnabled());
        EXPECT_EQ(100, Banner());
    }

    // The ports key holds no port (it need not exist).
    bool NoPortRegistered()
    {
        HKEY ports = OpenPortsKey(KEY_READ);
        if (!ports)
            return true;
        DWORD subkeys = 0;
        RegQueryInfoKeyA(ports, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr);
        RegCloseKey(ports);
        return subkeys == 0;
    }

    // Next on page 1 with `name`: the message shown, and the page, banner,
    // buttons and focus unchanged.
    std::string RefusedName(const char* name)
    {
        int banner = Banner();
        SetControlText(Page(1), IDC_PORT_NAME_EDIT, name);
        Click(frame, IDC_WIZ_NEXT);
        MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK);
        EXPECT_EQ("Fixture caption", box.caption) << name;
        EXPECT_TRUE(WaitUntil([&] { return CountDialogs(run->threadId, nullptr, kMessageBoxTextId) == 0; }));
        EXPECT_EQ(1, CurrentPage()) << name;
        EXPECT_EQ(banner, Banner()) << name;
        EXPECT_TRUE(BackEnabled()) << name;
        EXPECT_EQ("Fixture next", NextCaption()) << name;
        GUITHREADINFO info = {sizeof info};
        EXPECT_TRUE(WaitUntil([&] {
            return GetGUIThreadInfo(run->threadId, &info) && info.hwndFocus == GetDlgItem(Page(1), IDC_PORT_NAME_EDIT);
        })) << name << ": the field has the focus";
        DWORD start = 0, end = 0;
        SendDlgItemMessageA(Page(1), IDC_PORT_NAME_EDIT, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                            reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(0u, start);
        EXPECT_EQ(strlen(name), end) << name << ": its text selected";
        return box.text;
    }
};

TEST_F(Wizard, EverySequenceAndItsBackPathThenCancelRegistersNothing)
{
    for (const Route& route : Routes()) {
        SCOPED_TRACE(route.name);
        ASSERT_NE(nullptr, Open(route.proxyEnable));
        EXPECT_EQ("Fixture wizard", WindowText(frame));
        Forward(route, "NEWPORT");
        Backward(route);
        // And forward again: the pages kept their choices.
        Forward(route, "NEWPORT");
        Click(frame, IDCANCEL);
        EXPECT_EQ(FALSE, Finish());
        EXPECT_EQ(static_cast<DWORD>(ERROR_CANCELLED), addError);
        EXPECT_TRUE(NoPortRegistered());
        EXPECT_EQ(0, SharedRead(&g_addDialogOpen));
    }
}

TEST_F(Wizard, AddPortWithAWindowOpensTheWizardAndNeverAdopts)
{
    monitor.SetPortDword("WAITING", "PrintMode", PROTOCOL_LPR);
    DWORD* error = &addError;
    std::shared_ptr<HWND> owner = std::make_shared<HWND>(nullptr);
    // The owner belongs to the wizard's thread, as a spooler's window would.
    run = StartUiThread([owner, error] {
        *owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        BOOL added = AddPort(nullptr, *owner, nullptr);
        *error = GetLastError();
        DestroyWindow(*owner);
        return static_cast<INT_PTR>(added);
    });
    frame = run ? WaitDialog(run->threadId, nullptr, IDC_WIZ_NEXT) : nullptr;
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(*owner, GetWindow(frame, GW_OWNER));
    EXPECT_EQ(1, SharedRead(&g_addDialogOpen));
    Click(frame, IDCANCEL);
    EXPECT_EQ(FALSE, Finish());
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANCELLED), addError);
    EXPECT_EQ(0, SharedRead(&g_addDialogOpen)) << "the guard is released again";
    MonitorLock();
    EXPECT_EQ(nullptr, FindPort("WAITING")) << "a window never adopts";
    MonitorUnlock();
}

TEST_F(Wizard, EmailIsOfferedOnlyWhenTheMonitorsSmtpValueIsSet)
{
    for (DWORD smtp : {0u, 1u, 2u}) {
        SCOPED_TRACE(smtp);
        if (smtp == 2)
            DeleteRegistryTree(g_monitor.monitorKey); // no SMTP value at all
        else
            monitor.SetMonitorDword("SMTP", smtp);
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
        ASSERT_NE(nullptr, Open());
        HWND email = GetDlgItem(Page(0), IDC_QXEMAIL);
        bool offered = smtp == 1;
        EXPECT_EQ(offered, IsWindowVisible(email) != FALSE);
        EXPECT_EQ(offered, IsWindowEnabled(email) != FALSE);
        EXPECT_EQ(offered ? "Fixture four ways" : "Fixture three ways", ControlText(Page(0), IDC_SETUMEI01));
        EXPECT_EQ(1u, ButtonChecked(Page(0), IDC_QXLPR)) << "LPR is chosen at the start";
        if (offered) {
            Choose(0, IDC_QXEMAIL);
        } else {
            // Under Wine a click reaches even a disabled button, checks it (the
            // others of its group go off) and is reported: a disabled E-mail
            // button must not choose e-mail.
            SendMessageA(email, BM_SETCHECK, BST_CHECKED, 0);
            SendMessageA(GetDlgItem(Page(0), IDC_QXLPR), BM_SETCHECK, BST_UNCHECKED, 0);
            PostCommand(Page(0), IDC_QXEMAIL);
        }
        Click(frame, IDC_WIZ_NEXT);
        EXPECT_TRUE(WaitPage(offered ? 8 : 6));
        Click(frame, IDCANCEL);
        EXPECT_EQ(FALSE, Finish());
    }
}

TEST_F(Wizard, PortNamePageRefusesEmptyExistingAndForbiddenNames)
{
    ASSERT_NE(nullptr, Open());
    Forward(Routes()[2], "NEWPORT"); // Raw, up to its summary
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(1));
    EXPECT_EQ("Fixture no name", RefusedName(""));
    EXPECT_EQ("Fixture exists EXISTING", RefusedName("EXISTING")) << "compared without letter case";
    EXPECT_EQ("Fixture exists lpt1:", RefusedName("lpt1:"));
    EXPECT_EQ("Fixture character \\", RefusedName("A\\B"));
    EXPECT_EQ("Fixture character ,", RefusedName("A,B"));
    EXPECT_STREQ("NEWPORT", WizardOf(frame)->portName) << "a refused name is not kept";

    // 39 characters cannot be typed.
    HWND edit = GetDlgItem(Page(1), IDC_PORT_NAME_EDIT);
    SetControlText(Page(1), IDC_PORT_NAME_EDIT, "");
    for (int i = 0; i < 39; ++i)
        SendMessageA(edit, WM_CHAR, 'a' + i % 26, 1);
    EXPECT_EQ(38, GetWindowTextLengthA(edit));
    // A longer text put there otherwise is read no further than 38 characters.
    std::string longName(45, 'N');
    SetControlText(Page(1), IDC_PORT_NAME_EDIT, longName.c_str());
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_TRUE(WaitPage(14));
    EXPECT_EQ(longName.substr(0, 38), WizardOf(frame)->portName);
    Click(frame, IDCANCEL);
    EXPECT_EQ(FALSE, Finish());
    EXPECT_TRUE(NoPortRegistered());
}

TEST_F(Wizard, EnterInTheNameFieldMovesOnAndKeepsTheKeyboardUsable)
{
    ASSERT_NE(nullptr, Open());
    Forward(Routes()[2], "NEWPORT"); // Raw, up to its summary
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(1));
    HWND edit = GetDlgItem(Page(1), IDC_PORT_NAME_EDIT);
    GUITHREADINFO info = {sizeof info};
    ASSERT_TRUE(WaitUntil([&] { return GetGUIThreadInfo(run->threadId, &info) && info.hwndFocus == edit; }));
    // Enter goes to the default button (Next) while the focus stays in the
    // field, whose page is then hidden and disabled.
    PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
    ASSERT_TRUE(WaitPage(14));
    DWORD_PTR answer = 0;
    EXPECT_NE(0, SendMessageTimeoutA(frame, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer)) << "the wizard answers";
    EXPECT_TRUE(WaitUntil([&] {
        return GetGUIThreadInfo(run->threadId, &info) && info.hwndFocus == GetDlgItem(frame, IDC_WIZ_NEXT);
    })) << "the focus is on Finish, not in the hidden page";
    // From page 0 on: the focus is not left in the hidden page 0.
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(1));
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(13));
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(0));
    HWND raw = GetDlgItem(Page(0), IDC_QXRAW);
    SendMessageA(frame, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(raw), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return GetGUIThreadInfo(run->threadId, &info) && info.hwndFocus == raw; }));
    PostMessageA(raw, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(raw, WM_KEYUP, VK_RETURN, 0xC0000001);
    ASSERT_TRUE(WaitPage(13));
    EXPECT_TRUE(WaitUntil([&] {
        return GetGUIThreadInfo(run->threadId, &info) && info.hwndFocus == GetDlgItem(Page(13), IDC_HOST_EDIT);
    })) << "the focus went to the host field of page 13";
    // Escape cancels.
    PostMessageA(GetDlgItem(frame, IDC_WIZ_NEXT), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(FALSE, Finish());
    EXPECT_TRUE(NoPortRegistered());
}

TEST_F(Wizard, CancelOnEveryPageLeavesTheRegistryUntouched)
{
    monitor.SetMonitorDword("SMTP", 1);
    std::vector<bool> cancelled(kWizardPageCount, false);
    for (const Route& route : Routes()) {
        for (size_t stop = 0; stop < route.pages.size(); ++stop) {
            int target = route.pages[stop];
            if (cancelled[target])
                continue;
            SCOPED_TRACE(std::string(route.name) + ", page " + std::to_string(target));
            ASSERT_NE(nullptr, Open(route.proxyEnable));
            Route part = route;
            part.pages.resize(stop + 1);
            part.banners.resize(stop + 1);
            // Forward checks the captions of a complete route: only the pages matter here.
            for (size_t i = 0; i < part.pages.size(); ++i) {
                ASSERT_TRUE(WaitPage(part.pages[i]));
                if (i + 1 == part.pages.size())
                    break;
                if (part.pages[i] == 0)
                    Choose(0, route.protocolButton);
                if (part.pages[i] == 2)
                    Choose(2, route.connectionButton);
                if (part.pages[i] == 1)
                    SetControlText(Page(1), IDC_PORT_NAME_EDIT, "CANCELLED");
                NextFrom(part.pages[i]);
            }
            Click(frame, IDCANCEL);
            EXPECT_EQ(FALSE, Finish());
            EXPECT_EQ(static_cast<DWORD>(ERROR_CANCELLED), addError);
            EXPECT_TRUE(NoPortRegistered());
            cancelled[target] = true;
        }
    }
    for (int i = 0; i < kWizardPageCount; ++i)
        EXPECT_TRUE(cancelled[i]) << "page " << i << " was not reached";
}

// A listener that never accepts: a connection test's request is taken by
// the backlog and never answered.
struct SilentPrinter {
    SOCKET listener = INVALID_SOCKET;
    std::string url;
    SilentPrinter()
    {
        EnsureWinsock();
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener, 4);
        int length = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/ipp";
    }
    ~SilentPrinter() { closesocket(listener); }
};

TEST_F(Wizard, CancelOnTheUrlPageStopsTheConnectionTestBeforeTheWizardEnds)
{
    ScaleTiming(100); // one readiness wait: 150 ms
    SilentPrinter printer;
    ASSERT_NE(nullptr, Open());
    Forward(Routes()[7], "NEWPORT"); // IPP, modem
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(1));
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(4));
    WizardState* wizard = WizardOf(frame);
    IppSettings* scratch = IppOf(wizard->testPort);
    lstrcpynA(scratch->url, printer.url.c_str(), sizeof scratch->url);
    ASSERT_TRUE(ParsePrinterUrl(scratch));
    HANDLE thread = nullptr;
    ASSERT_TRUE(StartConnectionTest(wizard->testPort, &thread));
    HANDLE watch = nullptr;
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &watch, SYNCHRONIZE, FALSE, 0);
    wizard->testThread = thread;
    ASSERT_TRUE(WaitUntil([&] { return scratch->statusConnection != INVALID_SOCKET; })) << "the exchange is under way";
    Click(frame, IDCANCEL);
    EXPECT_EQ(FALSE, Finish());
    // The wizard freed the scratch record only after the test's thread ended.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(watch, 0));
    CloseHandle(watch);
}

DWORD WINAPI StuckTest(void* release)
{
    WaitForSingleObject(static_cast<HANDLE>(release), 30000);
    return 0;
}

TEST_F(Wizard, AConnectionTestThatDoesNotStopDelaysTheEndOnlyBriefly)
{
    ScaleTiming(100); // the stop waits 200 ms at most
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stuck = CreateThread(nullptr, 0, StuckTest, release, 0, nullptr);
    ASSERT_NE(nullptr, Open(1));
    Forward(Routes()[6], "NEWPORT"); // IPP, proxy on
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(1));
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(4));
    HANDLE handed = nullptr;
    DuplicateHandle(GetCurrentProcess(), stuck, GetCurrentProcess(), &handed, 0, FALSE, DUPLICATE_SAME_ACCESS);
    WizardOf(frame)->testThread = handed;
    Click(frame, IDCANCEL);
    INT_PTR result = Finish();
    EXPECT_EQ(FALSE, result) << "the wizard ended although the test thread still runs";
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(stuck, 0));
    SetEvent(release);
    WaitForSingleObject(stuck, 5000);
    CloseHandle(stuck);
    CloseHandle(release);
}

// Not a test: images of every wizard page with the shipped catalogues for
// `./run screenshots`, which sets SCREENSHOT_DIR (a Windows path); only then
// does this program have it.
class WizardScreenshots : public Wizard {
    void TestBody() override
    {
        char folder[MAX_PATH] = "";
        GetEnvironmentVariableA("SCREENSHOT_DIR", folder, sizeof folder);
        for (std::string language : {"en", "ja"}) {
            std::string catalogues = ProgramDir() + "catalogues\\" + language + "\\";
            monitor.WriteInstallFile(MESSAGE_CATALOGUE, ReadFileBytes(catalogues + MESSAGE_CATALOGUE));
            monitor.WriteInstallFile(DIALOG_CATALOGUE, ReadFileBytes(catalogues + DIALOG_CATALOGUE));
            std::vector<bool> shot(kWizardPageCount, false);
            for (const Route& route : Routes()) {
                ASSERT_NE(nullptr, Open(route.proxyEnable));
                for (size_t i = 0; i < route.pages.size(); ++i) {
                    int page = route.pages[i];
                    ASSERT_TRUE(WaitPage(page));
                    if (page == 1)
                        SetControlText(Page(1), IDC_PORT_NAME_EDIT, "NEWPORT");
                    if (!shot[page])
                        Shoot(frame, folder, "wizard_page" + std::to_string(page) + "_" + language);
                    shot[page] = true;
                    if (page == 0)
                        Choose(0, route.protocolButton);
                    if (page == 2)
                        Choose(2, route.connectionButton);
                    if (i + 1 < route.pages.size())
                        NextFrom(page);
                }
                Click(frame, IDCANCEL);
                EXPECT_EQ(FALSE, Finish());
            }
        }
    }
    static void Shoot(HWND window, const std::string& folder, const std::string& name)
    {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(200);
        std::string shot = CaptureWindow(window, name.c_str());
        std::string target = folder + "\\" + name + ".bmp";
        EXPECT_TRUE(!shot.empty() && MoveFileExA(shot.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
            << target;
    }
};

[[maybe_unused]] const bool kScreenshotsWanted = GetEnvironmentVariableA("SCREENSHOT_DIR", nullptr, 0) > 0 &&
                                ::testing::RegisterTest("Screenshots", "Wizard", nullptr, nullptr, __FILE__, __LINE__,
                                                        []() -> Wizard* { return new WizardScreenshots; });

} // namespace
