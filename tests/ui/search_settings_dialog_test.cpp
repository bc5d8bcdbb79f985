// The search settings dialog (262) as a real window under Xvfb: the list
// read from and written to Dwlmon.ini, Add with its checks and messages,
// Delete, and the octet fields' keyboard hook (WH_MSGFILTER), driven with
// posted key messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/search_dialog.h"
#include "discovery_resource.h"
#include "monitor/monitor.h"
#include "support/fresh_monitor.h"
#include "support/test_files.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"

namespace {

const char kMessages[] = "[MESSAGE]\r\nTITLE=Fixture caption\r\nIDS_INVALIDIPADDRESS=Fixture invalid\r\n"
                         "IDS_ADD_BROADCASE_ERROR=Fixture broadcast\r\nIDS_BROADCAST_ERROR=Fixture full\r\n"
                         "IDS_IPALREADYEXISTS=Fixture exists\r\n";
const char kDialogs[] = "[TITLE]\r\nSERSUB=Fixture settings\r\n[BUTTON]\r\nIDC_BTN_ADD=Fixture add\r\n";
const char kThree[] = "[UserDefined]\r\nUDPCount=3\r\nUDP00=c0a80aff\r\nUDP01=0a0000ff\r\nUDP02=ac1fffff\r\n";

using Texts = std::vector<std::string>;

class SearchSettings : public ::testing::Test {
protected:
    FreshMonitor monitor;
    UiThread* run = nullptr;
    HWND dialog = nullptr;

    void SetUp() override
    {
        monitor.WriteInstallFile(MESSAGE_CATALOGUE, kMessages);
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
    }

    void TearDown() override
    {
        if (run && !JoinUiThread(run, nullptr, 0))
            ADD_FAILURE() << "a dialog was left open";
    }

    HWND Open()
    {
        run = StartUiThread([] { return RunSearchSettingsDialog(nullptr); });
        dialog = run ? WaitDialog(run->threadId, nullptr, IDC_SERSUB_OCTET1) : nullptr;
        return dialog;
    }

    INT_PTR Finish()
    {
        INT_PTR result = -2;
        bool ended = JoinUiThread(run, &result);
        run = nullptr;
        return ended ? result : -2;
    }

    std::string Ini() { return ReadFileBytes(monitor.installDir + "\\Dwlmon.ini"); }

    std::string IniValue(const char* key)
    {
        char text[64] = "";
        GetPrivateProfileStringA("UserDefined", key, "(none)", text, sizeof text,
                                 (monitor.installDir + "\\Dwlmon.ini").c_str());
        return text;
    }

    Texts Listed()
    {
        HWND list = GetDlgItem(dialog, IDC_SERSUB_LIST);
        Texts texts;
        LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char text[32] = "";
            SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            texts.push_back(text);
        }
        return texts;
    }

    LRESULT Selection() { return SendMessageA(GetDlgItem(dialog, IDC_SERSUB_LIST), LB_GETCURSEL, 0, 0); }

    void Type(const char* a, const char* b, const char* c, const char* d)
    {
        SetControlText(dialog, IDC_SERSUB_OCTET1, a);
        SetControlText(dialog, IDC_SERSUB_OCTET2, b);
        SetControlText(dialog, IDC_SERSUB_OCTET3, c);
        SetControlText(dialog, IDC_SERSUB_OCTET4, d);
    }

    // Add, and the text of the message it showed ("" for none).
    std::string Add(const char* a, const char* b, const char* c, const char* d, bool expectMessage)
    {
        Type(a, b, c, d);
        const size_t before = Listed().size();
        Click(dialog, IDC_SERSUB_ADD);
        if (!expectMessage) {
            WaitUntil([&] { return Listed().size() != before; });
            return "";
        }
        MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK);
        EXPECT_EQ("Fixture caption", box.caption);
        WaitUntil([&] { return CountDialogs(run->threadId, "Fixture caption", 0) == 0; });
        return box.text;
    }

    HWND Focus()
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(run->threadId, &info);
        return info.hwndFocus;
    }

    bool WaitFocus(int id)
    {
        return WaitUntil([&] { return Focus() == GetDlgItem(dialog, id); });
    }

    std::pair<DWORD, DWORD> Sel(int id)
    {
        DWORD start = 0, end = 0;
        SendMessageA(GetDlgItem(dialog, id), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }

    void Key(int id, WPARAM key)
    {
        PostMessageA(GetDlgItem(dialog, id), WM_KEYDOWN, key, 1);
        PostMessageA(GetDlgItem(dialog, id), WM_KEYUP, key, 0xC0000001);
    }

    // A typed digit (the field's change moves the focus, not the key).
    void TypeDigit(int id, char c)
    {
        PostMessageA(GetDlgItem(dialog, id), WM_CHAR, static_cast<unsigned char>(c), 1);
    }

    // Gives the dialog's thread time for what was posted (a posted key that
    // should change nothing).
    static void Settle() { Sleep(150); }
};

TEST_F(SearchSettings, ShowsTheStoredListSortedAsTextAndCancelWritesNothing)
{
    monitor.WriteInstallFile("Dwlmon.ini", kThree);
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ("Fixture settings", WindowText(dialog));
    EXPECT_EQ("Fixture add", ControlText(dialog, IDC_SERSUB_ADD));
    EXPECT_EQ((Texts{"10.0.0.255", "172.31.255.255", "192.168.10.255"}), Listed());
    EXPECT_EQ(0, Selection());
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SERSUB_DELETE)));
    HWND picture = GetDlgItem(dialog, IDC_SERSUB_PICTURE);
    EXPECT_NE(0, SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)) << "the picture is loaded";
    RECT frame;
    GetWindowRect(picture, &frame);
    EXPECT_EQ(172, frame.right - frame.left);
    EXPECT_EQ(23, frame.bottom - frame.top) << "the control's height less 3 pixels";
    for (int id = IDC_SERSUB_OCTET1; id <= IDC_SERSUB_OCTET4; ++id)
        EXPECT_EQ(3, SendMessageA(GetDlgItem(dialog, id), EM_GETLIMITTEXT, 0, 0));
    Add("10", "1", "1", "255", false);
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
    EXPECT_EQ(kThree, Ini());
}

TEST_F(SearchSettings, UnreadableCountsAndValues)
{
    monitor.WriteInstallFile("Dwlmon.ini", "[UserDefined]\r\nUDPCount=2\r\nUDP00=zz\r\n");
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ((Texts{"0.0.0.0", "0.0.0.0"}), Listed()) << "an unreadable or missing value counts as 0";
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());

    monitor.WriteInstallFile("Dwlmon.ini", "[UserDefined]\r\nUDPCount=-4\r\nUDP00=c0a80aff\r\n");
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(Texts{}, Listed());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SERSUB_DELETE))) << "no entries: Delete is disabled";
    Click(dialog, IDC_SERSUB_DELETE);
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

TEST_F(SearchSettings, ShrinkingListRewritesAndDeletesKeys)
{
    monitor.WriteInstallFile("Dwlmon.ini", kThree);
    ASSERT_NE(nullptr, Open());
    Click(dialog, IDC_SERSUB_DELETE);
    ASSERT_TRUE(WaitUntil([&] { return Listed().size() == 2; }));
    EXPECT_EQ(0, Selection()) << "the entry now at the same position";
    SendMessageA(GetDlgItem(dialog, IDC_SERSUB_LIST), LB_SETCURSEL, 1, 0);
    Click(dialog, IDC_SERSUB_DELETE);
    ASSERT_TRUE(WaitUntil([&] { return Listed().size() == 1; }));
    EXPECT_EQ(0, Selection()) << "the last entry when the removed one was last";
    EXPECT_EQ((Texts{"172.31.255.255"}), Listed());
    Click(dialog, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ("1", IniValue("UDPCount"));
    EXPECT_EQ("ac1fffff", IniValue("UDP00"));
    EXPECT_EQ("(none)", IniValue("UDP01"));
    EXPECT_EQ("(none)", IniValue("UDP02"));
}

TEST_F(SearchSettings, EmptyListDeletesTheCountAndEveryFormerKey)
{
    monitor.WriteInstallFile("Dwlmon.ini", kThree);
    ASSERT_NE(nullptr, Open());
    for (int i = 0; i < 3; ++i)
        Click(dialog, IDC_SERSUB_DELETE);
    ASSERT_TRUE(WaitUntil([&] { return Listed().empty(); }));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SERSUB_DELETE)));
    EXPECT_TRUE(WaitFocus(IDC_SERSUB_ADD)) << "the focus goes to Add";
    EXPECT_EQ(0, GetWindowLongA(GetDlgItem(dialog, IDC_SERSUB_DELETE), GWL_STYLE) & BS_DEFPUSHBUTTON);
    Click(dialog, IDOK);
    EXPECT_EQ(1, Finish());
    for (const char* key : {"UDPCount", "UDP00", "UDP01", "UDP02"})
        EXPECT_EQ("(none)", IniValue(key)) << key;
}

TEST_F(SearchSettings, OldCountIsClampedWhenKeysAreDeleted)
{
    monitor.WriteInstallFile("Dwlmon.ini", "[UserDefined]\r\nUDPCount=4000000000\r\nUDP00=7f000001\r\nUDP99=7f000002\r\n");
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(16u, Listed().size()) << "the count is clamped to 16";
    Click(dialog, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ("16", IniValue("UDPCount"));
    EXPECT_EQ("(none)", IniValue("UDP99")) << "keys up to the clamped old count (100) are deleted";
}

TEST_F(SearchSettings, AddChecksTheFieldsThenAddsSortedAndEmptiesThem)
{
    ASSERT_NE(nullptr, Open());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SERSUB_DELETE)));
    EXPECT_EQ("", Add("0", "0", "0", "0", false));
    EXPECT_EQ((Texts{"0.0.0.0"}), Listed());
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SERSUB_DELETE)));
    EXPECT_EQ("", ControlText(dialog, IDC_SERSUB_OCTET1)) << "the fields are emptied";

    EXPECT_EQ("Fixture broadcast", Add("255", "255", "255", "255", true));
    EXPECT_TRUE(WaitFocus(IDC_SERSUB_OCTET1));
    EXPECT_EQ((std::pair<DWORD, DWORD>{0, 3}), Sel(IDC_SERSUB_OCTET1)) << "its text selected";
    EXPECT_EQ(0, GetWindowLongA(GetDlgItem(dialog, IDC_SERSUB_ADD), GWL_STYLE) & BS_DEFPUSHBUTTON);

    EXPECT_EQ("Fixture invalid", Add("256", "1", "1", "1", true));
    EXPECT_TRUE(WaitFocus(IDC_SERSUB_OCTET1));
    EXPECT_EQ("Fixture invalid", Add("1", "2", "", "4", true));
    EXPECT_TRUE(WaitFocus(IDC_SERSUB_OCTET3));
    EXPECT_EQ("Fixture invalid", Add("1", "2", "3", "4444", true)) << "a pasted fourth digit";
    EXPECT_TRUE(WaitFocus(IDC_SERSUB_OCTET4));

    EXPECT_EQ("", Add("192", "168", "1", "255", false));
    EXPECT_EQ((Texts{"0.0.0.0", "192.168.1.255"}), Listed());
    EXPECT_EQ(1, Selection()) << "the new entry is selected";
    EXPECT_EQ("Fixture exists", Add("192", "168", "001", "255", true));
    for (int i = 2; i < 16; ++i)
        EXPECT_EQ("", Add("10", "0", std::to_string(i).c_str(), "255", false)) << i;
    EXPECT_EQ(16u, Listed().size());
    EXPECT_EQ("Fixture full", Add("10", "0", "99", "255", true));
    EXPECT_EQ(16u, Listed().size());
    Click(dialog, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ("16", IniValue("UDPCount"));
    EXPECT_EQ("00000000", IniValue("UDP00")) << "list order, which is text order";
    EXPECT_EQ("0a000aff", IniValue("UDP01")) << "10.0.10.255 sorts before 10.0.2.255";
    EXPECT_EQ("c0a801ff", IniValue("UDP15"));
}

TEST_F(SearchSettings, OctetFieldsMoveLikeOneAddressField)
{
    ASSERT_NE(nullptr, Open());
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_SERSUB_OCTET1)), TRUE);
    ASSERT_TRUE(WaitFocus(IDC_SERSUB_OCTET1));

    // Three digits move on to the next field, its text selected.
    SetControlText(dialog, IDC_SERSUB_OCTET2, "77");
    TypeDigit(IDC_SERSUB_OCTET1, '1');
    TypeDigit(IDC_SERSUB_OCTET1, '9');
    TypeDigit(IDC_SERSUB_OCTET1, '2');
    ASSERT_TRUE(WaitFocus(IDC_SERSUB_OCTET2));
    EXPECT_EQ("192", ControlText(dialog, IDC_SERSUB_OCTET1));
    EXPECT_EQ((std::pair<DWORD, DWORD>{0, 2}), Sel(IDC_SERSUB_OCTET2));

    // "." after a digit moves on, the dot itself is not taken.
    TypeDigit(IDC_SERSUB_OCTET2, '5');
    Key(IDC_SERSUB_OCTET2, VK_OEM_PERIOD);
    ASSERT_TRUE(WaitFocus(IDC_SERSUB_OCTET3));
    EXPECT_EQ("5", ControlText(dialog, IDC_SERSUB_OCTET2));
    // "." in an empty field stays.
    Key(IDC_SERSUB_OCTET3, VK_DECIMAL);
    Settle();
    EXPECT_TRUE(WaitFocus(IDC_SERSUB_OCTET3));

    // Backspace at the start goes back with the whole text selected.
    Key(IDC_SERSUB_OCTET3, VK_BACK);
    ASSERT_TRUE(WaitFocus(IDC_SERSUB_OCTET2));
    Settle();
    EXPECT_EQ((std::pair<DWORD, DWORD>{0, 1}), Sel(IDC_SERSUB_OCTET2));

    // Right at the end (nothing selected) goes on, caret at the start.
    SendMessageA(GetDlgItem(dialog, IDC_SERSUB_OCTET2), EM_SETSEL, 1, 1);
    SetControlText(dialog, IDC_SERSUB_OCTET3, "33");
    Key(IDC_SERSUB_OCTET2, VK_RIGHT);
    ASSERT_TRUE(WaitFocus(IDC_SERSUB_OCTET3));
    Settle();
    EXPECT_EQ((std::pair<DWORD, DWORD>{0, 0}), Sel(IDC_SERSUB_OCTET3));
    // Left at the start goes back, caret at the end.
    Key(IDC_SERSUB_OCTET3, VK_LEFT);
    ASSERT_TRUE(WaitFocus(IDC_SERSUB_OCTET2));
    Settle();
    EXPECT_EQ((std::pair<DWORD, DWORD>{1, 1}), Sel(IDC_SERSUB_OCTET2));

    // End: the last field, caret at its end; Home: the first, caret at its start.
    SetControlText(dialog, IDC_SERSUB_OCTET4, "44");
    Key(IDC_SERSUB_OCTET2, VK_END);
    ASSERT_TRUE(WaitFocus(IDC_SERSUB_OCTET4));
    Settle();
    EXPECT_EQ((std::pair<DWORD, DWORD>{2, 2}), Sel(IDC_SERSUB_OCTET4));
    Key(IDC_SERSUB_OCTET4, VK_HOME);
    ASSERT_TRUE(WaitFocus(IDC_SERSUB_OCTET1));
    Settle();
    EXPECT_EQ((std::pair<DWORD, DWORD>{0, 0}), Sel(IDC_SERSUB_OCTET1));

    // Backspace in the first field and Right in the last stay put.
    Key(IDC_SERSUB_OCTET1, VK_BACK);
    Settle();
    EXPECT_TRUE(WaitFocus(IDC_SERSUB_OCTET1));
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

TEST_F(SearchSettings, WithoutAnInstallationDirectoryNothingIsReadOrWritten)
{
    monitor.WriteInstallFile("Dwlmon.ini", kThree);
    std::string stored = monitor.installDir;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, 0, KEY_SET_VALUE, &key));
    RegDeleteValueA(key, "InstallPath");
    RegCloseKey(key);
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(Texts{}, Listed());
    Add("1", "2", "3", "255", false);
    Click(dialog, IDOK);
    EXPECT_EQ(1, Finish());
    EXPECT_EQ(kThree, ReadFileBytes(stored + "\\Dwlmon.ini"));
}

} // namespace
