// The print-server search dialog (257) as a real window under Xvfb, against
// the fake print server on 0.0.0.0:19541 (and :9) inside the test run's
// loopback-only namespace: what is listed and what is dropped, duplicates,
// the 128-entry cap, sorting, the chosen entry, the model filter, column
// widths, the datagrams one search sends, and a late answer after the
// dialog closed.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/search_dialog.h"
#include "discovery_resource.h"
#include "monitor/config_store.h"
#include "monitor/monitor.h"
#include "support/discovery_peer.h"
#include "support/fresh_monitor.h"
#include "support/test_files.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"

namespace {

const char kDialogs[] = "[TITLE]\r\nSEARCH=Fixture search\r\nSERSUB=Fixture settings\r\n"
                        "[LIST]\r\nITEM0=Fixture IP\r\nITEM1=Fixture MAC\r\nITEM2=Fixture model\r\n"
                        "[BUTTON]\r\nIDC_BTN_BROAD=Fixture search again\r\n";

using Texts = std::vector<std::string>;
using Rows = std::vector<Texts>;

class SearchDialog : public ::testing::Test {
protected:
    FreshMonitor monitor;
    PeerProcess peer{"search"};
    UiThread* run = nullptr;
    SearchResult chosen;

    void SetUp() override
    {
        REQUIRE_LOOPBACK_ONLY();
        EnsureWinsock(); // the monitor's start-up does it for the DLL
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
        memset(&chosen, 0x5A, sizeof chosen);
    }

    void TearDown() override
    {
        if (run && !JoinUiThread(run, nullptr, 0))
            ADD_FAILURE() << "a dialog was left open";
    }

    void Serve(const std::string& script, const std::string& options = "")
    {
        ASSERT_TRUE(peer.Start(FakePrintServerCommand(peer.unixDir, script, 19541, 9, options))) << peer.error;
        ASSERT_TRUE(peer.WaitReady()) << peer.error << "\n" << peer.ReadAll("peer.log");
    }

    HWND Open()
    {
        SearchResult* out = &chosen;
        run = StartUiThread([out] { return RunSearchDialog(nullptr, out); });
        return run ? WaitDialog(run->threadId, nullptr, IDC_SEARCH_LIST) : nullptr;
    }

    // The dialog's result, or -2 when it did not end in time.
    INT_PTR Finish()
    {
        INT_PTR result = -2;
        bool ended = JoinUiThread(run, &result);
        run = nullptr;
        return ended ? result : -2;
    }

    static HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_SEARCH_LIST); }

    static int RowCount(HWND dialog) { return static_cast<int>(SendMessageA(List(dialog), LVM_GETITEMCOUNT, 0, 0)); }

    static std::string Cell(HWND dialog, int row, int column)
    {
        char text[64] = "";
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(List(dialog), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }

    static Rows AllRows(HWND dialog)
    {
        Rows rows;
        for (int row = 0; row < RowCount(dialog); ++row)
            rows.push_back({Cell(dialog, row, 0), Cell(dialog, row, 1), Cell(dialog, row, 2)});
        return rows;
    }

    static Texts Column(HWND dialog, int column)
    {
        Texts texts;
        for (int row = 0; row < RowCount(dialog); ++row)
            texts.push_back(Cell(dialog, row, column));
        return texts;
    }

    // Waits for `count` rows, then a little longer to see that no more come.
    static bool WaitRows(HWND dialog, int count)
    {
        bool reached = WaitUntil([&] { return RowCount(dialog) >= count; }, 2 * kUiWaitMs);
        Sleep(300);
        return reached && RowCount(dialog) == count;
    }

    static int RowOfMac(HWND dialog, const std::string& mac)
    {
        for (int row = 0; row < RowCount(dialog); ++row)
            if (Cell(dialog, row, 1) == mac)
                return row;
        return -1;
    }

    static void Select(HWND dialog, int row, bool selected = true)
    {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
        SendMessageA(List(dialog), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }

    static bool Selected(HWND dialog, int row)
    {
        return SendMessageA(List(dialog), LVM_GETITEMSTATE, row, LVIS_SELECTED) != 0;
    }

    // A click on a column header, as the list reports it.
    static void ClickColumn(HWND dialog, int column)
    {
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = List(dialog);
        click.hdr.idFrom = IDC_SEARCH_LIST;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageA(dialog, WM_NOTIFY, IDC_SEARCH_LIST, reinterpret_cast<LPARAM>(&click));
    }

    DWORD MonitorDword(const char* name, DWORD missing = 0xDEAD)
    {
        DWORD value = missing, size = sizeof value;
        if (!QueryRegValue(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, name, &value, &size, nullptr))
            return missing;
        return value;
    }

    void SetModelFilter(int number, const std::string& text)
    {
        std::string name = "SearchModel_" + std::to_string(number);
        DWORD size = static_cast<DWORD>(text.size() + 1), type = REG_SZ;
        ASSERT_TRUE(SetRegValue(g_monitor.monitorKey, name.c_str(), text.c_str(), &size, &type));
    }

    Texts SearchDestinations()
    {
        Texts to;
        for (const DatagramSeen& datagram : DatagramsOfKind(peer, "search")) {
            EXPECT_EQ(19541, datagram.toPort);
            to.push_back(datagram.to);
        }
        return to;
    }
};

TEST_F(SearchDialog, ListsEachServerOnceAndDropsMalformedReplies)
{
    Serve("normal,model16,model16-sjis,wrong-id,short,ip0,duplicate-mac");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Fixture search", WindowText(dialog));
    ASSERT_TRUE(WaitRows(dialog, 3)) << RowCount(dialog) << " rows";
    // Sorted by address, ascending as text.
    EXPECT_EQ((Rows{{"127.0.0.1", "00:80:92:00:00:01", "NP-5300"},
                    {"127.0.0.2", "00:80:92:00:00:02", "ABCDEFGHIJKLMNO"},
                    {"127.0.0.3", "00:80:92:00:00:03", "ABCDEFGHIJKLMN"}}),
              AllRows(dialog))
        << "the first answer of a MAC stays; 16-byte models are cut to 15 bytes on a character boundary";
    EXPECT_TRUE(Selected(dialog, 0)) << "the first row is selected after each reply";
    LVCOLUMNA column = {};
    char header[64] = "";
    column.mask = LVCF_TEXT;
    column.pszText = header;
    column.cchTextMax = sizeof header;
    SendMessageA(List(dialog), LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
    EXPECT_STREQ("Fixture MAC", header);
    EXPECT_EQ("Fixture search again", ControlText(dialog, IDC_SEARCH_AGAIN));

    Click(dialog, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_STREQ("127.0.0.1", chosen.address);
    EXPECT_STREQ("NP-5300", chosen.model);
    EXPECT_EQ(19541, chosen.queryPort);
    const BYTE mac[6] = {0x00, 0x80, 0x92, 0x00, 0x00, 0x01};
    EXPECT_EQ(0, memcmp(mac, chosen.mac, 6));
    EXPECT_EQ((Texts{"255.255.255.255"}), SearchDestinations()) << "no broadcast list: one request";
}

TEST_F(SearchDialog, SendsTheRequestToEachBroadcastAddressInListOrder)
{
    monitor.WriteInstallFile("Dwlmon.ini", "[UserDefined]\r\nUDPCount=3\r\nUDP00=7fffffff\r\nUDP01=7f000001\r\n"
                                           "UDP02=7f000002\r\n");
    Serve("normal");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitRows(dialog, 1));
    ASSERT_TRUE(peer.WaitFiles("dgram-", ".json", 4)) << peer.error;
    EXPECT_EQ((Texts{"255.255.255.255", "127.255.255.255", "127.0.0.1", "127.0.0.2"}), SearchDestinations());
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
    EXPECT_EQ(0x5A, static_cast<BYTE>(chosen.address[0])) << "Cancel leaves the caller's entry alone";
}

TEST_F(SearchDialog, SearchAgainEmptiesTheListAndUsesTheListAsSavedMeanwhile)
{
    Serve("normal,model16");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitRows(dialog, 2));
    monitor.WriteInstallFile("Dwlmon.ini", "[UserDefined]\r\nUDPCount=1\r\nUDP00=7f000001\r\n");
    Click(dialog, IDC_SEARCH_AGAIN);
    ASSERT_TRUE(peer.WaitFiles("dgram-", ".json", 3)) << peer.error;
    ASSERT_TRUE(WaitRows(dialog, 2));
    EXPECT_EQ((Texts{"255.255.255.255", "255.255.255.255", "127.0.0.1"}), SearchDestinations());
    Click(dialog, IDOK);
    EXPECT_EQ(1, Finish());
}

TEST_F(SearchDialog, PortNineAnswerBecomes19541WhenTheServerAnswersFromThere)
{
    Serve("port9,port9-only");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitRows(dialog, 2));
    Select(dialog, RowOfMac(dialog, "00:80:92:00:00:09"));
    Click(dialog, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(19541, chosen.queryPort);

    dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitRows(dialog, 2));
    Select(dialog, RowOfMac(dialog, "00:80:92:00:00:0A"));
    Click(dialog, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(9, chosen.queryPort);
    EXPECT_STREQ("127.0.0.9", chosen.address);
}

TEST_F(SearchDialog, HoldsAtMost128Servers)
{
    Serve("many");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(WaitRows(dialog, 128)) << RowCount(dialog) << " rows";
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

TEST_F(SearchDialog, SortsByTheClickedColumnAndResortsEachReplyByAddress)
{
    Serve("mixed");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitRows(dialog, 4));
    EXPECT_EQ((Texts{"10.0.0.10", "10.0.0.100", "10.0.0.9", "192.168.1.2"}), Column(dialog, 0)) << "as text";
    ClickColumn(dialog, 1);
    EXPECT_EQ((Texts{"00:80:92:00:00:11", "00:80:92:00:00:21", "00:80:92:00:00:31", "00:80:92:00:00:41"}),
              Column(dialog, 1));
    ClickColumn(dialog, 1);
    EXPECT_EQ((Texts{"00:80:92:00:00:41", "00:80:92:00:00:31", "00:80:92:00:00:21", "00:80:92:00:00:11"}),
              Column(dialog, 1));
    ClickColumn(dialog, 0);
    EXPECT_EQ((Texts{"10.0.0.10", "10.0.0.100", "10.0.0.9", "192.168.1.2"}), Column(dialog, 0));
    ClickColumn(dialog, 2);
    EXPECT_EQ((Texts{"alpha", "Bravo", "Charlie", "Delta"}), Column(dialog, 2)) << "lstrcmpA order";
    ClickColumn(dialog, 2);
    EXPECT_EQ((Texts{"Delta", "Charlie", "Bravo", "alpha"}), Column(dialog, 2));
    // A new search: each reply re-sorts by address in that column's direction,
    // which the clicks on the model column left descending.
    Click(dialog, IDC_SEARCH_AGAIN);
    ASSERT_TRUE(peer.WaitFiles("dgram-", ".json", 2)) << "the list is emptied before the request goes out";
    ASSERT_TRUE(WaitRows(dialog, 4));
    EXPECT_EQ((Texts{"192.168.1.2", "10.0.0.9", "10.0.0.100", "10.0.0.10"}), Column(dialog, 0));
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

TEST_F(SearchDialog, ChosenEntryFollowsTheSelectionAndNoneAfterDeselection)
{
    Serve("mixed");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitRows(dialog, 4));
    Select(dialog, 2);
    EXPECT_FALSE(Selected(dialog, 0));
    Click(dialog, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_STREQ("10.0.0.9", chosen.address);
    EXPECT_STREQ("Charlie", chosen.model);

    dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitRows(dialog, 4));
    Select(dialog, 0, false);
    Click(dialog, IDOK);
    EXPECT_EQ(0, Finish()) << "nothing selected: nothing chosen";
    EXPECT_STREQ("10.0.0.9", chosen.address) << "the entry of the earlier choice is left alone";
}

TEST_F(SearchDialog, OkWithAnEmptyListReturnsZeroAfterAnEarlierChoice)
{
    Serve("normal");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitRows(dialog, 1));
    Click(dialog, IDOK);
    EXPECT_EQ(1, Finish());
    ASSERT_TRUE(peer.Stop());

    dialog = Open(); // no server answers now
    ASSERT_NE(nullptr, dialog);
    Sleep(300);
    EXPECT_EQ(0, RowCount(dialog));
    Click(dialog, IDOK);
    EXPECT_EQ(0, Finish());
}

TEST_F(SearchDialog, ModelFilterListsOnlyMatchingModels)
{
    Serve("normal,model16,mixed");
    SetModelFilter(1, "");
    SetModelFilter(2, "LMNO");
    SetModelFilter(3, "5300");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitRows(dialog, 2));
    EXPECT_EQ((Texts{"NP-5300", "ABCDEFGHIJKLMNO"}), Column(dialog, 2)) << "an empty value is skipped";
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

TEST_F(SearchDialog, FilterValuesAfterAGapAreNotRead)
{
    Serve("normal,model16");
    SetModelFilter(2, "5300");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(WaitRows(dialog, 2)) << "no SearchModel_1: every reply is listed";
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

TEST_F(SearchDialog, LongFilterValueIsCutAndStillFilters)
{
    Serve("normal,model16");
    SetModelFilter(1, "ABCDEFGHIJKLMNO" + std::string(60, 'x'));
    SetModelFilter(2, "NP-5300" + std::string(40, '-') + "tail");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    Sleep(500);
    EXPECT_EQ(0, RowCount(dialog)) << "cut to 47 bytes, the texts match no model, and filtering is on";
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

TEST_F(SearchDialog, ColumnWidthsComeFromTheMonitorKeyAndAreSavedAtTheEnd)
{
    Serve("normal");
    monitor.SetMonitorDword("Column00", 150);
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    HWND list = List(dialog);
    EXPECT_EQ(150, SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
    EXPECT_EQ(110, SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0));
    EXPECT_EQ(138, SendMessageA(list, LVM_GETCOLUMNWIDTH, 2, 0));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, 95);
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
    EXPECT_EQ(150u, MonitorDword("Column00"));
    EXPECT_EQ(95u, MonitorDword("Column01"));
    EXPECT_EQ(138u, MonitorDword("Column02"));
}

TEST_F(SearchDialog, LateAnswerAfterTheDialogClosedChangesNothing)
{
    Serve("late", "--delay-ms 400");
    auto answers = [&] {
        std::string log = peer.ReadAll("answers.log");
        size_t count = 0;
        for (size_t at = log.find("late"); at != std::string::npos; at = log.find("late", at + 1))
            ++count;
        return count;
    };
    // A first dialog takes whatever the process keeps once windows were shown.
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
    ASSERT_TRUE(WaitUntil([&] { return answers() == 1; }));
    Sleep(200);
    DWORD handlesBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);

    dialog = Open();
    ASSERT_NE(nullptr, dialog);
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
    EXPECT_TRUE(WaitUntil([&] { return answers() == 2; })) << "the server answered after the dialog closed";
    Sleep(200);
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore) << "the search socket was closed with the dialog";
    EXPECT_EQ(0x5A, static_cast<BYTE>(chosen.address[0]));
    EXPECT_EQ(0, CountDialogs(0, nullptr, 0));
}

TEST_F(SearchDialog, SettingsButtonOpensTheSettingsDialog)
{
    Serve("normal");
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    Click(dialog, IDC_SEARCH_SETTINGS);
    HWND settings = WaitDialog(run->threadId, nullptr, IDC_SERSUB_OCTET1);
    ASSERT_NE(nullptr, settings);
    EXPECT_EQ("Fixture settings", WindowText(settings));
    Click(settings, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(settings));
    EXPECT_TRUE(IsWindowVisible(dialog));
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

// Not a test: images of the search dialogs with the shipped catalogues for
// `./run screenshots`, which sets SCREENSHOT_DIR (a Windows path); only then
// does this program have it.
class SearchScreenshots : public SearchDialog {
    void TestBody() override
    {
        Serve("normal,amp,model16-sjis,port9");
        // A model column narrow enough to show a cut text.
        monitor.SetMonitorDword("Column02", 100);
        monitor.WriteInstallFile("Dwlmon.ini", "[UserDefined]\r\nUDPCount=2\r\nUDP00=c0a80aff\r\nUDP01=ac1fffff\r\n");
        for (std::string language : {"en", "ja"}) {
            monitor.InstallShippedCatalogues(language);
            HWND dialog = Open();
            ASSERT_NE(nullptr, dialog);
            ASSERT_TRUE(WaitRows(dialog, 4));
            EXPECT_TRUE(SaveScreenshot(dialog, "search_" + language));
            Click(dialog, IDC_SEARCH_SETTINGS);
            HWND settings = WaitDialog(run->threadId, nullptr, IDC_SERSUB_OCTET1);
            ASSERT_NE(nullptr, settings);
            SetControlText(settings, IDC_SERSUB_OCTET1, "10");
            SetControlText(settings, IDC_SERSUB_OCTET2, "1");
            SetControlText(settings, IDC_SERSUB_OCTET3, "255");
            SetControlText(settings, IDC_SERSUB_OCTET4, "255");
            EXPECT_TRUE(SaveScreenshot(settings, "search_settings_" + language));
            Click(settings, IDCANCEL);
            EXPECT_TRUE(WaitWindowGone(settings));
            Click(dialog, IDCANCEL);
            EXPECT_EQ(0, Finish());
        }
    }
};

[[maybe_unused]] const bool kScreenshotsWanted = GetEnvironmentVariableA("SCREENSHOT_DIR", nullptr, 0) > 0 &&
                                ::testing::RegisterTest("Screenshots", "SearchDialogs", nullptr, nullptr, __FILE__,
                                                        __LINE__, []() -> SearchDialog* { return new SearchScreenshots; });

} // namespace
