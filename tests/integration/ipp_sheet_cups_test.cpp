// The IPP configuration sheet of the real DLL, opened by ConfigurePort and
// driven like a user would: the next job goes where the sheet said.
#include "integration/ipp_port_fixture.h"

#include "sheets_ids.h"

namespace {

class IppSheetCups : public IppPortTest {
protected:
    PeerProcess cups{"cups"};
    WORD cupsPort = 0;
};

// The port starts on a queue cupsd does not have; the sheet moves it to the
// raw queue with chunked transfer, and the next job arrives there byte-exact.
TEST_F(IppSheetCups, JobAfterOkGoesToTheNewQueueWithTheNewSettings)
{
    cupsPort = FreeTcpPort();
    ASSERT_NE(cupsPort, 0);
    ASSERT_TRUE(StartCups(&cups, cupsPort)) << cups.error;
    IppPortOptions options;
    options.url = CupsPrinterUrl(cupsPort, "nosuchqueue");
    AddPort("SHEET", options);
    ASSERT_TRUE(m.Load()) << m.error;

    const MONITOR95& table = m.table();
    UiThread* run = StartUiThread([&table] {
        char name[] = "SHEET";
        return static_cast<INT_PTR>(table.pfnConfigurePort(nullptr, nullptr, name));
    });
    ASSERT_NE(nullptr, run);
    HWND frame = WaitDialog(run->threadId, nullptr, IDC_SHEET_TAB);
    ASSERT_NE(nullptr, frame);
    HWND general = nullptr;
    for (HWND child = FindWindowExA(frame, nullptr, "#32770", nullptr); child && !general;
         child = FindWindowExA(frame, child, "#32770", nullptr))
        if (IsWindowVisible(child) && GetDlgItem(child, IDC_CNF_URI_EDIT))
            general = child;
    ASSERT_NE(nullptr, general);
    SetControlText(general, IDC_CNF_URI_EDIT, CupsPrinterUrl(cupsPort, "raw", "ipp").c_str());
    Click(general, IDC_BTN_HIGH);
    HWND advanced = WaitDialog(run->threadId, nullptr, IDC_LANG_COMBO);
    ASSERT_NE(nullptr, advanced);
    Click(advanced, IDC_CHK_CHUNK);
    EXPECT_TRUE(WaitUntil([&] { return IsDlgButtonChecked(advanced, IDC_CHK_CHUNK) == BST_CHECKED; }));
    SetControlText(advanced, IDC_CNF_CHUNK_EDIT, "1024");
    Click(advanced, IDOK);
    EXPECT_TRUE(WaitWindowGone(advanced));
    Click(frame, IDOK);
    INT_PTR result = 0;
    ASSERT_TRUE(JoinUiThread(run, &result));
    EXPECT_EQ(TRUE, result);

    std::string data = TestPattern(150 * 1024 + 3, 5);
    ASSERT_TRUE(Print("SHEET", data, 12, "alice", "Reconfigured"));
    ASSERT_TRUE(WaitCupsJob(cups, 1)) << cups.error;
    CupsJob job = ReadCupsJob(cups, 1);
    EXPECT_EQ(job.bytes.size(), data.size());
    EXPECT_EQ(FirstDifference(job.bytes, data), std::string::npos);
    EXPECT_EQ(job.title, "Reconfigured");
    DWORD chunked = 0, size = sizeof chunked;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_LOCAL_MACHINE, (m.monitorKey + "\\Ports\\SHEET").c_str(), "Chunked",
                                          RRF_RT_REG_DWORD, nullptr, &chunked, &size));
    EXPECT_EQ(1u, chunked) << "the job went chunked";
}

} // namespace
