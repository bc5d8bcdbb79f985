// The error reporter's paths that show nothing: silent retries, the printer
// status pushed to the spooler, close requests to a window that does not
// answer; and the texts the windows rely on (string table, shipped catalogues).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/error_reporter.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "resource.h"
#include "standin/spooler_standin.h"
#include "support/fresh_monitor.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"

namespace {

const char kPrinter[] = "Printer1";
const DWORD kQuiet = 2000; // a silent answer comes at once; a box would keep it

class SilentReporter : public ::testing::Test {
protected:
    FreshMonitor monitor;
    PortRecord* port = nullptr;

    void SetUp() override
    {
        StandinReset();
        StandinAddPrinter(kPrinter, "P1", 0);
        MonitorHostServices services = StandinServices(100);
        InstallHostServices(&services);
        port = CreatePortRecord(nullptr, "P1", "type", PROTOCOL_IPP);
        ASSERT_NE(nullptr, port);
        ASSERT_TRUE(g_monitor.host.OpenPrinterA(const_cast<char*>(kPrinter), &port->printer, nullptr));
        port->jobId = StandinAddJob(kPrinter, "doc", "user", "RAW", 10);
    }

    void TearDown() override
    {
        if (!port)
            return;
        g_monitor.host.ClosePrinter(port->printer);
        RemovePortRecord(port);
    }

    // The reporter's answer when it came without anyone answering a window.
    INT_PTR QuietAnswer(DWORD code)
    {
        port->errorCode = code;
        PortRecord* p = port;
        UiThread* run = StartUiThread([p] { return static_cast<INT_PTR>(ReportTransmissionError(p)); });
        INT_PTR result = -1;
        EXPECT_TRUE(JoinUiThread(run, &result, kQuiet)) << "code " << code << " showed a window";
        return result;
    }
};

TEST_F(SilentReporter, SilentCodesAndReconnectingPortsRetryWithoutAWord)
{
    for (DWORD code : {ERR_IPP_RETRY_SILENT, ERR_IPP_RETRY_SILENT_2, ERR_LPR_RETRY_SILENT}) {
        port->bytesSent = 99;
        EXPECT_EQ(1, QuietAnswer(code)) << code;
        EXPECT_EQ(99u, port->bytesSent) << code;
    }
    port->reconnect = 1;
    for (DWORD code : {ERR_IPP_TIMEOUT, ERR_LPR_RECONNECT, ERR_RAW_RECONNECT}) {
        port->bytesSent = 99;
        EXPECT_EQ(1, QuietAnswer(code)) << code;
        EXPECT_EQ(99u, port->bytesSent) << "a reconnect resumes; code " << code;
    }
}

TEST_F(SilentReporter, ReadyPrinterRetriesClosesTheWindowAndPushesTheStatus)
{
    port->printerStatus = PRINTER_STATUS_PAPER_OUT;
    EXPECT_TRUE(RetryIfPrinterReady(port));
    EXPECT_EQ(static_cast<DWORD>(PRINTER_STATUS_PAPER_OUT), StandinPrinterStatus(kPrinter));

    IppOf(port)->severityBits = 8;
    EXPECT_FALSE(RetryIfPrinterReady(port));
    IppOf(port)->severityBits = 4 | 2;
    port->printerStatus = PRINTER_STATUS_OFFLINE;
    EXPECT_FALSE(RetryIfPrinterReady(port));
    EXPECT_EQ(static_cast<DWORD>(PRINTER_STATUS_OFFLINE), StandinPrinterStatus(kPrinter));

    // Code 103 with a ready printer: retry, and a window marked open (here
    // one that never answers) is asked to close and marked closed.
    port->printerStatus = 0;
    SharedWrite(&port->errorWindowOpen, 1);
    EXPECT_EQ(1, QuietAnswer(ERR_IPP_PRINTER_NOT_READY));
    EXPECT_EQ(0, SharedRead(&port->errorWindowOpen));
    EXPECT_EQ(WINDOW_CLOSE_REQUESTED, SharedRead(&port->errorWindowState));
}

TEST_F(SilentReporter, CloseRequestIsBoundedWhenTheWindowDoesNotEnd)
{
    EXPECT_TRUE(RequestErrorWindowClose(port)) << "no window: nothing to wait for";
    SharedWrite(&port->errorWindowOpen, 1);
    DWORD start = GetTickCount();
    EXPECT_FALSE(RequestErrorWindowClose(port));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took + 15, 10 * g_timing.errorWindowClosePoll);
    EXPECT_LT(took, 30 * g_timing.errorWindowClosePoll + 500);
    EXPECT_EQ(1, SharedRead(&port->errorWindowOpen)) << "only CloseErrorWindow marks it closed";
    CloseErrorWindow(port);
    EXPECT_EQ(0, SharedRead(&port->errorWindowOpen));
}

TEST_F(SilentReporter, PrinterStatusGoesToTheSpooler)
{
    port->printerStatus = PRINTER_STATUS_OFFLINE | PRINTER_STATUS_PAPER_JAM;
    EXPECT_TRUE(ReportPrinterStatus(port));
    EXPECT_EQ(static_cast<DWORD>(PRINTER_STATUS_OFFLINE | PRINTER_STATUS_PAPER_JAM), StandinPrinterStatus(kPrinter));
    std::vector<std::string> log = StandinCallLog();
    EXPECT_EQ("SetPrinterA level=0 cmd=4 status=0x88", log.back());

    g_monitor.host.ClosePrinter(port->printer);
    port->printer = nullptr;
    EXPECT_FALSE(ReportPrinterStatus(port));
}

std::wstring ModuleString(UINT id)
{
    WCHAR text[512] = L"";
    LoadStringW(GetModuleHandleA(nullptr), id, text, 512);
    return text;
}

TEST(ErrorReporterResources, WindowMessagesInTheStringTable)
{
    EXPECT_EQ(L"Network Printer での送信中にエラーが発生しました。プリンタの電源が入ってオンラインになっているか確認し"
              L"てください。[再試行]を押すと印刷を再開します。",
              ModuleString(IDS_LPR_RETRY));
    EXPECT_EQ(L"Network Printer での送信中にエラーが発生しました。プリントサーバの内部ポート名が正しいか確認してください"
              L"。[再試行]を押すと印刷を再開します。",
              ModuleString(IDS_LPR_QUEUE_ERR));
    EXPECT_EQ(L"Network Printer での送信中にエラーが発生しました。プリンタの電源が入っていないか、オフラインになってい"
              L"ます。印刷処理を続行しますか？ [再試行]を押すと印刷を再開します。",
              ModuleString(IDS_IPP_RETRY));
    EXPECT_EQ(L"プリントサーバからの応答がありませんでした。印刷処理を続行しますか？ 続行する場合は[再試行]を押してくだ"
              L"さい。",
              ModuleString(IDS_IPP_TIMEOUT));
}

TEST(ErrorReporterResources, ShippedCataloguesHoldTheWindowsTexts)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir = std::string(path, length);
    dir = dir.substr(0, dir.find_last_of('\\')) + "\\catalogues\\";
    const char* const dialogKeys[][2] = {{"TITLE", "RETRY"},       {"TITLE", "PASS"},       {"BUTTON", "IDC_RETRY"},
                                         {"BUTTON", "IDCANCEL"},   {"BUTTON", "IDOK"},      {"LABEL", "IDC_SETUMEI11"},
                                         {"LABEL", "IDC_NAME"},    {"LABEL", "IDC_KEYWORD"}};
    for (const char* language : {"en", "ja"}) {
        std::string dialogs = dir + language + "\\" DIALOG_CATALOGUE;
        char text[512];
        for (const auto& key : dialogKeys)
            EXPECT_GT(GetPrivateProfileStringA(key[0], key[1], "", text, sizeof text, dialogs.c_str()), 0u)
                << language << " " << key[0] << " " << key[1];
    }
}

} // namespace
