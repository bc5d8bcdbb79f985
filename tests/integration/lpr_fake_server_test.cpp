// LPR ports against fake_lpd.py: the streamed form, which real servers do
// not take, and servers that refuse a step, reset the connection or stop
// reading, with what the user is shown and what the server keeps.
#include "integration/lpr_peers.h"

namespace {

class FakeLpdTest : public LprJobTest {
protected:
    PeerProcess lpd{"fake-lpd"};
};

TEST_F(FakeLpdTest, StreamedJobKeepsTheStreamedFormAndEndsWithTheClose)
{
    ASSERT_TRUE(StartFakeLpd(&lpd)) << lpd.error;
    AddPort("STREAM", 1);
    ASSERT_TRUE(m.Load());
    std::string data = TestPattern(300 * 1024 + 5, 11);
    ASSERT_TRUE(Print("STREAM", data, 1234, "carol", "Notes.txt"));
    std::string record = Record(lpd, 1);
    EXPECT_EQ(JsonField(record, "queue"), kLprQueue);
    EXPECT_EQ(JsonField(record, "data_length"), "125899906843000");
    EXPECT_EQ(JsonField(record, "data_name"), "dfA" + JobFileStem(1234));
    EXPECT_EQ(JsonField(record, "control_name"), "cfA" + JobFileStem(1234));
    EXPECT_EQ(JsonField(record, "end_byte"), "") << "a streamed job has no closing zero byte";
    EXPECT_EQ(JsonField(record, "complete"), "true");
    EXPECT_EQ(JsonField(record, "ended"), "closed by client");
    EXPECT_EQ(FirstDifference(Received(lpd, 1), data), std::string::npos);
    const std::string host = ClientHostName();
    const std::string control = "H" + host + "\nPcarol\nJNotes.txt\nfdfA234" + host + "\nUdfA234" + host + "\nNNotes.txt\n";
    EXPECT_EQ(ReadFileBytes(lpd.Path("jobs\\conn-1.cf")), control);
    EXPECT_EQ(JsonField(record, "control_length"), std::to_string(control.size()));
    EXPECT_EQ(Connections(lpd), 1u);
}

TEST_F(FakeLpdTest, RefusedHeaderStepsAreRetriedSilentlyOnANewConnection)
{
    AddPort("LPR1", 0);
    ASSERT_TRUE(m.Load());
    const char* steps[] = {"control-command", "control-file", "data-command"};
    for (const char* step : steps) {
        SCOPED_TRACE(step);
        PeerProcess server("fake-lpd");
        ASSERT_TRUE(StartFakeLpd(&server, std::string("--fault-count 1 --nack ") + step)) << server.error;
        std::string data = TestPattern(70000, 13);
        ASSERT_TRUE(Print("LPR1", data, 3));
        std::string first = Record(server, 1);
        EXPECT_NE(JsonField(first, "steps").find(std::string(step) + ":1"), std::string::npos) << first;
        EXPECT_EQ(JsonField(first, "complete"), "false");
        std::string second = Record(server, 2);
        EXPECT_EQ(JsonField(second, "complete"), "true") << second;
        EXPECT_EQ(JsonField(second, "data_length"), std::to_string(data.size()));
        EXPECT_EQ(Received(server, 2), data);
        EXPECT_EQ(FindDialog(0, nullptr, 0), nullptr) << "a silent retry shows nothing";
    }
}

TEST_F(FakeLpdTest, RefusedClosingByteShowsTheSendErrorOnceAndResets)
{
    ASSERT_TRUE(StartFakeLpd(&lpd, "--nack end")) << lpd.error;
    AddPort("LPR1", 0);
    UseTestCatalogue();
    ASSERT_TRUE(m.Load());
    std::unique_ptr<PrintJob> job = StartPrint("LPR1", TestPattern(5000), 12);
    MessageBoxSeen box = AnswerMessageBox(0, IDOK, 15000);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, "send error");
    ASSERT_TRUE(Finish(job.get()));
    EXPECT_FALSE(job->Succeeded());
    std::string record = Record(lpd, 1);
    EXPECT_EQ(JsonField(record, "end_byte"), "0");
    EXPECT_NE(JsonField(record, "steps").find("end:1"), std::string::npos) << record;
    EXPECT_EQ(Connections(lpd), 1u);
}

TEST_F(FakeLpdTest, ConnectionResetMidJobRestartsFromTheTop)
{
    ASSERT_TRUE(StartFakeLpd(&lpd, "--fault-count 1 --reset-after 100000")) << lpd.error;
    AddPort("LPR1", 0);
    UseTestCatalogue();
    ASSERT_TRUE(m.Load());
    // Larger than the socket buffers take, so the reset meets a send.
    std::string data = TestPattern(6 * 1024 * 1024, 19);
    std::unique_ptr<PrintJob> job = StartPrint("LPR1", data, 21);
    MessageBoxSeen box = AnswerMessageBox(0, IDRETRY, 15000);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, "restart from the top");
    ASSERT_TRUE(Finish(job.get()));
    EXPECT_TRUE(job->Succeeded()) << job->Failure();
    EXPECT_EQ(JsonField(Record(lpd, 1), "data_received"), "100000");
    std::string second = Record(lpd, 2);
    EXPECT_EQ(JsonField(second, "complete"), "true");
    EXPECT_EQ(FirstDifference(Received(lpd, 2), data), std::string::npos) << "the whole job again, from its first byte";
}

TEST_F(FakeLpdTest, StalledStreamGivenUpIsResetNotClosedAsIfWhole)
{
    // A stream the server stops reading times out; the user cancels in the
    // window. Closing gracefully would end the data file early and print a
    // truncated job: the connection must be reset instead, with no second question.
    ASSERT_TRUE(StartFakeLpd(&lpd, "--stall-after 65536")) << lpd.error;
    AddPort("STREAM", 1, 1, 400);
    UseTestCatalogue();
    ASSERT_TRUE(m.Load(10));
    std::unique_ptr<PrintJob> job = StartPrint("STREAM", TestPattern(8 * 1024 * 1024, 23), 30);
    HWND window = WaitDialog(0, nullptr, 401, 30000);
    ASSERT_NE(window, nullptr) << "no transmission-error window";
    EXPECT_EQ(ControlText(window, 402), "check the printer");
    Click(window, IDCANCEL);
    ASSERT_TRUE(Finish(job.get(), 15000)) << "the job waited for a second answer";
    EXPECT_FALSE(job->Succeeded());
    std::string record = Record(lpd, 1);
    EXPECT_EQ(JsonField(record, "stalled"), "true");
    EXPECT_EQ(JsonField(record, "ended"), "reset by client");
}

} // namespace
