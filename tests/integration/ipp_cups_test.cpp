// IPP ports against cupsd: counted and chunked jobs byte-exact with the
// names converted from the OEM code page, the proxy path, Basic
// authorization through the password dialog (before the job and after its
// body), a stopped queue mirrored in the printer status, a rejecting queue.
#include "integration/ipp_port_fixture.h"

#include "resource.h"

namespace {

size_t CountOf(const std::string& text, const char* word)
{
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

// Shift_JIS (the OEM code page of these runs) and UTF-8 forms of the names.
const char kSjisUser[] = "\x93\xfa\x96\x7b";                  // 日本
const char kUtf8User[] = "\xe6\x97\xa5\xe6\x9c\xac";
const char kSjisDocument[] = "\x83\x65\x83\x58\x83\x67.txt"; // テスト.txt
const char kUtf8Document[] = "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88.txt";

class CupsTest : public IppPortTest {
protected:
    PeerProcess cups{"cups"};
    WORD cupsPort = 0;

    void StartCupsd()
    {
        cupsPort = FreeTcpPort();
        ASSERT_NE(cupsPort, 0);
        ASSERT_TRUE(StartCups(&cups, cupsPort)) << cups.error;
    }
    IppPortOptions Queue(const std::string& queue, DWORD chunked)
    {
        IppPortOptions options;
        options.url = CupsPrinterUrl(cupsPort, queue);
        options.chunked = chunked;
        return options;
    }
    void ExpectJob(int cupsJob, const std::string& data, const std::string& user, const std::string& title)
    {
        ASSERT_TRUE(WaitCupsJob(cups, cupsJob)) << cups.error;
        CupsJob job = ReadCupsJob(cups, cupsJob);
        EXPECT_EQ(job.bytes.size(), data.size());
        EXPECT_EQ(FirstDifference(job.bytes, data), std::string::npos);
        EXPECT_EQ(job.user, user);
        EXPECT_EQ(job.title, title);
    }
    // Answers the password dialog with the test user's credentials.
    static bool AnswerPassword()
    {
        HWND dialog = WaitDialog(0, nullptr, IDC_USER_EDIT, 15000);
        if (!dialog)
            return false;
        SetControlText(dialog, IDC_USER_EDIT, kIppUser);
        SetControlText(dialog, IDC_PASSWORD_EDIT, kIppPassword);
        Click(dialog, IDOK);
        return WaitWindowGone(dialog);
    }
};

TEST_F(CupsTest, CountedAndChunkedJobsArriveByteExactWithUtf8Names)
{
    StartCupsd();
    AddPort("COUNTED", Queue("raw", 0));
    IppPortOptions chunked = Queue("raw", 1);
    chunked.url = CupsPrinterUrl(cupsPort, "raw", "ipp");
    chunked.maxChunk = 5000;
    AddPort("CHUNKED", chunked);
    ASSERT_TRUE(m.Load()) << m.error;

    std::string counted = TestPattern(300 * 1024 + 7, 3);
    ASSERT_TRUE(Print("COUNTED", counted, 5, "alice", "Report"));
    ExpectJob(1, counted, "alice", "Report");

    std::string streamed = TestPattern(1024 * 1024 + 13, 4);
    ASSERT_TRUE(Print("CHUNKED", streamed, 6, kSjisUser, kSjisDocument));
    ExpectJob(2, streamed, kUtf8User, kUtf8Document);
    EXPECT_NE(CupsErrorLog(cups).find("1.0 Print-Job"), std::string::npos) << "IPP/1.0 on the wire";

    // An empty job asks the printer (a wrong URL would show) but sends no
    // Print-Job, which CUPS refuses without document data.
    size_t queries = CountOf(CupsErrorLog(cups), "Get-Printer-Attributes");
    ASSERT_TRUE(Print("CHUNKED", "", 7, "alice", "Empty"));
    EXPECT_GT(CountOf(CupsErrorLog(cups), "Get-Printer-Attributes"), queries);
    EXPECT_FALSE(ReadCupsJob(cups, 3).found);
}

TEST_F(CupsTest, ProxyCarriesQueryAndJobInAbsoluteForm)
{
    StartCupsd();
    PeerProcess proxy("proxy");
    WORD proxyPort = FreeTcpPort();
    ASSERT_TRUE(StartHttpProxy(&proxy, proxyPort)) << proxy.error;
    IppPortOptions options = Queue("raw", 1);
    options.proxy = "127.0.0.1";
    options.proxyPort = proxyPort;
    AddPort("PROXIED", options);
    ASSERT_TRUE(m.Load()) << m.error;
    std::string data = TestPattern(200 * 1024, 9);
    ASSERT_TRUE(Print("PROXIED", data, 8));
    ExpectJob(1, data, "alice", "Report");
    std::vector<std::string> lines = ProxyRequestLines(proxy);
    ASSERT_EQ(lines.size(), 2u) << "the printer check and the job";
    for (const std::string& line : lines)
        EXPECT_EQ(line, "POST http://127.0.0.1:" + std::to_string(cupsPort) + "/printers/raw HTTP/1.1");
}

// "auth" asks for credentials at the printer check; "authjob" only after the
// whole counted body: the job is then sent again from its first byte.
TEST_F(CupsTest, CredentialsFromThePasswordDialogPrintTheJob)
{
    StartCupsd();
    AddPort("AUTH", Queue("auth", 0));
    AddPort("AUTHJOB", Queue("authjob", 0));
    ASSERT_TRUE(m.Load()) << m.error;
    const char* ports[] = {"AUTH", "AUTHJOB"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(ports[i]);
        std::string data = TestPattern(150 * 1024 + i, 20 + i);
        std::unique_ptr<PrintJob> job = StartPrint(ports[i], data, 30 + i);
        ASSERT_TRUE(AnswerPassword()) << "no password dialog";
        ASSERT_TRUE(Finish(job.get()));
        EXPECT_TRUE(job->Succeeded()) << job->Failure();
        ExpectJob(i + 1, data, kIppUser, "Report");
        EXPECT_EQ(FindDialog(0, nullptr, IDC_USER_EDIT), nullptr) << "asked once";
    }
    EXPECT_FALSE(ReadCupsJob(cups, 3).found) << "no partial or doubled job";
}

TEST_F(CupsTest, StreamedJobRefusedAfterItsBodyFailsVisibly)
{
    StartCupsd();
    AddPort("AUTHJOB", Queue("authjob", 1));
    ASSERT_TRUE(m.Load()) << m.error;
    std::unique_ptr<PrintJob> job = StartPrint("AUTHJOB", TestPattern(40000, 2), 40);
    MessageBoxSeen box = AnswerMessageBox(0, IDOK, 15000);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, "error code 0402");
    ASSERT_TRUE(Finish(job.get()));
    EXPECT_FALSE(job->Succeeded()) << "a refused job is not reported as printed";
}

TEST_F(CupsTest, StoppedQueueIsMirroredInThePrinterStatus)
{
    StartCupsd();
    AddPort("PAUSED", Queue("paused", 0));
    ASSERT_TRUE(m.Load()) << m.error;
    // Stopped but accepting: the job goes and waits in the queue; the
    // error-severity reason keeps the status watcher asking meanwhile.
    ASSERT_TRUE(Print("PAUSED", TestPattern(50000, 5), 50));
    bool mirrored = false;
    for (DWORD status : PushedPrinterStatuses())
        mirrored = mirrored || status == (PRINTER_STATUS_OFFLINE | PRINTER_STATUS_PAPER_JAM);
    EXPECT_TRUE(mirrored) << "paused,media-jam-error as offline and paper jam";
    EXPECT_FALSE(ReadCupsJob(cups, 1).found) << "the stopped queue holds the job";
}

// Idle or stopped, a queue that does not accept jobs gets no Print-Job.
TEST_F(CupsTest, RejectingQueueIsAskedAgainSilentlyUntilTheJobIsDeleted)
{
    StartCupsd();
    AddPort("REJECT", Queue("reject", 0));
    AddPort("STOPPED", Queue("stopped", 0));
    ASSERT_TRUE(m.Load()) << m.error;
    size_t asked = 0;
    auto queries = [&] { return CountOf(CupsErrorLog(cups), "Get-Printer-Attributes"); };
    const char* ports[] = {"REJECT", "STOPPED"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(ports[i]);
        DWORD jobId = 60 + i;
        std::unique_ptr<PrintJob> job = StartPrint(ports[i], TestPattern(1000, 6), jobId);
        EXPECT_TRUE(WaitUntil([&] { return queries() >= asked + 3; }, 15000)) << "the printer is asked again";
        EXPECT_EQ(FindDialog(0, nullptr, 0), nullptr) << "no message while it does not accept";
        StandinDeleteJob(jobId);
        ASSERT_TRUE(Finish(job.get()));
        EXPECT_FALSE(job->Succeeded());
        EXPECT_EQ(CupsErrorLog(cups).find("Print-Job"), std::string::npos) << "no job was sent";
        asked = queries();
    }
}

} // namespace
