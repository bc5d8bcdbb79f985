// The add-port wizard's LPR and Raw pages and its IPP proxy page as real
// windows driven from the test thread: the host checks and their messages,
// the proposals, the search with the internal-port-name lookup against the
// fake print server, Back, and what Finish leaves in the registry (or reports when it fails);
// the proxy fields from the user's ProxyServer value, the proxy port's
// range and the language the connection test asks in.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "monitor/config_store.h"
#include "monitor/monitor.h"
#include "monitor/port_ops.h"
#include "standin/spooler_standin.h"
#include "support/discovery_peer.h"
#include "support/fresh_monitor.h"
#include "support/peer_process.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"
#include "ui/page_common.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

namespace {

const char kMessages[] = "[MESSAGE]\r\nTITLE=Fixture caption\r\nIDS_INVALIDSERVERNAME=Fixture no server\r\n"
                         "IDS_INVALIDPORTNAME_S=Fixture bad server\r\nIDS_INVALIDQUEUENAME=Fixture no queue\r\n"
                         "IDS_ADD_PORT_ERROR=Fixture not added\r\n";
const char kDialogs[] = "[TITLE]\r\nADDPORT=Fixture wizard\r\nSEARCH=Fixture search\r\n";
const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

using Texts = std::vector<std::string>;
const Texts kDefaultQueues = {"lp", "lp_p1", "lp_p2", "lp_s1", "sp"};

class ServerPages : public ::testing::Test {
protected:
    FreshMonitor monitor;
    UiThread* run = nullptr;
    HWND frame = nullptr;

    void SetUp() override
    {
        EnsureWinsock(); // the monitor's start-up does it for the DLL
        monitor.WriteInstallFile(MESSAGE_CATALOGUE, kMessages);
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
        StandinReset();
        MonitorHostServices services = StandinServices(100);
        InstallHostServices(&services);
        StandinSetSpoolerPorts({"LPT1:"});
        HKEY key;
        DWORD off = 0;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
            RegCloseKey(key);
        }
    }

    void TearDown() override
    {
        if (run && !JoinUiThread(run, nullptr, 0))
            ADD_FAILURE() << "the wizard was left open";
    }

    // Opens the wizard and goes to the protocol's server page.
    void OpenAt(int protocolButton, int serverPage)
    {
        run = StartUiThread([] { return static_cast<INT_PTR>(AddPort(nullptr, nullptr, nullptr)); });
        frame = run ? WaitDialog(run->threadId, nullptr, IDC_WIZ_NEXT) : nullptr;
        ASSERT_NE(nullptr, frame);
        ASSERT_TRUE(WaitPage(0));
        Click(Page(0), protocolButton);
        ASSERT_TRUE(WaitUntil([&] { return ButtonChecked(Page(0), protocolButton) == 1; }));
        Click(frame, IDC_WIZ_NEXT);
        ASSERT_TRUE(WaitPage(serverPage));
    }

    INT_PTR Finish()
    {
        INT_PTR result = -2;
        bool ended = JoinUiThread(run, &result);
        run = nullptr;
        return ended ? result : -2;
    }

    HWND Page(int index) { return GetDlgItem(frame, kWizardPageIdBase + index); }
    bool WaitPage(int index)
    {
        return WaitUntil([&] { return IsWindowVisible(Page(index)) && WizardOf(frame)->currentPage == index; });
    }

    // Next on the server page with `host`: the message it shows; the page
    // stays, its host field focused.
    std::string NextWithHost(int page, const char* host)
    {
        SetControlText(Page(page), IDC_HOST_EDIT, host);
        Click(frame, IDC_WIZ_NEXT);
        MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return CountDialogs(run->threadId, nullptr, kMessageBoxTextId) == 0; }));
        EXPECT_EQ(page, WizardOf(frame)->currentPage) << host;
        return box.text;
    }
    // Next with `host` leads to the port-name page.
    bool Accepted(int page, const char* host)
    {
        SetControlText(Page(page), IDC_HOST_EDIT, host);
        Click(frame, IDC_WIZ_NEXT);
        return WaitPage(WIZARD_PAGE_PORT_NAME);
    }

    Texts Queues()
    {
        Texts names;
        HWND list = GetDlgItem(Page(WIZARD_PAGE_LPR_SERVER), IDC_QUEUE_LIST);
        int count = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count && i < 64; ++i) {
            char name[64] = "";
            SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
            names.push_back(name);
        }
        return names;
    }

    std::string PortText(const char* port, const char* value)
    {
        char text[300] = "";
        DWORD size = sizeof text - 1, type = REG_NONE;
        std::string key = monitor.PortKey(port);
        if (!QueryRegValue(HKEY_LOCAL_MACHINE, key.c_str(), value, text, &size, &type) || type != REG_SZ)
            return "<none>";
        return text;
    }
    DWORD PortDword(const char* port, const char* value)
    {
        DWORD data = 0xDEAD, size = sizeof data, type = REG_NONE;
        std::string key = monitor.PortKey(port);
        if (!QueryRegValue(HKEY_LOCAL_MACHINE, key.c_str(), value, &data, &size, &type) || type != REG_DWORD)
            return 0xDEAD;
        return data;
    }
};

TEST_F(ServerPages, RawHostChecksProposalSummaryAndRegistry)
{
    OpenAt(IDC_QXRAW, WIZARD_PAGE_RAW_SERVER);
    EXPECT_EQ("Fixture no server", NextWithHost(13, ""));
    EXPECT_EQ("Fixture bad server", NextWithHost(13, "256.1.1.1")) << "not an address, and no name server knows it";
    EXPECT_EQ("Fixture bad server", NextWithHost(13, "no-such-printer.invalid"));
    ASSERT_TRUE(Accepted(13, "255.255.255.255")) << "the broadcast address is taken at once";
    EXPECT_EQ("255.255.255.255_9100", ControlText(Page(1), IDC_PORT_NAME_EDIT));
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(13));
    EXPECT_EQ("255.255.255.255", ControlText(Page(13), IDC_HOST_EDIT)) << "Back keeps the host";
    ASSERT_TRUE(Accepted(13, "127.0.0.1"));
    EXPECT_EQ("127.0.0.1_9100", ControlText(Page(1), IDC_PORT_NAME_EDIT));
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_RAW_SUMMARY));
    EXPECT_EQ("127.0.0.1", ControlText(Page(14), IDC_HOST_EDIT));
    EXPECT_EQ("127.0.0.1_9100", ControlText(Page(14), IDC_PORT_NAME_EDIT));
    Click(frame, IDC_WIZ_NEXT);
    EXPECT_EQ(TRUE, Finish());
    EXPECT_EQ(3u, PortDword("127.0.0.1_9100", "PrintMode"));
    EXPECT_EQ("127.0.0.1", PortText("127.0.0.1_9100", "HostName"));
    EXPECT_EQ(9100u, PortDword("127.0.0.1_9100", "PortNum"));
}

TEST_F(ServerPages, AFailedRegistrationIsReportedOnTheRawAndLprSummaries)
{
    struct Case {
        int button, server, summary;
    };
    for (Case c : {Case{IDC_QXRAW, 13, 14}, Case{IDC_QXLPR, 6, 7}}) {
        SCOPED_TRACE(c.summary);
        OpenAt(c.button, c.server);
        ASSERT_TRUE(Accepted(c.server, "127.0.0.1"));
        Click(frame, IDC_WIZ_NEXT);
        ASSERT_TRUE(WaitPage(c.summary));
        // A name the registration refuses (the name page would not let it through).
        WizardOf(frame)->portName[0] = '\0';
        Click(frame, IDC_WIZ_NEXT);
        MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK);
        EXPECT_EQ("Fixture not added", box.text);
        EXPECT_EQ(FALSE, Finish());
    }
}

TEST_F(ServerPages, LprQueueChecksProposalBackAndRegistry)
{
    OpenAt(IDC_QXLPR, WIZARD_PAGE_LPR_SERVER);
    EXPECT_EQ(kDefaultQueues, Queues());
    EXPECT_EQ("lp", ControlText(Page(6), IDC_QUEUE_LIST)) << "the first default is selected";
    EXPECT_EQ(19541u, WizardOf(frame)->lpr->portNumber);
    EXPECT_EQ("Fixture no server", NextWithHost(6, ""));
    EXPECT_EQ("Fixture bad server", NextWithHost(6, "1.2.3.256"));
    SendDlgItemMessageA(Page(6), IDC_QUEUE_LIST, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ("Fixture no queue", NextWithHost(6, "127.0.0.1"));
    SendDlgItemMessageA(Page(6), IDC_QUEUE_LIST, CB_SETCURSEL, 3, 0);
    ASSERT_TRUE(Accepted(6, "127.0.0.1"));
    EXPECT_EQ("127.0.0.1:lp_s1", ControlText(Page(1), IDC_PORT_NAME_EDIT));
    // Back to the protocol page and forward again: empty host, the defaults.
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(6));
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(0));
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_TRUE(WaitPage(6));
    EXPECT_EQ("", ControlText(Page(6), IDC_HOST_EDIT));
    EXPECT_EQ("lp", ControlText(Page(6), IDC_QUEUE_LIST));
    EXPECT_EQ(kDefaultQueues, Queues());

    SendDlgItemMessageA(Page(6), IDC_QUEUE_LIST, CB_SETCURSEL, 1, 0);
    ASSERT_TRUE(Accepted(6, "127.0.0.1"));
    SetControlText(Page(1), IDC_PORT_NAME_EDIT, "WIZLPR");
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_LPR_SUMMARY));
    EXPECT_EQ("127.0.0.1", ControlText(Page(7), IDC_SUMMARY_HOST));
    EXPECT_EQ("lp_p1", ControlText(Page(7), IDC_SUMMARY_QUEUE));
    EXPECT_EQ("WIZLPR", ControlText(Page(7), IDC_SUMMARY_PORT));
    Click(frame, IDC_WIZ_NEXT);
    EXPECT_EQ(TRUE, Finish());
    EXPECT_EQ(0u, PortDword("WIZLPR", "PrintMode"));
    EXPECT_EQ("127.0.0.1", PortText("WIZLPR", "HostName"));
    EXPECT_EQ("lp_p1", PortText("WIZLPR", "PortName"));
    EXPECT_EQ(19541u, PortDword("WIZLPR", "PortNum"));
}

class ServerSearch : public ServerPages {
protected:
    PeerProcess peer{"wizard-search"};

    void Serve(const std::string& script)
    {
        ASSERT_TRUE(peer.Start(FakePrintServerCommand(peer.unixDir, script, 19541, 9))) << peer.error;
        ASSERT_TRUE(peer.WaitReady()) << peer.error << "\n" << peer.ReadAll("peer.log");
    }

    // Search on `page`, then OK on the first server listed.
    void SearchAndChoose(int page, int button)
    {
        PostCommand(Page(page), button);
        HWND search = WaitDialog(run->threadId, "Fixture search", 259);
        ASSERT_NE(nullptr, search);
        ASSERT_TRUE(WaitUntil([&] { return SendDlgItemMessageA(search, 259, LVM_GETITEMCOUNT, 0, 0) > 0; }));
        Click(search, IDOK);
        ASSERT_TRUE(WaitWindowGone(search));
    }
};

TEST_F(ServerSearch, LprSearchFillsTheHostAndTheQueueNamesOfTheServer)
{
    REQUIRE_LOOPBACK_ONLY();
    Serve("normal,names");
    OpenAt(IDC_QXLPR, WIZARD_PAGE_LPR_SERVER);
    SearchAndChoose(6, IDC_BTN_SEEK);
    EXPECT_EQ("127.0.0.1", ControlText(Page(6), IDC_HOST_EDIT));
    EXPECT_EQ(19541u, WizardOf(frame)->lpr->portNumber);
    ASSERT_TRUE(WaitUntil([&] { return Queues() != kDefaultQueues; })) << "the server's queue names arrive";
    Texts found = Queues();
    EXPECT_EQ((Texts{"lp_p1", "lp_s1"}), found) << "the names of the server's ports, sorted";
    EXPECT_EQ(found.front(), ControlText(Page(6), IDC_QUEUE_LIST));
    EXPECT_FALSE(DatagramsOfKind(peer, "port-name").empty());
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_PORT_NAME));
    EXPECT_EQ("127.0.0.1:" + found.front(), ControlText(Page(1), IDC_PORT_NAME_EDIT));
    Click(frame, IDCANCEL);
    EXPECT_EQ(FALSE, Finish());
    EXPECT_TRUE(peer.Stop());
}

TEST_F(ServerSearch, RawSearchFillsTheHostOnly)
{
    REQUIRE_LOOPBACK_ONLY();
    Serve("normal,names");
    OpenAt(IDC_QXRAW, WIZARD_PAGE_RAW_SERVER);
    SearchAndChoose(13, IDC_RAW_SEEK);
    EXPECT_EQ("127.0.0.1", ControlText(Page(13), IDC_HOST_EDIT));
    EXPECT_EQ(9100u, WizardOf(frame)->raw->portNumber);
    EXPECT_TRUE(DatagramsOfKind(peer, "port-name").empty()) << "no query follows a Raw search";
    Click(frame, IDCANCEL);
    EXPECT_EQ(FALSE, Finish());
    EXPECT_TRUE(peer.Stop());
}

} // namespace

namespace {

// The IPP proxy page, opened with the user's proxy switched on.
class ProxyPage : public ServerPages {
protected:
    void SetProxyServer(const std::string& value, bool terminated)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        DWORD on = 1;
        RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
        RegSetValueExA(key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + (terminated ? 1 : 0)));
        RegCloseKey(key);
    }
    void TearDown() override
    {
        ServerPages::TearDown();
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "ProxyServer");
            RegCloseKey(key);
        }
    }
    std::string NextWithPort(const char* address, const char* port)
    {
        SetControlText(Page(3), IDC_PROXY_EDIT, address);
        SetControlText(Page(3), IDC_PROXY_PORT_EDIT, port);
        Click(frame, IDC_WIZ_NEXT);
        MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return CountDialogs(run->threadId, nullptr, kMessageBoxTextId) == 0; }));
        EXPECT_EQ(WIZARD_PAGE_IPP_PROXY, WizardOf(frame)->currentPage) << port;
        return box.text;
    }
};

TEST_F(ProxyPage, FieldsComeFromTheUsersProxyServerValue)
{
    struct Case {
        const char* value;
        bool terminated;
        const char* address;
        const char* port;
    };
    for (Case c : {Case{"ftp=f.example:21;http=proxy.example:8080;https=s.example:443", true, "proxy.example", "8080"},
                   Case{"cache.example:3128", false, "cache.example", "3128"},
                   Case{"cache.example", true, "cache.example", ""},
                   Case{"ftp=f.example:21;https=s.example:443", true, "", ""}}) {
        SCOPED_TRACE(c.value);
        SetProxyServer(c.value, c.terminated);
        OpenAt(IDC_QXIPP, WIZARD_PAGE_IPP_PROXY);
        EXPECT_EQ(1u, ButtonChecked(Page(3), IDC_BTN_PROXY));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Page(3), IDC_PROXY_EDIT)));
        EXPECT_EQ(c.address, ControlText(Page(3), IDC_PROXY_EDIT));
        EXPECT_EQ(c.port, ControlText(Page(3), IDC_PROXY_PORT_EDIT));
        Click(frame, IDCANCEL);
        EXPECT_EQ(FALSE, Finish());
    }
}

TEST_F(ProxyPage, ThePortMustBeATcpPortAndTheLanguageFitsItsField)
{
    monitor.WriteInstallFile(MESSAGE_CATALOGUE, std::string(kMessages) +
                                                    "IDS_INVALID_PROXYNAME=Fixture no proxy\r\n"
                                                    "IDS_INVALID_PROXYNUMBER=Fixture bad proxy port\r\n");
    monitor.WriteInstallFile(DIALOG_CATALOGUE, std::string(kDialogs) + "[COMBO]\r\nDEFAULT=" + std::string(40, 'x') +
                                                   "\r\n");
    SetProxyServer("", true);
    OpenAt(IDC_QXIPP, WIZARD_PAGE_IPP_PROXY);
    EXPECT_EQ(std::string(16, 'x'), WizardOf(frame)->ipp->language) << "cut to the field's 16 characters";
    EXPECT_EQ("Fixture no proxy", NextWithPort("", "8080"));
    for (const char* port : {"", "0", "65536", "4294967296"})
        EXPECT_EQ("Fixture bad proxy port", NextWithPort("proxy.example", port)) << port;
    SetControlText(Page(3), IDC_PROXY_PORT_EDIT, "65535");
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_IPP_URL));
    EXPECT_EQ(65535u, WizardOf(frame)->ipp->proxyPort);
    EXPECT_STREQ("proxy.example", WizardOf(frame)->ipp->proxy);
    // Printing without the proxy: the fields are neither checked nor kept.
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_IPP_PROXY));
    Click(Page(3), IDC_BTN_NO);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(Page(3), IDC_PROXY_EDIT)); }));
    SetControlText(Page(3), IDC_PROXY_EDIT, "");
    SetControlText(Page(3), IDC_PROXY_PORT_EDIT, "");
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_IPP_URL));
    EXPECT_EQ(0u, WizardOf(frame)->ipp->useProxy);
    Click(frame, IDCANCEL);
    EXPECT_EQ(FALSE, Finish());
}

TEST_F(ProxyPage, WithoutALanguageInTheCatalogueTheTestAsksInEnglish)
{
    SetProxyServer("", true);
    OpenAt(IDC_QXIPP, WIZARD_PAGE_IPP_PROXY);
    EXPECT_STREQ("en-us", WizardOf(frame)->ipp->language);
    Click(frame, IDCANCEL);
    EXPECT_EQ(FALSE, Finish());
}

} // namespace
