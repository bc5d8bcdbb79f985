// IPP ports against the fault-injecting printer: responses the reader must
// take, responses that must fail the job visibly and at once, a printer that
// stops reading, the status watcher on its own connections, and a body that
// ends short of the size its head announced.
#include "integration/ipp_port_fixture.h"
#include "resource.h"

namespace {

const char kPort[] = "IPPF";

class IppFaultTest : public IppPortTest {
protected:
    WORD serverPort = 0;

    bool StartServer(PeerProcess* server, const std::string& options)
    {
        serverPort = FreeTcpPort();
        return serverPort != 0 && StartIppFaultServer(server, serverPort, options);
    }
    IppPortOptions Port(DWORD chunked, DWORD timeoutMs = 20000)
    {
        IppPortOptions options;
        options.url = "http://127.0.0.1:" + std::to_string(serverPort) + "/ipp";
        options.chunked = chunked;
        options.timeoutMs = timeoutMs;
        return options;
    }
    // Points the port at the server just started (a job start reads its
    // settings again) and loads the monitor the first time.
    void UsePort(const IppPortOptions& options, bool* loaded)
    {
        AddPort(kPort, options);
        if (!*loaded) {
            *loaded = m.Load();
            ASSERT_TRUE(*loaded) << m.error;
        }
    }
};

// Interim responses, chunk extensions and trailers, byte-wise delivery, a
// body ended by the close, both orders of Transfer-Encoding and a wrong
// Content-Length, an ignored-attributes status, no accepting attribute, a
// peer that keeps the connection open: each job prints.
TEST_F(IppFaultTest, ResponsesTheReaderTakes)
{
    struct Row {
        const char* script;
        DWORD chunked;
    } rows[] = {
        {"interim-same", 0}, {"interim-later", 1}, {"chunked-ext", 0}, {"bytewise", 1},   {"close-delimited", 0},
        {"te-cl", 1},        {"cl-te", 0},         {"ignored", 1},     {"no-accepting", 0}, {"keepalive", 1},
    };
    bool loaded = false;
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.script);
        PeerProcess server("ippfault");
        ASSERT_TRUE(StartServer(&server, std::string("--script ") + row.script)) << server.error;
        UsePort(Port(row.chunked), &loaded);
        ++n;
        std::string data = TestPattern(20000 + n, n);
        ASSERT_TRUE(Print(kPort, data, 100 + n, "carol", "Notes"));
        FaultRequest query = ReadFaultRequest(server, 1);
        FaultRequest job = ReadFaultRequest(server, 2);
        EXPECT_EQ(query.Field("operation"), "11");
        EXPECT_EQ(job.Field("operation"), "2");
        EXPECT_EQ(std::stoul(job.Field("request_id")), std::stoul(query.Field("request_id")) + 1);
        EXPECT_EQ(job.Field("framing"), row.chunked ? "chunked" : "length");
        EXPECT_EQ(job.Field("requesting-user-name"), "carol");
        EXPECT_EQ(job.Field("document-name"), "Notes");
        EXPECT_EQ(job.document, data);
        EXPECT_EQ(FaultRequestCount(server), 2u);
    }
}

// Each fails the job at once (holding peers are not waited out), shows the
// send error or the IPP status, sends no second Print-Job, and EndDocPort fails.
TEST_F(IppFaultTest, ResponsesThatFailTheJobVisibly)
{
    struct Row {
        const char* options;
        DWORD chunked;
        const char* message;
        size_t requests; // connections the job makes
    } rows[] = {
        {"--print 500", 0, "send error", 2},
        {"--print 426", 1, "send error", 2},
        {"--print bad-status", 0, "send error", 2},
        {"--print no-blank", 1, "send error", 2},
        {"--print huge-length", 0, "send error", 2},
        {"--print long-length", 1, "send error", 2},
        {"--print negative-length", 1, "send error", 2},
        {"--print dup-length", 0, "send error", 2},
        {"--print chunk-ffffffff", 1, "send error", 2},
        {"--gpa big", 0, "send error", 1},
        {"--print drop", 1, "send error", 2},
        {"--print ipp-error:status=0x0507", 0, "error code 0507", 2},
        {"--print ipp-error:status=0x0507", 1, "error code 0507", 2},
        {"--gpa 500", 0, "send error", 1},
    };
    bool loaded = false;
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.options) + (row.chunked ? " chunked" : " counted"));
        PeerProcess server("ippfault");
        ASSERT_TRUE(StartServer(&server, row.options)) << server.error;
        UsePort(Port(row.chunked), &loaded);
        ++n;
        std::unique_ptr<PrintJob> job = StartPrint(kPort, TestPattern(30000, n), 200 + n);
        MessageBoxSeen box = AnswerMessageBox(0, IDOK, 15000);
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.text, row.message);
        ASSERT_TRUE(Finish(job.get(), 15000)) << "a held connection was waited out";
        EXPECT_FALSE(job->Succeeded());
        EXPECT_EQ(FaultRequestCount(server), row.requests);
    }
}

// A printer that refuses IPP/1.0 is asked again in 1.1, and the job goes in 1.1.
TEST_F(IppFaultTest, APrinterThatRefusesVersion10IsAskedIn11)
{
    PeerProcess server("ippfault");
    ASSERT_TRUE(StartServer(&server, "--script version-1.1")) << server.error;
    bool loaded = false;
    UsePort(Port(0), &loaded);
    std::string data = TestPattern(5000, 8);
    ASSERT_TRUE(Print(kPort, data, 310));
    EXPECT_EQ(ReadFaultRequest(server, 1).Field("version"), "1.0");
    EXPECT_EQ(ReadFaultRequest(server, 2).Field("version"), "1.1");
    FaultRequest job = ReadFaultRequest(server, 3);
    EXPECT_EQ(job.Field("operation"), "2");
    EXPECT_EQ(job.Field("version"), "1.1");
    EXPECT_EQ(job.document, data);
}

// The printer asks for credentials while the document is still coming and
// closes: its answer is read, and the password dialog asks.
TEST_F(IppFaultTest, AnAnswerBeforeTheUploadEndedIsReadNotLost)
{
    PeerProcess server("ippfault");
    ASSERT_TRUE(StartServer(&server, "--gpa idle --print early-401")) << server.error;
    bool loaded = false;
    UsePort(Port(0), &loaded);
    std::unique_ptr<PrintJob> job = StartPrint(kPort, TestPattern(4 * 1024 * 1024, 9), 320);
    HWND dialog = WaitDialog(0, nullptr, IDC_USER_EDIT, 15000);
    EXPECT_NE(dialog, nullptr) << "no password dialog";
    if (dialog)
        Click(dialog, IDCANCEL);
    AnswerMessageBox(0, IDOK, 5000); // the job is refused (or, without the answer, a send error)
    ASSERT_TRUE(Finish(job.get()));
    EXPECT_FALSE(job->Succeeded());
}

// The printer stops reading mid-document: the send times out (scaled port
// time-out), the printer answers a status query as idle, the user is asked
// and Retry resumes on the same connection with the first unsent byte.
TEST_F(IppFaultTest, StalledPrinterTimesOutAndRetryResumes)
{
    PeerProcess server("ippfault");
    ASSERT_TRUE(StartServer(&server, "--gpa idle --print stall --rcvbuf 4096 --stall-seconds 60")) << server.error;
    bool loaded = false;
    UsePort(Port(1, 400), &loaded);
    std::string data = TestPattern(8 * 1024 * 1024, 7);
    std::unique_ptr<PrintJob> job = StartPrint(kPort, data, 300);
    HWND window = WaitDialog(0, nullptr, 401, 30000);
    ASSERT_NE(window, nullptr) << "no transmission-error window";
    EXPECT_EQ(ControlText(window, 402), "check the printer");
    server.Touch("resume");
    Click(window, 401);
    ASSERT_TRUE(Finish(job.get()));
    EXPECT_TRUE(job->Succeeded()) << job->Failure();
    FaultRequest print = ReadFaultRequest(server, 2);
    EXPECT_EQ(print.Field("operation"), "2");
    EXPECT_EQ(FirstDifference(print.document, data), std::string::npos) << "resumed without loss or repeat";
    EXPECT_EQ(ReadFaultRequest(server, 3).Field("operation"), "11") << "the printer was asked after the time-out";
}

// A printer that reports an error-severity reason is watched while the job
// runs; every watcher query has a connection of its own, the job one.
TEST_F(IppFaultTest, StatusWatcherUsesConnectionsOfItsOwn)
{
    PeerProcess server("ippfault");
    ASSERT_TRUE(StartServer(&server, "--gpa stopped:reasons=media-jam-error --print stall --rcvbuf 4096 "
                                     "--stall-seconds 2"))
        << server.error;
    bool loaded = false;
    UsePort(Port(0), &loaded);
    std::string data = TestPattern(4 * 1024 * 1024, 8);
    ASSERT_TRUE(Print(kPort, data, 400));
    size_t count = FaultRequestCount(server);
    ASSERT_GE(count, 4u) << "check, job and watcher queries";
    int printJobs = 0;
    unsigned long lastId = 0;
    for (size_t n = 1; n <= count; ++n) {
        FaultRequest request = ReadFaultRequest(server, static_cast<int>(n));
        SCOPED_TRACE(request.json);
        unsigned long id = std::stoul(request.Field("request_id"));
        EXPECT_GT(id, lastId);
        lastId = id;
        if (request.Field("operation") == "2") {
            ++printJobs;
            EXPECT_EQ(FirstDifference(request.document, data), std::string::npos);
        } else {
            EXPECT_EQ(request.Field("operation"), "11");
            EXPECT_EQ(request.Field("document_bytes"), "0");
        }
    }
    EXPECT_EQ(printJobs, 1);
    bool jam = false;
    for (DWORD status : PushedPrinterStatuses())
        jam = jam || (status & PRINTER_STATUS_PAPER_JAM);
    EXPECT_TRUE(jam);
}

// A job the spooler holds whole is streamed with its size announced; a
// document that ends short of it is reset, not closed as if complete.
TEST_F(IppFaultTest, BodyShortOfTheAnnouncedSizeFailsVisibly)
{
    PeerProcess server("ippfault");
    ASSERT_TRUE(StartServer(&server, "")) << server.error;
    IppPortOptions options = Port(0);
    options.nonSpool = 1;
    bool loaded = false;
    UsePort(options, &loaded);
    StandinAddPrinter(kIppPrinter, kPort, 0);
    DWORD jobId = StandinAddJob(kIppPrinter, "Report", "alice", "RAW", 100000);
    StandinSetJobStatus(jobId, JOB_STATUS_PRINTING);
    std::string data = TestPattern(60000, 9);
    const MONITOR95& table = m.table();
    UiThread* run = StartUiThread([&]() -> INT_PTR {
        char port[sizeof kPort];
        lstrcpynA(port, kPort, sizeof port);
        char printer[sizeof kIppPrinter];
        lstrcpynA(printer, kIppPrinter, sizeof printer);
        HANDLE handle = nullptr;
        DOC_INFO_1A info = {const_cast<char*>("Report"), nullptr, const_cast<char*>("RAW")};
        if (!table.pfnOpenPort(port, &handle) ||
            !table.pfnStartDocPort(handle, printer, jobId, 1, reinterpret_cast<BYTE*>(&info)))
            return -1;
        DWORD written = 0;
        table.pfnWritePort(handle, reinterpret_cast<BYTE*>(&data[0]), static_cast<DWORD>(data.size()), &written);
        BOOL ended = table.pfnEndDocPort(handle);
        table.pfnClosePort(handle);
        return ended;
    });
    ASSERT_NE(run, nullptr);
    MessageBoxSeen box = AnswerMessageBox(0, IDOK, 15000);
    EXPECT_TRUE(box.found);
    EXPECT_EQ(box.text, "send error");
    INT_PTR ended = -2;
    ASSERT_TRUE(JoinUiThread(run, &ended, 15000));
    EXPECT_EQ(ended, FALSE);
    FaultRequest print = ReadFaultRequest(server, 2);
    EXPECT_EQ(print.Field("complete"), "false");
    EXPECT_EQ(print.document, data);
}

} // namespace
