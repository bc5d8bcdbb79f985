// Ports made with the add-port wizard of a copy of the monitor DLL, then
// printed through: the job must reach the real server byte for byte (LPRng
// for LPR, the socat sink on the Raw port 9100 the wizard always uses).
#include <gtest/gtest.h>

#include <string>

#include "lpr_peers.h"
#include "support/ui_driver.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

namespace {

const WORD kRawPort = 9100;

class WizardPortPrint : public LprJobTest {
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
    bool Shown(int index)
    {
        return WaitUntil([&] { return IsWindowVisible(Page(index)) != FALSE; });
    }

    // The DLL's AddPort opens its wizard; the protocol's pages are filled
    // with `host` (and for LPR the queue `queue`, put into the list as a
    // print server's answer would), the port named `name`, and Finish
    // pressed. AddPort's result.
    INT_PTR AddThroughWizard(int protocolButton, int serverPage, int summaryPage, const char* host, const char* name,
                             const char* queue = nullptr)
    {
        const MONITOR95* table = &m.table();
        run = StartUiThread([table] { return static_cast<INT_PTR>(table->pfnAddPort(nullptr, nullptr, nullptr)); });
        frame = run ? WaitDialog(run->threadId, nullptr, IDC_WIZ_NEXT) : nullptr;
        EXPECT_NE(nullptr, frame);
        if (!frame)
            return -2;
        Click(Page(0), protocolButton);
        EXPECT_TRUE(WaitUntil([&] { return IsDlgButtonChecked(Page(0), protocolButton) == BST_CHECKED; }));
        Click(frame, IDC_WIZ_NEXT);
        EXPECT_TRUE(Shown(serverPage));
        SetControlText(Page(serverPage), IDC_HOST_EDIT, host);
        if (queue) {
            SendDlgItemMessageA(Page(serverPage), IDC_QUEUE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(queue));
            SendDlgItemMessageA(Page(serverPage), IDC_QUEUE_LIST, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(queue));
        }
        Click(frame, IDC_WIZ_NEXT);
        EXPECT_TRUE(Shown(WIZARD_PAGE_PORT_NAME));
        SetControlText(Page(WIZARD_PAGE_PORT_NAME), IDC_PORT_NAME_EDIT, name);
        Click(frame, IDC_WIZ_NEXT);
        EXPECT_TRUE(Shown(summaryPage));
        Click(frame, IDC_WIZ_NEXT);
        INT_PTR result = -2;
        bool ended = JoinUiThread(run, &result);
        run = nullptr;
        return ended ? result : -2;
    }
};

TEST_F(WizardPortPrint, AnLprPortMadeByTheWizardPrintsToLprng)
{
    PeerProcess lpd{"wizard-lprng"};
    ASSERT_TRUE(StartLprng(&lpd)) << lpd.error;
    ASSERT_TRUE(m.Load());
    // LPRng serves its queue lp1 only.
    ASSERT_EQ(TRUE, AddThroughWizard(IDC_QXLPR, WIZARD_PAGE_LPR_SERVER, WIZARD_PAGE_LPR_SUMMARY, "127.0.0.1", "WIZLPR",
                                     kLprQueue));
    std::string data = TestPattern(200 * 1024 + 3, 5);
    ASSERT_TRUE(Print("WIZLPR", data, 42));
    std::string stored = ReadFileBytes(lpd.Path("spool\\lp1\\dfA" + JobFileStem(42)));
    EXPECT_EQ(data.size(), stored.size());
    EXPECT_EQ(std::string::npos, FirstDifference(stored, data));
    EXPECT_TRUE(lpd.Stop());
}

TEST_F(WizardPortPrint, ARawPortMadeByTheWizardPrintsToTheSink)
{
    PeerProcess sink{"wizard-raw"};
    ASSERT_TRUE(sink.Start(RawSinkCommand(kRawPort, sink.unixDir), kRawPort)) << sink.error;
    ASSERT_TRUE(sink.WaitReady()) << sink.error;
    ASSERT_TRUE(m.Load());
    ASSERT_EQ(TRUE, AddThroughWizard(IDC_QXRAW, WIZARD_PAGE_RAW_SERVER, WIZARD_PAGE_RAW_SUMMARY, "127.0.0.1", "WIZRAW"));
    std::string data = TestPattern(300 * 1024 + 11, 6);
    ASSERT_TRUE(Print("WIZRAW", data, 43));
    ASSERT_TRUE(sink.WaitFiles("conn-", ".bin", 1)) << sink.error;
    std::string received = sink.ReadAll(sink.Files("conn-", ".bin").front());
    EXPECT_EQ(data.size(), received.size());
    EXPECT_EQ(std::string::npos, FirstDifference(received, data));
    EXPECT_TRUE(sink.Stop());
}

} // namespace
