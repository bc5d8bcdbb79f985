// The add-port wizard's IPP pages in a copy of the monitor DLL against real
// printers: cupsd (the connection test brings back the queue's make and
// model, the port made prints byte for byte), and the IPP fault server (a
// demand for credentials counts as an answer, a printer that brings back
// nothing leaves the summary's printer empty, a stalled printer is left at
// once on Cancel).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ipp_peers.h"
#include "lpr_peers.h"
#include "monitor/port_record.h"
#include "support/ui_driver.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

namespace {

const char kMessages[] = "[MESSAGE]\r\nTITLE=Fixture caption\r\nIDS_INVALID_CONNECT=Fixture no answer\r\n";
const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

class WizardIpp : public LprJobTest {
protected:
    UiThread* run = nullptr;
    HWND frame = nullptr;

    void TearDown() override
    {
        if (run && !JoinUiThread(run, nullptr, 0))
            ADD_FAILURE() << "the wizard was left open";
        LprJobTest::TearDown();
    }

    HWND Page(int index) { return GetDlgItem(frame, kWizardPageIdBase + index); }
    bool WaitPage(int index)
    {
        return WaitUntil([&] { return IsWindowVisible(Page(index)) && WizardOf(frame)->currentPage == index; });
    }

    // Loads the DLL (`divisor` for its timing) and opens its wizard on the
    // URL page: IPP, no system proxy, connection through a modem.
    void OpenAtUrlPage(DWORD divisor = 100)
    {
        HKEY key;
        DWORD off = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
        RegCloseKey(key);
        m.UseCatalogue(kMessages);
        ASSERT_TRUE(m.Load(divisor));
        OpenWizardAtUrlPage();
    }

    void OpenWizardAtUrlPage()
    {
        const MONITOR95* table = &m.table();
        run = StartUiThread([table] { return static_cast<INT_PTR>(table->pfnAddPort(nullptr, nullptr, nullptr)); });
        frame = run ? WaitDialog(run->threadId, nullptr, IDC_WIZ_NEXT) : nullptr;
        ASSERT_NE(nullptr, frame);
        Click(Page(0), IDC_QXIPP);
        ASSERT_TRUE(WaitUntil([&] { return IsDlgButtonChecked(Page(0), IDC_QXIPP) == BST_CHECKED; }));
        Click(frame, IDC_WIZ_NEXT);
        ASSERT_TRUE(WaitPage(WIZARD_PAGE_CONNECTION));
        Click(frame, IDC_WIZ_NEXT);
        ASSERT_TRUE(WaitPage(WIZARD_PAGE_IPP_URL));
        EXPECT_EQ("http://", ControlText(Page(4), IDC_URL_EDIT));
    }

    // Types `url` and presses Next: the connection test starts.
    void TestUrl(const std::string& url)
    {
        SetControlText(Page(4), IDC_URL_EDIT, url.c_str());
        Click(frame, IDC_WIZ_NEXT);
    }

    INT_PTR Finish(DWORD boundMs = kUiWaitMs)
    {
        INT_PTR result = -2;
        bool ended = JoinUiThread(run, &result, boundMs);
        run = nullptr;
        return ended ? result : -2;
    }

    std::string PortText(const char* port, const char* value)
    {
        char text[300] = "";
        DWORD size = sizeof text - 1, type = REG_NONE;
        std::string key = m.monitorKey + "\\Ports\\" + port;
        if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_SZ, &type, text, &size) != ERROR_SUCCESS)
            return "<none>";
        return text;
    }
    DWORD PortDword(const char* port, const char* value)
    {
        DWORD data = 0xDEAD, size = sizeof data;
        std::string key = m.monitorKey + "\\Ports\\" + port;
        if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS)
            return 0xDEAD;
        return data;
    }
};

TEST_F(WizardIpp, CupsAnswersTheTestWithItsModelAndThePortMadePrintsToIt)
{
    PeerProcess cups{"wizard-cups"};
    WORD port = FreeTcpPort();
    ASSERT_TRUE(StartCups(&cups, port)) << cups.error;
    OpenAtUrlPage();
    std::string url = CupsPrinterUrl(port, "raw");
    TestUrl(url);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_PORT_NAME)) << "the printer answered: no question";
    EXPECT_EQ(url.substr(0, 38), ControlText(Page(1), IDC_PORT_NAME_EDIT));
    SetControlText(Page(1), IDC_PORT_NAME_EDIT, "WIZIPP");
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_IPP_SUMMARY));
    EXPECT_EQ(url, ControlText(Page(5), IDC_SUMMARY_URL));
    EXPECT_EQ("WIZIPP", ControlText(Page(5), IDC_SUMMARY_IPP_PORT));
    EXPECT_EQ("Local Raw Printer", ControlText(Page(5), IDC_SUMMARY_MODEL)) << "cupsd's make and model of the queue";
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_EQ(TRUE, Finish());
    EXPECT_EQ(1u, PortDword("WIZIPP", "PrintMode"));
    EXPECT_EQ(url, PortText("WIZIPP", "URL"));
    EXPECT_EQ(0u, PortDword("WIZIPP", "UseProxy"));
    EXPECT_EQ(0u, PortDword("WIZIPP", "Chunked"));
    EXPECT_EQ("en-us", PortText("WIZIPP", "Language"));

    std::string data = TestPattern(256 * 1024 + 5, 7);
    ASSERT_TRUE(Print("WIZIPP", data, 44));
    ASSERT_TRUE(WaitCupsJob(cups, 1)) << cups.error;
    CupsJob job = ReadCupsJob(cups, 1);
    EXPECT_EQ(data.size(), job.bytes.size());
    EXPECT_EQ(std::string::npos, FirstDifference(job.bytes, data));
    EXPECT_TRUE(cups.Stop());
}

TEST_F(WizardIpp, ModelOfAnAnswerAndNothingFromAClosedPortOrACredentialsDemand)
{
    PeerProcess printer{"wizard-model"}, locked{"wizard-401"};
    WORD printerPort = FreeTcpPort();
    ASSERT_TRUE(StartIppFaultServer(&printer, printerPort, "--gpa idle:model=Office%20Laser")) << printer.error;
    WORD lockedPort = FreeTcpPort();
    ASSERT_TRUE(StartIppFaultServer(&locked, lockedPort, "--gpa 401")) << locked.error;
    OpenAtUrlPage();

    TestUrl("http://127.0.0.1:" + std::to_string(printerPort) + "/ipp");
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_PORT_NAME));
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_IPP_SUMMARY));
    EXPECT_EQ("Office Laser", ControlText(Page(5), IDC_SUMMARY_MODEL));

    // A closed port: the question; No stays on the page, Yes goes on with
    // no printer name (not the one of the test before).
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_PORT_NAME));
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_IPP_URL));
    std::string closed = "http://127.0.0.1:" + std::to_string(FreeTcpPort()) + "/ipp";
    TestUrl(closed);
    EXPECT_EQ("Fixture no answer", AnswerMessageBox(run->threadId, IDNO).text);
    EXPECT_TRUE(WaitUntil([&] {
        return CountDialogs(run->threadId, nullptr, kMessageBoxTextId) == 0 &&
               IsWindowEnabled(GetDlgItem(frame, IDC_WIZ_NEXT)) != FALSE;
    }));
    EXPECT_EQ(WIZARD_PAGE_IPP_URL, WizardOf(frame)->currentPage);
    TestUrl(closed);
    MessageBoxSeen second = AnswerMessageBox(run->threadId, IDYES);
    EXPECT_EQ("Fixture no answer", second.text) << second.caption;
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_PORT_NAME));
    Click(frame, IDC_WIZ_NEXT);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_IPP_SUMMARY));
    EXPECT_EQ("", ControlText(Page(5), IDC_SUMMARY_MODEL)) << "no answer: no printer name";
    EXPECT_EQ(closed, ControlText(Page(5), IDC_SUMMARY_URL));

    // A printer that asks for credentials has answered: no question.
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_PORT_NAME));
    Click(frame, IDC_WIZ_BACK);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_IPP_URL));
    std::string guarded = "http://127.0.0.1:" + std::to_string(lockedPort) + "/ipp";
    TestUrl(guarded);
    ASSERT_TRUE(WaitPage(WIZARD_PAGE_PORT_NAME));
    EXPECT_EQ(guarded, WizardOf(frame)->ipp->url);
    Click(frame, IDCANCEL);
    EXPECT_EQ(FALSE, Finish());
    EXPECT_TRUE(printer.Stop());
    EXPECT_TRUE(locked.Stop());
}

// A printer whose accept queue is full: a connection attempt gets no
// answer at all (the SYN is dropped), so the test's connect blocks.
struct FullPrinter {
    SOCKET listener = INVALID_SOCKET;
    std::vector<SOCKET> waiting;
    WORD port = 0;
    FullPrinter()
    {
        EnsureWinsock();
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = Loopback(0);
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener, 1);
        int length = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        for (int i = 0; i < 4; ++i) {
            SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
            u_long nonBlocking = 1;
            ioctlsocket(s, FIONBIO, &nonBlocking);
            connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
            waiting.push_back(s);
        }
    }
    ~FullPrinter()
    {
        for (SOCKET s : waiting)
            closesocket(s);
        closesocket(listener);
    }
};

// Cancel during a test: the wizard ends within the UI bound, far below one
// readiness wait (15 s) and the stop limit (20 s), and only after the
// test's thread ended. Two printers: one that stalls in the middle of its
// answer (the test waits to receive), one that never accepts (the test's
// connect blocks).
TEST_F(WizardIpp, CancelLeavesAStalledPrinterAtOnce)
{
    PeerProcess stalled{"wizard-stall"};
    WORD stalledPort = FreeTcpPort();
    // Announces more body than it sends, then holds the connection.
    ASSERT_TRUE(StartIppFaultServer(&stalled, stalledPort, "--gpa long-length")) << stalled.error;
    FullPrinter full;
    OpenAtUrlPage(1); // the real waits
    for (WORD port : {stalledPort, full.port}) {
        SCOPED_TRACE(port == stalledPort ? "stalled answer" : "never accepts");
        if (port != stalledPort)
            OpenWizardAtUrlPage();
        TestUrl("http://127.0.0.1:" + std::to_string(port) + "/ipp");
        ASSERT_TRUE(WaitUntil([&] { return WizardOf(frame)->testThread != nullptr; }));
        HANDLE watch = nullptr;
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), WizardOf(frame)->testThread, GetCurrentProcess(), &watch,
                                    SYNCHRONIZE, FALSE, 0));
        if (port == stalledPort) {
            EXPECT_TRUE(stalled.WaitFile("req-1.json")) << "the test's request arrived";
        }
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(frame, IDC_WIZ_NEXT))) << "Next is disabled while testing";
        Click(frame, IDCANCEL);
        EXPECT_EQ(FALSE, Finish()) << "the wizard answers Cancel at once";
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(watch, 0)) << "and ends only after the test's thread ended";
        CloseHandle(watch);
    }
    EXPECT_TRUE(stalled.Stop());
}

} // namespace
