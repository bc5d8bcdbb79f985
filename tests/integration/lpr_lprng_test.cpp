// LPR ports against LPRng's lpd: what lands in its spool directory is
// compared byte for byte with what was printed, and its parsed control file
// with the job's names and number.
#include "integration/lpr_peers.h"

namespace {

const DWORD kFirstReservedPort = 721;
const DWORD kLastReservedPort = 731;

class LprngTest : public LprJobTest {
protected:
    PeerProcess lpd{"lprng"};

    std::string SpoolDir() const { return lpd.Path("spool\\lp1"); }
    std::string DataFile(DWORD jobId) const { return ReadFileBytes(SpoolDir() + "\\dfA" + JobFileStem(jobId)); }
    // LPRng's parsed control file ("KEY=value" lines), once lpd has written
    // it in its final form: it may do so just after it has acknowledged the
    // job, and first writes the data files under their temporary names
    // ("datafiles=dfA007vm=/.../temp01...").
    std::string HoldFile(DWORD jobId) const
    {
        char name[16];
        snprintf(name, sizeof name, "hfA%03lu", static_cast<unsigned long>(jobId % 1000));
        std::string text;
        WaitUntil([&] {
            text = ReadFileBytes(SpoolDir() + "\\" + name);
            size_t line = text.find("\ndatafiles=");
            size_t end = line == std::string::npos ? line : text.find('\n', line + 1);
            return end != std::string::npos && text.substr(line + 11, end - line - 11).find('=') == std::string::npos;
        });
        return text;
    }
    static bool HasLine(const std::string& text, const std::string& line)
    {
        return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
    }
};

TEST_F(LprngTest, ByteCountJobsLandExactlyWithTheirNamesAndNumbers)
{
    ASSERT_TRUE(StartLprng(&lpd)) << lpd.error;
    AddPort("LPR1", 0);
    ASSERT_TRUE(m.Load());
    const std::string host = ClientHostName();

    // One byte, and names holding line breaks that must not make lines of their own.
    ASSERT_TRUE(Print("LPR1", "x", 7, "al\r\nice", "Re\nport"));
    EXPECT_EQ(DataFile(7), "x");
    std::string hold = HoldFile(7);
    EXPECT_TRUE(HasLine(hold, "H=" + host)) << hold;
    EXPECT_TRUE(HasLine(hold, "P=al  ice")) << hold;
    EXPECT_TRUE(HasLine(hold, "J=Re port")) << hold;
    EXPECT_TRUE(HasLine(hold, "number=007")) << hold;
    EXPECT_TRUE(HasLine(hold, "size=1")) << hold;
    EXPECT_TRUE(HasLine(hold, "datafiles=dfA" + JobFileStem(7) + " ")) << hold;

    // Job 1234 is number 234 in both file names.
    std::string data = TestPattern(300 * 1024 + 17, 3);
    ASSERT_TRUE(Print("LPR1", data, 1234, "bob", "Plan"));
    std::string landed = DataFile(1234);
    EXPECT_EQ(landed.size(), data.size());
    EXPECT_EQ(FirstDifference(landed, data), std::string::npos);
    hold = HoldFile(1234);
    EXPECT_TRUE(HasLine(hold, "number=234")) << hold;
    EXPECT_TRUE(HasLine(hold, "P=bob")) << hold;
    EXPECT_TRUE(HasLine(hold, "J=Plan")) << hold;
    EXPECT_TRUE(HasLine(hold, "size=" + std::to_string(data.size()))) << hold;
}

// A large job, an empty one (the queue is asked to receive a job, which is
// aborted at once: nothing lands), and a streamed one, which LPRng answers
// with "no space" (0x02): the job goes on from its spool file with its exact
// size.
TEST_F(LprngTest, LargeEmptyAndStreamedJobsLandAsPrinted)
{
    ASSERT_TRUE(StartLprng(&lpd)) << lpd.error;
    AddPort("BYTECOUNT", 0);
    AddPort("STREAM", 1);
    ASSERT_TRUE(m.Load());
    struct Row {
        const char* port;
        size_t size;
        DWORD jobId;
    } rows[] = {{"BYTECOUNT", 50 * 1024 * 1024 + 3, 51}, {"BYTECOUNT", 0, 5}, {"STREAM", 200 * 1024 + 1, 42}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.jobId);
        std::string data = TestPattern(row.size, row.jobId);
        ASSERT_TRUE(Print(row.port, data, row.jobId));
        if (row.size == 0) {
            EXPECT_TRUE(ListFiles(SpoolDir(), "?fA005*").empty());
            continue;
        }
        std::string landed = DataFile(row.jobId);
        EXPECT_EQ(landed.size(), data.size());
        EXPECT_EQ(FirstDifference(landed, data), std::string::npos);
        EXPECT_TRUE(HasLine(HoldFile(row.jobId), "size=" + std::to_string(data.size())));
    }
}

TEST_F(LprngTest, ServerRefusingUnreservedPortsShowsTheQueueWindow)
{
    // Every reserved port is taken, so the port falls back to any local
    // port, which this server refuses (0x01 to the receive-job command).
    ASSERT_TRUE(StartLprng(&lpd, true)) << lpd.error;
    std::vector<SOCKET> held;
    for (DWORD p = kFirstReservedPort; p <= kLastReservedPort; ++p) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in local = {};
        local.sin_family = AF_INET;
        local.sin_port = htons(static_cast<u_short>(p));
        // A port still in TIME_WAIT from an earlier job cannot be bound: busy too.
        bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local);
        held.push_back(s);
    }
    AddPort("RESERVED", 0);
    UseTestCatalogue();
    ASSERT_TRUE(m.Load(10)); // the window waits 1 s before it retries by itself
    std::unique_ptr<PrintJob> job = StartPrint("RESERVED", TestPattern(1000), 9);
    HWND window = WaitDialog(0, nullptr, 401, 15000);
    ASSERT_NE(window, nullptr) << "no transmission-error window";
    EXPECT_EQ(ControlText(window, 402), "check the queue");
    Click(window, IDCANCEL);
    ASSERT_TRUE(Finish(job.get()));
    EXPECT_FALSE(job->Succeeded());
    EXPECT_TRUE(ListFiles(SpoolDir(), "dfA*").empty());
    for (SOCKET s : held)
        closesocket(s);
}

} // namespace
